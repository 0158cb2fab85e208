#include "core/classify/Id3Classifier.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace morvel {

double Id3Classifier::PLogP(std::int32_t frequency) {
    if (!plogpKnown_[frequency]) {
        const double p = static_cast<double>(frequency) / loaded_;
        plogp_[frequency] = p * std::log(p);
        plogpKnown_[frequency] = 1;
    }
    return plogp_[frequency];
}

double Id3Classifier::LogOf(std::int32_t classCount) {
    while (logs_.size() <= static_cast<std::size_t>(classCount))
        logs_.push_back(std::log(static_cast<std::int32_t>(logs_.size())));
    return logs_[classCount];
}

// The gain of slot: h0 less, for each value 1..255 in increasing order, the
// entropy of the active records holding it, weighted by how many loaded
// records hold it among those with a value. A value whose active records form
// one class (or none) has entropy 0 and leaves the gain as it is. Values
// outside 0..255 have the code 0: they hold no value 1..255, and the
// histogram does not count them as 0.
double Id3Classifier::Gain(std::int32_t slot, double h0) {
    const std::uint8_t* column = columns_.data() + static_cast<std::size_t>(slot - 1) * loaded_;
    const std::int32_t* counters = histogram_.data() + static_cast<std::size_t>(slot) * 256;
    std::array<std::int32_t, 258> start{};
    for (const std::int32_t r : active_) ++start[column[r] + 1];
    start[1] = 0;  // value 0 takes no part
    for (int v = 2; v <= 256; ++v) start[v] += start[v - 1];
    std::array<std::int32_t, 257> fill = {};
    std::copy(start.begin(), start.begin() + 257, fill.begin());
    bucket_.resize(active_.size());
    for (const std::int32_t r : active_) {
        const std::uint8_t v = column[r];
        if (v != 0) bucket_[fill[v]++] = classOf_[r];
    }

    double gain = h0;
    const std::int32_t withValue = loaded_ - counters[0];
    for (int v = 1; v <= 255; ++v) {
        if (start[v] == fill[v]) continue;
        if (++pass_ == 0) {
            std::fill(seenIn_.begin(), seenIn_.end(), 0);
            pass_ = 1;
        }
        frequencies_.clear();
        for (std::int32_t i = start[v]; i < fill[v]; ++i) {
            const std::int32_t c = bucket_[i];
            if (seenIn_[c] != pass_) {
                seenIn_[c] = pass_;
                frequencyIndex_[c] = static_cast<std::int32_t>(frequencies_.size());
                frequencies_.push_back(0);
            }
            ++frequencies_[frequencyIndex_[c]];
        }
        const auto classCount = static_cast<std::int32_t>(frequencies_.size());
        if (classCount < 2) continue;
        // The entropy sums its terms largest frequency first.
        std::sort(frequencies_.begin(), frequencies_.end(), std::greater<>());
        double h = 0;
        const double logCount = LogOf(classCount);
        for (const std::int32_t f : frequencies_) h = h - PLogP(f) / logCount;
        gain = gain - counters[v] * h / withValue;
    }
    return gain;
}

bool Id3Classifier::Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount,
                        ValueBox& box) {
    const std::int32_t slots = std::clamp(attributeCount, 0, ConfigTables::kMaxAttributes);
    AttributeAvailable.fill(false);
    std::fill(AttributeAvailable.begin() + 1, AttributeAvailable.begin() + 1 + slots, true);
    alternatives_.Start();
    Steps.clear();
    const std::int32_t n = classes.LoadedCount();
    if (n <= 0) return true;

    loaded_ = n;
    // The codes by slot (the records' own are by record); slots past the
    // records' are 0.
    const std::int32_t have = std::min(slots, classes.SlotCount());
    const std::size_t cells = static_cast<std::size_t>(slots) * n;
    if (columns_.capacity() < cells) std::vector<std::uint8_t>().swap(columns_);  // never two tables at once
    columns_.assign(cells, 0);
    histogram_.assign(static_cast<std::size_t>(slots + 1) * 256, 0);
    classOf_.resize(n);
    active_.clear();
    for (std::int32_t r = 0; r < n; ++r) {
        const std::uint8_t* codes = classes.Codes(r + 1);
        for (std::int32_t s = 1; s <= have; ++s)
            columns_[static_cast<std::size_t>(s - 1) * n + r] = codes[s - 1];
        classOf_[r] = classes.ClassOf(r + 1);
        if (classes.Active(r + 1)) active_.push_back(r);
    }
    for (std::int32_t s = 1; s <= slots; ++s) {
        const std::uint8_t* column = columns_.data() + static_cast<std::size_t>(s - 1) * n;
        std::int32_t* counters = histogram_.data() + static_cast<std::size_t>(s) * 256;
        for (std::int32_t r = 0; r < n; ++r) ++counters[column[r]];
    }
    // A value outside 0..255 has no counter: it is not one of the zeros.
    const bool mayHoldWide = classes.MayHoldWideValues();
    if (mayHoldWide)
        for (std::int32_t r = 1; r <= n; ++r)
            if (classes.HasWideValues(r))
                for (std::int32_t s = 1; s <= have; ++s)
                    if (classes.Codes(r)[s - 1] == 0 && classes.Value(r, s) != 0)
                        --histogram_[static_cast<std::size_t>(s) * 256];
    seenIn_.assign(classes.ClassesLoaded(), 0);
    frequencyIndex_.assign(classes.ClassesLoaded(), 0);
    pass_ = 0;
    plogp_.assign(n + 1, 0.0);
    plogpKnown_.assign(n + 1, 0);

    // Narrowing that leaves no active record ends the walk: the subset then has
    // no majority class, and the one found before stands.
    while (!active_.empty()) {
        const double h0 = classes.CountClasses(0, 0);
        const std::string& majority = classes.ClassTable()[1].ClassValue;
        box.SetText(majority);
        alternatives_.Meet(majority);
        if (!box.Yield()) return false;

        double bestGain = -1e-100;
        std::int32_t best = 0;
        for (std::int32_t s = 1; s <= slots; ++s) {
            if (!AttributeAvailable[s]) continue;
            // With one class every value's entropy is 0, so every gain is h0 = 0.
            const double gain = classes.ClassCount() < 2 ? h0 : Gain(s, h0);
            if (trace) trace->Id3Gain(s, gain);
            if (gain > bestGain) {
                bestGain = gain;
                best = s;
            }
            if (classes.ClassCount() < 2) break;
        }
        Steps.push_back({best, bestGain});
        if (trace)
            trace->Id3Walk({static_cast<std::int32_t>(active_.size()), classes.ClassCount(), majority, best,
                            bestGain, classes.ClassTable()[1].Frequency});
        if (best == 0) break;

        const std::uint8_t f = vector[best];
        if (f != 0) {
            const std::uint8_t* column = columns_.data() + static_cast<std::size_t>(best - 1) * n;
            std::size_t kept = 0;
            for (const std::int32_t r : active_) {
                // The code 0 of a value outside 0..255 does not match everything, as a 0 does.
                if (column[r] == f || (column[r] == 0 && (!mayHoldWide || classes.Value(r + 1, best) == 0))) {
                    active_[kept++] = r;
                } else {
                    classes.SetActive(r + 1, false);
                }
            }
            active_.resize(kept);
        }
        AttributeAvailable[best] = false;
    }

    alternatives_.Write(classes, box);
    return true;
}

}  // namespace morvel
