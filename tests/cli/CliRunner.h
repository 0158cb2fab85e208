// A fixture that runs morvel-cli in-process against its own fresh store, and
// makes files whose general attributes are all alike.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cli/Cli.h"

namespace morvel::test {

class CliRunner : public ::testing::Test {
  protected:
    // Runs "morvel-cli --store STORE args...", with input as standard input.
    int Run(std::vector<std::string> args, const std::string& input = "") {
        out.str("");
        err.str("");
        args.insert(args.begin(), {"morvel-cli", "--store", dir.Store()});
        std::istringstream in(input);
        return RunCli(args, in, out, err);
    }
    // A file named name (the same name length gives the same name slots) with
    // a fixed last write, so that only its size and contents tell it apart.
    std::string Put(const std::string& name, const std::string& contents) {
        const std::string path = dir / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, contents);
        std::filesystem::last_write_time(path,
                                         std::filesystem::file_time_type(std::chrono::hours(24 * 365 * 40)));
        return path;
    }
    // The lines of the last output.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream text(out.str());
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    bool OutHas(const std::string& text) const { return out.str().find(text) != std::string::npos; }
    bool ErrHas(const std::string& text) const { return err.str().find(text) != std::string::npos; }

    TempDir dir;
    std::ostringstream out, err;
};

}  // namespace morvel::test
