// Random example sets for the differential tests and the benchmark: slot
// values 0..255 with many zeros (and, when asked, values a hand-edited store
// could hold), classes whose spellings differ in letter case or blanks, and
// classes that follow some of the slots so that walks go somewhere.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/attributes/FileExaminer.h"

namespace morvel::test {

struct ExampleSet {
    std::int32_t attributeCount = 16;
    std::vector<std::vector<std::int32_t>> values;  // per record, slots 1..attributeCount
    std::vector<std::string> texts;
    AttributeSlots file{};
};

struct ExampleSetShape {
    std::int32_t records = 100;
    std::int32_t attributeCount = 116;
    std::int32_t classes = 5;
    bool spellingVariants = true;  // "Alpha", " alpha", "ALPHA  "
    bool oddValues = false;        // values below 0 and above 255
};

inline std::string ClassName(std::int32_t c, std::mt19937& random, bool variants) {
    static const char* const kWords[] = {"virus", "Clean", "setup", "Вирус", "игра", "a b", "tool", "x"};
    std::string name = kWords[c % 8];
    if (c >= 8) name += " " + std::to_string(c / 8);
    if (!variants) return name;
    switch (random() % 6) {
        case 0:
            return " " + name;
        case 1:
            return name + "  ";
        case 2:
            for (auto& ch : name)
                if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
            return name;
        default:
            return name;
    }
}

inline ExampleSet MakeExampleSet(const ExampleSetShape& shape, std::mt19937& random) {
    ExampleSet set;
    set.attributeCount = shape.attributeCount;
    const auto slots = static_cast<std::size_t>(shape.attributeCount);
    // Per slot: how often it is 0, how many values it takes, and whether it
    // follows the class.
    std::vector<double> zeroShare(slots + 1);
    std::vector<std::int32_t> range(slots + 1);
    std::vector<bool> follows(slots + 1);
    static const std::int32_t kRanges[] = {2, 2, 3, 4, 7, 8, 12, 31, 255};
    for (std::size_t s = 1; s <= slots; ++s) {
        zeroShare[s] = std::uniform_real_distribution<double>(0, 0.8)(random);
        range[s] = kRanges[random() % 9];
        follows[s] = random() % 3 == 0;
    }
    auto value = [&](std::size_t s, std::int32_t cls) -> std::int32_t {
        if (shape.oddValues && random() % 50 == 0) {
            static const std::int32_t kOdd[] = {-1, -200, 256, 1000, 65536};
            return kOdd[random() % 5];
        }
        if (std::uniform_real_distribution<double>(0, 1)(random) < zeroShare[s]) return 0;
        if (follows[s] && random() % 4 != 0) return 1 + (cls * 7 + static_cast<std::int32_t>(s)) % range[s];
        return 1 + static_cast<std::int32_t>(random() % range[s]);
    };
    const std::int32_t classes = std::max(shape.classes, 1);
    for (std::int32_t r = 0; r < shape.records; ++r) {
        // Skewed class shares: low class numbers are more frequent.
        const auto cls = static_cast<std::int32_t>(
            std::min<double>(classes - 1, std::exponential_distribution<double>(3.0 / classes)(random)));
        std::vector<std::int32_t> row(slots);
        for (std::size_t s = 1; s <= slots; ++s) row[s - 1] = value(s, cls);
        set.values.push_back(std::move(row));
        set.texts.push_back(ClassName(cls, random, shape.spellingVariants));
    }
    // The file looks like one of the records (or like nothing) with some noise.
    const std::vector<std::int32_t>* like =
        set.values.empty() || random() % 5 == 0 ? nullptr : &set.values[random() % set.values.size()];
    for (std::size_t s = 1; s <= slots; ++s) {
        std::int32_t v = like && random() % 5 != 0 ? (*like)[s - 1] : value(s, 0);
        if (v < 0 || v > 255) v = static_cast<std::int32_t>(random() % 3);
        set.file[s] = static_cast<std::uint8_t>(v);
    }
    return set;
}

}  // namespace morvel::test
