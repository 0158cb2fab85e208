// CompactExamples: one compact row per stored example, kept beside the values
// so that reading every example costs one row per example instead of some
// forty value rows.
//
// The values stay the single truth; the compact rows are derived from them
// and never shown (dump, export and every single read see the values). A row
// holds what a read of the example's values needs, keyed by value name
// rather than by slot, so that it does not depend on the sequence table: the
// example's number, then for each value in stored order its name's number
// and either its non-zero number or, for a "Target..." value, the number of
// its text (0 when it reads as no text). Names and texts are numbered in
// tables of their own.
//
// Staleness is caught by the store itself: triggers on the key and value
// tables, made with the compact tables on first use, mark a key dirty on
// every insert, update or delete of the key or of one of its values, whoever
// makes it (this program, an older one, another writer, or a hand edit with
// the sqlite3 shell). The rule kept at every statement: each example key is
// either marked dirty or has a compact row equal to its values (no row when
// it has no values). Readers read the values of dirty keys;
// RefreshCompactExamples rebuilds them.
//
// The functions work on the key "Examples" below the base key. They may be
// called from one thread at a time per Registry, as the Registry itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"
#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

// Rebuilds the compact row of every dirty key from its values and clears the
// marks, inside the caller's write group when there is one (so that example
// writes and their rows commit together) and otherwise in a group of its
// own. A store without compact rows yet (one made before they existed), or
// whose "Examples" key is no longer the key the rows were built for, gets
// its tables and every row built, in that one group. On failure nothing
// stays that could disagree with the values (a key whose row could not be
// written stays dirty) and the message says why.
Status RefreshCompactExamples(Registry& registry);

// need: whether RefreshCompactExamples has work to do (rows missing or
// marked dirty). Fails when the store could not be read.
Status CompactExamplesNeedRefresh(const Registry& registry, bool& need);

// Reads every stored example for the attribute names of tables, exactly as
// reading their values would (same rows, numbers, order, slot values, target
// columns and texts), in one read snapshot: from the compact rows, and from
// the values for every dirty key. A store without usable compact rows is read
// from its values entirely. Never writes. On a failure examples is null and
// the result says why: a read is whole or it is an error.
Status ReadCompactExamples(const Registry& registry, const ConfigTables& tables,
                           std::shared_ptr<const StoredExamples>& examples);
// The same read from the values alone, whatever rows the store keeps.
Status ReadExamplesFromValues(const Registry& registry, const ConfigTables& tables,
                              std::shared_ptr<const StoredExamples>& examples);

// The compact rows of new example keys, written straight from the values
// their writer has at hand (an import) instead of reading them back. Made
// inside the writer's write group before the keys are written: it builds
// every row first when the store has none yet, and keeps the store's
// triggers from firing for this Registry meanwhile (they would only mark the
// new keys, and cost about a third of each value write). Until Finish the
// writer writes only new example keys (each given to Add) and values of keys
// that are no examples (the examples' "Count").
class NewExampleRows {
  public:
    explicit NewExampleRows(Registry& registry);
    // Lets the triggers fire again; rows not finished are not written.
    ~NewExampleRows();
    NewExampleRows(const NewExampleRows&) = delete;
    NewExampleRows& operator=(const NewExampleRows&) = delete;

    // Ok when the rows can be kept; otherwise the writer must not go on.
    const Status& status() const { return status_; }
    // The key made for example number with exactly these values.
    void Add(std::int64_t key, std::int64_t number, const std::vector<Registry::NewValue>& values);
    // Writes the rows and lets the triggers fire again. On failure the
    // message says why, and the write group must not be committed.
    Status Finish();

  private:
    struct Tables;
    Registry& registry_;
    Status status_;
    std::unique_ptr<Tables> tables_;
    bool triggersOff_ = false;
};

// For checks: the number of example keys whose compact row differs from
// their values although they are not marked dirty (0 when the rule holds),
// and the number of keys marked dirty. -1 in both when the store holds no
// compact rows to check, or when the store could not be read (status says why).
struct CompactExamplesCheck {
    std::int64_t stale = -1;
    std::int64_t dirty = -1;
    Status status;
};
CompactExamplesCheck CheckCompactExamples(const Registry& registry);

}  // namespace morvel
