// SPDX-License-Identifier: Apache-2.0
// The heart-rate-meter test battery as one table: every case is one row
// naming its family, its waveform and what a meter must report for it.
#ifndef QZKIT_CONFORMANCE_CASES_H
#define QZKIT_CONFORMANCE_CASES_H

#include <string>
#include <vector>

#include "signal/TestWaveform.h"

namespace qzkit {

enum class Expectation {
    Rate,                 // the rate, within the larger of 5 BPM and 10 %
    RateAndBeats,         // the rate, and every beat found with none extra
    NoRate,               // no rate (QI 3): the complexes are not beats
    NoHalvingOrDoubling,  // disclosed beside the reference rate; fails only nearer half or double
    Disclosed,            // reported and placed between the two rates of a step; not graded
    NotConfidentlyWrong,  // the rate, or a QI above 0
    PulseRate,            // the rate within 3 BPM
    RateOrDoubtful,       // the rate, or a QI of 2 or 3
};

struct ConformanceCase {
    std::string family;
    std::string name;
    WaveformRecipe wave;
    Expectation expectation = Expectation::Rate;
};

// Every case, grouped by family in the battery's order.
const std::vector<ConformanceCase> &ConformanceCases();

// The family names in the battery's order.
std::vector<std::string> ConformanceFamilies();

// The waveform's parameters as one line of text, e.g. "80 BPM; QRS 1 mV
// 100 ms; T 0.2 of QRS; muscle noise 12 dB".
std::string DescribeWave(const WaveformRecipe &wave);

// True for a family of pulse waves (run with pulse constants), false for ECG.
bool IsPulseFamily(const std::string &family);

// The families of pulse waves (true) or of ECG (false), in the battery's order.
std::vector<std::string> FamiliesOfKind(bool pulse);

}  // namespace qzkit

#endif
