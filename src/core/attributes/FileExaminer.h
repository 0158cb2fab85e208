// FileExaminer: computes the attribute vector of one file and keeps the state
// that describes the last file examined successfully.
//
// The examiner owns its content window and its lowered copy (1 MiB each) and
// its scan space, so several examiners may run on several threads; one
// examiner belongs to one thread at a time. The sequence matcher is compiled
// when the sequence texts change and may be shared between examiners.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/attributes/SequenceSearch.h"
#include "core/store/modMain.h"

namespace morvel {

// Slot 1..116 of an attribute vector; element 0 is unused.
using AttributeSlots = std::array<std::uint8_t, modMain::kMaxAttributes + 1>;

class FileExaminer {
  public:
    static constexpr std::int32_t kWindowSize = 1 << 20;
    static constexpr std::int32_t kHalfWindow = 1 << 19;
    static constexpr std::int64_t kSizeCap = std::int64_t{1} << 30;

    FileExaminer();
    FileExaminer(const FileExaminer&) = delete;
    FileExaminer& operator=(const FileExaminer&) = delete;

    // Examines the file at path with the sequences and platform version of
    // state. Returns true when the state below now describes this file. On
    // false nothing here changes and LastError() says why.
    bool ComputeFileAttributes(const std::string& path, const modMain& state);

    // Uses matcher for the sequence slots while its texts equal the sequence
    // table; lets batch workers share one compiled matcher.
    void UseMatcher(std::shared_ptr<const SequenceMatcher> matcher) { matcher_ = std::move(matcher); }

    // Why the last ComputeFileAttributes returned false.
    const std::string& LastError() const { return lastError_; }

    // The last file examined successfully. Slots 1..16 are the general
    // attributes, 16 + k the sequence k; 0 means not available.
    AttributeSlots AttributeVector{};
    std::int32_t CappedFileSize = 0;
    // Set by each successful computation; the example store clears it.
    bool AttributesFresh = false;
    std::int32_t WindowLength = 0;
    const std::uint8_t* ContentWindow() const { return content_.data(); }
    const std::uint8_t* LoweredWindow() const { return lowered_.data(); }

  private:
    const SequenceMatcher& MatcherFor(const modMain& state);

    std::vector<std::uint8_t> content_;
    std::vector<std::uint8_t> lowered_;
    std::shared_ptr<const SequenceMatcher> matcher_;
    SequenceMatcher::Scratch scratch_;
    std::vector<bool> found_;
    std::string lastError_;
};

}  // namespace morvel
