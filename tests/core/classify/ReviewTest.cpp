// The figures of a review: novelty against the nearest example, certainty
// from the run's own trace.
#include <gtest/gtest.h>

#include "core/classify/Review.h"

namespace morvel {
namespace {

AttributeSlots Vector(const std::vector<std::int32_t>& values) {
    AttributeSlots v{};
    for (std::size_t s = 0; s < values.size(); ++s) v[s + 1] = static_cast<std::uint8_t>(values[s]);
    return v;
}

TEST(ReviewTest, NoveltyIsTheShareOfDifferingSlotsToTheNearestExample) {
    TrainingSet classes;
    EXPECT_EQ(Novelty(classes, 4, Vector({1, 2, 3, 4})), 1.0);  // nothing taught
    classes.ClearExamples();
    classes.AddExample({1, 2, 0, 0}, "far");
    classes.AddExample({1, 2, 3, 9}, "near");
    // Slots 1..4 all hold a value in one of the two; one differs from "near".
    EXPECT_DOUBLE_EQ(Novelty(classes, 4, Vector({1, 2, 3, 4})), 0.25);
    // A slot neither holds is not counted; past the slots given nothing is.
    EXPECT_DOUBLE_EQ(Novelty(classes, 2, Vector({1, 2, 7, 7})), 0.0);
    EXPECT_DOUBLE_EQ(Novelty(classes, 4, Vector({1, 2, 3, 9})), 0.0);
}

}  // namespace
}  // namespace morvel
