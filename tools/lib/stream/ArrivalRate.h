// SPDX-License-Identifier: Apache-2.0
// The rate at which samples really arrive, measured against the host's clock,
// and what a difference from the rate the constants are made for does to the
// estimated heart rates.
#ifndef QZKIT_ARRIVAL_RATE_H
#define QZKIT_ARRIVAL_RATE_H

#include <cstdint>
#include <optional>
#include <string>

namespace qzkit {

// A measured rate further than this from the expected one is reported.
inline constexpr double kRateTolerance = 0.01;
// A measurement covers at least this many seconds, and at least
// kSpanPerLongestGap times the longest pause between two arrivals (a board
// that sends in bursts needs a longer look).
inline constexpr double kShortestMeasurement = 2.0;
inline constexpr double kSpanPerLongestGap = 20.0;

// A least-squares line through (arrival time, samples received so far),
// noted at every read; its slope is the rate.
class ArrivalRate {
public:
    void Note(double seconds, std::uint64_t samples);
    void Restart();  // after a stall: the pause says nothing about the rate
    // Samples per second, once the arrivals cover enough time.
    std::optional<double> Measured() const;

private:
    double firstTime_ = 0.0;
    double lastTime_ = 0.0;
    double longestGap_ = 0.0;
    double count_ = 0.0;
    double sumTime_ = 0.0, sumSamples_ = 0.0, sumTimeTime_ = 0.0, sumTimeSamples_ = 0.0;
    std::uint64_t firstSamples_ = 0;
};

struct RateVerdict {
    double measured = 0.0;
    double expected = 0.0;
    double deviation = 0.0;  // measured / expected - 1
    // Heart rates come out multiplied by this: the estimator counts samples
    // between beats and converts them with the expected rate.
    double bpmFactor = 1.0;
    bool outsideTolerance = false;

    // "sampling rate 243.0 Hz, expected 250 Hz (-2.8 %): heart rates read 2.9 % high"
    std::string Text() const;
};

RateVerdict JudgeRate(double measured, double expected);

}  // namespace qzkit

#endif
