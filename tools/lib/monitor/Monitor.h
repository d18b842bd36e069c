// SPDX-License-Identifier: Apache-2.0
// qzkit monitor: a live stream of samples shown as the device would see it,
// with the arrival rate measured, what was seen kept as it goes, and, in a
// firmware check, every window the firmware reports recomputed and compared.
//
// Estimates fall on the stream's own time: one every `every` seconds of
// samples at the expected rate once the first window is full, so the
// windows are those convert cuts with the same step, whatever the host's
// timing. The run ends on SIGINT, SIGTERM or SIGHUP, when the source ends or
// vanishes, or on an error; every way leaves the recording whole.
#ifndef QZKIT_MONITOR_H
#define QZKIT_MONITOR_H

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "stream/InputDevice.h"
#include "stream/StreamDecoder.h"

namespace qzkit {

// Differing windows saved in one check at most; later ones are counted.
inline constexpr std::size_t kMostSavedWindows = 20;

struct MonitorOptions {
    std::string source;            // a serial device or "-"; empty with a replay
    std::filesystem::path replay;  // a .ecg file or WFDB record played at its rate
    double speed = 1.0;            // of the replay
    unsigned baud = kDefaultBaud;
    StreamFormat format = StreamFormat::Text;
    std::string column;                  // the CSV column, or the replayed WFDB signal
    std::optional<double> rate;          // expected; default: the constants' rate
    double every = 1.0;                  // seconds of stream between estimates
    std::size_t window = QZ_LONG_RECORD_SAMPLES;
    std::filesystem::path constants;
    qz::run_settings_struct settings{};
    std::filesystem::path record;  // directory to keep the stream in; none when empty
    std::string name;              // of the recording; default: monitor-DATE-TIME
    bool check = false;
    bool plain = false;          // lines for scripts even on a terminal
    std::string stage;           // drawn beneath the recording (a dump stage's extension without the dot)
    double stallSeconds = 5.0;   // silence reported as a stall after this long
    std::size_t badLineRun = 20;  // unreadable lines in a row that end the run
};

// Runs the monitor until the stream ends or a signal stops it. The exit
// status: 0, or in a check 1 unless at least one window was reported and
// every one was identical. ToolkitError for bad options, sources and
// streams (after the recording was finished).
int RunMonitor(const MonitorOptions &options);

}  // namespace qzkit

#endif
