// SPDX-License-Identifier: Apache-2.0
// What a heart-rate meter must read through: baseline wander, mains hum,
// muscle-like and electrode-motion-like noise, and motion, added to a test
// waveform in millivolts.
#ifndef QZKIT_INTERFERENCE_H
#define QZKIT_INTERFERENCE_H

#include <cstdint>
#include <vector>

namespace qzkit {

enum class InterferenceKind { None, Sine, Triangle, MuscleNoise, MotionNoise };

struct Interference {
    InterferenceKind kind = InterferenceKind::None;
    double hz = 0.0;           // Sine, Triangle: frequency
    double amplitudeMv = 0.0;  // Sine, Triangle: peak, half the peak-to-peak
    double snrDb = 0.0;        // noise: (A^2 / 8) over the noise's mean square, A the QRS peak-to-peak
};

// Adds `interference` to `millivolts` (sampled at `rate` Hz), its phase drawn
// from `seed`. Noise is scaled over the whole recording so that
// (qrsPeakToPeakMv^2 / 8) / mean square = the signal-to-noise ratio:
// muscle-like noise is white; electrode-motion-like noise is low-pass noise
// (below about 2 Hz) in bursts.
void AddInterference(const Interference &interference, double qrsPeakToPeakMv, std::vector<double> &millivolts,
                     double rate, std::uint32_t seed);

// Root mean square of a signal.
double RootMeanSquare(const std::vector<double> &signal);

}  // namespace qzkit

#endif
