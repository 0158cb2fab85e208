// The result of a fallible operation: ok, or an error with a message for the user.
#pragma once

#include <string>
#include <utility>

namespace morvel {

class Status {
  public:
    Status() = default;
    static Status Ok() { return Status(); }
    static Status Error(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    // The message of a failure; empty when ok.
    const std::string& message() const { return message_; }

  private:
    explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}
    bool failed_ = false;
    std::string message_;
};

}  // namespace morvel
