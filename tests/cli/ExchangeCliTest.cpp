// export and import: CSV and ARFF out, CSV in, and the CSV reader.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "CliRunner.h"
#include "core/classify/TrainingSet.h"
#include "core/platform/Csv.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

class ExchangeCliTest : public test::CliRunner {
  protected:
    // Two sequences (one with a comma), two targets (one id with a blank),
    // and examples whose values need quoting.
    void MakeStore() {
        ASSERT_EQ(Run({"sequences", "set", "virus", "a,b", "Вирус"}), 0);
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Run({"targets", "add", "my fam", "Family", "Naive Bayes"}), 0);
        ASSERT_EQ(Run({"remember", Put("v1.exe", "a virus, a,b"), "kind=say \"hi\"", "my fam= lead"}), 0);
        ASSERT_EQ(Run({"remember", Put("v2.com", "\xE2\xE8\xF0\xF3\xF1"), "kind=Кот, кошка"}), 0);  // вирус
        ASSERT_EQ(Run({"remember", Put("c1.scr", "clean"), "my fam=trail "}), 0);
        // A value with a line break, which only an import can store.
        ASSERT_EQ(Run({"import", "--format", "csv", "-"}, "Standard1,Targetkind\r\n4,\"two\r\nlines\"\r\n"),
                  0);
    }
    std::string Dump(const std::string& key = "Examples") {
        Run({"dump", key});
        return out.str();
    }
};

TEST_F(ExchangeCliTest, ExportThenImportIntoAFreshStoreGivesTheSameExamples) {
    MakeStore();
    // The exports carry the slots classification sees: the header slots too while they are on.
    ASSERT_EQ(Run({"header-attributes", "on"}), 0);
    ASSERT_EQ(Run({"export", "--format", "csv"}), 0);
    const std::string csv = out.str();
    ASSERT_EQ(Run({"export", "--format", "arff"}), 0);
    const std::string arff = out.str();
    // The exports carry no file digests: the imported examples hold none.
    std::string examples;
    std::istringstream dumped(Dump());
    for (std::string line; std::getline(dumped, line);)
        if (!line.starts_with("\"Fingerprint\"=")) examples += line + "\n";

    test::TempDir other;
    auto runOther = [&](std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), {"morvel-cli", "--store", other.Store()});
        std::istringstream in(input);
        out.str("");
        return RunCli(args, in, out, err);
    };
    ASSERT_EQ(runOther({"import", "--format", "csv", "-"}, csv), 0) << err.str();
    EXPECT_EQ(out.str(), "imported 4 examples: Example1 to Example4\n");
    ASSERT_EQ(runOther({"dump", "Examples"}), 0);
    EXPECT_EQ(out.str(), examples);
    // With the same configuration the exports are the same too.
    ASSERT_EQ(runOther({"header-attributes", "on"}), 0);
    ASSERT_EQ(runOther({"sequences", "set", "virus", "a,b", "Вирус"}), 0);
    ASSERT_EQ(runOther({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    ASSERT_EQ(runOther({"targets", "add", "my fam", "Family", "Naive Bayes"}), 0);
    ASSERT_EQ(runOther({"export", "--format", "csv"}), 0);
    EXPECT_EQ(out.str(), csv);
    ASSERT_EQ(runOther({"export", "--format", "arff"}), 0);
    EXPECT_EQ(out.str(), arff);
}

TEST_F(ExchangeCliTest, CsvHasTheHeaderNumbersAndQuotedTexts) {
    MakeStore();
    ASSERT_EQ(Run({"export", "--format", "csv"}), 0);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 6u);  // a header, four rows, one of two lines
    EXPECT_EQ(lines[0],
              "example,Standard1,Standard2,Standard3,Standard4,Standard5,Standard6,Standard7,Standard8,"
              "Standard9,Standard10,Standard11,Standard12,Standard13,Standard14,Standard15,Standard16,"
              "Containvirus,\"Containa,b\",ContainВирус,Targetkind,Targetmy fam\r");
    EXPECT_TRUE(lines[1].starts_with("1,1,2,"));
    EXPECT_TRUE(lines[1].ends_with(",1,1,2,\"say \"\"hi\"\"\",\" lead\"\r"));
    EXPECT_TRUE(lines[2].ends_with(",2,2,1,\"Кот, кошка\",\r"));
    EXPECT_TRUE(lines[3].ends_with(",,\"trail \"\r"));
    EXPECT_EQ(lines[4], "4,4" + std::string(19, ',') + "\"two\r");  // 18 empty fields before the text
    EXPECT_EQ(lines[5], "lines\",\r");
}

TEST_F(ExchangeCliTest, ExportOfOneTargetAndArffForWeka) {
    MakeStore();
    ASSERT_EQ(Run({"targets", "add", "empty", "Nobody filled it", "Free Bayes"}), 0);
    ASSERT_EQ(Run({"export", "--format", "csv", "--target", "my fam"}), 0);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);  // only the examples with a value for it
    EXPECT_TRUE(lines[0].ends_with(",ContainВирус,Targetmy fam\r"));
    EXPECT_TRUE(lines[1].starts_with("1,"));
    EXPECT_TRUE(lines[2].starts_with("3,"));

    ASSERT_EQ(Run({"export", "--format", "arff"}), 0);
    lines = Lines();
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("@relation morvel-examples"));
    // The example number would be a feature to a learner: it is a comment above its row.
    EXPECT_FALSE(has("@attribute example numeric"));
    EXPECT_TRUE(has("@attribute Standard1 {1,2,3,4}"));
    EXPECT_TRUE(has("@attribute 'Containa,b' {1,2}"));
    EXPECT_TRUE(has("@attribute 'ContainВирус' {1,2}"));  // Weka reads no unquoted Cyrillic
    EXPECT_TRUE(has("@attribute Targetkind {'say \\\"hi\\\"','two\\r\\nlines','Кот, кошка'}"));
    EXPECT_TRUE(has("@attribute 'Targetmy fam' {' lead','trail '}"));
    EXPECT_TRUE(has("@attribute Targetempty string"));  // no value: a nominal list cannot be empty
    const auto data = std::find(lines.begin(), lines.end(), "@data");
    ASSERT_EQ(lines.end() - data, 9);
    std::string missing;
    for (int i = 0; i < 18; ++i) missing += "?,";
    EXPECT_EQ(data[7], "% Example4");
    EXPECT_EQ(data[8], "4," + missing + "'two\\r\\nlines',?,?");

    EXPECT_EQ(Run({"export", "--format", "xml"}), 2);
    EXPECT_EQ(Run({"export", "--format", "csv", "--target", "nope"}), 1);
    EXPECT_TRUE(ErrHas("\"nope\""));
}

TEST_F(ExchangeCliTest, ImportAppendsAfterTheCountAndMatchesColumnsInAnyCase) {
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    ASSERT_EQ(Run({"remember", Put("a.exe", "x"), "kind=a"}), 0);
    // A byte order mark, LF line ends, an empty line, column names in other
    // cases, a sequence and a target nobody configured.
    const std::string csv =
        "\xEF\xBB\xBF"
        "EXAMPLE,standard8,CONTAINold text,TARGETKIND,targetGone\n"
        "77,3,2,b,\n"
        "\n"
        "78,,1,,x\n";
    ASSERT_EQ(Run({"import", "--format", "csv", "-"}, csv), 0) << err.str();
    EXPECT_EQ(out.str(), "imported 2 examples: Example2 to Example3\n");
    EXPECT_TRUE(Dump().find("\"Count\"=dword:00000003") != std::string::npos);
    EXPECT_EQ(Dump("Examples\\Example2"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Examples\\Example2]\n"
              "\"Containold text\"=dword:00000002\n\"Standard8\"=dword:00000003\n\"TargetKIND\"=\"b\"\n");
    EXPECT_EQ(Dump("Examples\\Example3"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Examples\\Example3]\n"
              "\"Containold text\"=dword:00000001\n\"TargetGone\"=\"x\"\n");

    // A header alone imports nothing and writes nothing.
    const std::string before = Dump();
    ASSERT_EQ(Run({"import", "--format", "csv", "-"}, "example,Standard1\r\n"), 0);
    EXPECT_EQ(out.str(), "imported 0 examples\n");
    EXPECT_EQ(Dump(), before);
}

TEST_F(ExchangeCliTest, BadImportsStopAtTheirLineAndWriteNothing) {
    ASSERT_EQ(Run({"remember", Put("a.exe", "x")}), 0);
    const std::string before = Dump();
    const std::string header = "example,Standard1,Containx,Targetk\r\n";
    const std::string good = "1,1,2,a\r\n";
    const struct {
        std::string csv, message;
    } cases[] = {
        {"", "empty"},
        {"example,Size\r\n", "line 1: unknown column \"Size\""},
        {"Standard17\r\n", "line 1: unknown column"},
        {"Standard01\r\n", "line 1: unknown column"},
        {"Contain\r\n", "line 1: unknown column"},
        {"Standard1,STANDARD1\r\n", "line 1: the column \"STANDARD1\" is given twice"},
        {"Containabc,ContainABC\r\n", "line 1: the column \"ContainABC\" is given twice"},
        {"Target日本\r\n", "line 1: the column name"},
        {header + good + "2,0,2,a\r\n", "line 3: the value \"0\" of Standard1"},
        {header + good + "2,256,,\r\n", "line 3: the value \"256\""},
        {header + good + "2,x,,\r\n", "line 3: the value \"x\""},
        {header + good + "2,1.0,,\r\n", "line 3:"},
        {header + good + "2, 1,,\r\n", "line 3:"},
        {header + good + "2,-1,,\r\n", "line 3:"},
        {header + good + "2,1,2\r\n", "line 3: the row has 3 fields and the header 4"},
        {header + good + "2,1,2,a,b\r\n", "line 3: the row has 5 fields"},
        {header + "1,1,2,\"two\r\nlines\"\r\n" + "2,1,\"2\"x,a\r\n", "line 4: text follows a closing quote"},
        {header + good + "2,1,2,a\"b\r\n", "line 3: a quote inside a field"},
        {header + good + "2,1,2,\"open\r\n\r\n", "line 3: a quoted field is not closed"},
        {header + good + "2,1,2,日本\r\n", "line 3: the value of Targetk"},
        {header + good + "2,1,2," + std::string(1025, 'z') + "\r\n", "line 3: the value of Targetk"},
        {header + "2,1,2,\xFF\xFE\r\n", "line 2: the value of Targetk"},  // not UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv.substr(0, 60));
        EXPECT_EQ(Run({"import", "--format", "csv", "-"}, c.csv), 1);
        EXPECT_TRUE(ErrHas(c.message)) << err.str();
        EXPECT_TRUE(ErrHas("nothing was imported")) << err.str();
        EXPECT_EQ(Dump(), before);
    }
    EXPECT_EQ(Run({"import", "--format", "csv", dir / "missing.csv"}), 1);
    EXPECT_TRUE(ErrHas("missing.csv"));
    EXPECT_EQ(Run({"import", "--format", "arff", "-"}, header), 2);
    EXPECT_EQ(Dump(), before);
}

// The file is read whole before anything is stored: from a named pipe too,
// as from a shell's process substitution.
TEST_F(ExchangeCliTest, ImportReadsAFileOrANamedPipe) {
    const std::string csv = "Standard1,Targetkind\r\n3,a\r\n4,b\r\n";
    test::WriteFile(dir / "examples.csv", csv);
    ASSERT_EQ(Run({"import", "--format", "csv", dir / "examples.csv"}), 0) << err.str();
    EXPECT_EQ(out.str(), "imported 2 examples: Example1 to Example2\n");

    const std::string pipe = dir / "examples.pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { test::WriteFile(pipe, csv); });
    EXPECT_EQ(Run({"import", "--format", "csv", pipe}), 0) << err.str();
    writer.join();
    EXPECT_EQ(out.str(), "imported 2 examples: Example3 to Example4\n");

    EXPECT_EQ(Run({"import", "--format", "csv", dir.path()}), 1);
    EXPECT_TRUE(ErrHas("nothing was imported")) << err.str();
}

TEST_F(ExchangeCliTest, AKeyAboveTheCountIsNotMixedIntoAnImportedExample) {
    // A key that an earlier program left above "Count" would lend its values
    // to the example imported under its number: the import refuses instead.
    {
        Registry registry;
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        ASSERT_TRUE(registry.OpenKey(ExamplesKeyPath()));
        ASSERT_TRUE(registry.SetKeyNumber(ExamplesKeyPath(), "Count", 1));
        ASSERT_TRUE(registry.OpenKey(ExamplesKeyPath() + "\\Example3"));
        ASSERT_TRUE(registry.SetKeyText(ExamplesKeyPath() + "\\Example3", "Targetkind", "stale"));
    }
    const std::string before = Dump();
    EXPECT_EQ(Run({"import", "--format", "csv", "-"}, "Standard1\r\n1\r\n2\r\n"), 1);
    EXPECT_TRUE(ErrHas("Example3")) << err.str();
    EXPECT_EQ(Dump(), before);
    // One row stays below it.
    EXPECT_EQ(Run({"import", "--format", "csv", "-"}, "Standard1\r\n1\r\n"), 0);
    EXPECT_EQ(out.str(), "imported 1 example: Example2\n");
}

TEST(CsvReaderTest, RecordsFieldsAndTheLinesTheyStartOn) {
    CsvReader reader("a,\"b,\"\"c\"\"\"\r\n\r\n\"x\ny\",\rlast,\n,");
    std::vector<std::string> fields;
    ASSERT_TRUE(reader.Next(fields));
    EXPECT_EQ(fields, (std::vector<std::string>{"a", "b,\"c\""}));
    EXPECT_EQ(reader.Line(), 1u);
    ASSERT_TRUE(reader.Next(fields));
    EXPECT_EQ(fields, (std::vector<std::string>{"x\ny", ""}));
    EXPECT_EQ(reader.Line(), 3u);
    ASSERT_TRUE(reader.Next(fields));
    EXPECT_EQ(fields, (std::vector<std::string>{"last", ""}));
    EXPECT_EQ(reader.Line(), 5u);
    ASSERT_TRUE(reader.Next(fields));
    EXPECT_EQ(fields, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(reader.Line(), 6u);
    EXPECT_FALSE(reader.Next(fields));
    EXPECT_TRUE(reader.status().ok());

    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField(" x"), "\" x\"");
    EXPECT_EQ(CsvField("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(CsvField(""), "");
}

}  // namespace
}  // namespace morvel
