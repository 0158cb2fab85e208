// ProgressLine: "done/total files, files per second, current file" on one
// line of a terminal, redrawn at most ten times a second and wiped when done.
// Belongs to the thread that writes the command's output.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace morvel {

class ProgressLine {
  public:
    // Shows nothing unless enabled.
    ProgressLine(std::ostream& err, bool enabled, std::size_t total);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Update(std::size_t done, const std::string& current);
    // What to write before a message on err so that it starts on a clean line.
    const char* Wipe() const { return enabled_ ? "\r\033[K" : ""; }
    // Wipes the line now, for output on the same screen; an Update draws it again.
    void Clear();

  private:
    std::ostream& err_;
    bool enabled_;
    std::size_t total_;
    std::chrono::steady_clock::time_point start_, last_;
    bool shown_ = false;
};

// Whether err is the standard error stream and that is a terminal.
bool IsTerminal(const std::ostream& err);
// Whether out is the standard output stream and that is a terminal.
bool IsOutputTerminal(const std::ostream& out);

}  // namespace morvel
