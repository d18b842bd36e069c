// SPDX-License-Identifier: Apache-2.0
// A drawn figure as SVG and PNG bytes, and writing both files together.
#ifndef QZKIT_FIGURE_FILES_H
#define QZKIT_FIGURE_FILES_H

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qzkit {

struct RenderedFigure {
    std::vector<std::uint8_t> svg;
    std::vector<std::uint8_t> png;
};

// Writes base + ".svg" and base + ".png", put in place together (with the
// run's other outputs): a failure leaves both as they were.
void WriteFigureFiles(const std::filesystem::path &base, const RenderedFigure &rendered);

}  // namespace qzkit

#endif
