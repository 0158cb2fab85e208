// The examination of a 3 MiB file with 100 search sequences: end to end, the
// reference per-pattern scan of the lowered window alone, and the floor (the
// read of the window plus its lowering).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "RatioReporter.h"
#include "TestSupport.h"
#include "core/attributes/FileExaminer.h"
#include "core/attributes/HeaderFacts.h"
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
        // A PE32 console image's headers at the start, so that the header
        // reader goes past the MZ header as it does for real programs.
        bytes.replace(0, 0x200, std::string(0x200, '\0'));
        bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3C] = 0x40;
        bytes.replace(0x40, 4, std::string("PE\0\0", 4));
        bytes[0x44] = 0x4C, bytes[0x45] = 0x01, bytes[0x54] = static_cast<char>(0xE0), bytes[0x56] = 0x02;
        bytes[0x58] = 0x0B, bytes[0x59] = 0x01, bytes[0x58 + 68] = 3;
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

// The header slots' share of the examination: the headers read from the
// examined window as the examiner reads them, and the entropy of the window.
void BM_ReadHeaderFacts(benchmark::State& s) {
    auto& f = Data();
    // The file's first mebibyte as it is on disk, headers included, stands for its window.
    std::vector<std::uint8_t> window(FileExaminer::kWindowSize);
    const int fd = open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd >= 0 ? pread(fd, window.data(), window.size(), 0) : -1;
    if (fd >= 0) close(fd);
    if (got != static_cast<ssize_t>(window.size())) return s.SkipWithError("cannot read the file");
    const ReadAtFn read = [&](std::uint64_t offset, void* buf, std::size_t n) -> std::size_t {
        if (offset >= window.size()) return 0;
        n = std::min<std::size_t>(n, window.size() - offset);
        std::memcpy(buf, window.data() + offset, n);
        return n;
    };
    for (auto _ : s)
        benchmark::DoNotOptimize(
            ReadHeaderFacts(read, 3 << 20, window.data(), static_cast<std::int32_t>(window.size())));
}
BENCHMARK(BM_ReadHeaderFacts)->Unit(benchmark::kMillisecond);

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
          "BM_ComputeFileAttributes"},
         // With the header slots read, the examination takes at most 1.1 times
         // its time without them: their share at most 1/11 of the whole.
         {"header slots / end to end (goal <= 0.091)", "BM_ReadHeaderFacts", "BM_ComputeFileAttributes"}});
}
