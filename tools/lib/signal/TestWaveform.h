// SPDX-License-Identifier: Apache-2.0
// The test waveforms of heart-rate meters, in millivolts, with their true
// beats: a triangular QRS with a half-ellipse T wave, pacemaker pulses and
// pulse (PPG) waves, in regular, bigeminal, alternating or stepped rhythms.
// Interference is added on top.
#ifndef QZKIT_TEST_WAVEFORM_H
#define QZKIT_TEST_WAVEFORM_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/Interference.h"

namespace qzkit {

enum class Morphology {
    Triangle,  // triangular QRS, half-ellipse T wave; a pacemaker pulse before each QRS when pacerMv is set
    Pacer,     // pacemaker pulses alone
    Pulse,     // pulse wave: systolic peak, dicrotic notch and wave
    Flat,      // no beats
};

struct WaveformRecipe {
    Morphology morphology = Morphology::Triangle;
    double bpm = 60.0;            // mean rate; the rate before the step when stepBpm is set
    double stepBpm = 0.0;         // rate from the middle of the recording on; 0: no step
    double prematurity = 0.0;     // intervals alternate (1 - p) and (1 + p) times the mean (bigeminy)
    double qrsMv = 1.0;           // QRS peak-to-peak (+0.875 and -0.125 of it), or pulse height
    double qrsMs = 100.0;         // QRS width
    double tWave = 0.2;           // T wave height, as a fraction of the QRS peak-to-peak
    double alternateScale = 1.0;  // every second beat's QRS and T scaled by this; negative reverses it
    double alternateQrsMs = 0.0;  // every second beat's QRS width; 0: as the others
    double pacerMv = 0.0;         // pacemaker pulse height
    double pacerMs = 2.0;         // pacemaker pulse width
    double pacerTailMv = 0.0;     // recharge tail after the pulse, opposite in sign, starting height
    double pacerTailMs = 0.0;     // its time constant
    double dicrotic = 0.25;       // pulse: dicrotic wave height, as a fraction of the pulse
    double notch = 0.0;           // pulse: depth of the dicrotic notch, as a fraction of the pulse
    Interference interference;
};

struct TrueBeat {
    double time = 0.0;       // seconds: R peak, systolic peak or pacemaker pulse
    double peakMv = 0.0;     // the waveform's own value there (R peak: 0.875 of the QRS, signed)
    double widthMs = 0.0;    // QRS or pacemaker pulse width; 0 for a pulse wave
    bool alternate = false;  // every second beat (the premature or reversed one)
};

struct TestWaveform {
    double rate = 0.0;
    std::vector<double> millivolts;
    std::vector<TrueBeat> beats;  // the beats inside the recording, in time order
};

// The QRS's height at its R peak, as a fraction of its peak-to-peak.
inline constexpr double kRWaveFraction = 0.875;

// `length` samples at `rate` Hz; the first beat comes `phase` (0 to 1) of an
// interval after the start. The same arguments give the same waveform on
// every platform; `seed` drives only the interference. ToolkitError for a
// rate, bpm or length out of range.
TestWaveform MakeTestWaveform(const WaveformRecipe &recipe, std::size_t length, double rate, double phase,
                              std::uint32_t seed);

}  // namespace qzkit

#endif
