// SPDX-License-Identifier: Apache-2.0
// Running the test battery: every chosen case at every record length and
// phase, mapped to 10 bits, run through the estimator in-process, and graded
// against the case's truth.
#ifndef QZKIT_BATTERY_H
#define QZKIT_BATTERY_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "conformance/ConformanceCases.h"
#include "constants/ConstantsImage.h"
#include "score/BeatMatch.h"
#include "io/ResultRecord.h"

namespace qzkit {

struct BatteryOptions {
    ConstantsImage constants{};
    qz::run_settings_struct settings;
    std::vector<std::size_t> lengths{QZ_LONG_RECORD_SAMPLES, QZ_SHORT_RECORD_SAMPLES};
    double gainPerMillivolt = 200.0;  // counts per mV, around count 512
    double acCouplingHz = 0.0;        // front-end high-pass corner; 0 keeps DC
    std::size_t seeds = 5;            // phases of the first beat per case and length
    std::vector<std::string> families;  // in the battery's order
};

enum class Verdict { Pass, Fail, Disclosed };

struct BatteryRun {
    const ConformanceCase *testCase = nullptr;
    std::size_t seed = 0;
    double phase = 0.0;  // of the first beat, as a fraction of an interval
    std::size_t length = 0;
    std::optional<double> expectedBpm;  // none: no rate expected
    ResultRecord estimate;
    BeatCounts beats;
    std::size_t trueBeats = 0;
    std::size_t foundBeats = 0;
    double clippedFraction = 0.0;
    Verdict verdict = Verdict::Pass;

    std::optional<double> Error() const;  // reported - expected, for a reading against an expected rate
};

// One run's waveform in 10-bit counts with what it is graded against; it
// depends on the options' front end and sampling rate, not on the filters.
struct PreparedRun {
    const ConformanceCase *testCase = nullptr;
    std::size_t seed = 0;
    double phase = 0.0;
    std::size_t length = 0;
    double rate = 0.0;
    std::vector<std::uint16_t> samples;
    double clippedFraction = 0.0;
    std::vector<double> trueTimes;  // seconds; none where the complexes are not beats
    std::optional<double> expectedBpm;

    double Seconds() const { return static_cast<double>(length) / rate; }
};

// Every run of the chosen families, in table order, then by length and seed,
// ready to be run with any filters (made once when many sets are compared).
// ToolkitError for an unknown family or a seed count of 0.
std::vector<PreparedRun> PrepareBattery(const BatteryOptions &options);
std::vector<BatteryRun> RunPreparedBattery(const std::vector<PreparedRun> &prepared, const ConstantsImage &constants,
                                           const qz::run_settings_struct &settings);

// PrepareBattery, then RunPreparedBattery with the options' constants and
// settings.
std::vector<BatteryRun> RunBattery(const BatteryOptions &options);

// The waveform of one run, in 10-bit counts, as the estimator got it.
std::vector<std::uint16_t> BatteryRecording(const BatteryOptions &options, const ConformanceCase &testCase,
                                            std::size_t length, std::size_t seed);

// Whether a reading meets the case's expectation, given the rate expected
// (none: no rate) and the beats matched. Where the window is too short for
// two intervals of the case's rate, QI 3 passes and so does the right rate.
Verdict Grade(const ConformanceCase &testCase, std::optional<double> expectedBpm, const ResultRecord &estimate,
              const BeatCounts &beats);

// A window of `seconds` holds two intervals of the rate, so a rate is expected.
bool WindowHoldsTwoIntervals(double bpm, double seconds);

}  // namespace qzkit

#endif
