// Loading a registry-editor file into the program's key (`morvel-cli load`).
//
// PlanLoad reads a file (RegFile.h) into the list of writes it asks for and
// checks every line, without a store: a load writes only below
// HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel, never deletes, and takes only
// what the store keeps exactly. ApplyLoad then writes a checked plan in one
// write group: all of it or, on any failure, nothing.
//
// PlanLoad is pure and thread-safe; ApplyLoad belongs to its Registry's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

// The registry's own limits, so that whatever a load takes a registry editor
// takes too: a key name of at most 255 characters, a tree at most 512 levels
// deep, a value name of at most 16383 characters.
inline constexpr std::size_t kMaxKeyNameBytes = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxValueNameBytes = 16383;
// The largest file loaded: an export of about a million examples.
inline constexpr std::size_t kMaxLoadFileBytes = std::size_t{1} << 30;
inline constexpr std::size_t kMaxListedLoadProblems = 100;

// Whether a load takes this key name (Windows-1251 bytes): 1 to 255 bytes, not
// "." or "..", no control character, no blank at either end.
bool IsLoadableKeyName(std::string_view ansi);
// Whether a load takes this value name (Windows-1251 bytes; empty is the
// key's default value): at most 16383 bytes and no zero, CR or LF byte.
bool IsLoadableValueName(std::string_view ansi);

struct LoadKey {
    int line = 0;      // where the file first names the key
    std::string path;  // from the root, UTF-8, as the file first spells it: "SOFTWARE\Norwick\Morvel\..."
};

struct LoadValue {
    int line = 0;
    std::size_t key = 0;  // position in LoadPlan::keys
    std::string name;     // UTF-8; empty for the default value
    std::int32_t type = 0;
    std::string bytes;  // exactly as stored
};

struct LoadProblem {
    int line = 0;
    std::string message;
};

struct LoadPlan {
    // Every key the file names, once each (letter case ignored), in the order
    // of their first key lines; all lie at or below the program's key.
    std::vector<LoadKey> keys;
    // The values in file order; a later value of the same name wins.
    std::vector<LoadValue> values;
    // The first kMaxListedLoadProblems refused lines; problemCount counts all.
    std::vector<LoadProblem> problems;
    std::size_t problemCount = 0;
};

// Reads and checks the bytes of a registry-editor file. Fails when the file is
// neither form of registry-editor file (the message says why), or when any
// line is refused: a key outside the program's key (another root, "..", an
// empty level, an odd spelling), a deletion, a name or value over the limits
// above or the store's 1024 bytes, a character Windows-1251 lacks, a
// malformed line. Then plan.problems names the lines and the result says how
// many; the plan must not be applied.
Status PlanLoad(std::string_view bytes, LoadPlan& plan);

enum class LoadMode {
    // Into a store that holds no example: the file's values are written over
    // the store's; values the file does not name stay.
    kIntoStoreWithoutExamples,
    // The program's key becomes the file's content: everything below it is
    // removed first, in the same write group.
    kReplace,
    // Only the file's examples (Example1 to its "Count") are written, numbered
    // on after the store's "Count", which grows by the file's. The file's
    // search sequences and targets must read exactly as the store's.
    kAppendExamples,
};

struct LoadOutcome {
    std::size_t keys = 0, values = 0;  // what was written
    std::int32_t firstExample = 0;     // kAppendExamples: the first new example number
    std::int32_t exampleCount = 0;     // and how many the file gave
    bool storeHasExamples = false;     // why kIntoStoreWithoutExamples refused
};

// Writes a plan that PlanLoad accepted, as mode says, in one write group; the
// store is checked and the examples numbered under the write lock, so another
// program writing at the same time takes other numbers. On failure nothing is
// written and the message says why.
Status ApplyLoad(Registry& registry, const LoadPlan& plan, LoadMode mode, LoadOutcome& outcome);

}  // namespace morvel
