// SPDX-License-Identifier: Apache-2.0
#include "conformance/ConformanceCases.h"

#include <algorithm>

#include "io/TextFormat.h"

namespace qzkit {
namespace {

using enum Expectation;
using enum Morphology;

constexpr Interference Sine(double hz, double amplitudeMv)
{
    return {InterferenceKind::Sine, hz, amplitudeMv, 0.0};
}

constexpr Interference TriangleWave(double hz, double amplitudeMv)
{
    return {InterferenceKind::Triangle, hz, amplitudeMv, 0.0};
}

constexpr Interference Noise(InterferenceKind kind, double snrDb)
{
    return {kind, 0.0, 0.0, snrDb};
}

constexpr auto kMuscle = InterferenceKind::MuscleNoise;
constexpr auto kMotion = InterferenceKind::MotionNoise;

// Each row names only the waveform fields that differ from their defaults;
// GCC 12 would warn about the others although designated initializers
// leave them at their default member initializers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// Amplitudes in mV (pulse waves: in the same units at the same gain, 80
// counts at the default gain, so that motion five times as large still fits
// the 10 bits), widths and time constants in ms; docs/conformance.md gives
// the source of each.
const std::vector<ConformanceCase> kCases = {
    {"reference", "30 BPM", {.bpm = 30}, RateAndBeats},
    {"reference", "40 BPM", {.bpm = 40}, RateAndBeats},
    {"reference", "60 BPM", {.bpm = 60}, RateAndBeats},
    {"reference", "80 BPM", {.bpm = 80}, RateAndBeats},
    {"reference", "120 BPM", {.bpm = 120}, RateAndBeats},
    {"reference", "180 BPM", {.bpm = 180}, RateAndBeats},
    {"reference", "240 BPM", {.bpm = 240}, RateAndBeats},

    {"amplitude", "0.5 mV 60 BPM", {.bpm = 60, .qrsMv = 0.5}, Rate},
    {"amplitude", "0.5 mV 180 BPM", {.bpm = 180, .qrsMv = 0.5}, Rate},
    {"amplitude", "5 mV 60 BPM", {.bpm = 60, .qrsMv = 5.0}, Rate},
    {"amplitude", "5 mV 180 BPM", {.bpm = 180, .qrsMv = 5.0}, Rate},

    {"width", "40 ms 0.5 mV 30 BPM", {.bpm = 30, .qrsMv = 0.5, .qrsMs = 40}, Rate},
    {"width", "40 ms 0.5 mV 120 BPM", {.bpm = 120, .qrsMv = 0.5, .qrsMs = 40}, Rate},
    {"width", "40 ms 0.5 mV 240 BPM", {.bpm = 240, .qrsMv = 0.5, .qrsMs = 40}, Rate},
    {"width", "40 ms 2 mV 30 BPM", {.bpm = 30, .qrsMv = 2.0, .qrsMs = 40}, Rate},
    {"width", "40 ms 2 mV 120 BPM", {.bpm = 120, .qrsMv = 2.0, .qrsMs = 40}, Rate},
    {"width", "40 ms 2 mV 240 BPM", {.bpm = 240, .qrsMv = 2.0, .qrsMs = 40}, Rate},
    {"width", "70 ms 0.5 mV 30 BPM", {.bpm = 30, .qrsMv = 0.5, .qrsMs = 70}, Rate},
    {"width", "70 ms 0.5 mV 120 BPM", {.bpm = 120, .qrsMv = 0.5, .qrsMs = 70}, Rate},
    {"width", "70 ms 0.5 mV 240 BPM", {.bpm = 240, .qrsMv = 0.5, .qrsMs = 70}, Rate},
    {"width", "70 ms 2 mV 30 BPM", {.bpm = 30, .qrsMv = 2.0, .qrsMs = 70}, Rate},
    {"width", "70 ms 2 mV 120 BPM", {.bpm = 120, .qrsMv = 2.0, .qrsMs = 70}, Rate},
    {"width", "70 ms 2 mV 240 BPM", {.bpm = 240, .qrsMv = 2.0, .qrsMs = 70}, Rate},
    {"width", "120 ms 0.5 mV 30 BPM", {.bpm = 30, .qrsMv = 0.5, .qrsMs = 120}, Rate},
    {"width", "120 ms 0.5 mV 120 BPM", {.bpm = 120, .qrsMv = 0.5, .qrsMs = 120}, Rate},
    {"width", "120 ms 0.5 mV 240 BPM", {.bpm = 240, .qrsMv = 0.5, .qrsMs = 120}, Rate},
    {"width", "120 ms 2 mV 30 BPM", {.bpm = 30, .qrsMv = 2.0, .qrsMs = 120}, Rate},
    {"width", "120 ms 2 mV 120 BPM", {.bpm = 120, .qrsMv = 2.0, .qrsMs = 120}, Rate},
    {"width", "120 ms 2 mV 240 BPM", {.bpm = 240, .qrsMv = 2.0, .qrsMs = 120}, Rate},

    {"no-count", "0.1 mV QRS 80 BPM", {.bpm = 80, .qrsMv = 0.1}, NoRate},
    {"no-count", "10 ms spikes 80 BPM", {.bpm = 80, .qrsMs = 10, .tWave = 0.0}, NoRate},
    {"no-count", "flat line", {.morphology = Flat}, NoRate},

    {"tall-t", "T 0.5 mV", {.bpm = 80, .tWave = 0.5}, Rate},
    {"tall-t", "T 0.8 mV", {.bpm = 80, .tWave = 0.8}, Rate},
    {"tall-t", "T 1.0 mV", {.bpm = 80, .tWave = 1.0}, Rate},
    {"tall-t", "T 1.2 mV", {.bpm = 80, .tWave = 1.2}, Rate},

    {"irregular", "ventricular bigeminy 80",
     {.bpm = 80, .prematurity = 0.25, .alternateScale = 1.5, .alternateQrsMs = 140}, NoHalvingOrDoubling},
    {"irregular", "slow alternating bigeminy 60",
     {.bpm = 60, .prematurity = 0.2, .alternateScale = -1.5, .alternateQrsMs = 140}, NoHalvingOrDoubling},
    {"irregular", "rapid alternating bigeminy 120",
     {.bpm = 120, .prematurity = 0.1, .alternateScale = -1.5, .alternateQrsMs = 120}, NoHalvingOrDoubling},
    {"irregular", "bidirectional systoles 90", {.bpm = 90, .qrsMs = 120, .alternateScale = -1.0},
     NoHalvingOrDoubling},

    {"rate-step", "80 to 120 BPM", {.bpm = 80, .stepBpm = 120}, Disclosed},
    {"rate-step", "80 to 40 BPM", {.bpm = 80, .stepBpm = 40}, Disclosed},

    {"tachycardia", "130 ms 0.5 mV 195 BPM", {.bpm = 195, .qrsMv = 0.5, .qrsMs = 130}, Rate},
    {"tachycardia", "130 ms 1 mV 195 BPM", {.bpm = 195, .qrsMv = 1.0, .qrsMs = 130}, Rate},
    {"tachycardia", "130 ms 2 mV 195 BPM", {.bpm = 195, .qrsMv = 2.0, .qrsMs = 130}, Rate},
    {"tachycardia", "130 ms 0.5 mV 206 BPM", {.bpm = 206, .qrsMv = 0.5, .qrsMs = 130}, Rate},
    {"tachycardia", "130 ms 1 mV 206 BPM", {.bpm = 206, .qrsMv = 1.0, .qrsMs = 130}, Rate},
    {"tachycardia", "130 ms 2 mV 206 BPM", {.bpm = 206, .qrsMv = 2.0, .qrsMs = 130}, Rate},

    {"pacemaker", "paced QRS, tail 4 ms",
     {.bpm = 70, .pacerMv = 5.0, .pacerMs = 2.0, .pacerTailMv = 1.5, .pacerTailMs = 4}, Rate},
    {"pacemaker", "paced QRS, tail 100 ms",
     {.bpm = 70, .pacerMv = 5.0, .pacerMs = 2.0, .pacerTailMv = 1.5, .pacerTailMs = 100}, Rate},
    {"pacemaker", "pulses alone, tail 4 ms",
     {.morphology = Pacer, .bpm = 70, .pacerMv = 5.0, .pacerMs = 2.0, .pacerTailMv = 1.5, .pacerTailMs = 4},
     NoRate},
    {"pacemaker", "pulses alone, tail 100 ms",
     {.morphology = Pacer, .bpm = 70, .pacerMv = 5.0, .pacerMs = 2.0, .pacerTailMv = 1.5, .pacerTailMs = 100},
     NoRate},

    {"baseline", "0.3 Hz sine 0.5 mV", {.bpm = 80, .interference = Sine(0.3, 0.5)}, Rate},
    {"baseline", "0.1 Hz triangle 4 mV p-p", {.bpm = 80, .interference = TriangleWave(0.1, 2.0)}, Rate},

    {"mains", "50 Hz 25 uV", {.bpm = 80, .interference = Sine(50, 0.025)}, Rate},
    {"mains", "50 Hz 0.5 mV", {.bpm = 80, .interference = Sine(50, 0.5)}, Rate},
    {"mains", "60 Hz 25 uV", {.bpm = 80, .interference = Sine(60, 0.025)}, Rate},
    {"mains", "60 Hz 0.5 mV", {.bpm = 80, .interference = Sine(60, 0.5)}, Rate},

    {"noise", "muscle 24 dB", {.bpm = 80, .interference = Noise(kMuscle, 24)}, Rate},
    {"noise", "muscle 18 dB", {.bpm = 80, .interference = Noise(kMuscle, 18)}, Rate},
    {"noise", "muscle 12 dB", {.bpm = 80, .interference = Noise(kMuscle, 12)}, Rate},
    {"noise", "muscle 6 dB", {.bpm = 80, .interference = Noise(kMuscle, 6)}, NotConfidentlyWrong},
    {"noise", "muscle 0 dB", {.bpm = 80, .interference = Noise(kMuscle, 0)}, NotConfidentlyWrong},
    {"noise", "electrode motion 24 dB", {.bpm = 80, .interference = Noise(kMotion, 24)}, Rate},
    {"noise", "electrode motion 18 dB", {.bpm = 80, .interference = Noise(kMotion, 18)}, Rate},
    {"noise", "electrode motion 12 dB", {.bpm = 80, .interference = Noise(kMotion, 12)}, Rate},
    {"noise", "electrode motion 6 dB", {.bpm = 80, .interference = Noise(kMotion, 6)}, NotConfidentlyWrong},
    {"noise", "electrode motion 0 dB", {.bpm = 80, .interference = Noise(kMotion, 0)}, NotConfidentlyWrong},

    {"pulse", "30 BPM", {.morphology = Pulse, .bpm = 30, .qrsMv = 0.4}, PulseRate},
    {"pulse", "40 BPM", {.morphology = Pulse, .bpm = 40, .qrsMv = 0.4}, PulseRate},
    {"pulse", "60 BPM", {.morphology = Pulse, .bpm = 60, .qrsMv = 0.4}, PulseRate},
    {"pulse", "80 BPM", {.morphology = Pulse, .bpm = 80, .qrsMv = 0.4}, PulseRate},
    {"pulse", "120 BPM", {.morphology = Pulse, .bpm = 120, .qrsMv = 0.4}, PulseRate},
    {"pulse", "180 BPM", {.morphology = Pulse, .bpm = 180, .qrsMv = 0.4}, PulseRate},
    {"pulse", "240 BPM", {.morphology = Pulse, .bpm = 240, .qrsMv = 0.4}, PulseRate},
    {"pulse", "low perfusion 0.04", {.morphology = Pulse, .bpm = 80, .qrsMv = 0.04}, PulseRate},
    {"pulse", "deep dicrotic notch", {.morphology = Pulse, .bpm = 60, .qrsMv = 0.4, .dicrotic = 0.6, .notch = 0.4},
     PulseRate},
    {"pulse", "motion 2 Hz x1", {.morphology = Pulse, .bpm = 80, .qrsMv = 0.4, .interference = Sine(2, 0.2)},
     RateOrDoubtful},
    {"pulse", "motion 3 Hz x1", {.morphology = Pulse, .bpm = 80, .qrsMv = 0.4, .interference = Sine(3, 0.2)},
     RateOrDoubtful},
    {"pulse", "motion 2 Hz x5", {.morphology = Pulse, .bpm = 80, .qrsMv = 0.4, .interference = Sine(2, 1.0)},
     RateOrDoubtful},
    {"pulse", "motion 3 Hz x5", {.morphology = Pulse, .bpm = 80, .qrsMv = 0.4, .interference = Sine(3, 1.0)},
     RateOrDoubtful},
};

std::string DescribeBeats(const WaveformRecipe &wave)
{
    const std::string pacer =
        Format("; pacemaker %g mV %g ms", wave.pacerMv, wave.pacerMs) +
        Format(", tail %g mV %g ms", wave.pacerTailMv, wave.pacerTailMs);
    switch (wave.morphology) {
    case Pulse:
        return Format("pulse %g; dicrotic %g; notch %g", wave.qrsMv, wave.dicrotic, wave.notch);
    case Pacer:
        return pacer.substr(2);
    case Flat:
        return "flat";
    case Morphology::Triangle:
        break;
    }
    std::string text = Format("QRS %g mV %g ms; T %g of QRS", wave.qrsMv, wave.qrsMs, wave.tWave);
    if (wave.alternateScale != 1.0 || wave.alternateQrsMs != 0.0) {
        text += Format("; every second beat x%g %g ms", wave.alternateScale,
                     wave.alternateQrsMs != 0.0 ? wave.alternateQrsMs : wave.qrsMs);
    }
    return wave.pacerMv != 0.0 ? text + pacer : text;
}

std::string DescribeInterference(const Interference &interference)
{
    switch (interference.kind) {
    case InterferenceKind::Sine:
        return Format("; sine %g Hz %g mV", interference.hz, interference.amplitudeMv);
    case InterferenceKind::Triangle:
        return Format("; triangle %g Hz %g mV", interference.hz, interference.amplitudeMv);
    case InterferenceKind::MuscleNoise:
        return Format("; muscle noise %g dB", interference.snrDb);
    case InterferenceKind::MotionNoise:
        return Format("; electrode-motion noise %g dB", interference.snrDb);
    case InterferenceKind::None:
        break;
    }
    return "";
}

}  // namespace

std::string DescribeWave(const WaveformRecipe &wave)
{
    std::string text = Format("%g BPM", wave.bpm);
    if (wave.stepBpm != 0.0) {
        text += Format(" then %g BPM", wave.stepBpm);
    }
    if (wave.prematurity != 0.0) {
        text += Format(" intervals alternating +-%g", wave.prematurity);
    }
    return text + "; " + DescribeBeats(wave) + DescribeInterference(wave.interference);
}

const std::vector<ConformanceCase> &ConformanceCases()
{
    return kCases;
}

std::vector<std::string> ConformanceFamilies()
{
    std::vector<std::string> families;
    for (const ConformanceCase &testCase : kCases) {
        if (std::find(families.begin(), families.end(), testCase.family) == families.end()) {
            families.push_back(testCase.family);
        }
    }
    return families;
}

bool IsPulseFamily(const std::string &family)
{
    return std::any_of(kCases.begin(), kCases.end(), [&family](const ConformanceCase &testCase) {
        return testCase.family == family && testCase.wave.morphology == Morphology::Pulse;
    });
}

std::vector<std::string> FamiliesOfKind(bool pulse)
{
    std::vector<std::string> families;
    for (const std::string &family : ConformanceFamilies()) {
        if (IsPulseFamily(family) == pulse) {
            families.push_back(family);
        }
    }
    return families;
}

}  // namespace qzkit
