// FaultVfs: an SQLite VFS for tests that wraps the default one, counts the
// I/O calls of each kind and fails a chosen one, to see what the program does
// when the disk fails it at any point.
//
// Install() registers it as the default VFS of the test process (once); it
// passes every call through until armed. Arm(kind, n, fault) counts from 0
// again and fails the n-th call of that kind with an I/O error, a full
// disk or busy; ArmPowerLoss(n) makes the n-th sync a power cut: every write
// to any open file that was not synced yet is undone (each file goes back to
// what it held at its last sync), and every call after it fails, as the
// process would have died. Files opened before Install() are not watched.
//
// Not thread-safe: the program under test runs its store on one thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace morvel::test {

class FaultVfs {
  public:
    enum class Kind { kRead, kWrite, kSync, kTruncate, kLock, kShmMap };
    static constexpr int kKinds = 6;
    enum class Fault { kIOError, kFull, kBusy };
    using Counts = std::array<std::int64_t, kKinds>;

    static FaultVfs& Install();

    // Counts from 0 again and disarms; a power cut is forgotten.
    void Reset();
    void Arm(Kind kind, std::int64_t n, Fault fault);
    // The same, but every call of that kind from the n-th on fails: a disk
    // that stays broken.
    void ArmFrom(Kind kind, std::int64_t n, Fault fault);
    void ArmPowerLoss(std::int64_t syncNumber);
    // The calls of each kind since the last Reset.
    const Counts& Calls() const { return calls_; }
    // Whether the armed fault or power cut happened.
    bool Fired() const { return fired_; }

    static const char* NameOf(Kind kind);
    static const char* NameOf(Fault fault);

    // Called by the wrapped files: the result to return in place of making
    // the call (SQLITE_OK: make it).
    int Check(Kind kind);
    bool PoweredOff() const { return poweredOff_; }
    void PowerCut();

  private:
    FaultVfs() = default;
    Counts calls_{};
    bool armed_ = false, powerLoss_ = false, fired_ = false, poweredOff_ = false, lasting_ = false;
    Kind kind_ = Kind::kRead;
    Fault fault_ = Fault::kIOError;
    std::int64_t n_ = 0;
};

}  // namespace morvel::test
