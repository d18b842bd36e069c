// SPDX-License-Identifier: Apache-2.0
// The stage shifts that put a detected peak back onto the recording.
#include <gtest/gtest.h>

#include <qz_vozozi_DE/QZ_Filters.h>

#include "run/StageDelays.h"

namespace {

struct DelayCase {
    unsigned mask;
    std::uint16_t derivativeOrder;
    std::size_t delay;
};

TEST(StageDelays, ShiftOfTheStagesTheMaskRuns)
{
    for (const DelayCase &c : {DelayCase{QZ_STAGE_ALL, 2, 12}, DelayCase{QZ_STAGE_ALL, 5, 14},
                               DelayCase{QZ_STAGE_ALL, 3, 12}, DelayCase{QZ_STAGE_DERIVATIVE, 5, 2},
                               DelayCase{QZ_STAGE_HIGHPASS | QZ_STAGE_SQUARE | QZ_STAGE_PEAKS, 5, 0},
                               DelayCase{QZ_STAGE_LOWPASS | QZ_STAGE_AVERAGE, 2, 12}}) {
        EXPECT_EQ(qzkit::PeakDelay(static_cast<std::uint16_t>(c.mask), c.derivativeOrder), c.delay) << c.mask;
    }
}

TEST(StageDelays, BeatSampleIsTheZeroBasedLocationMovedEarlier)
{
    EXPECT_EQ(qzkit::BeatSample(13, 12), std::optional<std::size_t>{0});
    EXPECT_EQ(qzkit::BeatSample(400, 14), std::optional<std::size_t>{385});
    EXPECT_FALSE(qzkit::BeatSample(12, 12)) << "before the start of the recording";
    EXPECT_FALSE(qzkit::BeatSample(0, 0)) << "location 0 is an unset entry";
}

}  // namespace
