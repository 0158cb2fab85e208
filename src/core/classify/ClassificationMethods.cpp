#include "core/classify/ClassificationMethods.h"

#include <array>
#include <cstdio>

namespace morvel {

// Each defined in the method's own file.
extern const ClassificationMethod kId3Method;
extern const ClassificationMethod kNaiveBayesMethod;
extern const ClassificationMethod kFreeBayesMethod;
extern const ClassificationMethod kDecisionTreeMethod;

namespace {

constexpr std::array<const ClassificationMethod*, 4> kMethods = {&kId3Method, &kNaiveBayesMethod,
                                                                 &kFreeBayesMethod, &kDecisionTreeMethod};

}  // namespace

std::span<const ClassificationMethod* const> ClassificationMethods() { return kMethods; }

const ClassificationMethod* FindMethod(std::string_view name) {
    for (const ClassificationMethod* method : kMethods)
        if (method->name == name) return method;
    return nullptr;
}

std::string QuotedMethodNames(std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < kMethods.size(); ++i) {
        if (i > 0) text += i + 1 == kMethods.size() ? last : ", ";
        text += "\"" + std::string(kMethods[i]->name) + "\"";
    }
    return text;
}

std::string TraceNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

}  // namespace morvel
