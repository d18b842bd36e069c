#include "signal/TestWaveform.h"

#include <algorithm>
#include <cmath>

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
// Pulse wave timings at 60 BPM, seconds; they scale with the square root of
// the interval.
constexpr double kSystolicRise = 0.055;
constexpr double kSystolicFall = 0.13;
constexpr double kNotchTime = 0.22;
constexpr double kNotchWidth = 0.025;
constexpr double kDicroticTime = 0.30;
constexpr double kDicroticWidth = 0.05;
constexpr double kPulseBefore = 0.3;
constexpr double kPulseAfter = 1.2;

struct ScheduledBeat {
    double time;      // R peak, systolic peak or pacemaker pulse, seconds
    double interval;  // the interval that ends at this beat, seconds
    bool alternate;
};

void Validate(const WaveformRecipe &recipe, std::size_t length, double rate)
{
    if (!(rate > 0.0 && rate <= 100'000.0) || length == 0 || length > 10'000'000) {
        throw ToolkitError("a test waveform needs a rate above 0 and at most 100000 Hz and 1 to 10000000 samples");
    }
    const bool rateOk = recipe.bpm >= 1.0 && recipe.bpm <= 600.0 && (recipe.stepBpm == 0.0 || recipe.stepBpm >= 1.0);
    if (!rateOk || !(recipe.prematurity >= 0.0 && recipe.prematurity < 1.0)) {
        throw ToolkitError("a test waveform needs rates of 1 to 600 BPM and a prematurity of 0 to below 1");
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
    std::vector<ScheduledBeat> beats;
    double time = (std::clamp(phase, 0.0, 1.0) - 4.0) * mean;
    for (std::size_t beat = 0; time < duration + mean; ++beat) {
        const double interval = IntervalAt(recipe, time, duration, beat);
        beats.push_back({std::round(time * rate) / rate, interval, beat % 2u == 1u});
        time += IntervalAt(recipe, time, duration, beat + 1u);
    }
    return beats;
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

double Bump(double t, double centre, double width)
{
    const double z = (t - centre) / width;
    return std::exp(-0.5 * z * z);
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

double PulseWave(const WaveformRecipe &recipe, const ScheduledBeat &beat, double t)
{
    const double s = std::sqrt(std::clamp(beat.interval, 0.2, 2.0));
    const double systolic = Bump(t, 0.0, (t < 0.0 ? kSystolicRise : kSystolicFall) * s);
    const double dicrotic = recipe.dicrotic * Bump(t, kDicroticTime * s, kDicroticWidth * s);
    const double notch = recipe.notch * Bump(t, kNotchTime * s, kNotchWidth * s);
    return recipe.qrsMv * (systolic + dicrotic - notch);
}

double PacerLead(const WaveformRecipe &recipe, const BeatShape &shape)
{
    return recipe.morphology == Morphology::Pacer ? 0.0 : kRiseFraction * shape.qrsSeconds + kPacerLeadSeconds;
}

// The span around a beat's time where its waveform is not zero, seconds.
struct Support {
    double before;
    double after;
};

Support SupportOf(const WaveformRecipe &recipe, const ScheduledBeat &beat)
{
    if (recipe.morphology == Morphology::Pulse) {
        return {kPulseBefore, kPulseAfter};
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
        return PulseWave(recipe, beat, t);
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

void Render(const WaveformRecipe &recipe, const std::vector<ScheduledBeat> &beats, TestWaveform &waveform)
{
    const double last = static_cast<double>(waveform.millivolts.size() - 1);
    const double cell = 1.0 / waveform.rate;
    for (const ScheduledBeat &beat : beats) {
        const Support support = SupportOf(recipe, beat);
        const double first = std::clamp(std::ceil((beat.time - support.before) * waveform.rate), 0.0, last + 1.0);
        const double end = std::clamp(std::floor((beat.time + support.after) * waveform.rate), -1.0, last);
        for (double index = first; index <= end; index += 1.0) {
            waveform.millivolts[static_cast<std::size_t>(index)] +=
                BeatValue(recipe, beat, index / waveform.rate - beat.time, cell);
        }
    }
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
        Render(recipe, beats, waveform);
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
