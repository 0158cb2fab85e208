#include "cli/ProgressLine.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace morvel {

ProgressLine::ProgressLine(std::ostream& err, bool enabled, std::size_t total)
    : err_(err), enabled_(enabled), total_(total), start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() {
    if (enabled_ && shown_) err_ << "\r\033[K" << std::flush;
}

void ProgressLine::Update(std::size_t done, const std::string& current) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.0f", seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    err_ << "\r\033[K" << done << "/" << total_ << " files, " << rate << " files/s, " << current
         << std::flush;
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!enabled_ || !shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
}

bool IsOutputTerminal(const std::ostream& out) { return &out == &std::cout && isatty(STDOUT_FILENO) == 1; }

bool IsTerminal(const std::ostream& err) { return &err == &std::cerr && isatty(STDERR_FILENO) == 1; }

}  // namespace morvel
