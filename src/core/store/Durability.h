// Whether a store's connection keeps every write it reports as done.
#pragma once

#include "core/platform/Status.h"

struct sqlite3;

namespace morvel {

// Asks db for a write-ahead log and full syncing and checks that it took
// them (or a rollback journal on disk, as durable); IOError says what is
// missing. Registry::Open calls it; a store where it fails is only read.
Status MakeDurable(sqlite3* db);

}  // namespace morvel
