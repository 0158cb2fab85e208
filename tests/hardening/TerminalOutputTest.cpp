// A batch command on a terminal that shows both its output and its progress line.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace morvel {
namespace {

// Runs morvel-cli with standard output and error on one pseudo-terminal and
// returns everything the terminal received.
std::string RunOnTerminal(std::vector<std::string> args) {
    int master = -1, slave = -1;
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    args.insert(args.begin(), MORVEL_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        dup2(slave, STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        close(slave);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(slave);
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        screen.append(buffer, static_cast<std::size_t>(n));
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return screen;
}

// The fault pinned: output lines were written after the progress line
// without wiping it ("1/728 files, 46 files/s, ...a.exe/tmp/.../b.exe").
TEST(TerminalOutputTest, EveryOutputLineStartsOnAWipedLine) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "tree");
    for (int i = 0; i < 400; ++i) test::WriteFile(dir / ("tree/f" + std::to_string(1000 + i) + ".exe"), "MZ");
    const std::string screen = RunOnTerminal({"--store", dir.Store(), "attributes", "-j", "1", dir / "tree"});
    std::istringstream lines(screen);
    int outputLines = 0;
    for (std::string line; std::getline(lines, line);) {
        const auto wiped = line.rfind("\033[K");
        const std::string visible = wiped == std::string::npos ? line : line.substr(wiped + 3);
        if (visible.find(dir / "tree/f") == std::string::npos) continue;
        ++outputLines;
        EXPECT_TRUE(visible.starts_with(dir / "tree/f")) << visible;
    }
    EXPECT_EQ(outputLines, 400);
}

}  // namespace
}  // namespace morvel
