// SPDX-License-Identifier: Apache-2.0
// FindPeaks on made-up signals: where a peak opens and closes with either
// threshold, what is stored and counted, and the open peak at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>

#include "TestBuffers.h"

using namespace qz;

namespace {

constexpr UINT16 kRecord = 1500;

// `count` samples of `fill` with `values` written from `start` on.
std::vector<UINT16> Signal(std::vector<UINT16> values, std::size_t start, std::size_t count = kRecord,
                           UINT16 fill = 0)
{
    std::vector<UINT16> samples(count, fill);
    std::copy(values.begin(), values.end(), samples.begin() + static_cast<long>(start));
    return samples;
}

// Spikes of `value + k` at first + k * step, on zeros.
std::vector<UINT16> Spikes(std::size_t count, std::size_t first, std::size_t step, UINT16 value, bool rising)
{
    std::vector<UINT16> samples(kRecord, 0);
    for (std::size_t k = 0; k < count; ++k) {
        samples[first + k * step] = static_cast<UINT16>(value + (rising ? k : 0));
    }
    return samples;
}

// A rise to 100 at one-based position `top`, then 50 (never closing) to the end.
std::vector<UINT16> OpenAtEnd(std::size_t count, std::size_t top)
{
    std::vector<UINT16> samples = Signal({30, 60, 100}, top - 3, count, 0);
    std::fill(samples.begin() + static_cast<long>(top), samples.end(), 50);
    return samples;
}

std::vector<UINT16> Every(std::size_t count, UINT16 first, UINT16 step)
{
    std::vector<UINT16> values;
    for (std::size_t k = 0; k < count; ++k) {
        values.push_back(static_cast<UINT16>(first + k * step));
    }
    return values;
}

struct PeakCase {
    const char *name;
    std::vector<UINT16> samples;
    UINT16 threshold;
    bool variable;
    BYTE count;
    std::vector<UINT16> locations, values;  // every stored entry; the rest are 0
};

class PeakFinderTest : public ::testing::TestWithParam<PeakCase> {
protected:
    void SetUp() override { qztest::ResetState(); }
};

TEST_P(PeakFinderTest, CountsAndStoresEachPeakTop)
{
    const PeakCase &c = GetParam();
    qztest::PackedBuffer buffer(c.samples);
    Filter.set(FilterBits::VariablePeakThreshold, c.variable ? 1u : 0u);
    UINT16 locations[QZ_MAX_PEAKS];
    std::fill(std::begin(locations), std::end(locations), 77);
    std::fill(std::begin(PeakValues), std::end(PeakValues), 88);
    EXPECT_EQ(FindPeaks(buffer.data(), &c.threshold, locations), c.count);
    for (std::size_t k = 0; k < QZ_MAX_PEAKS; ++k) {
        EXPECT_EQ(locations[k], k < c.locations.size() ? c.locations[k] : 0) << k;
        EXPECT_EQ(PeakValues[k], k < c.values.size() ? c.values[k] : 0) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, PeakFinderTest,
    ::testing::Values(
        PeakCase{"Zeros", std::vector<UINT16>(kRecord, 0), 20, false, 0, {}, {}},
        // The 10 stands only 10 above the baseline 0; the 30 opens, 5 closes.
        PeakCase{"SingleHump", Signal({10, 30, 60, 100, 60, 30, 5, 0}, 47), 20, false, 1, {51}, {100}},
        PeakCase{"StaysOpenAboveSeven", Signal({0, 10, 30, 60, 100, 60, 30}, 46, kRecord, 8), 20, false, 0, {51}, {100}},
        PeakCase{"ClosesAtSeven", Signal({0, 10, 30, 60, 100, 60, 30}, 46, kRecord, 7), 20, false, 1, {51}, {100}},
        // The search base is 8: a rise below it never pulls it down, so 25 is only 17 above.
        PeakCase{"RiseBelowTheBaseline", Signal({3, 5, 6, 25}, 0), 20, false, 0, {}, {}},
        // Before any fall the base is 8, so a first rise to 28 opens and one to 27 does not.
        PeakCase{"RiseOfTheThresholdAboveTheBaseline", Signal({1, 28}, 0), 20, false, 1, {2}, {28}},
        PeakCase{"RiseShortOfTheThresholdAboveTheBaseline", Signal({1, 27}, 0), 20, false, 0, {}, {}},
        PeakCase{"FlatTopKeepsItsFirstSample", Signal({30, 100, 100, 100, 30, 0}, 200), 20, false, 1, {202}, {100}},
        // An open peak counts with the absolute threshold when its top is within 14 of the end.
        PeakCase{"OpenAt1486", OpenAtEnd(1500, 1486), 20, false, 1, {1486}, {100}},
        PeakCase{"OpenAt1485", OpenAtEnd(1500, 1485), 20, false, 0, {1485}, {100}},
        PeakCase{"OpenAt1500", OpenAtEnd(1500, 1500), 20, false, 1, {1500}, {100}},
        PeakCase{"OpenAt586Of600", OpenAtEnd(600, 586), 20, false, 1, {586}, {100}},
        PeakCase{"OpenAt585Of600", OpenAtEnd(600, 585), 20, false, 0, {585}, {100}},
        PeakCase{"VariableNeverCountsAnOpenPeak", Signal({100}, kRecord - 1, kRecord, 50), 20, true, 0, {1500}, {100}},
        // The variable base starts at sample 0 minus the threshold, or at sample 0 itself.
        PeakCase{"VariableOpensOnTheFirstSample", Signal({100, 101}, 0, kRecord, 81), 20, true, 1, {2}, {101}},
        PeakCase{"VariableBase15", Signal({15, 35}, 0), 20, true, 1, {2}, {35}},
        PeakCase{"VariableBase15Short", Signal({15, 34}, 0), 20, true, 0, {}, {}},
        PeakCase{"VariableBase20", Signal({20, 40}, 0), 20, true, 1, {2}, {40}},
        PeakCase{"VariableBase20Short", Signal({20, 39}, 0), 20, true, 0, {}, {}},
        PeakCase{"VariableBase1", Signal({21, 22}, 0), 20, true, 1, {2}, {22}},
        // Closes 100 below the top; the base follows the fall to 520, so the
        // 600 after it opens nothing and the 610 opens the second peak.
        PeakCase{"VariableMeasuresTheNextRiseFromTheClose",
                 Signal({500, 500, 600, 700, 650, 600, 550, 520, 600, 500, 610}, 0, kRecord, 610), 100, true, 1,
                 {4, 11}, {700, 610}},
        PeakCase{"BeyondTheTwentyFifthOnlyCounted", Spikes(30, 10, 40, 100, true), 20, false, 30, Every(25, 11, 40),
                 Every(25, 100, 1)},
        PeakCase{"CountSaturatesAt255", Spikes(750, 1, 2, 50, false), 20, false, 255, Every(25, 2, 2),
                 std::vector<UINT16>(25, 50)}),
    [](const ::testing::TestParamInfo<PeakCase> &param) { return std::string(param.param.name); });

}  // namespace
