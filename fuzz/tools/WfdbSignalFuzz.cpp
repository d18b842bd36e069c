// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the WFDB signal reader. The input is a header, a NUL byte
// and the bytes of signal file "d", both written to a scratch folder; every
// signal is read whole, as frames and as frame means. A bad record must be a
// ToolkitError; anything else is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzScratch.h"
#include "io/wfdb/WfdbRecord.h"
#include "ToolkitError.h"

using qzfuzz::ScratchFolder;
using qzfuzz::WriteFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    const char *split = std::find(text, text + size, '\0');
    const char *signal = split == text + size ? split : split + 1;
    WriteFile(ScratchFolder() / "r.hea", text, static_cast<std::size_t>(split - text));
    WriteFile(ScratchFolder() / "d", signal, static_cast<std::size_t>(text + size - signal));
    try {
        const qzkit::WfdbRecord record(ScratchFolder() / "r.hea");
        std::vector<std::size_t> signals(record.Signals().size());
        for (std::size_t s = 0; s < signals.size(); ++s) signals[s] = s;
        std::vector<std::string> warnings;
        const auto samples = record.Read(signals, {0, record.Frames()}, warnings);
        for (std::size_t s = 0; s < signals.size(); ++s) {
            (void)qzkit::FrameMeans(samples[s], record.Signals()[s].samplesPerFrame);
        }
    } catch (const qzkit::ToolkitError &) {
    }
    return 0;
}
