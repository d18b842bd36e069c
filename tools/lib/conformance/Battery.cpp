// SPDX-License-Identifier: Apache-2.0
#include "conformance/Battery.h"

#include <algorithm>
#include <cmath>

#include "io/ShortestDecimal.h"
#include "run/LibraryRun.h"
#include "run/StageDelays.h"
#include "score/WindowScore.h"
#include "signal/FrontEnd.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// Within +-3 BPM for clean pulse waves.
constexpr double kPulseToleranceBpm = 3.0;
constexpr unsigned kDoubtfulQi = 2;

double PhaseOf(std::size_t seed, std::size_t seeds)
{
    return (static_cast<double>(seed) + 0.5) / static_cast<double>(seeds);
}

TestWaveform Waveform(const BatteryOptions &options, const ConformanceCase &testCase, std::size_t length,
                      std::size_t seed)
{
    return MakeTestWaveform(testCase.wave, length, ConstantsRate(options.constants), PhaseOf(seed, options.seeds),
                            static_cast<std::uint32_t>(seed + 1u));
}

FrontEndResult ToCounts(const BatteryOptions &options, const TestWaveform &waveform)
{
    FrontEndOptions frontEnd;
    frontEnd.acCouplingHz = options.acCouplingHz;
    frontEnd.countsPerUnit = options.gainPerMillivolt;
    return MapToTenBits(waveform.millivolts, waveform.rate, frontEnd);
}

// 60 / mean interval of the beats, or nothing with fewer than two.
std::optional<double> MeanRate(const std::vector<double> &times)
{
    if (times.size() < 2) {
        return std::nullopt;
    }
    return 60.0 * static_cast<double>(times.size() - 1) / (times.back() - times.front());
}

std::vector<double> TrueBeatTimes(const ConformanceCase &testCase, const TestWaveform &waveform)
{
    std::vector<double> times;
    if (testCase.expectation != Expectation::NoRate) {
        for (const TrueBeat &beat : waveform.beats) {
            times.push_back(beat.time);
        }
    }
    return times;
}

std::optional<double> ExpectedBpm(const ConformanceCase &testCase, const std::vector<double> &trueTimes,
                                  double seconds)
{
    switch (testCase.expectation) {
    case Expectation::NoRate:
        return std::nullopt;
    case Expectation::Disclosed:
        return MeanRate(trueTimes);
    default:
        if (!WindowHoldsTwoIntervals(testCase.wave.bpm, seconds)) {
            return std::nullopt;
        }
        return testCase.wave.bpm;
    }
}

bool WithinBpm(std::optional<double> expectedBpm, double bpm, unsigned qi, double tolerance)
{
    return expectedBpm && qi < kNoRateQi && std::abs(bpm - *expectedBpm) <= tolerance;
}

bool Agrees(std::optional<double> expectedBpm, double bpm, unsigned qi)
{
    return expectedBpm && WithinBpm(expectedBpm, bpm, qi, RateTolerance(*expectedBpm));
}

Verdict PassIf(bool pass)
{
    return pass ? Verdict::Pass : Verdict::Fail;
}

bool HalvedOrDoubled(double expectedBpm, double bpm, unsigned qi)
{
    return qi < kNoRateQi && (bpm < expectedBpm / std::sqrt(2.0) || bpm > expectedBpm * std::sqrt(2.0));
}

void CheckOptions(const BatteryOptions &options)
{
    const std::vector<std::string> known = ConformanceFamilies();
    for (const std::string &family : options.families) {
        if (std::find(known.begin(), known.end(), family) == known.end()) {
            throw ToolkitError("unknown family '" + family + "'");
        }
    }
    if (options.seeds == 0) {
        throw ToolkitError("the number of seeds must be at least 1");
    }
    // The waveforms are drawn at the constants' rate, 1 / Period.
    const float period = ToSamplingRecord(options.constants).Period;
    if (!std::isnormal(period) || period < 0.0f) {
        throw ToolkitError("the constants' Period is " + ShortestDecimal(period) +
                           " s: the test waveforms need a sampling period above 0");
    }
}

PreparedRun Prepare(const BatteryOptions &options, const ConformanceCase &testCase, std::size_t length,
                    std::size_t seed)
{
    const TestWaveform waveform = Waveform(options, testCase, length, seed);
    const FrontEndResult counts = ToCounts(options, waveform);
    PreparedRun prepared;
    prepared.testCase = &testCase;
    prepared.seed = seed;
    prepared.phase = PhaseOf(seed, options.seeds);
    prepared.length = length;
    prepared.rate = waveform.rate;
    prepared.samples = counts.samples;
    prepared.clippedFraction = counts.ClippedFraction();
    prepared.trueTimes = TrueBeatTimes(testCase, waveform);
    prepared.expectedBpm = ExpectedBpm(testCase, prepared.trueTimes, prepared.Seconds());
    return prepared;
}

BatteryRun RunOnce(const PreparedRun &prepared, const ConstantsImage &constants,
                   const qz::run_settings_struct &settings)
{
    BatteryRun run;
    run.testCase = prepared.testCase;
    run.seed = prepared.seed;
    run.phase = prepared.phase;
    run.length = prepared.length;
    run.estimate = RunLibrary(constants, settings, prepared.samples).result;
    run.clippedFraction = prepared.clippedFraction;
    const BeatWindow window{0, prepared.length, prepared.rate, PeakDelay(settings.StageMask, settings.DerivativeOrder)};
    const WindowBeatScore score = ScoreWindowBeats(run.estimate, window, prepared.trueTimes);
    run.trueBeats = prepared.trueTimes.size();
    run.foundBeats = score.found;
    run.beats = score.counts;
    run.expectedBpm = prepared.expectedBpm;
    run.verdict = Grade(*prepared.testCase, run.expectedBpm, run.estimate, run.beats);
    return run;
}

}  // namespace

std::optional<double> BatteryRun::Error() const
{
    if (!expectedBpm || estimate.qi >= kNoRateQi || testCase->expectation == Expectation::Disclosed) {
        return std::nullopt;
    }
    return static_cast<double>(estimate.bpm) - *expectedBpm;
}

bool WindowHoldsTwoIntervals(double bpm, double seconds)
{
    return bpm > 0.0 && 2.0 * 60.0 / bpm <= seconds;
}

Verdict Grade(const ConformanceCase &testCase, std::optional<double> expectedBpm, const ResultRecord &estimate,
              const BeatCounts &beats)
{
    const Expectation expectation = testCase.expectation;
    const double bpm = estimate.bpm;
    const unsigned qi = estimate.qi;
    if (expectation == Expectation::Disclosed) {
        return Verdict::Disclosed;
    }
    if (!expectedBpm) {
        const bool rightRate = expectation != Expectation::NoRate && Agrees(testCase.wave.bpm, bpm, qi);
        return PassIf(qi == kNoRateQi || rightRate);
    }
    switch (expectation) {
    case Expectation::RateAndBeats:
        return PassIf(Agrees(expectedBpm, bpm, qi) && beats.falseNegatives == 0 && beats.falsePositives == 0);
    case Expectation::NoHalvingOrDoubling:
        return PassIf(!HalvedOrDoubled(*expectedBpm, bpm, qi));
    case Expectation::NotConfidentlyWrong:
        return PassIf(Agrees(expectedBpm, bpm, qi) || qi > 0);
    case Expectation::PulseRate:
        return PassIf(WithinBpm(expectedBpm, bpm, qi, kPulseToleranceBpm));
    case Expectation::RateOrDoubtful:
        return PassIf(Agrees(expectedBpm, bpm, qi) || qi >= kDoubtfulQi);
    default:
        return PassIf(Agrees(expectedBpm, bpm, qi));
    }
}

std::vector<std::uint16_t> BatteryRecording(const BatteryOptions &options, const ConformanceCase &testCase,
                                            std::size_t length, std::size_t seed)
{
    return ToCounts(options, Waveform(options, testCase, length, seed)).samples;
}

std::vector<PreparedRun> PrepareBattery(const BatteryOptions &options)
{
    CheckOptions(options);
    std::vector<PreparedRun> prepared;
    for (const ConformanceCase &testCase : ConformanceCases()) {
        if (std::find(options.families.begin(), options.families.end(), testCase.family) == options.families.end()) {
            continue;
        }
        for (const std::size_t length : options.lengths) {
            for (std::size_t seed = 0; seed < options.seeds; ++seed) {
                prepared.push_back(Prepare(options, testCase, length, seed));
            }
        }
    }
    return prepared;
}

std::vector<BatteryRun> RunPreparedBattery(const std::vector<PreparedRun> &prepared, const ConstantsImage &constants,
                                           const qz::run_settings_struct &settings)
{
    std::vector<BatteryRun> runs;
    runs.reserve(prepared.size());
    for (const PreparedRun &one : prepared) {
        runs.push_back(RunOnce(one, constants, settings));
    }
    return runs;
}

std::vector<BatteryRun> RunBattery(const BatteryOptions &options)
{
    return RunPreparedBattery(PrepareBattery(options), options.constants, options.settings);
}

}  // namespace qzkit
