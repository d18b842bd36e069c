// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>

#include "TestBuffers.h"

using namespace qz;

namespace {

constexpr UINT16 kRecord = 1500;
constexpr UINT16 kOneUnit = 500;   // 14 x 500 = 7000: q = 1 at the template centre
constexpr UINT16 kTwoUnits = 1000; // q = 2 at the centre, 1 at template weight 7 to 13

using Spikes = std::vector<std::pair<UINT16, UINT16>>;  // sample index, value

// A zero record with the given spikes.
std::vector<UINT16> Record(const Spikes &spikes)
{
    std::vector<UINT16> samples(kRecord, 0);
    for (const auto &[position, value] : spikes) {
        samples[position] = value;
    }
    return samples;
}

// Spikes every 20 samples from 1490 down: `twoUnits` of 1000, then `oneUnit`
// of 500. On a 10-sample grid through 0 each spike sits at the centre of one
// window (adding q) and at template weight 4 of its neighbours (adding 0).
Spikes SpikeTrain(int twoUnits, int oneUnit)
{
    Spikes spikes;
    for (int k = 0; k < twoUnits + oneUnit; ++k) {
        spikes.emplace_back(static_cast<UINT16>(1490 - 20 * k), k < twoUnits ? kTwoUnits : kOneUnit);
    }
    return spikes;
}

class TemplateMatchingTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }

    // Peaks at `locs` with the intervals GetBPM forms from them.
    UINT16 Match(const std::vector<UINT16> &samples, const std::vector<UINT16> &locs)
    {
        qztest::PackedBuffer buffer(samples);
        for (std::size_t k = 0; k < locs.size(); ++k) {
            locations[k] = locs[k];
            if (k + 1 < locs.size()) {
                Peak[k].Interval = static_cast<UINT16>(locs[k + 1] - locs[k]);
            }
        }
        Peaks = static_cast<BYTE>(locs.size());
        return BPM_Method_TemplateMatching(buffer.data(), locations, &Peaks);
    }

    UINT16 locations[QZ_MAX_PEAKS] = {};
    BYTE Peaks = 0;
};

// Grid 30, 80, .., 1480 (30 windows, step 8) with a q = 1 spike centred in
// every window but the last; the last window sees only samples up to 1491.
struct LastWindowCase {
    UINT16 spike;
    UINT16 expectedQuality;
};

class LastWindowTest : public TemplateMatchingTest, public ::testing::WithParamInterface<LastWindowCase> {};

TEST_P(LastWindowTest, WindowAt1480IsCutAfterSample1491)
{
    Spikes spikes;
    for (UINT16 p = 30; p < 1480; p = static_cast<UINT16>(p + 50)) {
        spikes.emplace_back(p, kOneUnit);
    }
    spikes.emplace_back(GetParam().spike, kOneUnit);
    EXPECT_EQ(Match(Record(spikes), {130, 180}), 50);
    EXPECT_EQ(Peak[0].PeakCount, 30);
    EXPECT_EQ(Peak[0].IntervalQuality, GetParam().expectedQuality);
}

INSTANTIATE_TEST_SUITE_P(Cut, LastWindowTest,
                         ::testing::Values(LastWindowCase{1480, 30 * 8},      // centred: rewarded
                                           LastWindowCase{1490, 29 * 8},      // followed by 1491: adds 0
                                           LastWindowCase{1491, 29 * 8 - 8},  // last examined: penalised
                                           LastWindowCase{1492, 29 * 8 - 8}));  // never examined

TEST_F(TemplateMatchingTest, FirstTenWindowsTraceTheLastRiseOfTheirMaximum)
{
    // Window 0 covers 15..45: it rises at 20 (index 5), then at 30 (index 15).
    Spikes spikes = {{20, 100}, {30, kOneUnit}};
    for (UINT16 p = 80; p <= 1480; p = static_cast<UINT16>(p + 50)) {
        spikes.emplace_back(p, kOneUnit);
    }
    Match(Record(spikes), {130, 180});
    EXPECT_EQ(Peak[0].TemplateIndex[0], 15);
    EXPECT_EQ(Peak[0].PeakLocs[0], 32);  // first sample of the group after sample 30
    EXPECT_EQ(Peak[0].TemplateIndex[9], 15);
    EXPECT_EQ(Peak[0].PeakLocs[9], 4 * ((30 + 9 * 50) / 4 + 1));
    EXPECT_EQ(Peak[0].TemplateIndex[10], 0);
    EXPECT_EQ(Peak[0].PeakLocs[10], 0);
}

TEST_F(TemplateMatchingTest, WindowsNearTheStartBeginAtSampleZero)
{
    // Grid position 7: the window starts at sample 0 with template index 8.
    Match(Record({{0, kOneUnit}}), {57, 107});
    EXPECT_EQ(Peak[0].TemplateIndex[0], 8);
    EXPECT_EQ(Peak[0].PeakLocs[0], 4);

    // Grid position 0: only the right half of the template is used.
    Match(Record({{3, kOneUnit}}), {50, 100});
    EXPECT_EQ(Peak[0].TemplateIndex[0], 18);
}

struct TwoWindowCase {
    const char *name;
    Spikes spikes;
    UINT16 expectedQuality;
};

class TwoWindowTest : public TemplateMatchingTest, public ::testing::WithParamInterface<TwoWindowCase> {};

// Grid 700, 1450 (step 128): each reward adds (128 x q) mod 256.
TEST_P(TwoWindowTest, ScoresEachWindow)
{
    Match(Record(GetParam().spikes), {700, 1450});
    EXPECT_EQ(Peak[0].PeakCount, 2);
    EXPECT_EQ(Peak[0].IntervalQuality, GetParam().expectedQuality);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwoWindowTest,
    ::testing::Values(
        TwoWindowCase{"BothOneUnit", {{700, kOneUnit}, {1450, kOneUnit}}, 256},
        TwoWindowCase{"TwoUnitsWrapToZero", {{700, kOneUnit}, {1450, kTwoUnits}}, 128},
        TwoWindowCase{"PenaltyOfAFullStepGivesZero", {{700, kOneUnit}}, 0},
        TwoWindowCase{"PenaltyStopsAtZero", {{1450, kOneUnit}}, 128},
        // A window minimum of 0 counts as 1, so the ratio is the maximum.
        TwoWindowCase{"RatioThreeOverZeroRewarded", {{700, kOneUnit}, {1450, 3}}, 128},
        TwoWindowCase{"RatioTwoOverZeroPenalised", {{700, kOneUnit}, {1450, 2}}, 0},
        // A repeated maximum: the first occurrence weighs, the second follows it.
        TwoWindowCase{"RepeatedMaximumAtLastSample", {{700, kOneUnit}, {1450, kOneUnit}, {1465, kOneUnit}}, 256},
        TwoWindowCase{"MaximumAtLastSample", {{700, kOneUnit}, {1450, 100}, {1465, kOneUnit}}, 0}),
    [](const ::testing::TestParamInfo<TwoWindowCase> &param) { return std::string(param.param.name); });

// A rewarded window adds q = template weight x height / 7000, the weight
// taken from the documented triangle at the maximum's position. Four windows
// (step 64) with the maximum at the same position add 256 x q; each height is
// where q steps up for one weight from 7 to 15, so a weight one off shows.
TEST_F(TemplateMatchingTest, RewardFollowsTheTemplateWeightOfTheMaximum)
{
    const int weight[QZ_TEMPLATE_LENGTH] = {1,  2,  2,  3,  4,  4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                                            13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 4, 3,  2,  2,  1};
    const UINT16 heights[] = {467, 500, 539, 584, 637, 700, 778, 875, 934, 1000};
    for (int index = 0; index + 1 < static_cast<int>(QZ_TEMPLATE_LENGTH); ++index) {  // a sample must follow
        for (const UINT16 height : heights) {
            Spikes spikes;
            for (const int p : {200, 550, 900, 1250}) {
                spikes.emplace_back(static_cast<UINT16>(p + index - 15), height);
            }
            Match(Record(spikes), {200, 550});
            EXPECT_EQ(Peak[0].IntervalQuality, 256 * (weight[index] * height / 7000)) << index << ", " << height;
        }
    }
}

// Confidence and QI of the winner. Single candidates (the previous leader is
// the winner itself) grade by confidence alone; otherwise the previous
// leader's score and interval decide whether the QI is one step worse.
struct SelectionCase {
    const char *name;
    std::vector<UINT16> locs;
    Spikes spikes;
    UINT16 expectedInterval;
    UINT16 expectedConfidence;
    UINT16 expectedQI;
};

class SelectionTest : public TemplateMatchingTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionTest, GradesTheWinner)
{
    const SelectionCase &c = GetParam();
    EXPECT_EQ(Match(Record(c.spikes), c.locs), c.expectedInterval);
    EXPECT_EQ(Filter.get(FilterBits::ConfidenceLevel), c.expectedConfidence);
    EXPECT_EQ(tm2.QI, c.expectedQI);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionTest,
    ::testing::Values(
        // Interval 10 through 0: 150 windows, step 1, quality = sum of q.
        SelectionCase{"Quality101", {10, 20}, SpikeTrain(50, 1), 10, 3, QZ_QI_PATTERN_0},
        SelectionCase{"Quality100", {10, 20}, SpikeTrain(50, 0), 10, 2, QZ_QI_PATTERN_1},
        SelectionCase{"Quality51", {10, 20}, SpikeTrain(25, 1), 10, 2, QZ_QI_PATTERN_1},
        SelectionCase{"Quality50", {10, 20}, SpikeTrain(25, 0), 10, 1, QZ_QI_PATTERN_2},
        SelectionCase{"FlatRecordCandidateZero", {100, 300, 350}, {}, 200, 1, QZ_QI_PATTERN_2},
        // Equal qualities 128 with intervals 750 and 740: the earlier wins.
        SelectionCase{"TieKeepsEarlier", {700, 1450, 2190}, {{1450, kOneUnit}}, 750, 3, QZ_QI_PATTERN_0},
        // Previous leader scores 0 against the winner's interval 10; its own
        // interval 20 is twice the winner's.
        SelectionCase{"Neither101", {0, 20, 30}, SpikeTrain(50, 1), 10, 3, QZ_QI_PATTERN_2},
        SelectionCase{"Neither51", {0, 20, 30}, SpikeTrain(25, 1), 10, 2, QZ_QI_PATTERN_2},
        SelectionCase{"Neither50", {0, 20, 30}, SpikeTrain(25, 0), 10, 1, QZ_QI_PATTERN_3},
        // Previous leader with an interval from once to below twice the winner's.
        SelectionCase{"CloseInterval256", {700, 1450, 2190}, {{710, kOneUnit}, {1450, kOneUnit}}, 740, 3,
                      QZ_QI_PATTERN_0},
        SelectionCase{"CloseInterval51", {100, 500, 800}, {{1400, kOneUnit}}, 300, 2, QZ_QI_PATTERN_1},
        SelectionCase{"CloseInterval42", {100, 500, 750}, {{1250, kOneUnit}}, 250, 1, QZ_QI_PATTERN_2},
        SelectionCase{"TwiceInterval51", {150, 750, 1050}, {{1050, kOneUnit}, {1350, 100}}, 300, 2, QZ_QI_PATTERN_2},
        SelectionCase{"TwiceInterval42", {100, 600, 850}, {{1350, kOneUnit}}, 250, 1, QZ_QI_PATTERN_3}),
    [](const ::testing::TestParamInfo<SelectionCase> &param) { return std::string(param.param.name); });

TEST_F(TemplateMatchingTest, AnchorBeyondTheRecordIsClampedToItsLastSample)
{
    Match(Record({}), {1500, 3100});
    EXPECT_EQ(Peak[0].PeakCount, 1);
}

}  // namespace
