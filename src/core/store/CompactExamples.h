// CompactExamples: one compact row per stored example, kept beside the values
// so that reading every example costs one row per example instead of some
// forty value rows.
//
// The values stay the single truth; the compact rows are derived from them
// and are never shown (dump and export read the values). A compact row holds
// what a read of the example's values needs, keyed by value name rather than
// by slot, so that it does not depend on the sequence table: the example's
// number, its non-zero numbers (name, value) and its "Target..." values
// (name, type, bytes), each in the order the value rows stand in the store.
//
// Staleness is caught by the store itself: triggers on the key and value
// tables, made with the compact tables on first use, mark a key dirty on every insert, update or delete of
// the key or of one of its values, whoever makes it (this program, an older
// one, or a hand edit with the sqlite3 shell). The rule kept at every
// statement: each example key is either marked dirty or has a compact row
// equal to its values (no row when it has no values). Readers read the
// values of dirty keys; RefreshCompactExamples rebuilds them.
//
// The functions work on the key "Examples" below the base key. They may be
// called from one thread at a time per Registry, as the Registry itself.
#pragma once

#include <cstdint>
#include <memory>

#include "core/platform/Status.h"
#include "core/store/ConfigTables.h"
#include "core/store/ExampleStore.h"
#include "core/store/Registry.h"

namespace morvel {

// Rebuilds the compact row of every dirty key from its values and clears the
// marks, inside the caller's write group when there is one (so that the
// example writes and their compact rows commit together) and otherwise in a
// group of its own. A store without compact rows yet (one made before they
// existed), or whose "Examples" key is no longer the key the rows were built
// for, gets every row built, in that one group. On failure nothing stays
// changed that could disagree with the values (a key whose row could not be
// written stays dirty) and the message says why; a store opened read-only
// fails this way and is still read correctly by ReadCompactExamples.
Status RefreshCompactExamples(Registry& registry);

// A write of many new examples at once (an import, a folder remembered) at
// the cost of the values alone: while it lives, the store's triggers do not
// fire for this Registry's writes (each firing costs about as much as a
// third of the value write itself), and Finish marks every key made since it
// began, so that RefreshCompactExamples builds their rows. It lives inside
// one write group, and the writer writes values only into keys it made
// meanwhile and into keys that hold no example (the examples' "Count"): a
// change to an older example key would go unmarked.
class NewExamplesWrite {
  public:
    explicit NewExamplesWrite(Registry& registry);
    // Finishes when Finish was not called.
    ~NewExamplesWrite();
    NewExamplesWrite(const NewExamplesWrite&) = delete;
    NewExamplesWrite& operator=(const NewExamplesWrite&) = delete;

    // Lets the triggers fire again and marks the keys made since the start.
    // On failure the message says why, and the write group must not be
    // committed.
    Status Finish();

  private:
    Registry& registry_;
    std::int64_t lastOldKey_ = -1;  // -1 when the start failed
    bool finished_ = false;
};

// Reads every stored example for the attribute names of state, exactly as
// ExampleStore::Read reads them from the values (same rows, numbers,
// order, slot values, target columns and texts), in one read snapshot: from
// the compact rows, and from the values for every dirty key. A store without
// usable compact rows is read from the values entirely. Never writes.
std::shared_ptr<const StoredExamples> ReadCompactExamples(const Registry& registry,
                                                          const ConfigTables& state);

// For checks: the number of example keys whose compact row differs from
// their values although they are not marked dirty (0 when the rule holds),
// and the number of keys marked dirty. -1 in both when the store holds no
// compact rows to check.
struct CompactExamplesCheck {
    std::int64_t stale = -1;
    std::int64_t dirty = -1;
};
CompactExamplesCheck CheckCompactExamples(const Registry& registry);

}  // namespace morvel
