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

void Validate(const WaveformSpec &spec, std::size_t length, double rate)
{
    if (!(rate > 0.0 && rate <= 100'000.0) || length == 0 || length > 10'000'000) {
        throw ToolkitError("a test waveform needs a rate above 0 and at most 100000 Hz and 1 to 10000000 samples");
    }
    const bool rateOk = spec.bpm >= 1.0 && spec.bpm <= 600.0 && (spec.stepBpm == 0.0 || spec.stepBpm >= 1.0);
    if (!rateOk || !(spec.prematurity >= 0.0 && spec.prematurity < 1.0)) {
        throw ToolkitError("a test waveform needs rates of 1 to 600 BPM and a prematurity of 0 to below 1");
    }
}

double IntervalAt(const WaveformSpec &spec, double time, double duration, std::size_t beat)
{
    const double bpm = spec.stepBpm > 0.0 && time >= duration / 2.0 ? spec.stepBpm : spec.bpm;
    const double alternation = beat % 2u == 0u ? 1.0 + spec.prematurity : 1.0 - spec.prematurity;
    return 60.0 / bpm * (spec.prematurity > 0.0 ? alternation : 1.0);
}

// Beats from four intervals before the start to one after the end; every
// second beat (odd count) follows the short interval of a bigeminy. Beat
// times lie on the sample grid.
std::vector<ScheduledBeat> Schedule(const WaveformSpec &spec, double duration, double phase, double rate)
{
    const double mean = 60.0 / spec.bpm;
    std::vector<ScheduledBeat> beats;
    double time = (std::clamp(phase, 0.0, 1.0) - 4.0) * mean;
    for (std::size_t beat = 0; time < duration + mean; ++beat) {
        const double interval = IntervalAt(spec, time, duration, beat);
        beats.push_back({std::round(time * rate) / rate, interval, beat % 2u == 1u});
        time += IntervalAt(spec, time, duration, beat + 1u);
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

BeatShape ShapeOf(const WaveformSpec &spec, const ScheduledBeat &beat)
{
    const bool alternate = beat.alternate;
    const double qrsMs = alternate && spec.alternateQrsMs > 0.0 ? spec.alternateQrsMs : spec.qrsMs;
    return {alternate ? spec.alternateScale : 1.0, qrsMs / 1000.0};
}

// QRS (with its T wave) of one beat, t seconds from its R peak.
double Complex(const WaveformSpec &spec, const ScheduledBeat &beat, double t)
{
    const BeatShape shape = ShapeOf(spec, beat);
    const double sinceOnset = t + kRiseFraction * shape.qrsSeconds;
    const double squeeze = std::min(1.0, kQtShareOfInterval * beat.interval / kQtSeconds);
    const double tWidth = kTWaveSeconds * squeeze;
    const double tWave = spec.tWave * spec.qrsMv * HalfEllipse(sinceOnset, kQtSeconds * squeeze - tWidth, tWidth);
    return shape.scale * (spec.qrsMv * Triangle(sinceOnset, shape.qrsSeconds) + tWave);
}

// A pacemaker pulse starting at `start` and its recharge tail.
double PacerPulse(const WaveformSpec &spec, double t, double start, double cell)
{
    const double width = spec.pacerMs / 1000.0;
    const double sinceEnd = t - start - width;
    const double tail = spec.pacerTailMs > 0.0 && sinceEnd >= 0.0
                            ? -spec.pacerTailMv * std::exp(-sinceEnd / (spec.pacerTailMs / 1000.0))
                            : 0.0;
    return spec.pacerMv * PulseInCell(t, start, width, cell) + tail;
}

double PulseWave(const WaveformSpec &spec, const ScheduledBeat &beat, double t)
{
    const double s = std::sqrt(std::clamp(beat.interval, 0.2, 2.0));
    const double systolic = Bump(t, 0.0, (t < 0.0 ? kSystolicRise : kSystolicFall) * s);
    const double dicrotic = spec.dicrotic * Bump(t, kDicroticTime * s, kDicroticWidth * s);
    const double notch = spec.notch * Bump(t, kNotchTime * s, kNotchWidth * s);
    return spec.qrsMv * (systolic + dicrotic - notch);
}

double PacerLead(const WaveformSpec &spec, const BeatShape &shape)
{
    return spec.morphology == Morphology::Pacer ? 0.0 : kRiseFraction * shape.qrsSeconds + kPacerLeadSeconds;
}

// The span around a beat's time where its waveform is not zero, seconds.
struct Support {
    double before;
    double after;
};

Support SupportOf(const WaveformSpec &spec, const ScheduledBeat &beat)
{
    if (spec.morphology == Morphology::Pulse) {
        return {kPulseBefore, kPulseAfter};
    }
    const BeatShape shape = ShapeOf(spec, beat);
    const double pacerEnd = spec.pacerMv != 0.0 ? (spec.pacerMs + kTailConstants * spec.pacerTailMs) / 1000.0 : 0.0;
    const double lead = PacerLead(spec, shape);
    return {lead + 0.01, std::max(kQtSeconds + shape.qrsSeconds, pacerEnd)};
}

double BeatValue(const WaveformSpec &spec, const ScheduledBeat &beat, double t, double cell)
{
    switch (spec.morphology) {
    case Morphology::Pulse:
        return PulseWave(spec, beat, t);
    case Morphology::Pacer:
        return PacerPulse(spec, t, 0.0, cell);
    case Morphology::Triangle: {
        const double pacer = spec.pacerMv != 0.0 ? PacerPulse(spec, t, -PacerLead(spec, ShapeOf(spec, beat)), cell)
                                                 : 0.0;
        return Complex(spec, beat, t) + pacer;
    }
    case Morphology::Flat:
        break;
    }
    return 0.0;
}

void Render(const WaveformSpec &spec, const std::vector<ScheduledBeat> &beats, TestWaveform &waveform)
{
    const double last = static_cast<double>(waveform.millivolts.size() - 1);
    const double cell = 1.0 / waveform.rate;
    for (const ScheduledBeat &beat : beats) {
        const Support support = SupportOf(spec, beat);
        const double first = std::clamp(std::ceil((beat.time - support.before) * waveform.rate), 0.0, last + 1.0);
        const double end = std::clamp(std::floor((beat.time + support.after) * waveform.rate), -1.0, last);
        for (double index = first; index <= end; index += 1.0) {
            waveform.millivolts[static_cast<std::size_t>(index)] +=
                BeatValue(spec, beat, index / waveform.rate - beat.time, cell);
        }
    }
}

TrueBeat TruthOf(const WaveformSpec &spec, const ScheduledBeat &beat)
{
    const BeatShape shape = ShapeOf(spec, beat);
    switch (spec.morphology) {
    case Morphology::Pulse:
        return {beat.time, spec.qrsMv, 0.0, beat.alternate};
    case Morphology::Pacer:
        return {beat.time, spec.pacerMv, spec.pacerMs, beat.alternate};
    default:
        return {beat.time, shape.scale * kRWaveFraction * spec.qrsMv, shape.qrsSeconds * 1000.0, beat.alternate};
    }
}

}  // namespace

TestWaveform MakeTestWaveform(const WaveformSpec &spec, std::size_t length, double rate, double phase,
                              std::uint32_t seed)
{
    Validate(spec, length, rate);
    TestWaveform waveform;
    waveform.rate = rate;
    waveform.millivolts.assign(length, 0.0);
    const double duration = static_cast<double>(length) / rate;
    if (spec.morphology != Morphology::Flat) {
        const std::vector<ScheduledBeat> beats = Schedule(spec, duration, phase, rate);
        Render(spec, beats, waveform);
        for (const ScheduledBeat &beat : beats) {
            if (beat.time >= 0.0 && beat.time < duration) {
                waveform.beats.push_back(TruthOf(spec, beat));
            }
        }
    }
    AddInterference(spec.interference, spec.qrsMv, waveform.millivolts, rate, seed);
    return waveform;
}

}  // namespace qzkit
