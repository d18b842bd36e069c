// Drawing a figure with cairo, as SVG (vector) and PNG (raster) from the same
// drawing code, and writing both files.
#ifndef QZKIT_PLOT_RENDER_H
#define QZKIT_PLOT_RENDER_H

#include <cstdint>
#include <filesystem>
#include <vector>

#include "plot/PlotFigure.h"

namespace qzkit {

struct RenderedFigure {
    std::vector<std::uint8_t> svg;
    std::vector<std::uint8_t> png;
};

// Both images, in memory, one figure pixel per PNG pixel (the SVG in px
// units). Throws ToolkitError when cairo reports an error.
RenderedFigure RenderFigure(const Figure &figure);

// Writes base + ".svg" and base + ".png", each through a temporary file that
// is renamed into place. If the second cannot be written the first is
// removed again, so a failure leaves neither new file behind.
void WriteFigureFiles(const std::filesystem::path &base, const RenderedFigure &rendered);

}  // namespace qzkit

#endif
