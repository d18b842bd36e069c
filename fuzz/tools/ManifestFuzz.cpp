// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the manifest reader over any text. A bad manifest must be
// a ToolkitError; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "io/Manifest.h"
#include "ToolkitError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        const std::string_view text(reinterpret_cast<const char *>(data), size);
        for (const qzkit::ManifestEntry &entry : qzkit::ParseManifest(qzkit::ParseCsvTable(text, "fuzz.csv"))) {
            (void)entry.StartTime();
        }
    } catch (const qzkit::ToolkitError &) {
    }
    return 0;
}
