// What a heart-rate meter must read through: baseline wander, mains hum,
// muscle-like and electrode-motion-like noise, and motion, added to a test
// waveform in millivolts.
#ifndef QZKIT_INTERFERENCE_H
#define QZKIT_INTERFERENCE_H

#include <cstdint>
#include <vector>

#include "signal/TestWaveform.h"

namespace qzkit {

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
