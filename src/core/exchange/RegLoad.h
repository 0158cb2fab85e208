// Loading a registry-editor file into the program's key (`morvel-cli load`).
//
// A load reads its file twice, piece by piece, so that its memory stays
// bounded whatever the file's length. PlanLoad reads and checks every line
// without a store: a load writes only below
// HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel, never deletes, and takes only
// what the store keeps exactly; it keeps of the file only what the write
// must know beforehand (counts, the file's tables, its example numbers).
// ApplyLoad then reads the file again and writes it in one write group: all
// of it or, on any failure, nothing.
//
// An export announces in its second line that a closing line follows, and
// ends with that line, which counts the keys and values written. A file that
// announces it and lacks it, or whose counts disagree, was cut short (a full
// disk, a dropped connection) and is refused. A file without the
// announcement (the registry editor's own) is taken as it is; the plan says
// how many of its examples up to its "Count" it lacks.
//
// PlanLoad is pure and thread-safe; ApplyLoad belongs to its Registry's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/exchange/RegFile.h"
#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

// The registry's own limits, so that whatever a load takes a registry editor
// takes too: a key name of at most 255 characters, a tree at most 512 levels
// deep, a value name of at most 16383 characters.
inline constexpr std::size_t kMaxKeyNameBytes = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxValueNameBytes = 16383;
inline constexpr std::size_t kMaxListedLoadProblems = 100;

// Whether a load takes this key name (Windows-1251 bytes): 1 to 255 bytes, not
// "." or "..", no control character, no blank at either end.
bool IsLoadableKeyName(std::string_view ansi);
// Whether a load takes this value name (Windows-1251 bytes; empty is the
// key's default value): at most 16383 bytes and no zero, CR or LF byte.
bool IsLoadableValueName(std::string_view ansi);

// The comment lines of an export (RegFileWriter.h): the line after the
// header announces the closing line, which ends the file.
inline constexpr std::string_view kClosingLineFollows = "; A closing line follows the last key.";
std::string ClosingLine(std::size_t keys, std::size_t values);

// One write a file asks for, met in file order: a key line, or a value of
// the key met last. The views stay valid during the call only.
struct LoadWrite {
    bool key = false;
    int line = 0;
    std::string_view
        path;  // from below the root, UTF-8, as the file spells it: "SOFTWARE\Norwick\Morvel\..."
    std::string_view name;       // a value's name (UTF-8; empty for the default value)
    std::string_view nameBytes;  // the same in Windows-1251
    std::int32_t type = 0;
    std::string_view bytes;  // exactly as stored
    // Key lines: the number of the example the key is or lies below
    // ("Examples\Example12", "Examples\Example12\...": 12; 0 for any other
    // key), whether it is the example's own key, and the part of path below
    // the example's key ("\..."; empty for its own key).
    std::int32_t example = 0;
    bool exampleKey = false;
    std::string_view belowExample;
};
using LoadVisit = std::function<void(const LoadWrite&)>;

struct LoadProblem {
    int line = 0;
    std::string message;
};

// What a load must know of a file before it writes, and what it says of it.
struct LoadPlan {
    // The first kMaxListedLoadProblems refused lines; problemCount counts all.
    std::vector<LoadProblem> problems;
    std::size_t problemCount = 0;
    std::size_t keyLines = 0, valueLines = 0;  // as met
    std::size_t keys = 0;                      // distinct keys (letter case ignored)
    int lines = 0;                             // the number of the file's last line

    // The values of the file's tables (search sequences, targets) and its
    // examples' "Count": lowered key path + "\\" + lowered name -> type and bytes.
    std::map<std::string, std::pair<std::int32_t, std::string>> tableValues;
    // Examples: "Count" of the file's examples key (0 when absent or
    // negative), the distinct numbers of its example keys in increasing
    // order, and how many of 1 to exampleCount have no key.
    std::int32_t exampleCount = 0;
    std::vector<std::int32_t> exampleNumbers;
    std::int64_t missingExamples = 0;
    // Whether each example key is named once, and before any key below it:
    // then the examples are written as new keys with all their values at once.
    bool examplesInOrder = true;
    // For appending: the first key below the examples key that is not an
    // example ("Example" + a number), the example key with the highest
    // number, and the first value of the examples key other than its "Count".
    int notAnExampleLine = 0, highestExampleLine = 0, otherExamplesValueLine = 0;
    std::string notAnExample, highestExample, otherExamplesValue;

    bool announced = false;  // line 2 announces the closing line (and the file has it)
};

// Reads and checks a registry-editor file, from source or from bytes in
// memory, and calls visit (when given) for every write it asks for. Fails
// when the file is neither form of registry-editor file (the message says
// why), when source fails, when a file that announces its closing line lacks
// it or disagrees with it (the message says what is missing), or when any
// line is refused: a key outside the program's key (another root, "..", an
// empty level, an odd spelling), a deletion, a name or value over the limits
// above or the store's 1024 bytes, a character Windows-1251 lacks, a
// malformed line. Then plan.problems names the lines and the result says how
// many; the plan must not be applied, and what visit met must not be used.
Status PlanLoad(const RegFileSource& source, LoadPlan& plan, const LoadVisit& visit = {});
Status PlanLoad(std::string_view bytes, LoadPlan& plan, const LoadVisit& visit = {});

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

// Reads the file of a plan that PlanLoad accepted again and writes it, as
// mode says, in one write group; the store is checked and the examples
// numbered under the write lock, so another program writing at the same time
// takes other numbers. The examples are written by the example store's
// writer (ExampleStore.h) when the plan allows. On failure (also when the
// file reads otherwise than the plan says: it changed meanwhile) nothing is
// written and the message says why; a store that holds an example key above
// its "Count" in the way of appended examples is Corrupt.
Status ApplyLoad(Registry& registry, const LoadPlan& plan, const RegFileSource& source, LoadMode mode,
                 LoadOutcome& outcome);
Status ApplyLoad(Registry& registry, const LoadPlan& plan, std::string_view bytes, LoadMode mode,
                 LoadOutcome& outcome);

}  // namespace morvel
