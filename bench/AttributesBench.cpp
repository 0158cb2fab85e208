// The examination of a 3 MiB file with 100 search sequences: end to end, the
// reference per-pattern scan of the lowered window alone, and the floor (the
// read of the window plus its lowering).
#include <fcntl.h>
#include <unistd.h>

#include <random>

#include "RatioReporter.h"
#include "TestSupport.h"
#include "core/attributes/FileExaminer.h"
#include "core/platform/CodePage.h"

namespace morvel {
namespace {

struct Fixture {
    test::TempDir dir;
    std::string path = dir / "sample.exe";
    ConfigTables state;
    std::vector<std::string> patterns;

    Fixture() {
        std::mt19937 rng(7);
        std::string bytes(3 << 20, '\0');
        for (auto& b : bytes)
            b = static_cast<char>(rng() % 4 == 0 ? rng() % 256 : "MZ.text\0PE\0\0"[rng() % 12]);
        const std::vector<std::string> words = {
            "kernel32.dll", "This program",        "LoadLibrary", "GetProcAddress", "ВИРУС",
            "троян",        "Программа установки", "setup",       "UPX!",           "MZ"};
        bytes.replace(1000, 6, "UPX!ab");
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        state.SequenceCount = 100;
        for (int k = 1; k <= 100; ++k) {
            std::string text = words[k % words.size()];
            if (k > 10) {  // mostly absent texts of 2 to 20 characters
                text = (k % 3 == 0 ? "Тест" : "probe") + std::to_string(k * 7919);
                text.resize(std::min<std::size_t>(2 + k % 19, text.size()));
                if (text.size() < 2) text += "zq";
            }
            state.SequenceTable[k] = text;
            patterns.push_back(PatternBytes(text));
        }
        test::WriteFile(path, bytes);
    }
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

void BM_ComputeFileAttributes(benchmark::State& s) {
    auto& f = Data();
    FileExaminer examiner;
    for (auto _ : s) benchmark::DoNotOptimize(examiner.ComputeFileAttributes(f.path, f.state));
}
BENCHMARK(BM_ComputeFileAttributes)->Unit(benchmark::kMillisecond);

void BM_LiteralScanOfLoweredWindow(benchmark::State& s) {
    auto& f = Data();
    FileExaminer examiner;
    if (!examiner.ComputeFileAttributes(f.path, f.state)) return s.SkipWithError("cannot examine the file");
    const std::uint8_t* w = examiner.LoweredWindow();
    const std::int32_t m = examiner.WindowLength();
    for (auto _ : s) {
        int found = 0;
        for (const auto& p : f.patterns) {
            const auto n = static_cast<std::int32_t>(p.size());
            for (std::int32_t i = 0; i <= m - n; ++i) {
                if (w[i] != static_cast<std::uint8_t>(p[0])) continue;
                std::int32_t k = 1;
                while (k < n && w[i + k] == static_cast<std::uint8_t>(p[k])) ++k;
                if (k == n) {
                    ++found;
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_LiteralScanOfLoweredWindow)->Unit(benchmark::kMillisecond);

void BM_ReadWindowAndLower(benchmark::State& s) {
    auto& f = Data();
    std::vector<std::uint8_t> window(1 << 20), lowered(1 << 20);
    for (auto _ : s) {
        const int fd = open(f.path.c_str(), O_RDONLY | O_NONBLOCK);
        const ssize_t head = pread(fd, window.data(), 1 << 19, 0);
        const ssize_t tail =
            pread(fd, window.data() + (1 << 19) + 1, (1 << 19) - 1, (3 << 20) - ((1 << 19) - 1));
        close(fd);
        codepage::LowerBytes(window.data(), lowered.data(), window.size());
        benchmark::DoNotOptimize(head + tail);
        benchmark::DoNotOptimize(lowered.data());
    }
}
BENCHMARK(BM_ReadWindowAndLower)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morvel

int main(int argc, char** argv) {
    return morvel::bench::RunWithRatios(
        argc, argv,
        {{"end to end / floor (goal <= 2)", "BM_ComputeFileAttributes", "BM_ReadWindowAndLower"},
         {"literal scan / end to end (goal >= 50)", "BM_LiteralScanOfLoweredWindow",
          "BM_ComputeFileAttributes"}});
}
