// StoreFiles: whether a path names one of the files of the program's store:
// the database or a file SQLite keeps beside it (-wal, -shm, -journal).
//
// SQLite coordinates the programs sharing a store with POSIX record locks,
// which belong to a process and a file: closing any descriptor of that file
// in the process drops every lock the process holds on it, and then another
// program takes this one's connection for gone, checkpoints and deletes the
// write-ahead log under it, and the writes that follow are lost. So only
// the store's SQLite connection may open these files: every other place in
// the program that would open a file asks here first and refuses the store's.
//
// The answer compares device and inode, so that links and other spellings of
// a path count, and is found with stat alone: opening the file to look at it
// would already drop the locks. Thread-safe.
#pragma once

#include <string>

#include "core/platform/Status.h"

namespace morvel {

// Whether path names the store at storePath or one of its side files.
// A path that does not exist (or cannot be looked at) names none.
bool IsFileOfStore(const std::string& storePath, const std::string& path);

// Whether path names a file of a store that a Registry of this process has
// open: the locks of those are the ones a stray open would drop.
bool IsOpenStoreFile(const std::string& path);

// Ok, or InvalidInput ("it is one of the store's own files ...") when
// IsOpenStoreFile(path). Call it before opening path.
Status RefuseOpenStoreFile(const std::string& path);

// Registry's part: the store that owner has open from now on (its database
// file as SQLite names it), and that owner no longer has one. An owner has at
// most one store; registering again replaces it.
void RegisterOpenStore(const void* owner, const std::string& databaseFile);
void UnregisterOpenStore(const void* owner);

}  // namespace morvel
