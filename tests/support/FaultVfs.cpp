#include "support/FaultVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace morvel::test {
namespace {

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

// A file of the wrapped VFS, followed in memory by the real VFS's file.
// synced holds what a power cut leaves of the file: its content at its last
// sync (or at opening); only the store's own files are watched.
struct FaultFile {
    sqlite3_file base;
    sqlite3_file* real;
    std::string* synced;
};
std::vector<FaultFile*> g_open;

FaultVfs& Vfs() { return FaultVfs::Install(); }

FaultFile* Of(sqlite3_file* file) { return reinterpret_cast<FaultFile*>(file); }
sqlite3_file* Real(sqlite3_file* file) { return Of(file)->real; }

// The file's whole content, read through the real VFS.
bool ReadAll(sqlite3_file* real, std::string& content) {
    sqlite3_int64 size = 0;
    if (real->pMethods->xFileSize(real, &size) != SQLITE_OK) return false;
    content.assign(static_cast<std::size_t>(size), '\0');
    return size == 0 || real->pMethods->xRead(real, content.data(), static_cast<int>(size), 0) == SQLITE_OK;
}

int Close(sqlite3_file* file) {
    FaultFile* f = Of(file);
    g_open.erase(std::remove(g_open.begin(), g_open.end(), f), g_open.end());
    delete f->synced;
    f->synced = nullptr;
    return f->real->pMethods->xClose(f->real);
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    if (const int rc = Vfs().Check(FaultVfs::Kind::kRead)) return rc;
    return Real(file)->pMethods->xRead(Real(file), buffer, amount, offset);
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    if (const int rc = Vfs().Check(FaultVfs::Kind::kWrite)) return rc;
    return Real(file)->pMethods->xWrite(Real(file), buffer, amount, offset);
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
    if (const int rc = Vfs().Check(FaultVfs::Kind::kTruncate)) return rc;
    return Real(file)->pMethods->xTruncate(Real(file), size);
}

int Sync(sqlite3_file* file, int flags) {
    if (const int rc = Vfs().Check(FaultVfs::Kind::kSync)) return rc;
    const int rc = Real(file)->pMethods->xSync(Real(file), flags);
    if (rc == SQLITE_OK && Of(file)->synced) ReadAll(Real(file), *Of(file)->synced);
    return rc;
}

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
    if (Vfs().PoweredOff()) return SQLITE_IOERR_FSTAT;
    return Real(file)->pMethods->xFileSize(Real(file), size);
}

int Lock(sqlite3_file* file, int level) {
    if (const int rc = Vfs().Check(FaultVfs::Kind::kLock)) return rc;
    return Real(file)->pMethods->xLock(Real(file), level);
}

int Unlock(sqlite3_file* file, int level) { return Real(file)->pMethods->xUnlock(Real(file), level); }

int CheckReservedLock(sqlite3_file* file, int* out) {
    return Real(file)->pMethods->xCheckReservedLock(Real(file), out);
}

int FileControl(sqlite3_file* file, int op, void* arg) {
    return Real(file)->pMethods->xFileControl(Real(file), op, arg);
}

int SectorSize(sqlite3_file* file) { return Real(file)->pMethods->xSectorSize(Real(file)); }

int DeviceCharacteristics(sqlite3_file* file) {
    return Real(file)->pMethods->xDeviceCharacteristics(Real(file));
}

int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
    if (const int rc = Vfs().Check(FaultVfs::Kind::kShmMap)) return rc;
    return Real(file)->pMethods->xShmMap(Real(file), region, size, extend, out);
}

int ShmLock(sqlite3_file* file, int offset, int n, int flags) {
    // Taking a lock can fail; giving one up cannot.
    if (!(flags & SQLITE_SHM_UNLOCK))
        if (const int rc = Vfs().Check(FaultVfs::Kind::kLock)) return rc;
    return Real(file)->pMethods->xShmLock(Real(file), offset, n, flags);
}

void ShmBarrier(sqlite3_file* file) { Real(file)->pMethods->xShmBarrier(Real(file)); }

int ShmUnmap(sqlite3_file* file, int deleteFlag) {
    return Real(file)->pMethods->xShmUnmap(Real(file), Vfs().PoweredOff() ? 0 : deleteFlag);
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    FaultFile* f = Of(file);
    f->base.pMethods = nullptr;
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->synced = nullptr;
    if (Vfs().PoweredOff()) return SQLITE_CANTOPEN;
    const int rc = g_real->xOpen(g_real, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK || !f->real->pMethods) return rc;
    f->base.pMethods = &g_methods;
    if (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL)) {
        f->synced = new std::string;
        ReadAll(f->real, *f->synced);
        g_open.push_back(f);
    }
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
    // A dead process deletes nothing.
    if (Vfs().PoweredOff()) return SQLITE_IOERR_DELETE;
    return g_real->xDelete(g_real, name, syncDir);
}

int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
    return g_real->xAccess(g_real, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return g_real->xFullPathname(g_real, name, n, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return g_real->xDlOpen(g_real, name); }
void DlError(sqlite3_vfs*, int n, char* out) { g_real->xDlError(g_real, n, out); }
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return g_real->xDlSym(g_real, handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) { g_real->xDlClose(g_real, handle); }
int Randomness(sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); }
int Sleep(sqlite3_vfs*, int micro) { return g_real->xSleep(g_real, micro); }
int CurrentTime(sqlite3_vfs*, double* out) { return g_real->xCurrentTime(g_real, out); }
int GetLastError(sqlite3_vfs*, int n, char* out) { return g_real->xGetLastError(g_real, n, out); }
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return g_real->xCurrentTimeInt64(g_real, out); }

int FailureOf(FaultVfs::Kind kind, FaultVfs::Fault fault) {
    if (fault == FaultVfs::Fault::kFull) return SQLITE_FULL;
    if (fault == FaultVfs::Fault::kBusy) return SQLITE_BUSY;
    switch (kind) {
        case FaultVfs::Kind::kRead:
            return SQLITE_IOERR_READ;
        case FaultVfs::Kind::kWrite:
            return SQLITE_IOERR_WRITE;
        case FaultVfs::Kind::kSync:
            return SQLITE_IOERR_FSYNC;
        case FaultVfs::Kind::kTruncate:
            return SQLITE_IOERR_TRUNCATE;
        case FaultVfs::Kind::kLock:
            return SQLITE_IOERR_LOCK;
        case FaultVfs::Kind::kShmMap:
            return SQLITE_IOERR_SHMMAP;
    }
    return SQLITE_IOERR;
}

}  // namespace

FaultVfs& FaultVfs::Install() {
    static FaultVfs* vfs = [] {
        g_real = sqlite3_vfs_find(nullptr);
        g_vfs = sqlite3_vfs{};
        g_vfs.iVersion = 2;
        g_vfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + g_real->szOsFile;
        g_vfs.mxPathname = g_real->mxPathname;
        g_vfs.zName = "faults";
        g_vfs.xOpen = Open;
        g_vfs.xDelete = Delete;
        g_vfs.xAccess = Access;
        g_vfs.xFullPathname = FullPathname;
        g_vfs.xDlOpen = DlOpen;
        g_vfs.xDlError = DlError;
        g_vfs.xDlSym = DlSym;
        g_vfs.xDlClose = DlClose;
        g_vfs.xRandomness = Randomness;
        g_vfs.xSleep = Sleep;
        g_vfs.xCurrentTime = CurrentTime;
        g_vfs.xGetLastError = GetLastError;
        g_vfs.xCurrentTimeInt64 = CurrentTimeInt64;
        // Version 2: shared memory, but no memory-mapped reads that would
        // pass by the counted reads.
        g_methods = sqlite3_io_methods{2,
                                       Close,
                                       Read,
                                       Write,
                                       Truncate,
                                       Sync,
                                       FileSize,
                                       Lock,
                                       Unlock,
                                       CheckReservedLock,
                                       FileControl,
                                       SectorSize,
                                       DeviceCharacteristics,
                                       ShmMap,
                                       ShmLock,
                                       ShmBarrier,
                                       ShmUnmap,
                                       nullptr,
                                       nullptr};
        if (sqlite3_vfs_register(&g_vfs, 1) != SQLITE_OK) std::abort();
        return new FaultVfs;
    }();
    return *vfs;
}

void FaultVfs::Reset() {
    calls_ = {};
    armed_ = powerLoss_ = fired_ = poweredOff_ = lasting_ = false;
}

void FaultVfs::Arm(Kind kind, std::int64_t n, Fault fault) {
    Reset();
    armed_ = true;
    powerLoss_ = false;
    kind_ = kind;
    n_ = n;
    fault_ = fault;
}

void FaultVfs::ArmFrom(Kind kind, std::int64_t n, Fault fault) {
    Arm(kind, n, fault);
    lasting_ = true;
}

void FaultVfs::ArmPowerLoss(std::int64_t syncNumber) {
    Reset();
    armed_ = powerLoss_ = true;
    kind_ = Kind::kSync;
    n_ = syncNumber;
}

int FaultVfs::Check(Kind kind) {
    const std::int64_t n = ++calls_[static_cast<int>(kind)];
    if (poweredOff_) return FailureOf(kind, Fault::kIOError);
    if (!armed_ || kind != kind_ || (lasting_ ? n < n_ : n != n_)) return SQLITE_OK;
    fired_ = true;
    armed_ = lasting_;
    if (powerLoss_) {
        PowerCut();
        return SQLITE_IOERR_FSYNC;
    }
    return FailureOf(kind, fault_);
}

void FaultVfs::PowerCut() {
    for (FaultFile* f : g_open) {
        const std::string& kept = *f->synced;
        sqlite3_file* real = f->real;
        if (!kept.empty()) real->pMethods->xWrite(real, kept.data(), static_cast<int>(kept.size()), 0);
        real->pMethods->xTruncate(real, static_cast<sqlite3_int64>(kept.size()));
    }
    poweredOff_ = true;
}

const char* FaultVfs::NameOf(Kind kind) {
    static constexpr const char* kNames[kKinds] = {"read", "write", "sync", "truncate", "lock", "shm map"};
    return kNames[static_cast<int>(kind)];
}

const char* FaultVfs::NameOf(Fault fault) {
    switch (fault) {
        case Fault::kIOError:
            return "I/O error";
        case Fault::kFull:
            return "disk full";
        case Fault::kBusy:
            return "busy";
    }
    return "";
}

}  // namespace morvel::test
