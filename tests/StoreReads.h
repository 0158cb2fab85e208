// Reads of a store for tests that only care about the answer: each records
// a test failure when the store could not be read, and answers as for a
// missing key then.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/ConfigTables.h"
#include "core/examples/CompactExamples.h"
#include "core/examples/ExampleStore.h"
#include "core/store/Registry.h"

namespace morvel::test {

inline std::int32_t Number(const Registry& registry, std::string_view path, std::string_view name) {
    std::int32_t value = 0;
    const Status read = registry.GetKeyNumber(path, name, value);
    EXPECT_TRUE(read.ok()) << read.message();
    return value;
}

inline std::vector<std::string> Subkeys(const Registry& registry, std::string_view path) {
    std::vector<std::string> names;
    const Status read = registry.SubkeyNames(path, names);
    EXPECT_TRUE(read.ok()) << read.message();
    return names;
}

inline std::vector<Registry::RawValue> ValuesOf(const Registry& registry, std::string_view path) {
    std::vector<Registry::RawValue> values;
    const Status read = registry.Values(path, values);
    EXPECT_TRUE(read.ok()) << read.message();
    return values;
}

inline bool Exists(const Registry& registry, std::string_view path) {
    bool exists = false;
    const Status read = registry.KeyExists(path, exists);
    EXPECT_TRUE(read.ok()) << read.message();
    return exists;
}

// ExampleStore::Read; an empty set of examples when it fails.
inline std::shared_ptr<const StoredExamples> Examples(Registry& registry, const ConfigTables& tables) {
    std::shared_ptr<const StoredExamples> examples;
    const Status read = ExampleStore::Read(registry, tables, examples);
    EXPECT_TRUE(read.ok()) << read.message();
    return examples ? examples : std::make_shared<const StoredExamples>();
}

inline std::shared_ptr<const StoredExamples> CompactRead(const Registry& registry,
                                                         const ConfigTables& tables) {
    std::shared_ptr<const StoredExamples> examples;
    const Status read = ReadCompactExamples(registry, tables, examples);
    EXPECT_TRUE(read.ok()) << read.message();
    return examples ? examples : std::make_shared<const StoredExamples>();
}

inline void LoadTables(const Registry& registry, ConfigTables& tables) {
    const Status read = LoadConfigurationTables(registry, tables);
    EXPECT_TRUE(read.ok()) << read.message();
}

}  // namespace morvel::test
