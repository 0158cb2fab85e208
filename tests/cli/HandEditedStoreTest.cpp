// Values changed behind the program's back, with plain SQL on the store file
// as the sqlite3 shell would: the next classify still gives what the plain
// procedures give, reading every value one by one.
#include <gtest/gtest.h>

#include <random>

#include "CliRunner.h"
#include "StoreReads.h"
#include "core/attributes/FileExaminer.h"
#include "core/classify/BayesClassifier.h"
#include "core/classify/LiteralClassify.h"
#include "core/classify/RandomExamples.h"
#include "core/examples/SameExamples.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

class HandEditedStoreTest : public test::CliRunner {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Run({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
        ASSERT_EQ(Run({"targets", "add", "who", "Who", "Free Bayes"}), 0);
        ASSERT_EQ(Run({"sequences", "set", "virus", "clean", "MZ"}), 0);
        file = Put("probe.exe", "MZ a virus");
        // Examples with values in the file's range, imported as a CSV.
        std::mt19937 random(3);
        const auto set = test::MakeExampleSet({150, 19, 5, true, false}, random);
        std::string csv = "Standard1";
        for (int s = 2; s <= 16; ++s) csv += ",Standard" + std::to_string(s);
        csv += ",Containvirus,Containclean,ContainMZ,Targetkind,Targetfam,Targetwho\r\n";
        for (std::size_t r = 0; r < set.values.size(); ++r) {
            for (int s = 0; s < 19; ++s)
                csv += (s ? "," : "") + (set.values[r][s] ? std::to_string(set.values[r][s] % 7 + 1) : "");
            const std::string text = set.texts[r].find(' ') == 0 ? "x" + set.texts[r] : set.texts[r];
            csv += "," + text + "," + set.texts[(r * 7) % set.texts.size()] + "," +
                   (r % 4 ? set.texts[(r * 3) % set.texts.size()] : "") + "\r\n";
        }
        test::WriteFile(dir / "examples.csv", csv);
        ASSERT_EQ(Run({"import", "--format", "csv", dir / "examples.csv"}), 0) << err.str();
    }

    // What the plain procedures give for every target, as classify prints it.
    std::string Literally() {
        Registry registry;  // opened afresh: keys renamed by hand are found again
        EXPECT_TRUE(registry.Open(dir.Store()).ok());
        ConfigTables state;
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        test::LoadTables(registry, state);
        FileExaminer examiner;
        EXPECT_TRUE(examiner.ComputeFileAttributes(file, state).ok());
        std::string text = file + "\n";
        for (std::int32_t k = 1; k <= state.TargetCount; ++k) {
            literal::Classes slow;
            slow.LoadExamples(registry, state, k);
            RecordingBox box;
            const std::string& method = state.TargetTable[k].Method;
            if (method == kMethodId3) {
                slow.Id3(examiner.AttributeVector(), state.AttributeCount, box);
            } else {
                slow.Bayes(examiner.AttributeVector(), state.AttributeCount, method == kMethodFreeBayes, box);
            }
            std::string list;
            for (std::size_t i = 0; i < box.list.size(); ++i) list += (i ? " | " : "") + box.list[i];
            text += state.TargetTable[k].Id + "\t" + box.text + "\t" + list + "\n";
        }
        return text;
    }

    // Runs SQL on the store file through a connection of its own.
    void Sql(const std::string& sql) { test::RunSql(dir.Store(), sql); }

    std::string file;
};

std::string Hex(std::uint32_t v) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "x'%02x%02x%02x%02x'", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF,
                  v >> 24);
    return hex;
}

TEST_F(HandEditedStoreTest, TheNextClassifyAgreesWithThePlainProcedures) {
    ASSERT_EQ(Run({"classify", file}), 0);  // the compact rows are made
    ASSERT_EQ(out.str(), Literally());

    const std::string examples = "(SELECT id FROM keys WHERE lname=CAST('examples' AS BLOB))";
    // The n-th value (of the given kind) of an example key, by row value.
    auto nth = [&](const std::string& where, unsigned n) {
        return "(SELECT key, lname FROM vals WHERE key IN (SELECT id FROM keys WHERE parent=" + examples +
               ") AND " + where + " ORDER BY key, lname LIMIT 1 OFFSET " + std::to_string(n) + ")";
    };
    std::mt19937 random(41);
    for (int round = 0; round < 40; ++round) {
        const unsigned n = random() % 3000;
        std::string edit;
        switch (round % 8) {
            case 0:  // a slot value changed, now and then to one no file can have
                edit = "UPDATE vals SET data=" +
                       Hex(round % 3 ? random() % 8 : (random() % 2 ? 300 : 0xFFFFFFFE)) +
                       " WHERE (key, lname)=" + nth("type=4", n);
                break;
            case 1:  // a class value respelled
                edit = "UPDATE vals SET data=CAST(' VIRUS' AS BLOB) WHERE (key, lname)=" +
                       nth("type=1", n % 400);
                break;
            case 2:
                edit = "DELETE FROM vals WHERE (key, lname)=" + nth("1", n);
                break;
            case 3:  // a value given to an example that lacked it, its name written as
                     // text as the shell writes it: no read of the program finds such a
                     // name, and the bulk read once did (the fault this pins)
                edit =
                    "INSERT OR REPLACE INTO vals SELECT key, 'targetwho', 'Targetwho', 1, 'setup' FROM vals "
                    "WHERE (key, lname)=" +
                    nth("lname=CAST('standard1' AS BLOB)", n % 140);
                break;
            case 4:  // an example copied into a new key above the count, and the count raised
                edit = "INSERT INTO keys(parent, name, lname) VALUES(" + examples + ", 'Example" +
                       std::to_string(200 + round) + "', 'example" + std::to_string(200 + round) +
                       "');"
                       "INSERT INTO vals SELECT last_insert_rowid(), lname, name, type, data FROM vals WHERE "
                       "key="
                       "(SELECT key FROM vals WHERE (key, lname)=" +
                       nth("1", n) +
                       ");"
                       "UPDATE vals SET data=" +
                       Hex(200 + round) + " WHERE key=" + examples + " AND lname=CAST('count' AS BLOB)";
                break;
            case 5:  // a slot written as text
                edit = "UPDATE vals SET type=1, data='3' WHERE (key, lname)=" + nth("type=4", n);
                break;
            case 6:  // an example renamed out of the numbering
                edit = "UPDATE keys SET lname='example0" + std::to_string(round) +
                       "' WHERE id=(SELECT key FROM " + nth("1", n) + ")";
                break;
            default:  // the count lowered
                edit = "UPDATE vals SET data=" + Hex(120 + round) + " WHERE key=" + examples +
                       " AND lname=CAST('count' AS BLOB)";
        }
        SCOPED_TRACE(edit);
        Sql(edit);
        ASSERT_EQ(Run({"classify", file}), 0);
        ASSERT_EQ(out.str(), Literally());
    }
}

}  // namespace
}  // namespace morvel
