#include "attributes/SequenceSearch.h"

#include <hs/hs.h>

#include <cstring>

#include "platform/CodePage.h"

namespace morvel {

std::string PatternBytes(std::string_view text) { return codepage::LoweredAnsi(text); }

std::int32_t FindPattern(std::string_view pattern, const std::uint8_t* window, std::int32_t length) {
    if (pattern.empty() || length <= 0 || pattern.size() > static_cast<std::size_t>(length)) return -1;
    // glibc's memmem returns the leftmost occurrence, as a first-byte-then-rest scan does.
    const void* hit = memmem(window, static_cast<std::size_t>(length), pattern.data(), pattern.size());
    return hit ? static_cast<std::int32_t>(static_cast<const std::uint8_t*>(hit) - window) : -1;
}

SequenceMatcher::SequenceMatcher(const std::vector<std::string>& texts) : texts_(texts) {
    std::vector<const char*> expressions;
    std::vector<std::size_t> lengths;
    std::vector<unsigned> ids, flags;
    patterns_.reserve(texts.size());
    for (std::size_t k = 0; k < texts.size(); ++k) {
        patterns_.push_back(PatternBytes(texts[k]));
        if (patterns_.back().empty()) continue;
        ids.push_back(static_cast<unsigned>(k));
        flags.push_back(HS_FLAG_SINGLEMATCH);
    }
    for (unsigned id : ids) {
        expressions.push_back(patterns_[id].data());
        lengths.push_back(patterns_[id].size());
    }
    if (ids.empty()) return;
    hs_compile_error_t* error = nullptr;
    if (hs_compile_lit_multi(expressions.data(), flags.data(), ids.data(), lengths.data(),
                             static_cast<unsigned>(ids.size()), HS_MODE_BLOCK, nullptr, &db_,
                             &error) != HS_SUCCESS) {
        // Literals always compile; should the library refuse anyway, Scan falls back to FindPattern.
        hs_free_compile_error(error);
        db_ = nullptr;
    }
}

SequenceMatcher::~SequenceMatcher() { hs_free_database(db_); }

SequenceMatcher::Scratch::~Scratch() { hs_free_scratch(scratch_); }

namespace {
struct ScanContext {
    std::vector<bool>* found;
    std::size_t remaining;
};

int OnMatch(unsigned id, unsigned long long, unsigned long long, unsigned, void* context) {
    auto* c = static_cast<ScanContext*>(context);
    if (!(*c->found)[id]) {
        (*c->found)[id] = true;
        --c->remaining;
    }
    return c->remaining == 0 ? 1 : 0;  // stop once every sequence is found
}
}  // namespace

void SequenceMatcher::Scan(const std::uint8_t* lowered, std::int32_t length, Scratch& scratch,
                           std::vector<bool>& found) const {
    found.assign(texts_.size(), false);
    if (length <= 0 || texts_.empty()) return;
    std::size_t searchable = 0;
    for (const auto& p : patterns_) searchable += !p.empty();
    if (searchable == 0) return;
    if (db_ && hs_alloc_scratch(db_, &scratch.scratch_) == HS_SUCCESS) {
        ScanContext context{&found, searchable};
        const hs_error_t rc = hs_scan(db_, reinterpret_cast<const char*>(lowered),
                                      static_cast<unsigned>(length), 0, scratch.scratch_, OnMatch, &context);
        if (rc == HS_SUCCESS || rc == HS_SCAN_TERMINATED) return;
        found.assign(texts_.size(), false);
    }
    for (std::size_t k = 0; k < patterns_.size(); ++k)
        found[k] = FindPattern(patterns_[k], lowered, length) >= 0;
}

}  // namespace morvel
