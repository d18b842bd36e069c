// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbRecording.h"

#include <limits>

#include "io/wfdb/SignalFormat.h"
#include "io/wfdb/WfdbRecord.h"

namespace qzkit {

Recording ReadWfdbRecording(const std::filesystem::path &record, const std::string &channel)
{
    const WfdbRecord wfdb(record);
    const std::size_t chosen = ChooseChannel(SignalNames(wfdb), channel);
    const WfdbSignalLine &signal = wfdb.Signals()[chosen];
    Recording recording;
    recording.rate = wfdb.FrameRate() * signal.samplesPerFrame;
    recording.units = signal.units;
    recording.channelName = signal.description;
    const SignalSamples samples = wfdb.Read({chosen}, {0, wfdb.Frames()}, recording.warnings).front();
    const std::optional<std::int32_t> invalid = InvalidValue(signal.format);
    recording.samples.resize(samples.values.size());
    double previous = 0.0;
    for (std::size_t i = 0; i < samples.values.size(); ++i) {
        if (!samples.missing.empty() && samples.missing[i]) {
            if (recording.gaps.empty() || recording.gaps.back().second != i) {
                recording.gaps.emplace_back(i, i);
            }
            recording.gaps.back().second = i + 1;
            recording.samples[i] = std::numeric_limits<double>::quiet_NaN();
        } else if (samples.values[i] == invalid) {
            ++recording.invalidSamples;
            recording.samples[i] = previous;
        } else {
            recording.samples[i] = PhysicalValue(samples.values[i], signal);
            previous = recording.samples[i];
        }
    }
    return recording;
}

}  // namespace qzkit
