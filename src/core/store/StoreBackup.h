// A consistent copy of the store file while other programs may be using it.
#pragma once

#include <string>

#include "core/platform/Status.h"

namespace morvel {

// Copies the store at storePath to target with SQLite's online backup, through
// a connection of its own: the copy is the store as one read snapshot saw it,
// whatever other programs write meanwhile, and is itself a store that opens
// as it is. The copy is written beside target under a temporary name (mode
// 0600), synced and then renamed to target, so target is never a half-written
// file. An existing regular file at target is replaced only when overwrite;
// anything else there (a folder, a symbolic link, a device, a named pipe, a
// socket), the store itself or one of its side files (-wal, -shm, -journal)
// and a store that is open or was not closed cleanly (its log file lies
// beside it) are always refused. On failure target is as it was and no
// temporary file is left; the message says why.
Status BackupStore(const std::string& storePath, const std::string& target, bool overwrite);

}  // namespace morvel
