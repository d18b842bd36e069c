// SPDX-License-Identifier: Apache-2.0
#include "signal/TestWaveform.h"

#include <algorithm>
#include <cmath>

#include "io/TextFormat.h"
#include "signal/BeatWaves.h"
#include "signal/Interference.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// The triangular QRS: it rises to +0.875 in the first 0.4375 of its width,
// falls to -0.125 in the next half and returns to 0 in the last 0.0625.
constexpr double kRiseFraction = 0.4375;
constexpr double kFallFraction = 0.5;
constexpr double kSWaveFraction = 0.125;
// QRS onset to T end, and the T wave's width, at rates where both fit.
constexpr double kQtSeconds = 0.350;
constexpr double kTWaveSeconds = 0.180;
// At faster rates QT and T shrink in proportion, so T ends by this fraction
// of the interval before its beat.
constexpr double kQtShareOfInterval = 0.8;
// A pacemaker pulse starts this long before its QRS; its tail is drawn for
// this many time constants.
constexpr double kPacerLeadSeconds = 0.010;
constexpr double kTailConstants = 8.0;
// The pulse wave is drawn from this long before its systolic peak to this
// long after it, seconds.
constexpr BeatSpan kPulseSpan{0.3, 1.2};

void Validate(const WaveformRecipe &recipe, std::size_t length, double rate)
{
    if (!(rate > 0.0 && rate <= kMaxWaveRate) || length == 0 || length > kMaxWaveLength) {
        throw ToolkitError(Format("a test waveform needs a rate above 0 and at most %g Hz and 1 to %zu samples",
                                  kMaxWaveRate, kMaxWaveLength));
    }
    const bool rateOk =
        recipe.bpm >= 1.0 && recipe.bpm <= kMaxWaveBpm && (recipe.stepBpm == 0.0 || recipe.stepBpm >= 1.0);
    if (!rateOk || !(recipe.prematurity >= 0.0 && recipe.prematurity < 1.0)) {
        throw ToolkitError(
            Format("a test waveform needs rates of 1 to %g BPM and a prematurity of 0 to below 1", kMaxWaveBpm));
    }
}

double IntervalAt(const WaveformRecipe &recipe, double time, double duration, std::size_t beat)
{
    const double bpm = recipe.stepBpm > 0.0 && time >= duration / 2.0 ? recipe.stepBpm : recipe.bpm;
    const double alternation = beat % 2u == 0u ? 1.0 + recipe.prematurity : 1.0 - recipe.prematurity;
    return 60.0 / bpm * (recipe.prematurity > 0.0 ? alternation : 1.0);
}

// Beats from four intervals before the start to one after the end; every
// second beat (odd count) follows the short interval of a bigeminy. Beat
// times lie on the sample grid.
std::vector<ScheduledBeat> Schedule(const WaveformRecipe &recipe, double duration, double phase, double rate)
{
    const double mean = 60.0 / recipe.bpm;
    return ScheduleBeats((std::clamp(phase, 0.0, 1.0) - 4.0) * mean, duration + mean, rate,
                         [&](std::size_t beat, double time) {
                             return BeatStep{IntervalAt(recipe, time, duration, beat), beat % 2u == 1u,
                                             IntervalAt(recipe, time, duration, beat + 1u)};
                         });
}

double Triangle(double sinceOnset, double width)
{
    const double x = sinceOnset / width;
    if (x < 0.0 || x >= 1.0) {
        return 0.0;
    }
    if (x < kRiseFraction) {
        return kRWaveFraction * x / kRiseFraction;
    }
    if (x < kRiseFraction + kFallFraction) {
        return kRWaveFraction - (x - kRiseFraction) / kFallFraction;
    }
    const double lastPart = 1.0 - kRiseFraction - kFallFraction;
    return -kSWaveFraction * (1.0 - (x - kRiseFraction - kFallFraction) / lastPart);
}

double HalfEllipse(double t, double start, double width)
{
    const double z = (t - start) / width * 2.0 - 1.0;
    return std::abs(z) < 1.0 ? std::sqrt(1.0 - z * z) : 0.0;
}

// Overlap of [start, start + width) with the sample cell [t - half, t + half),
// as a share of the cell: a pulse narrower than a sample keeps its area.
double PulseInCell(double t, double start, double width, double cell)
{
    const double overlap = std::min(start + width, t + cell / 2.0) - std::max(start, t - cell / 2.0);
    return std::max(overlap, 0.0) / cell;
}

struct BeatShape {
    double scale = 1.0;
    double qrsSeconds = 0.0;
};

BeatShape ShapeOf(const WaveformRecipe &recipe, const ScheduledBeat &beat)
{
    const bool alternate = beat.alternate;
    const double qrsMs = alternate && recipe.alternateQrsMs > 0.0 ? recipe.alternateQrsMs : recipe.qrsMs;
    return {alternate ? recipe.alternateScale : 1.0, qrsMs / 1000.0};
}

// QRS (with its T wave) of one beat, t seconds from its R peak.
double Complex(const WaveformRecipe &recipe, const ScheduledBeat &beat, double t)
{
    const BeatShape shape = ShapeOf(recipe, beat);
    const double sinceOnset = t + kRiseFraction * shape.qrsSeconds;
    const double squeeze = std::min(1.0, kQtShareOfInterval * beat.interval / kQtSeconds);
    const double tWidth = kTWaveSeconds * squeeze;
    const double tWave = recipe.tWave * recipe.qrsMv * HalfEllipse(sinceOnset, kQtSeconds * squeeze - tWidth, tWidth);
    return shape.scale * (recipe.qrsMv * Triangle(sinceOnset, shape.qrsSeconds) + tWave);
}

// A pacemaker pulse starting at `start` and its recharge tail.
double PacerPulse(const WaveformRecipe &recipe, double t, double start, double cell)
{
    const double width = recipe.pacerMs / 1000.0;
    const double sinceEnd = t - start - width;
    const double tail = recipe.pacerTailMs > 0.0 && sinceEnd >= 0.0
                            ? -recipe.pacerTailMv * std::exp(-sinceEnd / (recipe.pacerTailMs / 1000.0))
                            : 0.0;
    return recipe.pacerMv * PulseInCell(t, start, width, cell) + tail;
}

double PulseBeat(const WaveformRecipe &recipe, const ScheduledBeat &beat, double t)
{
    return recipe.qrsMv * PulseWave(t, beat.interval, {recipe.dicrotic, recipe.notch, true});
}

double PacerLead(const WaveformRecipe &recipe, const BeatShape &shape)
{
    return recipe.morphology == Morphology::Pacer ? 0.0 : kRiseFraction * shape.qrsSeconds + kPacerLeadSeconds;
}

BeatSpan SpanOf(const WaveformRecipe &recipe, const ScheduledBeat &beat)
{
    if (recipe.morphology == Morphology::Pulse) {
        return kPulseSpan;
    }
    const BeatShape shape = ShapeOf(recipe, beat);
    const double pacerEnd = recipe.pacerMv != 0.0 ? (recipe.pacerMs + kTailConstants * recipe.pacerTailMs) / 1000.0 : 0.0;
    const double lead = PacerLead(recipe, shape);
    return {lead + 0.01, std::max(kQtSeconds + shape.qrsSeconds, pacerEnd)};
}

double BeatValue(const WaveformRecipe &recipe, const ScheduledBeat &beat, double t, double cell)
{
    switch (recipe.morphology) {
    case Morphology::Pulse:
        return PulseBeat(recipe, beat, t);
    case Morphology::Pacer:
        return PacerPulse(recipe, t, 0.0, cell);
    case Morphology::Triangle: {
        const double pacer = recipe.pacerMv != 0.0 ? PacerPulse(recipe, t, -PacerLead(recipe, ShapeOf(recipe, beat)), cell)
                                                 : 0.0;
        return Complex(recipe, beat, t) + pacer;
    }
    case Morphology::Flat:
        break;
    }
    return 0.0;
}

TrueBeat TruthOf(const WaveformRecipe &recipe, const ScheduledBeat &beat)
{
    const BeatShape shape = ShapeOf(recipe, beat);
    switch (recipe.morphology) {
    case Morphology::Pulse:
        return {beat.time, recipe.qrsMv, 0.0, beat.alternate};
    case Morphology::Pacer:
        return {beat.time, recipe.pacerMv, recipe.pacerMs, beat.alternate};
    default:
        return {beat.time, shape.scale * kRWaveFraction * recipe.qrsMv, shape.qrsSeconds * 1000.0, beat.alternate};
    }
}

}  // namespace

TestWaveform MakeTestWaveform(const WaveformRecipe &recipe, std::size_t length, double rate, double phase,
                              std::uint32_t seed)
{
    Validate(recipe, length, rate);
    TestWaveform waveform;
    waveform.rate = rate;
    waveform.millivolts.assign(length, 0.0);
    const double duration = static_cast<double>(length) / rate;
    if (recipe.morphology != Morphology::Flat) {
        const std::vector<ScheduledBeat> beats = Schedule(recipe, duration, phase, rate);
        const double cell = 1.0 / rate;
        RenderBeats(
            beats, rate, waveform.millivolts, [&recipe](const ScheduledBeat &beat) { return SpanOf(recipe, beat); },
            [&recipe, cell](const ScheduledBeat &beat, double t) { return BeatValue(recipe, beat, t, cell); });
        for (const ScheduledBeat &beat : beats) {
            if (beat.time >= 0.0 && beat.time < duration) {
                waveform.beats.push_back(TruthOf(recipe, beat));
            }
        }
    }
    AddInterference(recipe.interference, recipe.qrsMv, waveform.millivolts, rate, seed);
    return waveform;
}

}  // namespace qzkit
