#include "core/classify/BayesClassifier.h"

#include <algorithm>
#include <bit>

#include "core/classify/SwapSort.h"

namespace morvel {

bool BayesClassifier::Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount,
                          bool freeBayes, ValueBox& box) {
    classes.CountClasses(0, 0);
    const std::int32_t n = classes.LoadedCount();
    const std::int32_t classCount = classes.ClassCount();
    ClassScore.assign(classCount + 1, 0.0);

    std::vector<std::int32_t> slots;  // the slots where the file has a value
    for (std::int32_t s = 1; s <= std::clamp(attributeCount, 0, ConfigTables::kMaxAttributes); ++s)
        if (vector[s] != 0) slots.push_back(s);
    counters_.resize(slots.size());
    std::vector<std::uint8_t> fileCodes(slots.size());
    for (std::size_t k = 0; k < slots.size(); ++k) fileCodes[k] = vector[slots[k]];
    // The slots (a first part of them) that the records have codes for.
    const auto withCodes = static_cast<std::size_t>(
        std::upper_bound(slots.begin(), slots.end(), classes.SlotCount()) - slots.begin());
    const bool mayHoldWide = classes.MayHoldWideValues();

    // Records by exact spelling, each group in increasing record order.
    const std::int32_t spellings = classes.SpellingsLoaded();
    groupStart_.assign(spellings + 1, 0);
    for (std::int32_t r = 1; r <= n; ++r) ++groupStart_[classes.SpellingOf(r) + 1];
    for (std::int32_t g = 1; g <= spellings; ++g) groupStart_[g] += groupStart_[g - 1];
    grouped_.resize(n);
    {
        std::vector<std::int32_t> fill(groupStart_.begin(), groupStart_.end() - 1);
        for (std::int32_t r = 1; r <= n; ++r) grouped_[fill[classes.SpellingOf(r)]++] = r;
    }

    for (std::int32_t c = 1; c <= classCount; ++c) {
        const ClassEntry& entry = classes.ClassTable()[c];
        box.SetText(entry.ClassValue);
        if (!box.Yield()) return false;
        double score = freeBayes ? 1.0 : static_cast<double>(entry.Frequency) / n;

        for (auto& k : counters_) {
            k.matches = k.zeros = k.distinct = 0;
            k.seen.fill(0);
            k.others.clear();
        }
        const std::int32_t g = classes.SpellingIdOf(entry.ClassValue);
        std::int32_t byCode = 0;  // records counted from their codes alone
        for (std::int32_t i = groupStart_[g]; i < groupStart_[g + 1]; ++i) {
            const std::int32_t r = grouped_[i];
            if (mayHoldWide && classes.HasWideValues(r)) {
                for (std::size_t k = 0; k < slots.size(); ++k) {
                    SlotCounters& counter = counters_[k];
                    const std::int32_t v = classes.Value(r, slots[k]);
                    counter.matches += v == fileCodes[k];
                    counter.zeros += v == 0;
                    if (v >= 0 && v <= 255) {
                        counter.seen[v >> 6] |= std::uint64_t{1} << (v & 63);
                    } else if (std::find(counter.others.begin(), counter.others.end(), v) ==
                               counter.others.end()) {
                        counter.others.push_back(v);
                    }
                }
                continue;
            }
            ++byCode;
            const std::uint8_t* codes = classes.Codes(r);
            for (std::size_t k = 0; k < withCodes; ++k) {
                SlotCounters& counter = counters_[k];
                const std::uint8_t v = codes[slots[k] - 1];
                counter.matches += v == fileCodes[k];
                counter.zeros += v == 0;
                counter.seen[v >> 6] |= std::uint64_t{1} << (v & 63);
            }
        }
        // Slots past the records' codes hold 0.
        for (std::size_t k = withCodes; k < slots.size() && byCode > 0; ++k) {
            counters_[k].zeros += byCode;
            counters_[k].seen[0] |= 1;
        }
        for (SlotCounters& counter : counters_) {
            counter.distinct = static_cast<std::int32_t>(counter.others.size());
            for (const std::uint64_t word : counter.seen) counter.distinct += std::popcount(word);
        }
        if (trace) trace->BayesClass(entry.ClassValue, score);
        for (std::size_t k = 0; k < counters_.size(); ++k) {
            const SlotCounters& counter = counters_[k];
            const std::int32_t d = std::max(counter.distinct, 1);
            score = (0.1 / d + counter.matches) * score / (entry.Frequency - counter.zeros + 0.1);
            if (trace) {
                const std::int32_t known = entry.Frequency - counter.zeros;
                trace->BayesSlot(
                    {slots[k], counter.matches, known, d, (0.1 / d + counter.matches) / (known + 0.1)});
            }
        }
        if (trace) trace->BayesScore(score);
        ClassScore[c] = score;
    }

    // Rank by the exchange sort, moving the class entries with their scores.
    const auto order = SwapSortOrder(std::vector<double>(ClassScore.begin() + 1, ClassScore.end()));
    std::vector<double> scores(classCount);
    for (std::int32_t i = 0; i < classCount; ++i) scores[i] = ClassScore[order[i] + 1];
    classes.ReorderClasses(order);
    std::copy(scores.begin(), scores.end(), ClassScore.begin() + 1);

    bool separated = false;
    for (std::int32_t c = 1; c <= classCount; ++c) {
        if (ClassScore[c] * 100 < ClassScore[1] && !separated) {
            box.AddItem(std::string());
            separated = true;
        }
        box.AddItem(classes.ClassTable()[c].ClassValue);
    }
    if (!separated) box.AddItem(std::string());
    box.SelectItem(0);
    return true;
}

}  // namespace morvel
