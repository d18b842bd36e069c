// SPDX-License-Identifier: Apache-2.0
#include "signal/BeatWaves.h"

namespace qzkit {
namespace {

// Pulse wave timings at 60 BPM, seconds; times scale with IntervalScale.
constexpr double kSystolicRise = 0.055;
constexpr double kSystolicFall = 0.13;
constexpr double kNotchTime = 0.22;
constexpr double kNotchWidth = 0.025;
constexpr double kDicroticTime = 0.30;
constexpr double kDicroticWidth = 0.05;

}  // namespace

double OnSampleGrid(double time, double rate)
{
    return std::round(time * rate) / rate;
}

double Bump(double t, double centre, double width)
{
    const double z = (t - centre) / width;
    return std::exp(-0.5 * z * z);
}

double IntervalScale(double interval)
{
    return std::sqrt(std::clamp(interval, 0.2, 2.0));
}

double PulseWave(double t, double interval, const PulseShape &shape)
{
    const double s = IntervalScale(interval);
    const double w = shape.widthsFollowInterval ? s : 1.0;
    const double systolic = Bump(t, 0.0, (t < 0.0 ? kSystolicRise : kSystolicFall) * w);
    const double dicrotic = shape.dicrotic * Bump(t, kDicroticTime * s, kDicroticWidth * w);
    const double notch = shape.notch * Bump(t, kNotchTime * s, kNotchWidth * w);
    return systolic + dicrotic - notch;
}

}  // namespace qzkit
