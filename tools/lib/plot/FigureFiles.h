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

// Writes base + ".svg" and base + ".png", each through a temporary file that
// is renamed into place. If the second cannot be written the first is
// removed again, so a failure leaves neither new file behind.
void WriteFigureFiles(const std::filesystem::path &base, const RenderedFigure &rendered);

}  // namespace qzkit

#endif
