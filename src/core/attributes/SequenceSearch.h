// Byte-pattern search over a content window: the pattern of a text, the
// lowest-offset search of one pattern, and the matcher that finds all search
// sequences in one pass.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct hs_database;
struct hs_scratch;

namespace morvel {

// The pattern of a text: each character lowered and taken as its
// Windows-1251 code ("?" for characters the code page lacks).
std::string PatternBytes(std::string_view text);

// The smallest offset at which pattern occurs in window[0, length), or -1.
// An empty pattern is never found.
std::int32_t FindPattern(std::string_view pattern, const std::uint8_t* window, std::int32_t length);

// The search sequences compiled once into one multi-pattern database.
// Immutable after construction and safe to share between threads; each
// thread scans with its own Scratch.
class SequenceMatcher {
  public:
    // Compiles the patterns of texts; empty texts are never found.
    explicit SequenceMatcher(const std::vector<std::string>& texts);
    ~SequenceMatcher();
    SequenceMatcher(const SequenceMatcher&) = delete;
    SequenceMatcher& operator=(const SequenceMatcher&) = delete;

    const std::vector<std::string>& Texts() const { return texts_; }
    std::size_t size() const { return texts_.size(); }

    // Per-thread scan space.
    class Scratch {
      public:
        Scratch() = default;
        ~Scratch();
        Scratch(const Scratch&) = delete;
        Scratch& operator=(const Scratch&) = delete;

      private:
        friend class SequenceMatcher;
        hs_scratch* scratch_ = nullptr;
    };

    // Sets found[k] to true when sequence k occurs in the lowered window
    // [0, length) and to false otherwise; found gets size() entries.
    void Scan(const std::uint8_t* lowered, std::int32_t length, Scratch& scratch,
              std::vector<bool>& found) const;

  private:
    std::vector<std::string> texts_;
    std::vector<std::string> patterns_;
    hs_database* db_ = nullptr;  // null when there is nothing to search for
};

}  // namespace morvel
