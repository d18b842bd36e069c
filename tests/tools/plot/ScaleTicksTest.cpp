// SPDX-License-Identifier: Apache-2.0
// Value-axis ticks: round steps, labels to the step's precision, and whole
// numbers only on the axis of a count (a fractional count of cases reads as
// nonsense).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot/ScaleTicks.h"

namespace {

using namespace qzkit;

struct TicksCase {
    const char *name;
    double low;
    double high;
    bool count;
    std::vector<std::string> labels;
};

class ScaleTicksTest : public ::testing::TestWithParam<TicksCase> {};

TEST_P(ScaleTicksTest, LabelsEveryRoundStepInTheRange)
{
    const TicksCase &c = GetParam();
    std::vector<std::string> labels;
    for (const ScaleTick &tick : ScaleTicks(c.low, c.high, 5, c.count)) {
        labels.push_back(tick.label);
    }
    EXPECT_EQ(labels, c.labels);
}

INSTANTIATE_TEST_SUITE_P(
    Axes, ScaleTicksTest,
    ::testing::Values(TicksCase{"CasesOverSixValues", 38.5, 44.5, true, {"40", "42", "44"}},
                      TicksCase{"OneCountOfCases", 41.5, 42.5, true, {"42"}},
                      TicksCase{"PercentOverAFewPoints", 41.5, 42.5, false,
                                {"41.6", "41.8", "42.0", "42.2", "42.4"}},
                      TicksCase{"PercentOverManyPoints", 84.3, 97.6, false, {"85", "90", "95"}},
                      TicksCase{"AroundZeroWithoutMinusZero", -0.5, 0.5, false,
                                {"-0.4", "-0.2", "0.0", "0.2", "0.4"}},
                      TicksCase{"NoRange", 3.0, 3.0, false, {}}),
    [](const auto &one) { return std::string(one.param.name); });

}  // namespace
