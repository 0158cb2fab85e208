// The classification procedures written out step by step, as plainly as they
// are defined: a class count that searches the class table record by record,
// an ID3 walk that counts classes once per (slot, value), Bayes counters
// gathered slot by slot, and example loading with one store read per value.
// They are slow and obviously right; the tests hold the program's fast
// versions to them, and the benchmark measures against them.
//
// Where the program mends a gap of the procedures, these do the same: tables
// grow past 100 entries, a walk whose subset becomes empty ends, and slot
// values outside 0..255 have no histogram counter.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/classify/Id3Classifier.h"
#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"
#include "core/config/ConfigTables.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel::literal {

inline std::string Trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

inline bool SameClass(const std::string& a, const std::string& b) {
    return codepage::LoweredAnsi(Trimmed(a)) == codepage::LoweredAnsi(Trimmed(b));
}

struct Classes {
    std::vector<ExampleRecord> ExampleTable{1};
    std::int32_t LoadedCount = 0;
    std::vector<ClassEntry> ClassTable{1};
    std::int32_t ClassCount = 0;
    std::vector<double> ClassScore{0.0};
    std::vector<Id3Classifier::Step> Steps;  // of the last walk

    void Add(const std::vector<std::int32_t>& values, const std::string& text, bool active = true) {
        ExampleRecord record;
        for (std::size_t s = 0; s < values.size() && s < ConfigTables::kMaxAttributes; ++s)
            record.AttributeValues[s + 1] = values[s];
        record.TargetValue = text;
        record.Active = active;
        ExampleTable.push_back(record);
        ++LoadedCount;
    }

    void LoadExamples(const Registry& registry, const ConfigTables& state, std::int32_t k) {
        ExampleTable.assign(1, ExampleRecord());
        LoadedCount = 0;
        const std::string examples = ExamplesKeyPath();
        // The literal procedure reads value by value; a read that fails reads as 0 here.
        auto number = [&](const std::string& path, std::string_view name) {
            std::int32_t value = 0;
            return registry.GetKeyNumber(path, name, value) ? value : 0;
        };
        const std::int32_t count = number(examples, "Count");
        const std::string name = "Target" + state.TargetTable[k].Id;
        for (std::int32_t n = 1; n <= count; ++n) {
            const std::string path = examples + "\\Example" + std::to_string(n);
            std::string text;
            if (!registry.GetKeyText(path, name, text) || text.empty()) continue;
            ExampleRecord record;
            record.Active = true;
            record.TargetValue = text;
            for (std::int32_t s = 1; s <= state.AttributeCount; ++s)
                record.AttributeValues[s] = number(path, state.AttributeNames[s]);
            ExampleTable.push_back(record);
            ++LoadedCount;
        }
    }

    double CountClasses(std::int32_t slot, std::int32_t value) {
        ClassCount = 0;
        for (std::int32_t r = LoadedCount; r >= 1; --r) {
            const ExampleRecord& record = ExampleTable[r];
            if (!record.Active) continue;
            if (slot >= 1 && value >= 1 && record.AttributeValues[slot] != value) continue;
            std::int32_t found = 0;
            for (std::int32_t j = 1; j <= ClassCount && found == 0; ++j)
                if (SameClass(ClassTable[j].ClassValue, record.TargetValue)) found = j;
            if (found != 0) {
                ClassTable[found].Frequency += 1;
            } else {
                ClassCount += 1;
                if (ClassTable.size() <= static_cast<std::size_t>(ClassCount)) ClassTable.emplace_back();
                ClassTable[ClassCount] = {record.TargetValue, 1};
            }
        }
        for (std::int32_t i = 2; i <= ClassCount; ++i)
            for (std::int32_t j = 1; j <= i - 1; ++j)
                if (ClassTable[j].Frequency < ClassTable[i].Frequency)
                    std::swap(ClassTable[i], ClassTable[j]);
        double h = 0;
        if (ClassCount > 1) {
            for (std::int32_t i = 1; i <= ClassCount; ++i) {
                const double p = static_cast<double>(ClassTable[i].Frequency) / LoadedCount;
                h = h - p * std::log(p) / std::log(ClassCount);
            }
        }
        return h;
    }

    void Id3(const AttributeSlots& vector, std::int32_t attributeCount, ValueBox& box) {
        std::array<bool, ConfigTables::kMaxAttributes + 1> available{};
        for (std::int32_t s = 1; s <= attributeCount; ++s) available[s] = true;
        std::vector<std::string> results(1);
        std::int32_t resultCount = 0;
        Steps.clear();
        if (LoadedCount <= 0) return;
        auto anyActive = [&] {
            for (std::int32_t r = 1; r <= LoadedCount; ++r)
                if (ExampleTable[r].Active) return true;
            return false;
        };
        while (anyActive()) {
            const double h0 = CountClasses(0, 0);
            const std::string s = ClassTable[1].ClassValue;
            box.SetText(s);
            bool known = false;
            for (std::int32_t i = 1; i <= resultCount; ++i)
                if (SameClass(results[i], s)) known = true;
            if (!known) {
                resultCount += 1;
                results.push_back(s);
            }
            box.Yield();
            double bestGain = -1e-100;
            std::int32_t best = 0;
            for (std::int32_t i = 1; i <= attributeCount; ++i) {
                if (!available[i]) continue;
                double gain = h0;
                std::array<std::int32_t, 256> histogram{};
                for (std::int32_t r = 1; r <= LoadedCount; ++r) {
                    const std::int32_t v = ExampleTable[r].AttributeValues[i];
                    if (v >= 0 && v <= 255) histogram[v] += 1;
                }
                for (std::int32_t j = 1; j <= 255; ++j)
                    if (histogram[j] != 0)
                        gain = gain - histogram[j] * CountClasses(i, j) / (LoadedCount - histogram[0]);
                if (gain > bestGain) {
                    bestGain = gain;
                    best = i;
                }
            }
            Steps.push_back({best, bestGain});
            if (best == 0) break;
            const std::int32_t f = vector[best];
            for (std::int32_t r = 1; r <= LoadedCount; ++r) {
                const std::int32_t v = ExampleTable[r].AttributeValues[best];
                ExampleTable[r].Active = ExampleTable[r].Active && (v == f || v == 0 || f == 0);
            }
            available[best] = false;
        }
        for (std::int32_t i = 1; i <= resultCount / 2; ++i)
            std::swap(results[i], results[resultCount + 1 - i]);
        resultCount += 1;
        results.emplace_back();
        for (std::int32_t r = 1; r <= LoadedCount; ++r) ExampleTable[r].Active = true;
        CountClasses(0, 0);
        for (std::int32_t c = 1; c <= ClassCount; ++c) {
            bool known = false;
            for (std::int32_t i = 1; i <= resultCount; ++i)
                if (SameClass(results[i], ClassTable[c].ClassValue)) known = true;
            if (!known) {
                resultCount += 1;
                results.push_back(ClassTable[c].ClassValue);
            }
        }
        for (std::int32_t i = 1; i <= resultCount; ++i) box.AddItem(results[i]);
    }

    void Bayes(const AttributeSlots& vector, std::int32_t attributeCount, bool freeBayes, ValueBox& box) {
        CountClasses(0, 0);
        ClassScore.assign(ClassCount + 1, 0.0);
        for (std::int32_t c = 1; c <= ClassCount; ++c) {
            box.SetText(ClassTable[c].ClassValue);
            box.Yield();
            double score = freeBayes ? 1 : static_cast<double>(ClassTable[c].Frequency) / LoadedCount;
            for (std::int32_t i = 1; i <= attributeCount; ++i) {
                const std::int32_t f = vector[i];
                if (f == 0) continue;
                std::int32_t matches = 0, zeros = 0, d = 0;
                std::vector<std::int32_t> distinct;
                for (std::int32_t r = 1; r <= LoadedCount; ++r) {
                    if (ExampleTable[r].TargetValue != ClassTable[c].ClassValue) continue;
                    const std::int32_t v = ExampleTable[r].AttributeValues[i];
                    if (v == f) matches += 1;
                    if (v == 0) zeros += 1;
                    bool met = false;
                    for (std::int32_t x = 0; x < d; ++x)
                        if (distinct[x] == v) met = true;
                    if (!met) {
                        distinct.push_back(v);
                        d += 1;
                    }
                }
                if (d < 1) d = 1;
                score = (0.1 / d + matches) * score / (ClassTable[c].Frequency - zeros + 0.1);
            }
            ClassScore[c] = score;
        }
        for (std::int32_t j = 2; j <= ClassCount; ++j)
            for (std::int32_t i = 1; i <= j; ++i)
                if (ClassScore[i] < ClassScore[j]) {
                    std::swap(ClassScore[i], ClassScore[j]);
                    std::swap(ClassTable[i], ClassTable[j]);
                }
        bool separated = false;
        for (std::int32_t c = 1; c <= ClassCount; ++c) {
            if (ClassScore[c] * 100 < ClassScore[1] && !separated) {
                box.AddItem("");
                separated = true;
            }
            box.AddItem(ClassTable[c].ClassValue);
        }
        if (!separated) box.AddItem("");
        box.SelectItem(0);
    }
};

}  // namespace morvel::literal
