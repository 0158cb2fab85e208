#include "core/store/StoreFiles.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

namespace morvel {
namespace {

// The files SQLite keeps beside a database, by the suffix of their names.
constexpr const char* kSideFiles[] = {"-wal", "-shm", "-journal"};

// Both are made once and never destroyed: a Registry that is itself a static
// object unregisters from its destructor, which may run after this file's
// statics are gone.
std::mutex& OpenStoresLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

// Owner -> the database file of its store, as SQLite names it (symbolic
// links resolved, so the side files lie beside it).
std::map<const void*, std::string>& OpenStores() {
    static auto* stores = new std::map<const void*, std::string>;
    return *stores;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the file found as candidate is databaseFile or one of its side files.
bool IsOneOf(const struct stat& candidate, const std::string& databaseFile) {
    struct stat st;
    if (stat(databaseFile.c_str(), &st) == 0) {
        if (SameFile(candidate, st)) return true;
        // The side files lie in the database's folder, on its device.
        if (st.st_dev != candidate.st_dev) return false;
    }
    for (const char* suffix : kSideFiles)
        if (stat((databaseFile + suffix).c_str(), &st) == 0 && SameFile(candidate, st)) return true;
    return false;
}

// The path with its symbolic links resolved, as SQLite resolves the store's
// path before it names the side files; the path itself when that fails.
std::string Resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

}  // namespace

bool IsFileOfStore(const std::string& storePath, const std::string& path) {
    struct stat candidate;
    if (stat(path.c_str(), &candidate) != 0) return false;
    return IsOneOf(candidate, storePath) || IsOneOf(candidate, Resolved(storePath));
}

bool IsOpenStoreFile(const std::string& path) {
    struct stat candidate;
    if (stat(path.c_str(), &candidate) != 0) return false;
    const std::lock_guard<std::mutex> hold(OpenStoresLock());
    for (const auto& store : OpenStores())
        if (IsOneOf(candidate, store.second)) return true;
    return false;
}

Status RefuseOpenStoreFile(const std::string& path) {
    if (!IsOpenStoreFile(path)) return Status::Ok();
    return Status::InvalidInput(
        "it is one of the store's own files, which only its database connection opens");
}

void RegisterOpenStore(const void* owner, const std::string& databaseFile) {
    const std::lock_guard<std::mutex> hold(OpenStoresLock());
    OpenStores()[owner] = databaseFile;
}

void UnregisterOpenStore(const void* owner) {
    const std::lock_guard<std::mutex> hold(OpenStoresLock());
    OpenStores().erase(owner);
}

}  // namespace morvel
