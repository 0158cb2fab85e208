// The table of classification methods: every method a target can name, with
// what classification, explain and evaluate need of it. The target editor's
// method list and `targets add` offer the table's names in its order.
//
// A method's name is stored in the target table as the editor offered it and
// compared exactly, letter case included; it is never translated. A target
// whose method is none of the table's gets no value.
//
// Adding a method: its classifier and its entry in a file of its own (as
// Id3Method.cpp holds the ID3-based one), and the entry in the list in
// ClassificationMethods.cpp. The table is read-only after start-up and may be
// read from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "core/attributes/AttributeSlots.h"
#include "core/classify/ClassifierTrace.h"
#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"
#include "core/config/ConfigTables.h"

namespace morvel {

// One method's classifier with the buffers it keeps between targets; one
// object belongs to one thread.
class MethodClassifier {
  public:
    virtual ~MethodClassifier() = default;
    // Classifies the file's vector (slots 1..attributeCount) from the examples
    // loaded in classes and writes the value and its alternatives into box;
    // trace, when not null, is told what the method computes. Returns false
    // when box.Yield asked to stop; the box must not be used after that.
    virtual bool Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount,
                     ClassifierTrace* trace, ValueBox& box) = 0;
};

// Records one run of its method and tells how the run reached its value.
class MethodExplainer : public ClassifierTrace {
  public:
    // Writes, after the one run this trace was given to, how it reached the
    // value in box: indented lines that name the attributes as tables names
    // them, with the file's values from vector.
    virtual void Print(const ConfigTables& tables, const AttributeSlots& vector, const RecordingBox& box,
                       std::ostream& out) const = 0;
};

struct ClassificationMethod {
    // The name the target table stores.
    std::string_view name;
    // Builds the method's classifier for one thread. Classification keeps one
    // per method between targets; evaluate builds one per worker and reads
    // only the box's text, with a held-out example's stored values as the
    // file's vector.
    std::unique_ptr<MethodClassifier> (*makeClassifier)();
    // Builds the trace explain gives the run and prints.
    std::unique_ptr<MethodExplainer> (*makeExplainer)();
};

// Every method, in the order the target editor offers them.
std::span<const ClassificationMethod* const> ClassificationMethods();

// The method stored as name (compared exactly), or nullptr.
const ClassificationMethod* FindMethod(std::string_view name);

// The methods' names, each in double quotes, separated by ", " and by last
// before the final one: "\"A\", \"B\" or \"C\"" for last " or ".
std::string QuotedMethodNames(std::string_view last);

// For explainers: a figure with four significant digits ("0.1234", "1e-05"),
// and a text in double quotes.
std::string TraceNumber(double value);
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace morvel
