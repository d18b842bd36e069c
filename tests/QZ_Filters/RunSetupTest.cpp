// SPDX-License-Identifier: Apache-2.0
// Setting up a run: the buffer geometry for a record length and the three
// methods of the settings in the flag word.
#include <gtest/gtest.h>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "TestBuffers.h"

using namespace qz;

namespace {

struct LengthCase {
    UINT16 samples;
    bool accepted;
    UINT16 bufferBytes;
};

// The pipeline takes every buffer but the long record's for the short one's,
// so any other length is refused rather than run with the wrong rules.
TEST(RunSetup, GeometryOnlyForTheTwoRecordLengths)
{
    for (const LengthCase &c : {LengthCase{1500, true, 1875}, LengthCase{600, true, 750}, LengthCase{4, false, 0},
                                LengthCase{1000, false, 0}, LengthCase{1496, false, 0}, LengthCase{601, false, 0},
                                LengthCase{1504, false, 0}}) {
        qztest::ResetState();
        const run_settings_struct settings;
        EXPECT_EQ(QZ_PrepareRun(c.samples, &settings), c.accepted) << c.samples;
        EXPECT_EQ(SampleCount, c.accepted ? c.samples : QZ_MAX_SAMPLES) << c.samples;
        EXPECT_EQ(BufferSize, c.accepted ? c.bufferBytes : QZ_MAX_BUFFER_BYTES) << c.samples;
        EXPECT_EQ(CalcHeart_BufferLength, c.accepted ? c.bufferBytes : 0u) << c.samples;
    }
}

struct SettingsCase {
    run_settings_struct settings;
    UINT16 variableThreshold, beatMethod, derivativeOrder;
};

TEST(RunSetup, SettingsStoredAsTheDriverStoresThem)
{
    for (const SettingsCase &c : {SettingsCase{{}, 1, 1, 2}, SettingsCase{{127, 0, 2, 5}, 0, 2, 5},
                                  SettingsCase{{127, 7, 9, 3}, 1, 1, 2}, SettingsCase{{127, 256, 15, 13}, 1, 7, 2}}) {
        qztest::ResetState();
        ASSERT_TRUE(QZ_PrepareRun(QZ_SHORT_RECORD_SAMPLES, &c.settings));
        EXPECT_EQ(Filter.get(FilterBits::VariablePeakThreshold), c.variableThreshold);
        EXPECT_EQ(Filter.get(FilterBits::BeatClassifyingMethod), c.beatMethod);
        EXPECT_EQ(Filter.get(FilterBits::DerivativeOrder), c.derivativeOrder);
    }
}

}  // namespace
