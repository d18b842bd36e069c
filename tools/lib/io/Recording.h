// SPDX-License-Identifier: Apache-2.0
// One channel of a recording in physical units, as read from any input
// format, and the choice of that channel.
#ifndef QZKIT_RECORDING_H
#define QZKIT_RECORDING_H

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qzkit {

struct Recording {
    double rate = 0.0;            // samples per second
    std::vector<double> samples;  // physical values in `units`
    std::string units;            // e.g. "mV", "uV"; may be empty when the source does not say
    std::string channelName;
    std::size_t invalidSamples = 0;  // samples the source marks invalid, replaced by the previous valid value
    std::vector<std::pair<std::size_t, std::size_t>> gaps;  // [first, end) samples with no data (NaN in `samples`)
    std::vector<std::string> warnings;                     // for the user, one line each
};

// One channel read a piece at a time, for records too long to hold whole.
class ChannelReader {
public:
    virtual ~ChannelReader() = default;

    // The channel's rate, units and name; the samples read so far as
    // invalid, and the reader's warnings (the samples and gaps stay empty).
    const Recording &Description() const { return description_; }

    // Fills the start of `samples` with the next samples (as ReadRecording
    // gives them: NaN where there is no data) and returns how many; fewer
    // than asked only at the end.
    virtual std::size_t Read(std::span<double> samples) = 0;

protected:
    Recording description_;
};

// A reader over a recording held whole (for formats read only whole).
std::unique_ptr<ChannelReader> HeldChannel(Recording recording);

// Picks a channel: by zero-based index when `choice` is all digits (also
// where a name is a number), else by name (exact, else ignoring case), and
// for an empty `choice` the first channel that is not a time column. Throws
// ToolkitError naming the channels that exist when nothing matches, and
// naming every match when a name fits several channels.
std::size_t ChooseChannel(const std::vector<std::string> &names, const std::string &choice);

// A column name that says time or sample number ("time_s", "Time", "t",
// "sample"), never taken as the signal by default.
bool IsTimeName(const std::string &name);

// Counts of a physical unit per millivolt: 1 for mV, 1000 for uV, 0.001 for
// V; 0 for a unit that is not a voltage (or is unknown).
double UnitsPerMillivolt(const std::string &units);

}  // namespace qzkit

#endif
