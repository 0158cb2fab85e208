// Status: the result of a fallible operation: ok, or a failure of one kind
// with a message for the user. The one way the core reports failure; the
// windows and morvel-cli turn a failure into one message each.
//
// The kinds say what a caller may do about it: NotFound (a file or key that
// is not there), InvalidInput (the user's input or a file's content is
// refused: nothing was done), Corrupt (stored data or a file is damaged),
// IOError (the system refused a read or write), Busy (another program holds
// the store longer than the wait).
#pragma once

#include <string>
#include <utility>

namespace morvel {

class [[nodiscard]] Status {
  public:
    enum class Kind { kOk, kNotFound, kInvalidInput, kCorrupt, kIOError, kBusy };

    Status() = default;
    static Status Ok() { return Status(); }
    static Status NotFound(std::string message) { return Status(Kind::kNotFound, std::move(message)); }
    static Status InvalidInput(std::string message) {
        return Status(Kind::kInvalidInput, std::move(message));
    }
    static Status Corrupt(std::string message) { return Status(Kind::kCorrupt, std::move(message)); }
    static Status IOError(std::string message) { return Status(Kind::kIOError, std::move(message)); }
    static Status Busy(std::string message) { return Status(Kind::kBusy, std::move(message)); }

    bool ok() const { return kind_ == Kind::kOk; }
    explicit operator bool() const { return ok(); }
    Kind kind() const { return kind_; }
    bool IsNotFound() const { return kind_ == Kind::kNotFound; }
    bool IsInvalidInput() const { return kind_ == Kind::kInvalidInput; }
    bool IsCorrupt() const { return kind_ == Kind::kCorrupt; }
    bool IsIOError() const { return kind_ == Kind::kIOError; }
    bool IsBusy() const { return kind_ == Kind::kBusy; }

    // The message of a failure; empty when ok.
    const std::string& message() const { return message_; }

    // The same failure with context in front of its message ("line 3: ...").
    Status Prefixed(const std::string& context) const {
        return ok() ? *this : Status(kind_, context + message_);
    }

  private:
    Status(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}
    Kind kind_ = Kind::kOk;
    std::string message_;
};

}  // namespace morvel
