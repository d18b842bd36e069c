// SPDX-License-Identifier: Apache-2.0
// A live stream of samples as the device would see it: the samples kept for
// the latest windows, the counts of what was wrong with the stream, and an
// estimate on the latest window every `step` samples, computed exactly as the
// tool computes it. With a firmware check, the windows are the ones the
// firmware reports, and each estimate is compared with the firmware's.
// No input or output here: the caller feeds samples and results as they
// arrive.
#ifndef QZKIT_MONITOR_SESSION_H
#define QZKIT_MONITOR_SESSION_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "constants/ConstantsImage.h"
#include "run/LibraryRun.h"
#include "stream/DeviceProtocol.h"

namespace qzkit {

inline constexpr std::int64_t kLargestSample = 1023;

// A value as received, clipped into 0..1023.
inline std::uint16_t ClippedSample(std::int64_t value)
{
    return static_cast<std::uint16_t>(value < 0 ? 0 : value > kLargestSample ? kLargestSample : value);
}

struct MonitorSettings {
    ConstantsImage constants{};
    qz::run_settings_struct settings{};
    double rate = 0.0;  // samples per second the board is meant to deliver
    std::size_t window = QZ_LONG_RECORD_SAMPLES;
    std::size_t step = 0;  // samples between estimates; 0 in a firmware check (the firmware's windows count)
    bool keepStageOutputs = false;
};

enum class CheckVerdict {
    Identical,
    Differs,
    NotInStream,  // the samples the firmware names were not all received (lost, or from before the start)
};

struct Estimate {
    std::uint64_t start = 0;  // the window is samples [start, end) of the stream, counted from 0
    std::uint64_t end = 0;
    std::vector<std::uint16_t> window;  // empty when not in the stream
    LibraryRun run;
    std::optional<ResultWords> device;  // the firmware's words, in a check
    std::optional<CheckVerdict> verdict;
};

class MonitorSession {
public:
    explicit MonitorSession(const MonitorSettings &settings);

    // A sample as received; values outside 0..1023 are clipped (and
    // counted). The estimate when the schedule falls on this sample.
    std::optional<Estimate> AddSample(std::int64_t value);
    // The window a firmware reports, recomputed and compared.
    Estimate CheckDeviceResult(const DeviceResult &result);
    void AddBadLine() { ++badLines_; }

    std::uint64_t Samples() const { return received_; }
    std::uint64_t Clipped() const { return clipped_; }
    std::uint64_t BadLines() const { return badLines_; }

private:
    Estimate EstimateOn(std::uint64_t end, std::size_t size);

    MonitorSettings settings_;
    std::deque<std::uint16_t> latest_;  // the last samples received, enough for any window
    std::uint64_t received_ = 0;
    std::uint64_t clipped_ = 0;
    std::uint64_t badLines_ = 0;
};

}  // namespace qzkit

#endif
