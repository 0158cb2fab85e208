// Runs morvel-cli as a separate process, for tests of what happens between
// processes: kills, concurrent writers, a full disk.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace morvel::test {

struct Spawned {
    pid_t pid = -1;
};

// Starts morvel-cli with args, standard output and error to /dev/null (or to
// the given file). With fileSizeLimit set, the child cannot grow any file past
// that many bytes, as on a full disk (the signal for it is ignored, so writes
// fail instead of killing the child).
inline Spawned StartCli(const std::vector<std::string>& args, long fileSizeLimit = -1,
                        const std::string& output = "/dev/null") {
    std::vector<std::string> all = {MORVEL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    Spawned s;
    s.pid = fork();
    if (s.pid == 0) {
        if (fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit = {static_cast<rlim_t>(fileSizeLimit),
                                         static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        freopen(output.c_str(), "w", stdout);
        freopen("/dev/null", "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return s;
}

// Waits for the child; returns its exit status, or 128 + the signal that ended it.
inline int Wait(const Spawned& s) {
    int status = 0;
    while (waitpid(s.pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs morvel-cli with args as a user without privileges (nobody, through
// setpriv, when the test runs as root; else as the test's own user), with
// standard output and error to the given files; returns its exit status.
// The files and folders it uses must be open to that user.
inline int RunCliUnprivileged(const std::vector<std::string>& args, const std::string& output,
                              const std::string& errors) {
    std::vector<std::string> all;
    if (geteuid() == 0) all = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    all.push_back(MORVEL_CLI_PATH);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    Spawned s;
    s.pid = fork();
    if (s.pid == 0) {
        freopen(output.c_str(), "w", stdout);
        freopen(errors.c_str(), "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return Wait(s);
}

inline int RunCliProcess(const std::vector<std::string>& args, long fileSizeLimit = -1) {
    return Wait(StartCli(args, fileSizeLimit));
}

}  // namespace morvel::test
