// The heart-rate library run in-process, one window at a time, each from the
// library's program-start state, configured as the command-line tool
// configures it. The library's file operations are the in-memory pair with
// writes discarded, so no dump files are written.
#ifndef QZKIT_ESTIMATOR_H
#define QZKIT_ESTIMATOR_H

#include <array>
#include <cstdint>
#include <vector>

#include "QZ_Library_Configuration.h"
#include "constants/ConstantsImage.h"
#include "io/ResultRecord.h"

namespace qzkit {

// Sampling rate the constants are made for: 1 / Period.
double ConstantsRate(const ConstantsImage &constants);

struct Estimate {
    std::uint16_t bpm = 0;        // bits 0-9 of the result word
    std::uint16_t qi = 0;         // bits 10-15
    std::uint8_t peaks = 0;       // peaks found
    bool usedBeatMethod = false;  // the estimate came from the beat-classification method
    std::array<std::uint16_t, kStoredPeaks> peakLocations{};  // as the result record stores them: one-based, 0 = not set
    StatisticsBlock statistics;  // the result record's statistics block (tm2)
};

class InProcessEstimator {
public:
    InProcessEstimator(const ConstantsImage &constants, const run_settings_struct &settings);

    // Runs the pipeline over one window of 1500 or 600 samples (0..1023).
    // ToolkitError for another length or a sample above 1023. Not reentrant:
    // the library's state is global.
    Estimate Run(const std::vector<std::uint16_t> &window) const;

private:
    ConstantsImage constants_;
    run_settings_struct settings_;
};

}  // namespace qzkit

#endif
