// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the MIT annotation reader over any bytes. A bad file must
// be a ToolkitError; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "io/wfdb/MitAnnotations.h"
#include "ToolkitError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        const auto annotations = qzkit::ParseMitAnnotations(std::vector<std::uint8_t>(data, data + size), "fuzz.atr");
        (void)qzkit::AnnotationTimeResolution(annotations);
    } catch (const qzkit::ToolkitError &) {
    }
    return 0;
}
