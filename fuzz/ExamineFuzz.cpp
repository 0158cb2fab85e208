// ComputeFileAttributes on arbitrary contents and names. The input is a name
// (up to the first NUL, slashes replaced) and the file's contents; every
// computed slot must stay within its codes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "core/attributes/FileExaminer.h"

namespace {

morvel::test::TempDir& Folder() {
    static morvel::test::TempDir dir;
    return dir;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static morvel::FileExaminer examiner;
    static morvel::ConfigTables state = [] {
        morvel::ConfigTables s;
        s.PlatformVersion = morvel::ConfigTables::kNtPlatformVersion;
        const char* texts[] = {"MZ", "This program", "вирус", "PE", "\xCD\x33", "a"};
        s.SequenceCount = 6;
        for (int i = 0; i < 6; ++i) s.SequenceTable[i + 1] = texts[i];
        return s;
    }();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    std::string name = input.substr(0, std::min<std::size_t>(nul, 200));
    for (char& c : name)
        if (c == '/') c = '_';
    if (name.empty() || name == "." || name == "..") name = "x.exe";
    const std::string contents = nul == std::string::npos ? std::string() : input.substr(nul + 1);
    const std::string path = Folder() / name;
    morvel::test::WriteFile(path, contents);

    if (examiner.ComputeFileAttributes(path, state)) {
        const auto& v = examiner.AttributeVector();
        Check(v[1] >= 1 && v[1] <= 4);
        Check(v[3] <= 6 && v[8] >= 1 && v[8] <= 8 && v[9] <= 7);
        for (int s : {4, 5, 6, 7, 16}) Check(v[s] == 1 || v[s] == 2);
        for (int k = 17; k <= 22; ++k) Check(v[k] == 1 || v[k] == 2);
        Check(examiner.WindowLength() >= 0 && examiner.WindowLength() <= morvel::FileExaminer::kWindowSize);
        Check(static_cast<std::size_t>(examiner.WindowLength()) ==
              std::min<std::size_t>(contents.size(), 1 << 20));
    }
    unlink(path.c_str());
    return 0;
}
