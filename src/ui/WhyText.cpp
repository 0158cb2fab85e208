#include "ui/WhyText.h"

#include <algorithm>

#include "core/classify/ClassificationMethods.h"
#include "ui/Messages.h"
#include "ui/SlotTexts.h"

namespace morvel {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString N(std::int32_t n) { return QString::number(n); }

QString WalkText(const Registry& registry, const ConfigTables& tables, const AttributeSlots& vector,
                 const WhyTrace& trace) {
    QStringList lines;
    for (std::size_t i = 0; i < trace.steps.size(); ++i) {
        const WhyTrace::Step& step = trace.steps[i];
        lines << Text(registry, msg::kWhyStep,
                      {N(static_cast<std::int32_t>(i + 1)), N(step.subset), N(step.classes), Q(step.majority),
                       N(step.majorityCount)});
        if (step.slot != 0) {
            lines << Text(registry, msg::kWhyTest,
                          {SlotLine(registry, tables, step.slot, vector[step.slot])});
        } else {
            lines << Text(registry, step.classes <= 1 ? msg::kWhyEndOneClass : msg::kWhyEndNoTest);
        }
    }
    lines << Text(registry, msg::kWhyWalkValue);
    return lines.join("\n");
}

// The attributes that counted most for the chosen class and against it: the
// slots whose factor is highest and lowest against the next class's factor
// in the same slot (against 1 when there is no next class).
QString BayesText(const Registry& registry, const ConfigTables& tables, const AttributeSlots& vector,
                  const WhyTrace& trace) {
    std::vector<const WhyTrace::BayesClassTrace*> classes;
    for (const auto& c : trace.bayes) classes.push_back(&c);
    std::stable_sort(classes.begin(), classes.end(), [](auto* a, auto* b) { return a->score > b->score; });
    const auto& best = *classes.front();
    const auto* next = classes.size() > 1 ? classes[1] : nullptr;
    QStringList lines;
    if (next == nullptr) {
        lines << Text(registry, msg::kWhyBayesOne, {Q(best.value)});
    } else {
        // Two decimals for a close call, whole numbers beyond ten times.
        const double ratio = next->score > 0 ? best.score / next->score : 0;
        const QString times =
            next->score > 0 ? QString::number(ratio, 'f', ratio < 10 ? 2 : 0) : QString::fromUtf8("∞");
        lines << Text(registry, msg::kWhyBayes, {Q(best.value), times, Q(next->value)});
    }
    struct Weighed {
        double weight;
        const ClassifierTrace::BayesFactor* factor;
    };
    std::vector<Weighed> weighed;
    for (const auto& f : best.factors) {
        double other = 1;
        if (next)
            for (const auto& g : next->factors)
                if (g.slot == f.slot) other = g.factor;
        weighed.push_back({other > 0 ? f.factor / other : 1e9, &f});
    }
    std::stable_sort(weighed.begin(), weighed.end(),
                     [](const auto& a, const auto& b) { return a.weight > b.weight; });
    auto list = [&](const Message& heading, auto first, auto last, bool keep(double)) {
        QStringList shown;
        for (auto it = first; it != last && shown.size() < 3; ++it)
            if (keep(it->weight))
                shown << Text(registry, msg::kWhyFactor,
                              {SlotLine(registry, tables, it->factor->slot, vector[it->factor->slot]),
                               N(it->factor->matches), N(it->factor->known)});
        if (!shown.isEmpty()) lines << Text(registry, heading, {Q(best.value)}) << shown;
    };
    list(msg::kWhyFor, weighed.begin(), weighed.end(), [](double w) { return w > 1; });
    list(msg::kWhyAgainst, weighed.rbegin(), weighed.rend(), [](double w) { return w < 1; });
    return lines.join("\n");
}

}  // namespace

QString WhyText(const Registry& registry, const ConfigTables& tables, const AttributeSlots& vector,
                const std::string& method, std::int32_t examples, std::int32_t listed,
                const WhyTrace& trace) {
    if (FindMethod(method) == nullptr) return Text(registry, msg::kWhyNoMethod, {Q(method)});
    if (examples == 0) return Text(registry, msg::kWhyNoExamples);
    if (listed == 0 || (trace.steps.empty() && trace.bayes.empty()))
        return Text(registry, msg::kWhyNoClasses);
    const QString heading = Text(registry, msg::kWhyExamples, {Q(method), N(examples)});
    return heading + "\n" +
           (trace.steps.empty() ? BayesText(registry, tables, vector, trace)
                                : WalkText(registry, tables, vector, trace));
}

}  // namespace morvel
