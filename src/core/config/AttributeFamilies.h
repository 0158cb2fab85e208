// AttributeFamilies: the one table of the attribute families. A family is a
// run of slots of the attribute vector, stored in an example under value
// names of one prefix, whose codes say one kind of thing about a file: the
// general attributes (Standard1 ... Standard16), the search sequences
// (Contain and the sequence's text) and the header attributes (Header and a
// word: HeaderMachine), read from the executable's own headers. For each slot the table gives its
// value name, a short title and what its codes mean.
//
// The configuration tables build the attribute names from it; the examiner
// fills the slots it names here; explain, rank, the exporters and the CSV
// import read titles, codes and value names from it. The attributes window
// shows the general attributes in the interface's own words, from the
// language files. Everything here is read-only and may be read from any
// thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace morvel {

// The general slots, by name: slot 1..16 of every vector.
namespace slot {
enum : std::int32_t {
    kExtension = 1,  // 1 exe, 2 com, 3 scr, 4 other
    kNameLength,     // characters of the base name, at most 255
    kFirstSymbol,    // the kind of the base name's first character
    kHasDigit,       // yes/no codes: 1 yes, 2 no
    kHasRussianLetter,
    kHasSpecialCharacter,
    kHasLatinLetter,
    kSizeClass,       // 1 under 1 KiB ... 8 one GiB or more
    kExecutableType,  // the executable type plus one; 4 when unknown
    kDay,             // of the last write, in UTC
    kMonth,
    kYear,         // years since 1900
    kWeekday,      // 1 Monday ... 7 Sunday
    kSystemFlag,   // yes/no
    kTimeOfDay,    // 1 night, 2 morning, 3 day, 4 evening
    kInt33Marker,  // yes/no: the mouse-interrupt marker in the contents
};
}  // namespace slot

// The header slots, by name: header slot h of a vector is slot
// 16 + the number of sequences + h. Each code's meaning is in
// AttributeFamilies.cpp; 0 means the slot does not apply to the file (it is
// no executable of the format the slot reads, or lacks the field). The
// numbers are kept in stored examples: new slots go at the end.
namespace header_slot {
enum : std::int32_t {
    kFormat = 1,  // 1 DOS, 2 NE, 3 LE, 4 LX, 5 PE32, 6 PE32+, 7 MZ with an unknown new header
    kMachine,     // PE: 1 x86, 2 x86-64, 3 ARM, 4 ARM64, 5 Itanium, 6 other
    kSubsystem,   // PE: 1 native, 2 Windows GUI, 3 Windows console, 4 EFI, 5 other
    kDll,         // PE, NE, LE, LX: yes/no, the module is a library
    kDotNet,      // PE: yes/no, the image has a .NET runtime header
    kStub,        // NE, LE, LX, PE: 1 the usual DOS stub, 2 Wine's builtin stub, 3 another, 4 none
    kImports,     // PE: 1 no imports, 2 .NET runtime, 3 kernel, 4 msvcrt, 5 Visual C++ runtime, 6 other
    kSections,    // PE: the number of sections plus one, 33 for 32 or more
    kLinker,      // PE: the linker's major version plus one, at most 255
    kOverlay,     // PE: bytes after the image: 1 none, 2 <4 KiB, 3 <64 KiB, 4 <1 MiB, 5 more
    kSigned,      // PE: yes/no, the image has a certificate table
    kManifest,    // PE: 1 no resources, 2 no manifest, 3 a manifest, 4 one asking for elevation
    kPacker,      // PE: 1 a known packer's sections, 2 entry in a writable section or none, 3 neither
    kEntropy,     // any file: bits per byte of the examined window, in 8 classes
};
}  // namespace header_slot
inline constexpr std::int32_t kHeaderSlotCount = header_slot::kEntropy;

// Yes/no codes of the yes/no slots and the sequence slots.
inline constexpr std::uint8_t kYes = 1;
inline constexpr std::uint8_t kNo = 2;

// What one slot's codes mean. 0 is never a code: it means the value is not
// available.
struct SlotCodes {
    enum class Kind {
        kNamed,    // codes 1..n, each with its name in names
        kNumbers,  // codes 1..limit that speak for themselves
        kYears,    // years since 1900: 1..255 read as 1901..2155
    };
    std::string_view title;  // empty for a slot its value name already says
    Kind kind = Kind::kNamed;
    std::span<const std::string_view> names = {};
    std::int32_t limit = 0;                   // kNumbers: the largest code; 0 when the list is open
    std::string_view none = "not available";  // what 0 means
    std::string_view word = {};               // Naming::kWords: what follows the prefix
};

struct AttributeFamily {
    enum class Id { kGeneral, kSequence, kHeader };
    enum class Naming {
        kNumbered,      // prefix and the slot's position in the family: "Standard8"
        kSequenceText,  // prefix and the text of the search sequence: "Containsetup"
        kWords,         // prefix and the slot's word: "HeaderMachine"
    };
    Id id;
    std::string_view prefix;  // as KeyPaths.h spells it
    Naming naming;
    // kNumbered, kWords: the family's slots, in vector order. kSequenceText: empty;
    // the family has one slot per search sequence, each with codes `each`.
    std::span<const SlotCodes> slotCodes;  // (not "slots": Qt makes that word a macro)
    SlotCodes each = {};
};

// The families, in the order their slots follow each other in a vector.
std::span<const AttributeFamily> AttributeFamilies();

// The attribute a value name stands for, letter case ignored in the prefix
// and the number ("standard8", "CONTAINsetup"). family is null when the name
// is no family's; then the rest is empty.
struct NamedAttribute {
    const AttributeFamily* family = nullptr;
    const SlotCodes* codes = nullptr;
    std::string name;    // spelled as the family writes it: "Standard8", "Containsetup"
    std::string suffix;  // what follows the prefix: "8", "setup" (may be empty)
};
NamedAttribute AttributeNamed(std::string_view valueName);

// The title of the attribute named ("size class" for Standard8); empty for a
// search sequence and for a name that is no family's.
std::string SlotTitle(std::string_view valueName);

// How many codes the attribute takes when they form a closed list (1..n): 4
// for the extension, 2 for a yes/no or sequence slot; 0 for the open ones
// (the name length and the year) and for a name that is no family's.
std::int32_t ClosedCodeCount(std::string_view valueName);

// The meaning of value for the attribute named: "100 KiB to 1 MiB" for
// Standard8 value 4, "found" for a sequence value 1, "not available" for 0.
// Empty when the number speaks for itself (a name length, a day of the
// month); "unknown code" for a value the attribute never takes.
std::string ValueMeaning(std::string_view valueName, std::int32_t value);

// The value name, title, value and meaning in one phrase:
// "Standard8 size class = 4 (100 KiB to 1 MiB)", "Containvirus = 1 (found)",
// "Standard2 name length = 7".
std::string DescribeSlotValue(std::string_view valueName, std::int32_t value);

}  // namespace morvel
