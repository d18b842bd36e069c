// SPDX-License-Identifier: Apache-2.0
// qzkit monitor: a live sensor stream shown as the device would see it, and
// a firmware's results checked bit for bit against the desktop.
#include <memory>
#include <string>

#include "CommandOptions.h"
#include "monitor/Monitor.h"
#include "RunSettingsOptions.h"
#include "run/RecordLength.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct MonitorCommandOptions {
    MonitorOptions monitor;
    RunSettingsOptions settings;
    std::string format = "text";
    std::string replay;
    std::string constants;
    std::string record;
    double rate = 0.0;
};

int RunMonitorCommand(const MonitorCommandOptions &options)
{
    MonitorOptions monitor = options.monitor;
    monitor.format = StreamFormatNames().at(options.format);
    monitor.replay = options.replay;
    monitor.constants = options.constants;
    monitor.record = options.record;
    monitor.settings = options.settings.Runs().front();
    if (options.rate > 0.0) {
        monitor.rate = options.rate;
    }
    return RunMonitor(monitor);
}

SubcommandAction SetUpMonitor(CLI::App &command)
{
    auto options = std::make_shared<MonitorCommandOptions>();
    MonitorOptions &monitor = options->monitor;
    command.add_option("source", monitor.source,
                       "Serial device the board streams to (/dev/ttyACM0), or - for standard input");
    command.add_option("--replay", options->replay,
                       "Play a recording as the stream at its own rate: a .ecg file (at --rate) or a WFDB record "
                       "(a monitor --record output, for one)");
    command.add_option("--speed", monitor.speed, "Replay this many times faster than real time")
        ->capture_default_str();
    command.add_option("--baud", monitor.baud, "Baud rate of the serial device")->capture_default_str();
    command.add_option("--format", options->format,
                       "Stream format: text (one integer per line, or CSV lines with --column), or raw little-endian "
                       "16-bit words, u16le or s16le")
        ->check(CLI::IsMember({"text", "u16le", "s16le"}))
        ->capture_default_str();
    command.add_option("--column", monitor.column,
                       "CSV column of the sample: zero-based index, or the name a header line gives (with --replay "
                       "of a WFDB record: the signal)");
    command.add_option("-c,--constants", options->constants,
                       "Filter constants: the file, or its base name without .pvx.filters.v1")
        ->required();
    AddRunSettingsOptions(command, options->settings, false);
    command.add_option("--rate", options->rate,
                       "Sampling rate the board is meant to deliver, Hz (default: the constants' rate)")
        ->check(AboveZero());
    command.add_option("--every", monitor.every, "Seconds of stream between estimates")
        ->check(AboveZero())
        ->capture_default_str();
    command.add_option("--window", monitor.window, "Samples of the window estimated on: " + RecordLengthsText())
        ->capture_default_str();
    command.add_option("--record", options->record,
                       "Directory to keep the stream in: a WFDB record NAME (.hea, .dat) and NAME.estimates.csv, "
                       "written as they arrive");
    command.add_option("--name", monitor.name, "Name of the recording (default: monitor-DATE-TIME)");
    command.add_flag("--check", monitor.check,
                     "Check a firmware: recompute every window its result lines report and compare the result "
                     "records; differing windows are saved (in --record, else here). Exit status 1 unless every "
                     "reported window is identical");
    command.add_flag("--plain", monitor.plain,
                     "One CSV line per estimate on standard output even on a terminal (the default when standard "
                     "output is not one)");
    command.add_option("--stage", monitor.stage,
                       "Stage drawn beneath the recording in the live view: lowpass, highpass, derivative, square or "
                       "average (default average)");
    command.add_option("--timeout", monitor.stallSeconds, "Seconds of silence reported as a stalled source")
        ->check(AboveZero())
        ->capture_default_str();
    return [options] { return RunMonitorCommand(*options); };
}

const SubcommandRegistrar registrar{"monitor",
                                    "Show a live sensor stream as the device would see it, measure its sampling "
                                    "rate, keep it as a WFDB record, and check a firmware's results bit for bit",
                                    SetUpMonitor};

}  // namespace
}  // namespace qzkit
