// The program-wide configuration state: the search sequences, the target
// attributes, the attribute-name table, the file under examination.
//
// One instance per running program (tests build their own), passed by
// reference to whoever uses it. Tables keep 1-based positions: position 0 is
// unused, and nothing is ever written past a capacity.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/store/Registry.h"

namespace morvel {

struct TargetEntry {
    std::string Id;
    std::string Name;
    std::string Method;
    friend bool operator==(const TargetEntry&, const TargetEntry&) = default;
};

struct modMain {
    static constexpr int kMaxSequences = 100;
    static constexpr int kMaxTargets = 32;
    static constexpr int kGeneralSlots = 16;
    static constexpr int kMaxAttributes = kGeneralSlots + kMaxSequences;

    // An NT-family version value (top bit clear), as the version query of the
    // original platform returned it; it decides that the executable type is read.
    static constexpr std::int32_t kNtPlatformVersion = 0x0A280105;

    std::int32_t PlatformVersion = 0;
    std::array<std::string, kMaxSequences + 1> SequenceTable;
    std::int32_t SequenceCount = 0;
    std::array<std::string, kMaxAttributes + 1> AttributeNames;
    std::int32_t AttributeCount = 0;
    std::array<TargetEntry, kMaxTargets + 1> TargetTable;
    std::int32_t TargetCount = 0;
    std::string CurrentFile;
    bool AttributesValid = false;
};

// Key paths of the configuration tables.
std::string ContainKeyPath();  // base key + "\Attributes\Contain"
std::string TargetKeyPath();   // base key + "\Attributes\Target"

// Builds AttributeNames and AttributeCount from the sequence table:
// Standard1 ... Standard16, then "Contain" and the text of each sequence.
void BuildAttributeNames(modMain& state);

// Loads the sequence table, builds the attribute names and loads the target
// table from the store. A missing count is 0, a negative one 0, one above the
// capacity loads the first 100 sequences or 32 targets; a missing numbered
// value leaves an empty text in its position.
void LoadConfigurationTables(const Registry& registry, modMain& state);

// The sequence texts in use, positions 1 to SequenceCount, as a list.
std::vector<std::string> SequenceList(const modMain& state);
// The targets in use, positions 1 to TargetCount, as a list.
std::vector<TargetEntry> TargetList(const modMain& state);

// The command-line arguments after the program's name, joined by one blank.
std::string JoinArguments(const std::vector<std::string>& args);

}  // namespace morvel
