// The header reader on executables built in memory: what each kind of file
// says about itself, and hostile headers that must give sane codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "core/attributes/ExecutableImages.h"
#include "core/attributes/HeaderFacts.h"

namespace morvel {
namespace {

using namespace header_slot;
using test::BuildPe;
using test::PeSpec;
using test::SectionSpec;

constexpr std::uint8_t kYesCode = 1, kNoCode = 2;

// The codes of a file, its first MiB taken as the examined window. servedBytes
// limits what the read function returns (a file that shrank after its size
// was taken).
struct Facts {
    HeaderCodes codes;
    std::uint8_t operator[](std::int32_t slot) const { return codes[slot - 1]; }
};
Facts Read(const std::string& bytes, std::size_t servedBytes = SIZE_MAX) {
    const ReadAtFn read = [&](std::uint64_t offset, void* buf, std::size_t n) -> std::size_t {
        const std::size_t served = std::min(bytes.size(), servedBytes);
        if (offset >= served) return 0;
        const std::size_t take = std::min<std::size_t>(n, served - offset);
        std::memcpy(buf, bytes.data() + offset, take);
        return take;
    };
    const auto window = static_cast<std::int32_t>(std::min<std::size_t>(bytes.size(), 1 << 20));
    return {ReadHeaderFacts(read, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()), window)};
}

// Every slot but the entropy is 0.
bool OnlyEntropy(const Facts& f) {
    return std::all_of(f.codes.begin(), f.codes.end() - 1, [](std::uint8_t c) { return c == 0; });
}

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

TEST(HeaderFactsTest, ConsoleX64ExeImportingMsvcrt) {
    PeSpec shape;
    shape.pe64 = true;
    shape.machine = 0x8664;
    shape.characteristics = 0x0022;
    shape.imports = {"KERNEL32.dll", "msvcrt.dll"};
    const Facts f = Read(BuildPe(shape));
    EXPECT_EQ(f[kFormat], 6);
    EXPECT_EQ(f[kMachine], 2);
    EXPECT_EQ(f[kSubsystem], 3);
    EXPECT_EQ(f[kDll], kNoCode);
    EXPECT_EQ(f[kDotNet], kNoCode);
    EXPECT_EQ(f[kStub], 1);
    EXPECT_EQ(f[kImports], 4);
    EXPECT_EQ(f[kSections], 3);  // .text and .idata
    EXPECT_EQ(f[kLinker], 15);
    EXPECT_EQ(f[kOverlay], 1);
    EXPECT_EQ(f[kSigned], kNoCode);
    EXPECT_EQ(f[kManifest], 1);
    EXPECT_EQ(f[kPacker], 3);
    EXPECT_NE(f[kEntropy], 0);
}

TEST(HeaderFactsTest, GuiPe32DllWithoutEntryPoint) {
    PeSpec shape;
    shape.subsystem = 2;
    shape.characteristics = 0x2102;
    shape.entryRva = 0;
    shape.imports = {"USER32.dll", "GDI32.dll"};
    const Facts f = Read(BuildPe(shape));
    EXPECT_EQ(f[kFormat], 5);
    EXPECT_EQ(f[kMachine], 1);
    EXPECT_EQ(f[kSubsystem], 2);
    EXPECT_EQ(f[kDll], kYesCode);
    EXPECT_EQ(f[kImports], 6);
    EXPECT_EQ(f[kPacker], 3);
}

TEST(HeaderFactsTest, RuntimeImportsRankKernelThenDotNetThenVisualCThenMsvcrt) {
    PeSpec shape;
    shape.imports = {"msvcrt.dll", "ntoskrnl.exe", "mscoree.dll"};
    EXPECT_EQ(Read(BuildPe(shape))[kImports], 3);
    shape.imports = {"msvcrt.dll", "mscoree.dll", "vcruntime140.dll"};
    EXPECT_EQ(Read(BuildPe(shape))[kImports], 2);
    shape.imports = {"msvcrt.dll", "api-ms-win-crt-runtime-l1-1-0.dll"};
    EXPECT_EQ(Read(BuildPe(shape))[kImports], 5);
    shape.imports = {"kernel32.dll", "MSVCR100.dll"};
    EXPECT_EQ(Read(BuildPe(shape))[kImports], 5);
    // msvcrt.dll shares its first letters with the Visual C++ runtimes
    // (msvcr100.dll) but is the system's C library.
    shape.imports = {"kernel32.dll", "MSVCRT.DLL"};
    EXPECT_EQ(Read(BuildPe(shape))[kImports], 4);
    shape.imports = {};
    EXPECT_EQ(Read(BuildPe(shape))[kImports], 1);
}

TEST(HeaderFactsTest, DotNetImageAndNativeDriver) {
    PeSpec net;
    net.clrHeader = true;
    net.imports = {"mscoree.dll"};
    const Facts n = Read(BuildPe(net));
    EXPECT_EQ(n[kDotNet], kYesCode);
    EXPECT_EQ(n[kImports], 2);

    PeSpec driver;
    driver.pe64 = true;
    driver.machine = 0x8664;
    driver.subsystem = 1;
    driver.imports = {"ntoskrnl.exe", "HAL.dll"};
    const Facts d = Read(BuildPe(driver));
    EXPECT_EQ(d[kSubsystem], 1);
    EXPECT_EQ(d[kImports], 3);
    EXPECT_EQ(d[kDotNet], kNoCode);
}

TEST(HeaderFactsTest, SignedInstallerWithBigOverlayAskingForElevation) {
    PeSpec shape;
    shape.subsystem = 2;
    shape.resources = true;
    shape.manifest = R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>)";
    shape.overlay = 2 << 20;
    shape.certificate = 6000;
    const Facts f = Read(BuildPe(shape));
    EXPECT_EQ(f[kOverlay], 5);
    EXPECT_EQ(f[kManifest], 4);
    EXPECT_EQ(f[kSigned], kYesCode);
}

TEST(HeaderFactsTest, CertificateAfterTheImageIsNoOverlay) {
    PeSpec shape;
    shape.certificate = 100 * 1024;
    EXPECT_EQ(Read(BuildPe(shape))[kOverlay], 1);
    shape.overlay = 100;
    EXPECT_EQ(Read(BuildPe(shape))[kOverlay], 2);
}

TEST(HeaderFactsTest, ManifestsAndResourcesWithoutOne) {
    PeSpec shape;
    shape.resources = true;
    EXPECT_EQ(Read(BuildPe(shape))[kManifest], 2);
    shape.manifest = R"(<requestedExecutionLevel level="asInvoker"/>)";
    EXPECT_EQ(Read(BuildPe(shape))[kManifest], 3);
    shape.manifest = R"(<requestedExecutionLevel level="highestAvailable"/>)";
    EXPECT_EQ(Read(BuildPe(shape))[kManifest], 4);
}

TEST(HeaderFactsTest, PackerSectionsAndWritableOrStrayEntryPoints) {
    PeSpec shape;
    shape.sections = {{"UPX0", 0xE0000080, 0}, {"UPX1", 0xE0000040, 0x400}};
    EXPECT_EQ(Read(BuildPe(shape))[kPacker], 1);
    shape.sections = {{".text", 0xE0000020, 0x200}};  // writable code
    EXPECT_EQ(Read(BuildPe(shape))[kPacker], 2);
    shape.sections = {SectionSpec{}};
    shape.entryRva = 0x50000;  // past every section
    EXPECT_EQ(Read(BuildPe(shape))[kPacker], 2);
}

TEST(HeaderFactsTest, SectionCountIsCappedAndLinkerVersionKept) {
    PeSpec shape;
    shape.sections.assign(40, SectionSpec{});
    shape.linkerMajor = 255;
    const Facts f = Read(BuildPe(shape));
    EXPECT_EQ(f[kSections], 33);
    EXPECT_EQ(f[kLinker], 255);
}

TEST(HeaderFactsTest, DosStubs) {
    PeSpec shape;
    shape.stub = "Wine builtin DLL";
    EXPECT_EQ(Read(BuildPe(shape))[kStub], 2);
    shape.stub = "Wine placeholder DLL This program cannot be run in DOS mode";
    EXPECT_EQ(Read(BuildPe(shape))[kStub], 2);
    shape.stub = "This program must be run under Win32\r\n$";
    EXPECT_EQ(Read(BuildPe(shape))[kStub], 1);
    shape.stub = "Hello from a stub";
    EXPECT_EQ(Read(BuildPe(shape))[kStub], 3);
    shape.stub = "";
    shape.newHeader = 0x40;
    const Facts f = Read(BuildPe(shape));
    EXPECT_EQ(f[kStub], 4);
    EXPECT_EQ(f[kFormat], 5);
}

TEST(HeaderFactsTest, NeLeAndLxModulesGetFormatLibraryAndStubOnly) {
    const Facts library = Read(test::SegmentedImage("NE", 0x8302));
    EXPECT_EQ(library[kFormat], 2);
    EXPECT_EQ(library[kDll], kYesCode);
    EXPECT_EQ(library[kStub], 1);
    EXPECT_EQ(library[kMachine], 0);
    EXPECT_EQ(library[kImports], 0);
    EXPECT_EQ(library[kSections], 0);
    EXPECT_EQ(Read(test::SegmentedImage("NE", 0x0302))[kDll], kNoCode);

    const Facts lx = Read(test::SegmentedImage("LX", 0x00000000));
    EXPECT_EQ(lx[kFormat], 4);
    EXPECT_EQ(lx[kDll], kNoCode);
    EXPECT_EQ(lx[kOverlay], 0);
    EXPECT_EQ(Read(test::SegmentedImage("LX", 0x00008000))[kDll], kYesCode);
    const Facts vxd = Read(test::SegmentedImage("LE", 0x00028000));  // a virtual device driver
    EXPECT_EQ(vxd[kFormat], 3);
    EXPECT_EQ(vxd[kDll], kYesCode);
}

TEST(HeaderFactsTest, PlainDosNonMzAndEmptyFiles) {
    std::string dos = test::MzHeader(0, "");
    dos.resize(0x300, '\xCD');
    const Facts d = Read(dos);
    EXPECT_EQ(d[kFormat], 1);
    EXPECT_TRUE(std::all_of(d.codes.begin() + 1, d.codes.end() - 1, [](std::uint8_t c) { return c == 0; }));

    const Facts elf = Read(
        "\x7F"
        "ELF" +
        std::string(200, '\1'));
    EXPECT_TRUE(OnlyEntropy(elf));
    EXPECT_NE(elf[kEntropy], 0);

    const Facts empty = Read("");
    EXPECT_TRUE(OnlyEntropy(empty));
    EXPECT_EQ(empty[kEntropy], 0);
}

TEST(HeaderFactsTest, UnknownOptionalHeaderMagic) {
    std::string b = BuildPe(PeSpec{});
    test::Put16(b, 0x80 + 24, 0x107);  // a ROM image
    const Facts f = Read(b);
    EXPECT_EQ(f[kFormat], 7);
    EXPECT_EQ(f[kMachine], 0);
}

TEST(HeaderFactsTest, EntropyClassesOfZerosPeriodicTextAndRandomBytes) {
    EXPECT_EQ(Read(std::string(1 << 20, '\0'))[kEntropy], 1);
    // Sixteen values in turn: 4 bits a byte, also when the window is sampled.
    std::string sixteen(1 << 20, '\0');
    for (std::size_t i = 0; i < sixteen.size(); ++i) sixteen[i] = static_cast<char>('a' + i % 16);
    EXPECT_EQ(Read(sixteen)[kEntropy], 3);
    // Eight-byte records whose bytes differ from each other: a sample of every
    // n-th byte would see one value.
    std::string records = RandomBytes(1 << 20, 3);
    for (std::size_t i = 0; i < records.size(); i += 8) records[i] = 0;
    EXPECT_GE(Read(records)[kEntropy], 6);
    EXPECT_EQ(Read(RandomBytes(1 << 20, 1))[kEntropy], 8);
    // Sixty-four values in turn in a window short enough to be counted whole: 6 bits.
    std::string sixtyFour(4096, '\0');
    for (std::size_t i = 0; i < sixtyFour.size(); ++i) sixtyFour[i] = static_cast<char>(i % 64);
    EXPECT_EQ(Read(sixtyFour)[kEntropy], 5);
}

// Hostile headers: each must give codes a caller can use, and read only
// inside the file (the sanitizer builds and the fuzz target check that).
TEST(HeaderFactsTest, NewHeaderPointerPastTheEndIsPlainDos) {
    for (const std::uint32_t pointer : {0x1000u, 0xFFFFFFFFu, 0xFFFFFFFEu, 0x1FEu}) {
        std::string b = test::MzHeader(0x40, "");
        b.resize(0x200, '\0');
        test::Put32(b, 0x3C, pointer);
        const Facts f = Read(b);
        EXPECT_EQ(f[kFormat], 1) << pointer;
        EXPECT_EQ(f[kStub], 0) << pointer;
    }
}

TEST(HeaderFactsTest, CutOffHeadersAndSectionTable) {
    PeSpec shape;
    shape.imports = {"msvcrt.dll"};
    test::PeLayout where;
    const std::string whole = BuildPe(shape, &where);
    // Cut in the optional header: the format stands, the rest cannot be read.
    const Facts optional = Read(whole.substr(0, where.optionalHeader + 40));
    EXPECT_EQ(optional[kFormat], 5);
    EXPECT_EQ(optional[kMachine], 0);
    // Cut in the second section's entry: the first section still counts.
    const Facts table = Read(whole.substr(0, where.sectionTable + 60));
    EXPECT_EQ(table[kFormat], 5);
    EXPECT_EQ(table[kSections], 3);
    EXPECT_EQ(table[kImports], 1);
    EXPECT_EQ(table[kOverlay], 1);
    // Every shorter file: a name cut off before its end is no name of the
    // runtime it starts like ("msvcr" is no Visual C++ runtime here).
    for (std::size_t n = 0; n <= whole.size(); n += 3) {
        const Facts f = Read(whole.substr(0, n));
        EXPECT_TRUE(f[kFormat] == 0 || f[kFormat] == 1 || f[kFormat] == 5 || f[kFormat] == 7) << n;
        EXPECT_TRUE(f[kImports] != 2 && f[kImports] != 3 && f[kImports] != 5) << n;
    }
    // A read that stops short of the size it claims.
    const Facts shortRead = Read(whole, where.sectionTable);
    EXPECT_EQ(shortRead[kFormat], 5);
    EXPECT_EQ(shortRead[kImports], 1);
}

TEST(HeaderFactsTest, ImportPointersOutsideTheImage) {
    PeSpec shape;
    shape.imports = {"msvcrt.dll"};
    test::PeLayout where;
    std::string b = BuildPe(shape, &where);
    test::Put32(b, where.importOffset + 12, 0x7FFFFFF0);  // the name
    EXPECT_EQ(Read(b)[kImports], 6);
    const std::uint32_t directory = where.optionalHeader + 96 + 8;
    test::Put32(b, directory, 0xFFFFFFF0);  // the directory itself
    EXPECT_EQ(Read(b)[kImports], 1);
    // A directory without its terminating descriptor, running to the end of the section.
    b = BuildPe(shape, &where);
    b.replace(where.importOffset + 20, 0x200 - 20, std::string(0x200 - 20, '\x11'));
    EXPECT_EQ(Read(b)[kImports], 6);
}

TEST(HeaderFactsTest, ResourceDirectoriesThatLoopOrPointAway) {
    PeSpec shape;
    shape.resources = true;
    shape.manifest = "<assembly/>";
    test::PeLayout where;
    const std::string good = BuildPe(shape, &where);
    ASSERT_EQ(Read(good)[kManifest], 3);

    std::string loop = good;  // the type entry's subdirectory is the root itself
    test::Put32(loop, where.resourceOffset + 20, 0x80000000u);
    EXPECT_EQ(Read(loop)[kManifest], 2);

    std::string away = good;  // the name directory far past the section
    test::Put32(away, where.resourceOffset + 20, 0xFFFFFFFFu);
    EXPECT_EQ(Read(away)[kManifest], 2);

    std::string data = good;  // the manifest's data past the file, and a huge size
    test::Put32(data, where.resourceOffset + 0x48, 0xFFFFFF00u);
    test::Put32(data, where.resourceOffset + 0x4C, 0xFFFFFFFFu);
    EXPECT_EQ(Read(data)[kManifest], 2);

    std::string many = good;  // a root claiming 65535 entries of each kind
    test::Put16(many, where.resourceOffset + 12, 0xFFFF);
    test::Put16(many, where.resourceOffset + 14, 0xFFFF);
    EXPECT_EQ(Read(many)[kManifest], 2);
}

TEST(HeaderFactsTest, CertificateTablePastTheEndIsNoSignature) {
    PeSpec shape;
    shape.certificate = 64;
    test::PeLayout where;
    std::string b = BuildPe(shape, &where);
    test::Put32(b, where.optionalHeader + 96 + 4 * 8 + 4, 0xFFFFFFFFu);
    const Facts f = Read(b);
    EXPECT_EQ(f[kSigned], kNoCode);
    EXPECT_EQ(f[kOverlay], 2);
}

}  // namespace
}  // namespace morvel
