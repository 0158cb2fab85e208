// ConfigTables: the program-wide configuration state: the search sequences,
// the target attributes, the attribute-name table built from them, and the
// file under examination. Loaded from the store at start-up and saved by the
// configuration editors and morvel-cli through the functions below, so the
// two cannot drift apart.
//
// One instance per running program (tests build their own), passed by
// reference to whoever uses it. Tables keep 1-based positions: position 0 is
// unused, and nothing is ever written past a capacity.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/AttributeFamilies.h"
#include "core/platform/Status.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {

struct TargetEntry {
    std::string Id;
    std::string Name;
    std::string Method;
    friend bool operator==(const TargetEntry&, const TargetEntry&) = default;
};

struct ConfigTables {
    static constexpr int kMaxSequences = 100;
    static constexpr int kMaxTargets = 32;
    static constexpr int kGeneralSlots = 16;
    static constexpr int kHeaderSlots = kHeaderSlotCount;
    static constexpr int kMaxAttributes = kGeneralSlots + kMaxSequences + kHeaderSlots;

    // The platform version the programs run as. A positive value (top bit
    // clear) stands for the NT family, where the examiner reads the executable
    // type; 0 or a negative value leaves that slot not determined.
    static constexpr std::int32_t kNtPlatformVersion = 0x0A280105;

    std::int32_t PlatformVersion = 0;
    std::array<std::string, kMaxSequences + 1> SequenceTable;
    std::int32_t SequenceCount = 0;
    // Whether classification sees the header attributes (the store's
    // "HeaderAttributes" setting). Examples keep them either way.
    bool HeaderAttributes = false;
    // Names of slots 1..ExampleSlotCount(): the general slots, the
    // sequences, then the header slots. AttributeCount, the slots that
    // classification, explain, rank and the exporters see, ends with the
    // sequences while the header attributes are off.
    std::array<std::string, kMaxAttributes + 1> AttributeNames;
    std::int32_t AttributeCount = 0;
    std::array<TargetEntry, kMaxTargets + 1> TargetTable;
    std::int32_t TargetCount = 0;
    std::string CurrentFile;
    bool AttributesValid = false;
};

// The longest search sequence and target identifier, in code-page bytes. An
// example keeps each under a value name of its prefix and the text
// ("Containsetup", "Targetkind"), and a value name holds at most 1024 bytes:
// a longer text would make every later Remember fail.
inline constexpr std::size_t kMaxSequenceBytes = Registry::kMaxValueBytes - kContainPrefix.size();
inline constexpr std::size_t kMaxTargetIdBytes = Registry::kMaxValueBytes - kTargetPrefix.size();

// Builds AttributeNames and AttributeCount from the sequence table and the
// header setting, family by family as AttributeFamilies.h lists them:
// Standard1 ... Standard16, "Contain" and the text of each sequence, then
// HeaderFormat ... HeaderEntropy.
void BuildAttributeNames(ConfigTables& tables);

// The slot of header slot h (header_slot::kFormat ...): after the sequences.
inline std::int32_t HeaderSlot(const ConfigTables& tables, std::int32_t h) {
    return ConfigTables::kGeneralSlots + tables.SequenceCount + h;
}
// The slots an example stores, header slots included whatever the setting,
// so that turning the setting on later finds them.
inline std::int32_t ExampleSlotCount(const ConfigTables& tables) {
    return ConfigTables::kGeneralSlots + tables.SequenceCount + ConfigTables::kHeaderSlots;
}

// Stores the header setting ("HeaderAttributes" 1 or 0) and, on success,
// makes tables follow it (HeaderAttributes, AttributeCount).
Status SaveHeaderAttributes(Registry& registry, ConfigTables& tables, bool on);

// Loads the sequence table, builds the attribute names and loads the target
// table from the store. A missing count is 0, a negative one 0, one above the
// capacity loads the first 100 sequences or 32 targets; a missing numbered
// value leaves an empty text in its position. Fails when the store could not
// be read; tables are then partly loaded and must not be used.
Status LoadConfigurationTables(const Registry& registry, ConfigTables& tables);

// The same loading from other values than the store's (a file about to be
// loaded into it): number and text read a value of a key as GetKeyNumber and
// GetKeyText do, a missing text as NotFound.
struct TableReads {
    std::function<Status(const std::string& path, const std::string& name, std::int32_t& value)> number;
    std::function<Status(const std::string& path, const std::string& name, std::string& text)> text;
};
Status LoadConfigurationTables(const TableReads& reads, ConfigTables& tables);

// The sequence texts in use, positions 1 to SequenceCount, as a list.
std::vector<std::string> SequenceList(const ConfigTables& tables);
// The targets in use, positions 1 to TargetCount, as a list.
std::vector<TargetEntry> TargetList(const ConfigTables& tables);

// The distinct non-empty rows in list order; of rows that differ only in
// letter case the first spelling wins. No capacity is applied.
std::vector<std::string> DistinctSequences(const std::vector<std::string>& rows);

// Cleans rows as DistinctSequences does and stores them as the sequence table:
// "Count" and Value1..ValueN in one write group (values above N stay in place).
// More than 100 distinct rows, or a row the store cannot hold unchanged or
// longer than kMaxSequenceBytes, are refused (InvalidInput) and nothing is written. On success the tables'
// SequenceTable and SequenceCount hold the new table, and AttributeNames and
// AttributeCount follow it, as the next start builds them: a vector computed
// with the new table is then stored and classified under the names of its own
// sequences, never under those of the old ones. On failure the tables are
// unchanged and the result says why.
Status SaveSequenceTable(Registry& registry, ConfigTables& tables, const std::vector<std::string>& rows);

// Stores rows as the target table, as the target editor's Close does: "Count"
// and Id1, Name1, Method1, ... in order, in one write group (values of
// positions above the count stay in place). Refused, with nothing written:
// more than 32 rows, or a text the store cannot hold unchanged or an
// identifier longer than kMaxTargetIdBytes (InvalidInput, naming the target
// and the field). On success the tables' TargetTable and
// TargetCount hold the rows; on failure they are unchanged.
Status SaveTargetTable(Registry& registry, ConfigTables& tables, const std::vector<TargetEntry>& rows);

// The command-line arguments after the program's name, joined by one blank.
std::string JoinArguments(const std::vector<std::string>& args);

}  // namespace morvel
