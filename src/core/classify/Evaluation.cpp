#include "core/classify/Evaluation.h"

#include <algorithm>
#include <random>
#include <unordered_map>

#include "core/classify/ClassificationRun.h"
#include "core/platform/RunOrdered.h"

namespace morvel {

AttributeSlots VectorOf(const TrainingSet& classes, std::int32_t r) {
    AttributeSlots vector{};
    const std::int32_t slots = std::min<std::int32_t>(classes.SlotCount(), vector.size() - 1);
    std::copy(classes.Codes(r), classes.Codes(r) + slots, vector.begin() + 1);
    return vector;
}

std::vector<std::int32_t> StratifiedFolds(const std::vector<std::int32_t>& classOf, std::int32_t classes,
                                          std::int32_t folds, std::uint32_t seed) {
    std::vector<std::vector<std::int32_t>> members(static_cast<std::size_t>(std::max(classes, 0)));
    for (std::size_t r = 0; r < classOf.size(); ++r)
        members[classOf[r]].push_back(static_cast<std::int32_t>(r));
    // The engine's output is fixed by the standard; the distributions' is not,
    // so the shuffle draws from the engine itself.
    std::mt19937 random(seed);
    std::vector<std::int32_t> fold(classOf.size(), 0);
    std::size_t dealt = 0;
    for (auto& records : members) {
        for (std::size_t i = records.size(); i > 1; --i) std::swap(records[i - 1], records[random() % i]);
        for (const std::int32_t r : records) fold[r] = static_cast<std::int32_t>(dealt++ % folds);
    }
    return fold;
}

TargetEvaluation EvaluateTarget(const std::shared_ptr<const StoredExamples>& examples,
                                const ConfigTables& tables, std::int32_t k, std::int32_t folds,
                                std::uint32_t seed, unsigned jobs) {
    TargetEvaluation result;
    TrainingSet all;
    all.UseExamples(examples);
    all.LoadExamples(tables, k);
    const std::int32_t n = all.LoadedCount();
    result.examples = n;
    if (n == 0) return result;

    all.CountClasses(0, 0);
    std::unordered_map<std::string, std::int32_t> classIndex;
    for (std::int32_t c = 1; c <= all.ClassCount(); ++c) {
        result.classes.push_back(all.ClassTable()[c].ClassValue);
        result.frequencies.push_back(all.ClassTable()[c].Frequency);
        classIndex.emplace(ClassKey(all.ClassTable()[c].ClassValue), c - 1);
    }
    const auto classCount = static_cast<std::int32_t>(result.classes.size());
    std::vector<std::int32_t> classOf(n);
    for (std::int32_t r = 0; r < n; ++r) classOf[r] = classIndex.at(ClassKey(all.TargetValue(r + 1)));

    result.folds = folds <= 0 ? n : std::min(folds, n);
    std::vector<std::int32_t> foldOf(n);
    if (result.folds == n) {
        for (std::int32_t r = 0; r < n; ++r) foldOf[r] = r;
    } else {
        foldOf = StratifiedFolds(classOf, classCount, result.folds, seed);
    }

    struct Worker {
        TrainingSet training;
        ClassificationRun run;
    };
    std::vector<std::unique_ptr<Worker>> workers(std::max(jobs, 1u));
    std::vector<std::string> predicted(n);
    const ClassificationMethod* method = FindMethod(tables.TargetTable[k].Method);
    RunOrdered(
        static_cast<std::size_t>(result.folds), jobs,
        [&](std::size_t f, unsigned w) {
            auto& worker = workers[w];
            if (!worker) worker = std::make_unique<Worker>();
            // The training examples keep their stored order, as a load gives them.
            std::vector<std::int32_t> training;
            training.reserve(n);
            for (std::int32_t r = 0; r < n; ++r)
                if (foldOf[r] != static_cast<std::int32_t>(f)) training.push_back(r + 1);
            worker->training.LoadRecords(all, training);
            for (std::int32_t r = 0; r < n; ++r) {
                if (foldOf[r] != static_cast<std::int32_t>(f)) continue;
                RecordingBox box;
                worker->run.ClassifyLoaded(worker->training, method, tables.AttributeCount,
                                           VectorOf(all, r + 1), box);
                predicted[r] = box.text;
            }
            return std::string();
        },
        [](std::size_t, const std::string&) {});

    result.confusion.assign(classCount, std::vector<std::int32_t>(classCount + 1, 0));
    for (std::int32_t r = 0; r < n; ++r) {
        const auto p = classIndex.find(ClassKey(predicted[r]));
        const std::int32_t column = p == classIndex.end() ? classCount : p->second;
        ++result.confusion[classOf[r]][column];
        if (SameClassValue(predicted[r], all.TargetValue(r + 1))) ++result.correct;
    }
    return result;
}

}  // namespace morvel
