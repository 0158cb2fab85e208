#include "core/store/StoreBackup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/store/Registry.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

std::string ErrnoText() { return std::strerror(errno); }

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes what was written to path (a file or a folder) durable.
bool Sync(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

// Copies the store into the (empty) file at copy.
Status CopyStore(const std::string& storePath, const std::string& copy) {
    sqlite3* source = nullptr;
    sqlite3* destination = nullptr;
    auto fail = [&](const std::string& why) {
        sqlite3_close_v2(source);
        sqlite3_close_v2(destination);
        return Status::IOError(why);
    };
    if (sqlite3_open_v2(storePath.c_str(), &source, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
        return fail("cannot read the store " + storePath + ": " + sqlite3_errmsg(source));
    sqlite3_busy_timeout(source, 10000);
    // A store in a folder that cannot be written is read as the Registry reads
    // it there: as a snapshot of its main file.
    if (sqlite3_exec(source, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const int code = sqlite3_errcode(source) & 0xFF;
        if (code == SQLITE_READONLY || code == SQLITE_CANTOPEN) {
            sqlite3_close_v2(source);
            source = nullptr;
            if (sqlite3_open_v2(Registry::SnapshotUri(storePath).c_str(), &source,
                                SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                                nullptr) != SQLITE_OK)
                return fail("cannot read the store " + storePath + ": " + sqlite3_errmsg(source));
        }
    }
    if (sqlite3_open_v2(copy.c_str(), &destination, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
        return fail("cannot write " + copy + ": " + sqlite3_errmsg(destination));
    sqlite3_backup* backup = sqlite3_backup_init(destination, "main", source, "main");
    if (!backup) return fail("cannot start the copy: " + std::string(sqlite3_errmsg(destination)));
    // All pages in one step: the copy holds one read snapshot of the store
    // from start to end, while writers go on in the write-ahead log.
    int rc = sqlite3_backup_step(backup, -1);
    for (int wait = 0; (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && wait < 100; ++wait) {
        sqlite3_sleep(100);
        rc = sqlite3_backup_step(backup, -1);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) return fail("the copy failed: " + std::string(sqlite3_errstr(rc)));
    // A copy that ends up in the write-ahead-log mode of its source is one
    // file only once its connection is closed: closing checkpoints it.
    if (sqlite3_close(destination) != SQLITE_OK) {
        destination = nullptr;
        return fail("cannot finish " + copy);
    }
    destination = nullptr;
    sqlite3_close_v2(source);
    return Status::Ok();
}

// Moves from over to: over an existing file only when overwrite, and then
// atomically either way.
Status Rename(const std::string& from, const std::string& to, bool overwrite) {
    if (overwrite) {
        if (rename(from.c_str(), to.c_str()) != 0)
            return Status::IOError("cannot write " + to + ": " + ErrnoText());
        return Status::Ok();
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Status::Ok();
    if (errno != EINVAL && errno != ENOSYS) {
        if (errno == EEXIST) return Status::InvalidInput(to + " exists");
        return Status::IOError("cannot write " + to + ": " + ErrnoText());
    }
    // A file system without the no-replace rename: a hard link refuses an
    // existing name just as atomically.
    if (link(from.c_str(), to.c_str()) != 0) {
        if (errno == EEXIST) return Status::InvalidInput(to + " exists");
        return Status::IOError("cannot write " + to + ": " + ErrnoText());
    }
    unlink(from.c_str());
    return Status::Ok();
}

// What a file of this type is called when it may not be replaced by a copy;
// empty for a regular file, the only kind a copy may replace.
std::string IrreplaceableKind(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "a folder";
    // Replacing the link would leave its file as it was, and writing through
    // it would write where the name does not say: neither is what was asked.
    if (S_ISLNK(mode)) return "a symbolic link (name the file it points to)";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

}  // namespace

Status BackupStore(const std::string& storePath, const std::string& target, bool overwrite) {
    struct stat targetStat;
    if (lstat(target.c_str(), &targetStat) == 0) {
        if (const std::string kind = IrreplaceableKind(targetStat.st_mode); !kind.empty())
            return Status::InvalidInput(target + " is " + kind + ", which a copy never replaces");
        // Replacing the store's log or shared memory would lose what the log holds.
        if (IsFileOfStore(storePath, target))
            return Status::InvalidInput(target + " is the store itself or one of its own files");
        if (!overwrite) return Status::InvalidInput(target + " exists");
    }
    // A log beside target belongs to a store that is open or was not closed
    // cleanly; SQLite would replay it into the new copy.
    for (const char* log : {"-wal", "-journal"})
        if (struct stat st; stat((target + log).c_str(), &st) == 0)
            return Status::InvalidInput(target + " is in use as a store, or was not closed cleanly (" +
                                        target + log + " exists)");
    const std::string folder = FolderOf(target);
    std::string temporary = folder + "/.morvel-backup-XXXXXX";
    const int fd = mkstemp(temporary.data());  // mode 0600
    if (fd < 0) return Status::IOError("cannot create a file in " + folder + ": " + ErrnoText());
    close(fd);
    Status s = CopyStore(storePath, temporary);
    if (s && !Sync(temporary)) s = Status::IOError("cannot write " + temporary + ": " + ErrnoText());
    if (s) s = Rename(temporary, target, overwrite);
    if (!s) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) unlink((temporary + suffix).c_str());
        return s;
    }
    Sync(folder);  // the new name survives a power cut
    return Status::Ok();
}

}  // namespace morvel
