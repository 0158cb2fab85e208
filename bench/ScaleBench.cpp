// Examples at scale, against the peers, in one run. Stores of 10,000 and
// 100,000 examples of 16 general slots, 20 sequences and 8 targets (3
// ID3-based, 3 Naive Bayes, 2 Free Bayes; about 43 stored values each), and
// the same examples as the CSV that `morvel-cli export --format csv` writes
// (checked against a real export before anything is timed). Measured:
//
// - classify/N: `morvel-cli classify FILE` on the store of N examples, as a
//   whole command in its own process: wall time, and its peak memory
//   (peak_MB, ru_maxrss from wait4).
// - sklearn/N: scikit-learn's fit + predict of the same 8 targets on the same
//   rows for the same file (bench/sklearn_peer.py, Debian's python3-sklearn);
//   the time is the script's own measure of fit + predict, whole_s is the
//   whole process with the CSV reading.
// - import/morvel/N: `morvel-cli import --format csv` of the CSV into a new
//   store; import/sqlite3/N: the sqlite3 shell's `.import` of the same CSV
//   into one table of a new database in WAL mode with synchronous=FULL.
//   import/configured/N: the same import into a store whose sequences and
//   targets were set up first (the usual order).
// - load/N: `morvel-cli load` of the store's `export --format reg` file into
//   a new store: wall time and peak memory (peak_MB), against the import of
//   the same examples as CSV; file_MB is the size of the file.
// - read/values/N: reading every example from the values alone (as every
//   read did before the compact rows) in a process of its own: the read's
//   time, and the process's peak memory. read/compact/N: the same read from
//   the compact rows, as classify reads. compact/first-use/N: building every compact row of a store that
//   has none yet; compact/all-dirty/N: rebuilding every row marked dirty.
// - remember/103 and attributes/103: `morvel-cli remember -r` of a folder of
//   103 files of 2 KiB to 1.5 MiB into a store with the same configuration
//   (a fresh one each time), against `morvel-cli attributes -r` of the folder.
//
// The ratio lines at the end state each goal. Peers that are not installed
// are left out with a message. Set MORVEL_BENCH_KEEP to a folder to keep the
// generated stores and CSV files there (for profiling).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "RatioReporter.h"
#include "TestSupport.h"
#include "cli/Cli.h"
#include "core/attributes/FileExaminer.h"
#include "core/classify/BayesClassifier.h"
#include "core/classify/Id3Classifier.h"
#include "core/config/ConfigTables.h"
#include "core/examples/CompactExamples.h"
#include "core/examples/ExampleCsv.h"
#include "core/examples/ExampleStore.h"
#include "core/platform/Csv.h"
#include "core/store/SqlStatement.h"

namespace morvel {
namespace {

constexpr int kSequences = 20;
constexpr int kTargets = 8;
constexpr int kClasses[kTargets] = {2, 5, 20, 3, 12, 8, 15, 4};
constexpr std::string_view kMethods[kTargets] = {kMethodId3,       kMethodNaiveBayes, kMethodFreeBayes,
                                                 kMethodId3,       kMethodNaiveBayes, kMethodId3,
                                                 kMethodFreeBayes, kMethodNaiveBayes};
constexpr const char* kPython = "/usr/bin/python3";  // Debian's, where python3-sklearn installs

// ---- commands in processes of their own ----

// Starts commands and reports their wall time and peak memory. Linux keeps a
// process's peak memory across exec, so a child forked from this program
// (which holds the generated data) would report this program's memory as its
// own: commands are started from a helper forked first thing in main, while
// this program is still small.
class CommandRunner {
  public:
    struct Result {
        int status = -1;  // exit status, 128 + signal, or -1 when nothing ran
        double seconds = 0;
        double peakMb = 0;
    };

    static void Start() {
        int request[2], reply[2];
        if (pipe(request) != 0 || pipe(reply) != 0) return;
        const pid_t pid = fork();
        if (pid == 0) {
            close(request[1]);
            close(reply[0]);
            Serve(request[0], reply[1]);
        }
        close(request[0]);
        close(reply[1]);
        if (pid > 0) {
            toHelper_ = request[1];
            fromHelper_ = reply[0];
        }
    }

    // Runs args (args[0] a path) with standard output to out and errors to err.
    static Result Run(const std::vector<std::string>& args, const std::string& out = "/dev/null",
                      const std::string& err = "/dev/null") {
        Result result;
        std::vector<std::string> message = {out, err};
        message.insert(message.end(), args.begin(), args.end());
        if (toHelper_ < 0 || !SendStrings(toHelper_, message) ||
            !ReadAll(fromHelper_, &result, sizeof result))
            result.status = -1;
        return result;
    }

  private:
    [[noreturn]] static void Serve(int in, int out) {
        std::vector<std::string> message;
        while (ReceiveStrings(in, message) && message.size() >= 3) {
            std::vector<char*> argv;
            for (std::size_t i = 2; i < message.size(); ++i) argv.push_back(message[i].data());
            argv.push_back(nullptr);
            const auto start = std::chrono::steady_clock::now();
            const pid_t child = fork();
            if (child == 0) {
                const int o = open(message[0].c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
                const int e = open(message[1].c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
                if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
                execv(argv[0], argv.data());
                _exit(127);
            }
            Result result;
            int status = 0;
            struct rusage usage {};
            if (child > 0 && wait4(child, &status, 0, &usage) == child) {
                result.seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB
            }
            if (write(out, &result, sizeof result) != static_cast<ssize_t>(sizeof result)) break;
        }
        _exit(0);
    }

    static bool ReadAll(int fd, void* data, std::size_t size) {
        auto* p = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = read(fd, p, size);
            if (n <= 0) return false;
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    static bool SendStrings(int fd, const std::vector<std::string>& strings) {
        std::string message;
        auto put = [&](std::uint32_t n) { message.append(reinterpret_cast<const char*>(&n), sizeof n); };
        put(static_cast<std::uint32_t>(strings.size()));
        for (const auto& s : strings) {
            put(static_cast<std::uint32_t>(s.size()));
            message += s;
        }
        return write(fd, message.data(), message.size()) == static_cast<ssize_t>(message.size());
    }
    static bool ReceiveStrings(int fd, std::vector<std::string>& strings) {
        std::uint32_t count = 0, size = 0;
        if (!ReadAll(fd, &count, sizeof count)) return false;
        strings.assign(count, {});
        for (auto& s : strings) {
            if (!ReadAll(fd, &size, sizeof size)) return false;
            s.resize(size);
            if (!ReadAll(fd, s.data(), size)) return false;
        }
        return true;
    }

    static inline int toHelper_ = -1;
    static inline int fromHelper_ = -1;
};

std::string SelfPath() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

// The first program of that name on PATH, or empty.
std::string OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return folder + "/" + name;
    return {};
}

// ---- the examples ----

std::vector<std::string> SequenceTexts() {
    std::vector<std::string> texts = {"MZ",    "This program", "kernel32.dll", "GetProcAddress",
                                      "setup", "install",      "UPX",          "Инсталлятор"};
    for (int i = static_cast<int>(texts.size()); i < kSequences; ++i)
        texts.push_back("marker " + std::to_string(i));
    return texts;
}

// One example: every general and sequence slot known (small category codes,
// as files give them), and the class of each target following three of its
// slots with some noise; one target in ten has no value.
struct Example {
    std::array<int, ConfigTables::kGeneralSlots + kSequences> slots{};
    std::array<std::string, kTargets> classes;
};

Example MakeExample(std::mt19937& random) {
    static const int kRange[ConfigTables::kGeneralSlots] = {4, 20, 6,  2,  2, 2, 2, 8,
                                                            7, 31, 12, 36, 7, 2, 4, 2};
    Example e;
    for (int s = 0; s < ConfigTables::kGeneralSlots; ++s)
        e.slots[s] = 1 + static_cast<int>(random() % kRange[s]) + (s == 11 ? 90 : 0);
    for (int q = 0; q < kSequences; ++q)
        e.slots[ConfigTables::kGeneralSlots + q] = 1 + static_cast<int>(random() % 2);
    static const char* const kWords[] = {"trojan", "Clean", "installer", "game", "утилита"};
    for (int t = 0; t < kTargets; ++t) {
        if (random() % 10 == 0) continue;
        const int a = e.slots[(t * 5) % 16], b = e.slots[16 + (t * 7) % kSequences],
                  c = e.slots[(t * 3 + 9) % 16];
        int cls = (a * 7 + b * 3 + c) % kClasses[t];
        if (random() % 5 == 0) cls = static_cast<int>(random() % kClasses[t]);
        e.classes[t] = kWords[cls % 5] + std::to_string(cls);
        if (random() % 10 == 0) e.classes[t][0] = static_cast<char>(std::toupper(e.classes[t][0]));
    }
    return e;
}

// The examples 1..n as `morvel-cli export --format csv` writes them.
std::string MakeCsv(int n, const ConfigTables& state) {
    std::string csv = "example";
    for (int s = 1; s <= state.AttributeCount; ++s) csv += "," + CsvField(state.AttributeNames[s]);
    for (int k = 1; k <= state.TargetCount; ++k) csv += "," + CsvField("Target" + state.TargetTable[k].Id);
    csv += "\r\n";
    std::mt19937 random(2024);
    for (int row = 1; row <= n; ++row) {
        const Example e = MakeExample(random);
        csv += std::to_string(row);
        for (const int v : e.slots) csv += "," + std::to_string(v);
        for (const auto& c : e.classes) csv += "," + CsvField(c);
        csv += "\r\n";
    }
    return csv;
}

// A store of n examples with its configuration, its CSV and a file to
// classify, in a folder of their own.
struct Data {
    std::unique_ptr<test::TempDir> temp;
    std::string folder, store, csv, file, methods, fileValues, configured, reg;
    std::string error;  // why the data could not be made
};

const Data& DataOf(int n) {
    static std::map<int, Data> all;
    if (auto it = all.find(n); it != all.end()) return it->second;
    Data& d = all[n];
    if (const char* keep = std::getenv("MORVEL_BENCH_KEEP"); keep && *keep) {
        d.folder = std::string(keep) + "/" + std::to_string(n);
        std::filesystem::create_directories(d.folder);
        std::filesystem::remove(d.folder + "/store.sqlite");
        std::filesystem::remove(d.folder + "/store.sqlite-wal");
    } else {
        d.temp = std::make_unique<test::TempDir>();
        d.folder = d.temp->path();
    }
    d.store = d.folder + "/store.sqlite";
    d.configured = d.folder + "/configured.sqlite";
    d.reg = d.folder + "/export.reg";
    d.csv = d.folder + "/examples.csv";
    d.file = d.folder + "/setup1.exe";

    Registry registry;
    ConfigTables state;
    state.PlatformVersion = ConfigTables::kNtPlatformVersion;
    std::vector<TargetEntry> targets;
    for (int t = 0; t < kTargets; ++t)
        targets.push_back({"t" + std::to_string(t), "Target " + std::to_string(t), std::string(kMethods[t])});
    if (!registry.Open(d.store) || !SaveSequenceTable(registry, state, SequenceTexts()) ||
        !SaveTargetTable(registry, state, targets)) {
        d.error = "cannot make the store";
        return d;
    }
    if (!LoadConfigurationTables(registry, state)) {
        d.error = "cannot read the store";
        return d;
    }
    {
        Registry configured;
        if (!configured.Open(d.configured) || !SaveSequenceTable(configured, state, SequenceTexts()) ||
            !SaveTargetTable(configured, state, targets)) {
            d.error = "cannot make the configured store";
            return d;
        }
    }
    const std::string csv = MakeCsv(n, state);
    test::WriteFile(d.csv, csv);
    std::int32_t first = 0, count = 0;
    ExampleStore store(registry);
    if (!ImportExamplesCsv(store, csv, &first, &count) || count != n) {
        d.error = "cannot import the generated examples";
        return d;
    }
    std::ostringstream exported, err;
    if (RunCli({"morvel-cli", "--store", d.store, "export", "--format", "csv"}, exported, err) != 0 ||
        exported.str() != csv) {
        d.error = "the generated CSV is not what export writes";
        return d;
    }
    {
        std::ostringstream reg;
        if (RunCli({"morvel-cli", "--store", d.store, "export", "--format", "reg"}, reg, err) != 0) {
            d.error = "cannot export the store as a registry file";
            return d;
        }
        test::WriteFile(d.reg, reg.str());
    }

    using namespace std::string_literals;
    test::WriteFile(d.file,
                    "MZ\x90\x00 This program cannot be run in DOS mode. kernel32.dll GetProcAddress "
                    "UPX0 \xB8\x00\xCD\x33"s);
    FileExaminer examiner;
    if (!examiner.ComputeFileAttributes(d.file, state)) {
        d.error = "cannot examine the file to classify";
        return d;
    }
    for (int s = 1; s <= state.AttributeCount; ++s)
        d.fileValues += (s > 1 ? "," : "") + std::to_string(examiner.AttributeVector()[s]);
    for (int k = 1; k <= state.TargetCount; ++k)
        d.methods += (k > 1 ? "," : "") + state.TargetTable[k].Method;
    return d;
}

// Fails the benchmark when the command failed; else gives its peak memory.
bool Check(benchmark::State& state, const CommandRunner::Result& r, const char* what) {
    if (r.status != 0) {
        state.SkipWithError(
            (std::string(what) + " failed (status " + std::to_string(r.status) + ")").c_str());
        return false;
    }
    state.counters["peak_MB"] = r.peakMb;
    return true;
}

// Reports a command's wall time as this iteration's time (once: the times
// given add up).
bool Report(benchmark::State& state, const CommandRunner::Result& r, const char* what) {
    if (!Check(state, r, what)) return false;
    state.SetIterationTime(r.seconds);
    return true;
}

void Classify(benchmark::State& state, int n) {
    const Data& d = DataOf(n);
    if (!d.error.empty()) return state.SkipWithError(d.error.c_str());
    for (auto _ : state)
        if (!Report(state,
                    CommandRunner::Run({MORVEL_CLI_PATH, "--store", d.store, "classify", "--quiet", d.file}),
                    "morvel-cli classify"))
            return;
}

void Sklearn(benchmark::State& state, int n) {
    const Data& d = DataOf(n);
    if (!d.error.empty()) return state.SkipWithError(d.error.c_str());
    const std::string out = d.folder + "/sklearn.out";
    for (auto _ : state) {
        const auto r = CommandRunner::Run(
            {kPython, MORVEL_SOURCE_DIR "/bench/sklearn_peer.py", d.csv, d.methods, d.fileValues}, out,
            d.folder + "/sklearn.err");
        if (!Check(state, r, "sklearn_peer.py")) return;
        const double fitPredict = std::atof(test::ReadFile(out).c_str());
        if (fitPredict <= 0) return state.SkipWithError("sklearn_peer.py gave no time");
        state.SetIterationTime(fitPredict);
        state.counters["whole_s"] = r.seconds;
    }
}

// Imports the CSV into a new store or database once per iteration.
enum class Importer { kMorvel, kConfigured, kSqlite, kLoad };
void Import(benchmark::State& state, int n, Importer importer) {
    const Data& d = DataOf(n);
    if (!d.error.empty()) return state.SkipWithError(d.error.c_str());
    static const std::string shell = OnPath("sqlite3");
    const std::string target = d.folder + "/imported.sqlite";
    for (auto _ : state) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(target + suffix);
        if (importer == Importer::kConfigured) std::filesystem::copy_file(d.configured, target);
        CommandRunner::Result r;
        switch (importer) {
            case Importer::kMorvel:
            case Importer::kConfigured:
                r = CommandRunner::Run(
                    {MORVEL_CLI_PATH, "--store", target, "import", "--format", "csv", d.csv});
                break;
            case Importer::kLoad:
                r = CommandRunner::Run({MORVEL_CLI_PATH, "--store", target, "load", d.reg});
                state.counters["file_MB"] =
                    static_cast<double>(std::filesystem::file_size(d.reg)) / 1048576.0;
                break;
            case Importer::kSqlite:
                r = CommandRunner::Run({shell, target, "PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
                                        ".mode csv", ".import " + d.csv + " examples"});
                break;
        }
        if (!Report(state, r, "the import")) return;
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(target + suffix);
}

// A folder of files to remember, and a store with the configuration alone.
struct Folder {
    std::unique_ptr<test::TempDir> temp;
    std::string folder, configured, error;
};

const Folder& FolderOf(int files) {
    static std::map<int, Folder> all;
    if (auto it = all.find(files); it != all.end()) return it->second;
    Folder& f = all[files];
    f.temp = std::make_unique<test::TempDir>();
    f.folder = f.temp->path() + "/setups";
    f.configured = f.temp->path() + "/configured.sqlite";
    std::filesystem::create_directories(f.folder);
    std::mt19937 random(7);
    const auto texts = SequenceTexts();
    for (int i = 0; i < files; ++i) {
        // Sizes from 2 KiB to 1.5 MiB, so that both ways of reading a file's window are met.
        const std::size_t size = i % 10 == 9 ? (1u << 20) + (1u << 19) : 2048u << (i % 8);
        std::string bytes = "MZ";
        bytes.resize(size);
        for (std::size_t b = 2; b < size; ++b) bytes[b] = static_cast<char>(random() % 96 + 32);
        for (std::size_t b = 0; b < texts.size(); ++b)
            if (random() % 2) bytes.replace(64 + 40 * b, texts[b].size(), texts[b]);
        test::WriteFile(f.folder + "/setup" + std::to_string(i) + ".exe", bytes);
    }
    Registry registry;
    ConfigTables state;
    std::vector<TargetEntry> targets;
    for (int t = 0; t < kTargets; ++t)
        targets.push_back({"t" + std::to_string(t), "Target " + std::to_string(t), std::string(kMethods[t])});
    if (!registry.Open(f.configured) || !SaveSequenceTable(registry, state, SequenceTexts()) ||
        !SaveTargetTable(registry, state, targets))
        f.error = "cannot make the store";
    return f;
}

// remember -r of the folder into a fresh copy of the configured store, or
// attributes -r of the folder.
void Folders(benchmark::State& state, int files, bool remember) {
    const Folder& f = FolderOf(files);
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    const std::string store = f.temp->path() + "/store.sqlite";
    for (auto _ : state) {
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(store + suffix);
        std::filesystem::copy_file(f.configured, store);
        std::vector<std::string> args = {
            MORVEL_CLI_PATH, "--store", store, remember ? "remember" : "attributes", "-r",
            "--quiet",       f.folder};
        if (remember) args.insert(args.end(), {"t0=installer", "t3=Clean"});
        if (!Report(state, CommandRunner::Run(args), remember ? "remember -r" : "attributes -r")) return;
    }
}

// The child's part of read/... and compact/...: reads every example of the
// store once (from the values, or from the compact rows), or builds every
// compact row anew as on first use; prints the seconds it took and the
// examples read or rows built.
int ReadOnce(const std::string& how, const std::string& store) {
    Registry registry;
    if (!registry.Open(store)) return 2;
    ConfigTables state;
    if (!LoadConfigurationTables(registry, state)) return 2;
    // first-use: a store without compact rows; all-dirty: every row marked, as after a large import.
    const char* prepare = how == "first-use" ? "DELETE FROM compact_state"
                          : how == "all-dirty"
                              ? "INSERT OR IGNORE INTO compact_dirty SELECT key FROM compact_examples"
                              : nullptr;
    if (prepare && !registry.ExecDerived(prepare, "the compact rows")) return 2;
    const auto start = std::chrono::steady_clock::now();
    std::int64_t rows = 0;
    if (how == "values") {
        std::shared_ptr<const StoredExamples> read;
        if (!ReadExamplesFromValues(registry, state, read)) return 2;
        rows = read->Rows();
    } else if (how == "compact") {
        std::shared_ptr<const StoredExamples> read;
        if (!ReadCompactExamples(registry, state, read)) return 2;
        rows = read->Rows();
    } else if (prepare) {
        if (!RefreshCompactExamples(registry)) return 2;
    } else {
        return 2;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (prepare) {
        auto count = registry.DerivedStatement("SELECT count(*) FROM compact_examples");
        if (count->Lookup("the compact rows")) rows = count->Int(0);
    }
    std::printf("%.6f %lld\n", seconds, static_cast<long long>(rows));
    return 0;
}

void Read(benchmark::State& state, int n, const char* how) {
    const Data& d = DataOf(n);
    if (!d.error.empty()) return state.SkipWithError(d.error.c_str());
    static const std::string self = SelfPath();
    const std::string out = d.folder + "/read.out";
    for (auto _ : state) {
        if (!Check(state, CommandRunner::Run({self, "--read-once", how, d.store}, out), how)) return;
        double seconds = 0;
        long long rows = 0;
        if (std::sscanf(test::ReadFile(out).c_str(), "%lf %lld", &seconds, &rows) != 2 || rows != n)
            return state.SkipWithError("not every example was read or built");
        state.SetIterationTime(seconds);
    }
}

}  // namespace
}  // namespace morvel

int main(int argc, char** argv) {
    using namespace morvel;
    if (argc == 4 && std::string(argv[1]) == "--read-once") return ReadOnce(argv[2], argv[3]);
    CommandRunner::Start();

    auto add = [](const std::string& name, int repetitions, auto&& fn) {
        benchmark::RegisterBenchmark(name.c_str(), fn)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(repetitions)
            ->ReportAggregatesOnly(repetitions > 1);
    };
    for (int n : {10000, 100000})
        add("classify/" + std::to_string(n), 3, [n](benchmark::State& s) { Classify(s, n); });
    const bool sklearn = CommandRunner::Run({kPython, "-c", "import sklearn"}).status == 0;
    if (sklearn) {
        add("sklearn/100000", 3, [](benchmark::State& s) { Sklearn(s, 100000); });
    } else {
        std::fprintf(stderr,
                     "Leaving out the scikit-learn peer: %s cannot import sklearn "
                     "(install Debian's python3-sklearn).\n",
                     kPython);
    }
    for (int n : {10000, 100000})
        add("import/morvel/" + std::to_string(n), 3,
            [n](benchmark::State& s) { Import(s, n, Importer::kMorvel); });
    // Five runs each of the imports whose ratio is a goal: the sqlite3 shell's
    // half-second import varies by a third from run to run with the disk.
    add("import/configured/100000", 5, [](benchmark::State& s) { Import(s, 100000, Importer::kConfigured); });
    add("load/100000", 3, [](benchmark::State& s) { Import(s, 100000, Importer::kLoad); });
    const bool sqlite = !OnPath("sqlite3").empty();
    if (sqlite) {
        add("import/sqlite3/100000", 5, [](benchmark::State& s) { Import(s, 100000, Importer::kSqlite); });
    } else {
        std::fprintf(stderr,
                     "Leaving out the sqlite3 peer: no sqlite3 on PATH (install Debian's sqlite3).\n");
    }
    for (int n : {10000, 100000}) {
        add("read/values/" + std::to_string(n), 3, [n](benchmark::State& s) { Read(s, n, "values"); });
        add("read/compact/" + std::to_string(n), 3, [n](benchmark::State& s) { Read(s, n, "compact"); });
    }
    add("attributes/103", 5, [](benchmark::State& s) { Folders(s, 103, false); });
    add("remember/103", 5, [](benchmark::State& s) { Folders(s, 103, true); });
    add("compact/first-use/100000", 3, [](benchmark::State& s) { Read(s, 100000, "first-use"); });
    add("compact/all-dirty/100000", 3, [](benchmark::State& s) { Read(s, 100000, "all-dirty"); });

    using Ratio = bench::RatioReporter::Ratio;
    return bench::RunWithRatios(
        argc, argv,
        {Ratio{"sklearn / classify, 100000 (goal: >= 10)", "sklearn/100000", "classify/100000"},
         Ratio{"remember -r / attributes -r, 103 files (goal: <= 3)", "remember/103", "attributes/103"},
         Ratio{"import morvel / sqlite3, 100000", "import/morvel/100000", "import/sqlite3/100000"},
         Ratio{"import configured / sqlite3, 100000 (goal: <= 5)", "import/configured/100000",
               "import/sqlite3/100000"},
         Ratio{"load / import configured, 100000, time (goal: <= 2)", "load/100000",
               "import/configured/100000"},
         Ratio{"load / import configured, 100000, memory", "load/100000", "import/configured/100000",
               "peak_MB"},
         Ratio{"classify time 100000 / 10000 (goal: <= 11)", "classify/100000", "classify/10000"},
         Ratio{"classify memory 100000 / 10000 (goal: <= 11)", "classify/100000", "classify/10000",
               "peak_MB"},
         Ratio{"import time 100000 / 10000", "import/morvel/100000", "import/morvel/10000"},
         Ratio{"read time 100000 / 10000", "read/values/100000", "read/values/10000"},
         Ratio{"compact read time 100000 / 10000", "read/compact/100000", "read/compact/10000"},
         Ratio{"compact read / values read, time", "read/compact/100000", "read/values/100000"},
         Ratio{"compact read / values read, memory", "read/compact/100000", "read/values/100000",
               "peak_MB"}});
}
