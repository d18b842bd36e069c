// SPDX-License-Identifier: Apache-2.0
#include "monitor/Replay.h"

#include "io/EcgFile.h"
#include "io/Recording.h"
#include "io/wfdb/WfdbRecord.h"

namespace qzkit {

ReplayRecording ReadReplay(const std::filesystem::path &path, const std::string &signal, double ecgRate)
{
    ReplayRecording replay;
    if (path.extension() == ".ecg") {
        const std::vector<std::uint16_t> words = ReadEcgFile(path);
        replay.samples.assign(words.begin(), words.end());
        replay.rate = ecgRate;
        return replay;
    }
    const WfdbRecord record(path);
    const std::size_t chosen = ChooseChannel(SignalNames(record), signal);
    std::vector<std::string> warnings;
    const SignalSamples read = record.Read({chosen}, {0, record.Frames()}, warnings).front();
    const SignalSamples frames = FrameMeans(read, record.Signals()[chosen].samplesPerFrame);
    for (std::size_t i = 0; i < frames.values.size(); ++i) {
        if (!frames.missing.empty() && frames.missing[i]) {
            ++replay.missing;
        } else {
            replay.samples.push_back(frames.values[i]);
        }
    }
    replay.rate = record.FrameRate();
    return replay;
}

}  // namespace qzkit
