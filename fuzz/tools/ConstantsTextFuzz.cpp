// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the constants text reader. A bad text must be a
// ToolkitError; a text that reads must format to a text that reads back as
// the same image, or the run aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "constants/ConstantsText.h"
#include "ToolkitError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    qzkit::ParsedConstants parsed;
    try {
        parsed = qzkit::ParseConstantsText(std::string_view(reinterpret_cast<const char *>(data), size), "fuzz.txt");
    } catch (const qzkit::ToolkitError &) {
        return 0;
    }
    const std::string again = qzkit::FormatConstantsText(parsed.image);
    if (qzkit::ParseConstantsText(again, "formatted").image != parsed.image) {
        std::abort();
    }
    return 0;
}
