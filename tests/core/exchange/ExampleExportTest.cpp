// The CSV and ARFF writers of stored examples: what an import reads back,
// which columns and rows a selection takes.
#include <gtest/gtest.h>

#include <sstream>

#include "StoreReads.h"
#include "TestSupport.h"
#include "core/classify/BayesClassifier.h"
#include "core/examples/ExampleCsv.h"
#include "core/exchange/ArffWriter.h"
#include "core/exchange/CsvWriter.h"
#include "core/exchange/ExportSelection.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

class ExampleExportTest : public ::testing::Test {
  protected:
    void SetUp() override { UseStore(dir.Store()); }
    void UseStore(const std::string& path) {
        registry = std::make_unique<Registry>();
        ASSERT_TRUE(registry->Open(path).ok());
        tables = ConfigTables();
        examples.reset();
        tables.PlatformVersion = ConfigTables::kNtPlatformVersion;
    }
    void Configure(const std::vector<std::string>& sequences, const std::vector<std::string>& targetIds) {
        ASSERT_TRUE(SaveSequenceTable(*registry, tables, sequences).ok());
        std::vector<TargetEntry> targets;
        for (const auto& id : targetIds) targets.push_back({id, "name", std::string(kMethodNaiveBayes)});
        ASSERT_TRUE(SaveTargetTable(*registry, tables, targets).ok());
        test::LoadTables(*registry, tables);
    }
    void Import(const std::string& csv) {
        ExampleStore store(*registry);
        std::int32_t first = 0, count = 0;
        const Status imported = ImportExamplesCsv(store, csv, &first, &count);
        ASSERT_TRUE(imported.ok()) << imported.message();
    }
    // Every target, or the one at position target (1-based) alone, of the
    // examples as the first selection read them.
    ExportSelection Select(std::int32_t target = 0) {
        if (!examples) examples = test::Examples(*registry, tables);
        std::vector<std::int32_t> targets;
        for (std::int32_t k = 1; k <= tables.TargetCount; ++k)
            if (target == 0 || k == target) targets.push_back(k);
        return SelectForExport(tables, *examples, targets, target != 0);
    }
    std::string Csv(const ExportSelection& selection) {
        std::ostringstream out;
        WriteExamplesCsv(selection, out);
        return out.str();
    }

    test::TempDir dir;
    std::unique_ptr<Registry> registry;
    ConfigTables tables;
    std::shared_ptr<const StoredExamples> examples;
};

TEST_F(ExampleExportTest, ACsvExportImportsIntoTheSameExamples) {
    Configure({"mz", "a,b"}, {"kind", "who"});
    Import(
        "Standard3,Containmz,\"Containa,b\",Targetkind,Targetwho\r\n"
        "2,1,,\"say \"\"hi\"\"\",\r\n"
        ",2,1,\"two\r\nlines\",\" lead\"\r\n");
    const std::string exported = Csv(Select());

    test::TempDir otherDir;
    UseStore(otherDir.Store());
    Configure({"mz", "a,b"}, {"kind", "who"});
    Import(exported);
    EXPECT_EQ(Csv(Select()), exported);
}

// Value names compare without letter case: two sequences (in a store
// written by hand) or two targets that differ only in case are one stored
// value and one column.
TEST_F(ExampleExportTest, ANameRepeatedInAnotherCaseIsOneColumn) {
    Configure({}, {"kind", "KIND", "who"});
    const std::vector<std::string> sequences = {"Virus", "VIRUS", "mz"};
    ASSERT_TRUE(registry->SetKeyNumber(ContainKeyPath(), kCountValue, 3));
    for (std::size_t i = 0; i < sequences.size(); ++i)
        ASSERT_TRUE(registry->SetKeyText(ContainKeyPath(), "Value" + std::to_string(i + 1), sequences[i]));
    test::LoadTables(*registry, tables);
    Import("Containvirus,Targetkind,Targetwho\r\n1,a,b\r\n");
    const ExportSelection selection = Select();
    EXPECT_EQ(selection.slots.size(), static_cast<std::size_t>(tables.AttributeCount - 1));
    ASSERT_EQ(selection.targets.size(), 2u);
    EXPECT_EQ(selection.TargetName(0), "Targetkind");
    EXPECT_EQ(selection.TargetName(1), "Targetwho");
    const std::string header = Csv(selection).substr(0, Csv(selection).find('\r'));
    EXPECT_TRUE(header.ends_with(",ContainVirus,Containmz,Targetkind,Targetwho")) << header;
}

TEST_F(ExampleExportTest, OneTargetTakesOnlyTheExamplesThatHaveItsValue) {
    Configure({}, {"kind", "who"});
    Import("Standard1,Targetkind,Targetwho\r\n1,a,\r\n2,,b\r\n3,c,\r\n");
    const ExportSelection who = Select(2);
    ASSERT_EQ(who.rows.size(), 1u);
    EXPECT_EQ(examples->numbers[who.rows[0]], 2);
    const ExportSelection kind = Select(1);
    ASSERT_EQ(kind.rows.size(), 2u);
    EXPECT_EQ(examples->numbers[kind.rows[1]], 3);

    std::ostringstream arff;
    WriteExamplesArff(who, arff);
    EXPECT_NE(arff.str().find("@attribute Targetwho {b}\n"), std::string::npos) << arff.str();
    EXPECT_EQ(arff.str().find("Targetkind"), std::string::npos);
    EXPECT_NE(arff.str().find("% Example2\n"), std::string::npos);
    EXPECT_EQ(arff.str().find("% Example1\n"), std::string::npos);
}

}  // namespace
}  // namespace morvel
