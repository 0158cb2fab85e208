// WalkAlternatives: the list of alternatives a walk down one branch of a
// decision tree writes into the box. It holds the majority classes the walk
// met, most specific (the last subset's) first, an empty entry, then every
// other class of the examples by overall frequency. One object belongs to
// one thread.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"

namespace morvel {

class WalkAlternatives {
  public:
    // Forgets the classes met.
    void Start();
    // Records the majority class of a step unless its class was met before.
    void Meet(const std::string& majority);
    // Activates every record of classes, counts the classes over all of them
    // and appends the list to box.
    void Write(TrainingSet& classes, ValueBox& box);

  private:
    std::vector<std::string> met_;
    std::unordered_set<std::string> keys_;  // ClassKey of each entry of met_
};

}  // namespace morvel
