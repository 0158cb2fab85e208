// Compares two reads of the stored examples field by field, and writes random
// example stores with the oddities a hand-edited store may hold.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>

#include "core/classify/RandomExamples.h"
#include "core/config/ConfigTables.h"
#include "core/examples/CompactExamples.h"
#include "core/examples/ExampleStore.h"
#include "core/store/KeyPaths.h"

namespace morvel::test {

// The first difference between two reads, or "" when they are equal.
inline std::string FirstDifference(const StoredExamples& a, const StoredExamples& b) {
    if (a.storedCount != b.storedCount) return "storedCount";
    if (a.attributeCount != b.attributeCount) return "attributeCount";
    if (a.numbers != b.numbers) return "numbers";
    if (a.order != b.order) return "order";
    if (a.codes != b.codes) return "codes";
    if (a.wide.size() != b.wide.size()) return "wide";
    for (std::size_t i = 0; i < a.wide.size(); ++i)
        if (a.wide[i].row != b.wide[i].row || a.wide[i].slot != b.wide[i].slot ||
            a.wide[i].value != b.wide[i].value)
            return "wide";
    if (a.targetColumns != b.targetColumns) return "targetColumns";
    if (a.columns != b.columns) return "columns";
    if (a.texts != b.texts) return "texts";
    return "";
}

// What a read of the values alone gives, for comparing.
inline StoredExamples ReadFromValues(const Registry& registry, const ConfigTables& state) {
    std::shared_ptr<const StoredExamples> examples;
    const Status read = ReadExamplesFromValues(registry, state, examples);
    EXPECT_TRUE(read.ok()) << read.message();
    return examples ? *examples : StoredExamples();
}

inline std::string Number(std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

// Writes n random examples (numbered from first) with the attribute names of
// state and the targets ids, in one write group: gaps in the numbering, keys
// that are no example, keys above the count, odd values and types.
inline void WriteRandomExamples(Registry& registry, const ConfigTables& state,
                                const std::vector<std::string>& ids, std::int32_t first, std::int32_t n,
                                std::mt19937& random) {
    const auto set = MakeExampleSet({n, state.AttributeCount, 6, true, true}, random);
    Registry::WriteGroup group(registry);
    const std::string examples = ExamplesKeyPath();
    for (std::int32_t i = 0; i < n; ++i) {
        if (random() % 10 == 0) continue;
        std::string name = "Example" + std::to_string(first + i);
        if (random() % 30 == 0)
            name = random() % 2 ? "Example0" + std::to_string(first + i) : "EXAMPLE" + name.substr(7);
        const std::string key = examples + "\\" + name;
        registry.OpenKey(key);
        for (int s = 1; s <= state.AttributeCount; ++s)
            if (set.values[i][s - 1] != 0)
                registry.SetKeyNumber(key, state.AttributeNames[s], set.values[i][s - 1]);
        for (const auto& id : ids) {
            switch (random() % 8) {
                case 0:
                    break;
                case 1:
                    registry.SetKeyValue(key, "Target" + id, Registry::kTypeNumber, Number(random() % 3));
                    break;
                case 2:
                    registry.SetKeyValue(key, "Target" + id, random() % 2 ? 3 : Registry::kTypeText,
                                         std::string("\0", 1));
                    break;
                default:
                    registry.SetKeyText(key, "Target" + id, set.texts[random() % set.texts.size()]);
            }
        }
        if (random() % 7 == 0) registry.SetKeyText(key, "Standard1", "7");  // a slot written as text
        if (random() % 9 == 0) registry.SetKeyValue(key, "Note", 3, "binary");
    }
    registry.SetKeyNumber(examples, "Count", first + n - 1 - static_cast<std::int32_t>(random() % 3));
    group.Commit();
}

// Runs SQL on a store file through a connection of its own, as the sqlite3
// shell would.
inline void RunSql(const std::string& store, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The store file opens read-only and passes SQLite's integrity check.
inline void ExpectIntegrityOk(const std::string& store) {
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr);
    EXPECT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

}  // namespace morvel::test
