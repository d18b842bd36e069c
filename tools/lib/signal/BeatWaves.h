// SPDX-License-Identifier: Apache-2.0
// What the synthetic recordings (signal/Synth.h) and the test waveforms
// (signal/TestWaveform.h) share: the limits of a generated recording, beats
// scheduled on the sample grid, the pulse-wave shape, and the loop that draws
// each beat over the span where its wave is not zero.
#ifndef QZKIT_BEAT_WAVES_H
#define QZKIT_BEAT_WAVES_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace qzkit {

// The largest sampling rate, recording length and beat rate generated.
inline constexpr double kMaxWaveRate = 100'000.0;
inline constexpr std::size_t kMaxWaveLength = 10'000'000;
inline constexpr double kMaxWaveBpm = 600.0;

struct ScheduledBeat {
    double time;      // the beat's peak (R peak, systolic peak or pacemaker pulse), seconds, on the sample grid
    double interval;  // the interval that ends at this beat, seconds
    bool alternate;   // a beat of the other kind: premature, or every second one
};

// What a schedule's step gives for the beat at `time`: its own interval and
// kind, and how far on the next beat comes.
struct BeatStep {
    double interval;
    bool alternate;
    double advance;
};

double OnSampleGrid(double time, double rate);

// Beats from `first` while before `until` (seconds), each placed on the
// sample grid of `rate`; `step(index, time)` gives each beat's BeatStep.
template <typename Step>
std::vector<ScheduledBeat> ScheduleBeats(double first, double until, double rate, Step step)
{
    std::vector<ScheduledBeat> beats;
    double time = first;
    for (std::size_t index = 0; time < until; ++index) {
        const BeatStep next = step(index, time);
        beats.push_back({OnSampleGrid(time, rate), next.interval, next.alternate});
        time += next.advance;
    }
    return beats;
}

// exp(-z^2 / 2) with z = (t - centre) / width: one Gaussian wave.
double Bump(double t, double centre, double width);

// How the shape of a beat's wave follows its interval: the square root of
// the interval (clamped to 0.2 to 2 s), so waves come closer at fast rates.
double IntervalScale(double interval);

struct PulseShape {
    double dicrotic = 0.25;           // dicrotic wave height, as a fraction of the pulse
    double notch = 0.0;               // depth of the dicrotic notch, as a fraction of the pulse
    bool widthsFollowInterval = true;  // the waves' widths shrink with the interval, as their times do
};

// A pulse (PPG) wave with a steep upstroke, a slower fall, a dicrotic notch
// and wave, systolic peak (value 1) at t = 0 seconds.
double PulseWave(double t, double interval, const PulseShape &shape);

// The span around a beat's time where its wave is not zero, seconds.
struct BeatSpan {
    double before;
    double after;
};

// Adds each beat's wave to `signal` (sampled at `rate`) over its span:
// `span(beat)` gives the BeatSpan, `value(beat, t)` the wave t seconds from
// the beat's time.
template <typename Span, typename Value>
void RenderBeats(const std::vector<ScheduledBeat> &beats, double rate, std::vector<double> &signal, Span span,
                 Value value)
{
    const double last = static_cast<double>(signal.size() - 1);
    for (const ScheduledBeat &beat : beats) {
        const BeatSpan around = span(beat);
        const double first = std::clamp(std::ceil((beat.time - around.before) * rate), 0.0, last + 1.0);
        const double end = std::clamp(std::floor((beat.time + around.after) * rate), -1.0, last);
        for (auto index = static_cast<std::size_t>(first); static_cast<double>(index) <= end; ++index) {
            signal[index] += value(beat, static_cast<double>(index) / rate - beat.time);
        }
    }
}

}  // namespace qzkit

#endif
