// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "conformance/ConformanceCases.h"
#include "signal/Interference.h"
#include "signal/TestWaveform.h"

namespace {

using namespace qzkit;

constexpr double kRate = 250.0;
constexpr std::size_t kLength = 1500;
constexpr double kPhase = 0.3;
constexpr std::uint32_t kSeed = 7;

TestWaveform Make(const WaveformRecipe &recipe)
{
    return MakeTestWaveform(recipe, kLength, kRate, kPhase, kSeed);
}

std::size_t SampleOf(const TrueBeat &beat)
{
    return static_cast<std::size_t>(std::lround(beat.time * kRate));
}

// Consecutive beats lie one interval of the rate in force apart; in a
// bigeminy each short and long pair spans two mean intervals.
void ExpectBeatTimes(const WaveformRecipe &recipe, const std::vector<TrueBeat> &beats)
{
    const double sample = 1.0 / kRate + 1e-9;
    const double middle = static_cast<double>(kLength) / kRate / 2.0;
    for (std::size_t i = 0; i + 1 < beats.size(); ++i) {
        const double interval = beats[i + 1].time - beats[i].time;
        if (recipe.prematurity > 0.0) {
            if (i + 2 < beats.size()) {
                EXPECT_NEAR(interval + beats[i + 2].time - beats[i + 1].time, 120.0 / recipe.bpm, 2.0 * sample);
            }
            EXPECT_NEAR(std::abs(interval - 60.0 / recipe.bpm), recipe.prematurity * 60.0 / recipe.bpm, sample);
        } else {
            const double bpm = recipe.stepBpm > 0.0 && beats[i].time >= middle ? recipe.stepBpm : recipe.bpm;
            EXPECT_NEAR(interval, 60.0 / bpm, sample) << "after the beat at " << beats[i].time << " s";
        }
    }
}

// Without T wave and pacemaker pulse the QRS stands alone: its R peak has
// the beat's height and it spans the beat's width.
void ExpectQrsShape(const WaveformRecipe &recipe)
{
    WaveformRecipe bare = recipe;
    bare.tWave = 0.0;
    bare.pacerMv = 0.0;
    bare.pacerTailMv = 0.0;
    bare.interference = {};
    const TestWaveform waveform = Make(bare);
    for (const TrueBeat &beat : waveform.beats) {
        const std::size_t r = SampleOf(beat);
        EXPECT_NEAR(waveform.millivolts[r], beat.peakMv, 0.01 * std::abs(beat.peakMv) + 1e-9);
        const std::size_t reach = static_cast<std::size_t>(beat.widthMs / 1000.0 * kRate) + 2u;
        if (r < reach || r + reach >= kLength) {
            continue;
        }
        const auto nonZero = std::count_if(waveform.millivolts.begin() + static_cast<std::ptrdiff_t>(r - reach),
                                           waveform.millivolts.begin() + static_cast<std::ptrdiff_t>(r + reach),
                                           [](double value) { return value != 0.0; });
        EXPECT_NEAR(static_cast<double>(nonZero) / kRate * 1000.0, beat.widthMs, 2.0 * 1000.0 / kRate);
    }
}

// A pulse wave's systolic peak, or a pacemaker pulse.
void ExpectPeaks(const WaveformRecipe &recipe)
{
    WaveformRecipe bare = recipe;
    bare.interference = {};
    const TestWaveform waveform = Make(bare);
    for (const TrueBeat &beat : waveform.beats) {
        // A pacemaker pulse narrower than a sample keeps its area in its sample.
        const double expected =
            recipe.morphology == Morphology::Pacer ? beat.peakMv * beat.widthMs / 1000.0 * kRate : beat.peakMv;
        EXPECT_NEAR(waveform.millivolts[SampleOf(beat)], expected, 0.01 * std::abs(expected));
    }
}

// The interference alone, as the difference with and without it: a sine of
// the given frequency and amplitude, a triangle of the given slope and
// height, or noise at the given signal-to-noise ratio.
void ExpectInterference(const WaveformRecipe &recipe)
{
    const Interference &interference = recipe.interference;
    WaveformRecipe clean = recipe;
    clean.interference = {};
    const std::vector<double> full = Make(recipe).millivolts;
    const std::vector<double> bare = Make(clean).millivolts;
    std::vector<double> added(full.size());
    std::transform(full.begin(), full.end(), bare.begin(), added.begin(), std::minus<>());
    const double step = 2.0 * std::numbers::pi * interference.hz / kRate;
    for (std::size_t n = 0; n + 1 < added.size(); ++n) {
        const double amplitude = interference.amplitudeMv;
        if (interference.kind == InterferenceKind::Sine) {
            const double quadrature = (added[n + 1] - added[n] * std::cos(step)) / std::sin(step);
            ASSERT_NEAR(std::hypot(added[n], quadrature), amplitude, 1e-6 * amplitude) << "sample " << n;
        } else if (interference.kind == InterferenceKind::Triangle) {
            ASSERT_LE(std::abs(added[n]), amplitude + 1e-9);
            ASSERT_LE(std::abs(added[n + 1] - added[n]), 4.0 * amplitude * interference.hz / kRate + 1e-9);
        }
    }
    if (interference.kind == InterferenceKind::MuscleNoise || interference.kind == InterferenceKind::MotionNoise) {
        const double power = recipe.qrsMv * recipe.qrsMv / 8.0;
        const double rms = RootMeanSquare(added);
        EXPECT_NEAR(10.0 * std::log10(power / (rms * rms)), interference.snrDb, 1e-6);
    }
}

class TestWaveformFamily : public ::testing::TestWithParam<std::string> {};

TEST_P(TestWaveformFamily, MatchesItsOwnTruth)
{
    for (const ConformanceCase &testCase : ConformanceCases()) {
        if (testCase.family != GetParam()) {
            continue;
        }
        SCOPED_TRACE(testCase.name);
        const WaveformRecipe &recipe = testCase.wave;
        const TestWaveform waveform = Make(recipe);
        ASSERT_EQ(waveform.millivolts.size(), kLength);
        if (recipe.morphology == Morphology::Flat) {
            EXPECT_TRUE(waveform.beats.empty());
            EXPECT_EQ(RootMeanSquare(waveform.millivolts), 0.0);
            continue;
        }
        ASSERT_GE(waveform.beats.size(), 2u);
        EXPECT_NEAR(waveform.beats.front().time, kPhase * 60.0 / recipe.bpm, 1.0 / kRate);
        ExpectBeatTimes(recipe, waveform.beats);
        if (recipe.morphology == Morphology::Triangle) {
            ExpectQrsShape(recipe);
        } else {
            ExpectPeaks(recipe);
        }
        ExpectInterference(recipe);
    }
}

INSTANTIATE_TEST_SUITE_P(Battery, TestWaveformFamily, ::testing::ValuesIn(ConformanceFamilies()),
                         [](const auto &param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
