#include "core/classify/DecisionTreeClassifier.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace morvel {
namespace {

// A ratio at or below this is rounding noise, not a gain.
constexpr double kLeastRatio = 1e-12;

}  // namespace

std::int32_t DecisionTreeClassifier::ValueOf(const TrainingSet& classes, std::int32_t r,
                                             std::int32_t slot) const {
    if (slot > slotCount_) return 0;
    const std::uint8_t code = classes.Codes(r)[slot - 1];
    // The code 0 stands for a value outside 0..255 too.
    if (code == 0 && classes.HasWideValues(r)) return classes.Value(r, slot);
    return code;
}

void DecisionTreeClassifier::GroupByValue(const TrainingSet& classes, std::int32_t slot) {
    bucket_.clear();
    groupEnd_.clear();
    wide_.clear();
    if (slot > slotCount_) return;
    // Codes 1..255 by counting; the rare values outside 0..255 by sorting, the
    // negative ones before the codes and the others after them.
    std::array<std::size_t, 257> start{};
    for (const std::int32_t r : active_) {
        const std::uint8_t code = classes.Codes(r)[slot - 1];
        if (code != 0) {
            ++start[code + 1];
        } else if (const std::int32_t value = ValueOf(classes, r, slot); value != 0) {
            wide_.emplace_back(value, classes.ClassOf(r));
        }
    }
    std::sort(wide_.begin(), wide_.end());
    const auto negative = static_cast<std::size_t>(
        std::partition_point(wide_.begin(), wide_.end(), [](const auto& w) { return w.first < 0; }) -
        wide_.begin());
    start[1] = negative;
    for (int v = 2; v <= 256; ++v) start[v] += start[v - 1];
    const std::size_t codes = start[256] - negative;
    bucket_.resize(wide_.size() + codes);

    auto appendWide = [&](std::size_t from, std::size_t to, std::size_t at) {
        for (std::size_t i = from; i < to; ++i) {
            if (i > from && wide_[i].first != wide_[i - 1].first) groupEnd_.push_back(at);
            bucket_[at++] = wide_[i].second;
        }
        if (to > from) groupEnd_.push_back(at);
    };
    appendWide(0, negative, 0);
    std::array<std::size_t, 257> fill = start;
    for (const std::int32_t r : active_) {
        const std::uint8_t code = classes.Codes(r)[slot - 1];
        if (code != 0) bucket_[fill[code]++] = classes.ClassOf(r);
    }
    for (int v = 1; v <= 255; ++v)
        if (fill[v] != start[v]) groupEnd_.push_back(fill[v]);
    appendWide(negative, wide_.size(), start[256]);
}

double DecisionTreeClassifier::Entropy(std::size_t begin, std::size_t end) {
    frequencies_.clear();
    met_.clear();
    for (std::size_t i = begin; i < end; ++i)
        if (count_[bucket_[i]]++ == 0) met_.push_back(bucket_[i]);
    for (const std::int32_t c : met_) {
        frequencies_.push_back(count_[c]);
        count_[c] = 0;
    }
    // Largest frequency first, so that equal counts give equal sums.
    std::sort(frequencies_.begin(), frequencies_.end(), std::greater<>());
    const auto n = static_cast<double>(end - begin);
    double h = 0;
    for (const std::int32_t f : frequencies_) {
        const double p = f / n;
        h -= p * std::log2(p);
    }
    return h;
}

double DecisionTreeClassifier::GainRatio(const TrainingSet& classes, std::int32_t slot) {
    GroupByValue(classes, slot);
    const std::size_t n = bucket_.size();
    if (n < 2 || groupEnd_.size() < 2) return 0;
    double within = 0;
    double split = 0;
    std::size_t begin = 0;
    for (const std::size_t end : groupEnd_) {
        const double share = static_cast<double>(end - begin) / static_cast<double>(n);
        within += share * Entropy(begin, end);
        split -= share * std::log2(share);
        begin = end;
    }
    if (split <= 0) return 0;
    return (Entropy(0, n) - within) / split;
}

void DecisionTreeClassifier::Narrow(TrainingSet& classes, std::int32_t slot, std::int32_t value) {
    if (value == 0) return;
    std::size_t kept = 0;
    for (const std::int32_t r : active_) {
        const std::int32_t own = ValueOf(classes, r, slot);
        if (own == value || own == 0) {
            active_[kept++] = r;
        } else {
            classes.SetActive(r, false);
        }
    }
    active_.resize(kept);
}

bool DecisionTreeClassifier::Run(TrainingSet& classes, const AttributeSlots& vector,
                                 std::int32_t attributeCount, ValueBox& box) {
    const std::int32_t slots = std::clamp(attributeCount, 0, ConfigTables::kMaxAttributes);
    available_.fill(false);
    std::fill(available_.begin() + 1, available_.begin() + 1 + slots, true);
    alternatives_.Start();
    Steps.clear();
    const std::int32_t n = classes.LoadedCount();
    if (n <= 0) return true;

    slotCount_ = std::min(slots, classes.SlotCount());
    count_.assign(classes.ClassesLoaded(), 0);
    active_.clear();
    for (std::int32_t r = 1; r <= n; ++r)
        if (classes.Active(r)) active_.push_back(r);

    // Narrowing that leaves no active record ends the walk: the subset then has
    // no majority class, and the one found before stands.
    while (!active_.empty()) {
        classes.CountClasses(0, 0);
        const std::string& majority = classes.ClassTable()[1].ClassValue;
        box.SetText(majority);
        alternatives_.Meet(majority);
        if (!box.Yield()) return false;

        Step step;
        if (classes.ClassCount() >= 2) {
            double best = kLeastRatio;
            for (std::int32_t s = 1; s <= slots; ++s) {
                if (!available_[s]) continue;
                // A value of the file's that no record holds leaves its branch empty.
                if (vector[s] != 0 && std::none_of(active_.begin(), active_.end(), [&](std::int32_t r) {
                        return ValueOf(classes, r, s) == vector[s];
                    }))
                    continue;
                // Only a higher ratio replaces the best: ties stay with the lower slot.
                if (const double ratio = GainRatio(classes, s); ratio > best) {
                    best = ratio;
                    step = {s, ratio};
                }
            }
        }
        Steps.push_back(step);
        if (trace)
            trace->TreeWalk({static_cast<std::int32_t>(active_.size()), classes.ClassCount(), majority,
                             step.slot, step.ratio, classes.ClassTable()[1].Frequency});
        if (step.slot == 0) break;
        Narrow(classes, step.slot, vector[step.slot]);
        available_[step.slot] = false;
    }

    alternatives_.Write(classes, box);
    return true;
}

}  // namespace morvel
