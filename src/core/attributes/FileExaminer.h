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

#include "core/attributes/AttributeSlots.h"
#include "core/attributes/SequenceSearch.h"
#include "core/config/ConfigTables.h"
#include "core/platform/Sha256.h"
#include "core/platform/Status.h"

namespace morvel {

class FileExaminer {
  public:
    static constexpr std::int32_t kWindowSize = 1 << 20;
    static constexpr std::int32_t kHalfWindow = 1 << 19;
    static constexpr std::int64_t kSizeCap = std::int64_t{1} << 30;

    FileExaminer();
    FileExaminer(const FileExaminer&) = delete;
    FileExaminer& operator=(const FileExaminer&) = delete;

    // Examines the file at path with the sequences and platform version of
    // tables. When the result is ok the state below describes this file; on
    // failure nothing here changes and the result says why (NotFound for a
    // missing file, InvalidInput for a path without extension, a file that
    // is not a regular file or a file of a store this process has open,
    // which is never opened (see StoreFiles.h), IOError for one that cannot
    // be opened).
    Status ComputeFileAttributes(const std::string& path, const ConfigTables& tables);

    // Uses matcher for the sequence slots while its texts equal the sequence
    // table; lets batch workers share one compiled matcher.
    void UseMatcher(std::shared_ptr<const SequenceMatcher> matcher) { matcher_ = std::move(matcher); }

    // From now on each examination also takes the SHA-256 digest of the
    // whole file (which reads a file over 1 MiB to its end), off by default.
    // It is read through the descriptor the vector was read through, so
    // both describe the same file.
    void TakeFingerprints(bool on) { fingerprints_ = on; }
    // The last file's digest as 64 hex digits; empty when fingerprints are
    // off or the file could not be read to its end.
    const std::string& Fingerprint() const { return fingerprint_; }

    // The last file examined successfully. Slots 1..16 are the general
    // attributes, 16 + k the sequence k; 0 means not available.
    const AttributeSlots& AttributeVector() const { return vector_; }
    std::int32_t CappedFileSize() const { return cappedFileSize_; }
    // Set by each successful examination; cleared once its vector was stored
    // as an example (see MarkRemembered), so that a second Remember of the same
    // examination rewrites that example instead of adding one.
    bool AttributesFresh() const { return fresh_; }
    // Counts the successful examinations: what the state describes now.
    std::uint64_t Generation() const { return generation_; }
    // The vector of examination generation was stored as an example: clears
    // AttributesFresh, unless the examiner has examined a file since.
    void MarkRemembered(std::uint64_t generation) {
        if (generation == generation_) fresh_ = false;
    }

    // The examined part of the last file, lowered through the code page, as
    // the sequences are searched in it (the attributes window's search).
    std::int32_t WindowLength() const { return windowLength_; }
    const std::uint8_t* LoweredWindow() const { return lowered_.data(); }

  private:
    const SequenceMatcher& MatcherFor(const ConfigTables& tables);
    std::string DigestOf(int fd, std::uint64_t size, const std::uint8_t* whole);

    std::vector<std::uint8_t> content_;
    std::vector<std::uint8_t> lowered_;
    std::shared_ptr<const SequenceMatcher> matcher_;
    SequenceMatcher::Scratch scratch_;
    std::vector<bool> found_;
    AttributeSlots vector_{};
    std::int32_t cappedFileSize_ = 0;
    std::int32_t windowLength_ = 0;
    bool fingerprints_ = false;
    std::string fingerprint_;
    std::unique_ptr<Sha256> sha_;
    std::vector<std::uint8_t> chunk_;
    bool fresh_ = false;
    std::uint64_t generation_ = 0;
};

}  // namespace morvel
