// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the WFDB header parser over any text. A bad header must
// be a ToolkitError; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "io/wfdb/WfdbHeader.h"
#include "ToolkitError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        std::istringstream text(std::string(reinterpret_cast<const char *>(data), size));
        const qzkit::WfdbHeader header = qzkit::ParseWfdbHeader(text, "fuzz.hea");
        for (const qzkit::WfdbSignalLine &signal : header.signals) {
            (void)qzkit::AdcBits(signal);
        }
    } catch (const qzkit::ToolkitError &) {
    }
    return 0;
}
