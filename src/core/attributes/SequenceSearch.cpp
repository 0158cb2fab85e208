#include "core/attributes/SequenceSearch.h"

#include <hs/hs.h>

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/platform/CodePage.h"

namespace morvel {

std::string PatternBytes(std::string_view text) { return codepage::LoweredAnsi(text); }

std::int32_t FindPattern(std::string_view pattern, const std::uint8_t* window, std::int32_t length) {
    if (pattern.empty() || length <= 0 || pattern.size() > static_cast<std::size_t>(length)) return -1;
    const auto* p = reinterpret_cast<const std::uint8_t*>(pattern.data());
    const std::size_t n = pattern.size();
    const std::size_t last = static_cast<std::size_t>(length) - n;  // the last start offset
    auto matchesAt = [&](std::size_t i) { return std::memcmp(window + i + 1, p + 1, n - 1) == 0; };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen start offsets at a time: keep those where both the first and the
    // last byte of the pattern agree, then compare the rest, lowest offset first.
    const __m128i first = _mm_set1_epi8(static_cast<char>(p[0]));
    const __m128i lastByte = _mm_set1_epi8(static_cast<char>(p[n - 1]));
    for (; i + 16 <= last + 1; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + i + n - 1));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastByte))));
        while (mask != 0) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (matchesAt(at)) return static_cast<std::int32_t>(at);
            mask &= mask - 1;
        }
    }
#endif
    for (; i <= last; ++i)
        if (window[i] == p[0] && matchesAt(i)) return static_cast<std::int32_t>(i);
    return -1;
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

// The library can miss a match that ends within the last few dozen bytes of
// the scanned buffer, depending on where the buffer starts in memory (seen
// with Vectorscan 5.4.9 on texts that end alike). These last bytes are
// searched again for every sequence the scan did not report.
constexpr std::int32_t kRecheckedTail = 256;

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
        if (rc == HS_SUCCESS || rc == HS_SCAN_TERMINATED) {
            for (std::size_t k = 0; k < patterns_.size(); ++k) {
                if (found[k] || patterns_[k].empty()) continue;
                const std::int64_t from =
                    std::max<std::int64_t>(0, std::int64_t{length} - kRecheckedTail -
                                                  static_cast<std::int64_t>(patterns_[k].size()));
                found[k] =
                    FindPattern(patterns_[k], lowered + from, static_cast<std::int32_t>(length - from)) >= 0;
            }
            return;
        }
        found.assign(texts_.size(), false);
    }
    for (std::size_t k = 0; k < patterns_.size(); ++k)
        found[k] = FindPattern(patterns_[k], lowered, length) >= 0;
}

}  // namespace morvel
