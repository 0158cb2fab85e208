// What another program sees of a store: morvel-cli run as a process of its
// own, for tests of the file locks that SQLite shares between programs. A
// connection in this process would share this process's view of the store
// (and its locks), so only another process can tell whether a write reached
// the disk for everyone.
#pragma once

#include <string>
#include <vector>

#include "TestSupport.h"
#include "hardening/ProcessHarness.h"

namespace morvel::test {

// Runs "morvel-cli --store store args..." as another process and returns what
// it printed on standard output.
inline std::string OtherProcessOutput(const std::string& store, std::vector<std::string> args) {
    const TempDir scratch;
    const std::string output = scratch / "output.txt";
    args.insert(args.begin(), {"--store", store});
    Wait(StartCli(args, -1, output));
    return ReadFile(output);
}

// Another program connects to the store and leaves: the last to leave
// checkpoints the log and deletes it, as every SQLite program does.
inline void AnotherProgramVisits(const std::string& store) { OtherProcessOutput(store, {"dump"}); }

// Opens and closes each of the store's files outside its connection, as a
// careless open of a file the user chose would: in this process that drops
// every file lock the store's connection holds.
inline void OpenAndCloseStoreFiles(const std::string& store) {
    for (const char* suffix : {"", "-wal", "-shm"})
        if (const int fd = open((store + suffix).c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) close(fd);
}

}  // namespace morvel::test
