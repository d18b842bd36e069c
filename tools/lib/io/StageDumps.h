// SPDX-License-Identifier: Apache-2.0
// The stage dump files a run of the heart-rate tool writes beside the
// recording: one per conditioning stage that ran, named after the record.
#ifndef QZKIT_STAGE_DUMPS_H
#define QZKIT_STAGE_DUMPS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qzkit {

// The conditioning stages that write a dump file, in pipeline order.
struct DumpStage {
    const char *extension;  // file name suffix after the record name
    const char *label;      // shown as the panel title
    std::uint16_t maskBit;  // the stage's value in the tool's stage mask
};
inline constexpr std::size_t kDumpStageCount = 5;
const std::array<DumpStage, kDumpStageCount> &DumpStages();

// The buffer after each dump stage, as its dump file holds it (one 10-bit
// sample per word), in the order of DumpStages(); absent where the stage did
// not run.
using StageOutputs = std::array<std::optional<std::vector<std::uint16_t>>, kDumpStageCount>;

}  // namespace qzkit

#endif
