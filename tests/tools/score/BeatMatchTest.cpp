// SPDX-License-Identifier: Apache-2.0
// Beat matching and the rate-agreement rule, on hand-counted beat lists.
#include <gtest/gtest.h>

#include "score/BeatMatch.h"

namespace {

using qzkit::BeatCounts;

struct MatchCase {
    const char *name;
    std::vector<double> found;
    std::vector<double> reference;
    BeatCounts expected;
    qzkit::CountedSpan counted{};
};

class MatchBeatsTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchBeatsTest, CountsAsByHand)
{
    const MatchCase &c = GetParam();
    EXPECT_EQ(qzkit::MatchBeats(c.found, c.reference, c.counted), c.expected)
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    HandCounted, MatchBeatsTest,
    ::testing::Values(
        MatchCase{"all found", {0.52, 1.31, 2.09}, {0.50, 1.30, 2.10}, {3, 0, 0}},
        MatchCase{"one extra", {0.50, 0.95, 1.30, 2.10}, {0.50, 1.30, 2.10}, {3, 0, 1}},
        MatchCase{"one missed", {0.50, 2.10}, {0.50, 1.30, 2.10}, {2, 1, 0}},
        MatchCase{"edge of tolerance", {0.649, 1.45}, {0.50, 1.299}, {1, 1, 1}},
        MatchCase{"one found between two references pairs once", {1.00}, {0.90, 1.10}, {1, 1, 0}},
        MatchCase{"late finds still pair in order", {0.14, 0.31}, {0.00, 0.16}, {2, 0, 0}},
        MatchCase{"nothing found", {}, {0.5, 1.3}, {0, 2, 0}},
        MatchCase{"missed from 5.9 s on: not counted", {0.5, 5.95}, {0.5, 1.3, 5.92, 5.98}, {2, 1, 0}, {0.0, 5.9}},
        MatchCase{"extra before 0.15 s: not counted", {0.1, 0.6, 0.9}, {0.6}, {1, 0, 1}, {0.15, 6.0}},
        MatchCase{"no reference", {0.5}, {}, {0, 0, 1}}));

TEST(BeatCounts, SensitivityAndPositivePredictivityPooled)
{
    BeatCounts pooled = qzkit::MatchBeats({0.50, 0.95, 1.30}, {0.50, 1.30, 2.10});  // TP 2, FN 1, FP 1
    pooled += BeatCounts{6, 0, 0};
    EXPECT_EQ(pooled, (BeatCounts{8, 1, 1}));
    EXPECT_DOUBLE_EQ(pooled.Sensitivity().value(), 8.0 / 9.0);
    EXPECT_DOUBLE_EQ(pooled.PositivePredictivity().value(), 8.0 / 9.0);
    EXPECT_FALSE(BeatCounts{}.Sensitivity()) << "no reference beat: not scored rather than 0";
}

TEST(RateAgrees, LargerOfFiveBpmAndTenPercent)
{
    struct Case {
        double reported, reference;
        bool agrees;
    };
    for (const Case &c : {Case{45.0, 40.0, true}, Case{45.1, 40.0, false}, Case{34.9, 40.0, false}, Case{65.9, 60.0, true},
                          Case{110.0, 100.0, true}, Case{88.9, 99.0, false}, Case{180.0, 200.0, true},
                          Case{179.0, 200.0, false}}) {
        EXPECT_EQ(qzkit::RateAgrees(c.reported, c.reference), c.agrees) << c.reported << " vs " << c.reference;
    }
}

}  // namespace
