// SPDX-License-Identifier: Apache-2.0
// The 10-bit mapping of a device front end, and the cutting into windows.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "signal/FrontEnd.h"
#include "ToolkitError.h"

namespace {

using qzkit::FrontEndOptions;
using qzkit::MapToTenBits;

TEST(FrontEnd, MapsRoundsAndClipsToTenBits)
{
    struct Case {
        double millivolts;
        std::uint16_t counts;
    };
    // 200 counts per mV around 512.
    const std::vector<Case> cases{{0.0, 512},    {1.0, 712},    {-1.0, 312}, {0.25, 562}, {-2.56, 0},
                                  {2.555, 1023}, {2.56, 1023}, {-2.6, 0},   {100.0, 1023}, {-100.0, 0}};
    std::vector<double> signal;
    for (const Case &c : cases) signal.push_back(c.millivolts);
    const auto result = MapToTenBits(signal, 250.0, FrontEndOptions{});
    ASSERT_EQ(result.samples.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(result.samples[i], cases[i].counts) << cases[i].millivolts << " mV";
    }
    EXPECT_EQ(result.clippedLow, 2u);   // -2.6 and -100; -2.56 maps to 0 itself
    EXPECT_EQ(result.clippedHigh, 2u);  // 2.56 (1024) and 100; 2.555 maps to 1023 itself
    EXPECT_DOUBLE_EQ(result.ClippedFraction(), 0.4);
}

TEST(Windows, WholeWindowsAtEachStep)
{
    struct Case {
        std::size_t total, length, step;
        std::vector<std::size_t> starts;
    };
    const std::vector<Case> cases{{4500, 1500, 1500, {0, 1500, 3000}},
                                  {4499, 1500, 1500, {0, 1500}},
                                  {4500, 1500, 750, {0, 750, 1500, 2250, 3000}},
                                  {1499, 1500, 1500, {}},
                                  {1500, 1500, 1, {0}},
                                  {1300, 600, 700, {0, 700}}};
    for (const Case &c : cases) {
        std::vector<std::size_t> starts;
        for (const auto &window : qzkit::CutWindows(c.total, c.length, c.step)) {
            EXPECT_EQ(window.length, c.length);
            starts.push_back(window.start);
        }
        EXPECT_EQ(starts, c.starts) << c.total << " " << c.length << " " << c.step;
    }
    EXPECT_THROW(qzkit::CutWindows(4500, 1500, 0), qzkit::ToolkitError);
    EXPECT_THROW(qzkit::CutWindows(4500, 0, 10), qzkit::ToolkitError);
}

}  // namespace
