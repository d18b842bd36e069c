// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the multi-segment reader's single verdict. The input is
// a layout header "r.hea", a NUL byte, a segment header "s.hea" (segment
// "s" may be named in the layout, once or more), a NUL byte and the bytes of
// signal file "d". Whatever opens must then describe itself (info and
// info --json) and read at its start and its end without a new refusal:
// every fault is found when the record is opened, so info, export, convert
// and the Python package give one verdict. A ToolkitError on reading after a
// successful open is a finding, as is anything but a ToolkitError.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "FuzzScratch.h"
#include "io/wfdb/WfdbInfo.h"
#include "io/wfdb/WfdbRecord.h"
#include "ToolkitError.h"

using qzfuzz::ScratchFolder;
using qzfuzz::WriteFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    const char *end = text + size;
    const char *layoutEnd = std::find(text, end, '\0');
    const char *segment = layoutEnd == end ? end : layoutEnd + 1;
    const char *segmentEnd = std::find(segment, end, '\0');
    const char *signal = segmentEnd == end ? end : segmentEnd + 1;
    WriteFile(ScratchFolder() / "r.hea", text, static_cast<std::size_t>(layoutEnd - text));
    WriteFile(ScratchFolder() / "s.hea", segment, static_cast<std::size_t>(segmentEnd - segment));
    WriteFile(ScratchFolder() / "d", signal, static_cast<std::size_t>(end - signal));
    std::optional<qzkit::WfdbRecord> record;
    try {
        record.emplace(ScratchFolder() / "r.hea");
    } catch (const qzkit::ToolkitError &) {
        return 0;  // refused when opened: the same refusal for every command
    }
    try {
        (void)qzkit::DescribeRecord(*record);
        (void)qzkit::DescribeRecordJson(*record);
        std::vector<std::size_t> signals(record->Signals().size());
        for (std::size_t s = 0; s < signals.size(); ++s) signals[s] = s;
        constexpr std::uint64_t kSpan = 4096;
        const std::uint64_t frames = record->Frames();
        std::vector<std::string> warnings;
        (void)record->Read(signals, {0, std::min(frames, kSpan)}, warnings);
        (void)record->Read(signals, {frames - std::min(frames, kSpan), frames}, warnings);
    } catch (const qzkit::ToolkitError &error) {
        if (std::string(error.what()).find("samples at once") == std::string::npos) {
            std::abort();  // a fault that opening the record did not find
        }
    }
    return 0;
}
