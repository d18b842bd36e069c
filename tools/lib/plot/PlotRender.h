// SPDX-License-Identifier: Apache-2.0
// Drawing the picture of one run, as SVG (vector) and PNG (raster) from the
// same drawing code.
#ifndef QZKIT_PLOT_RENDER_H
#define QZKIT_PLOT_RENDER_H

#include "plot/FigureFiles.h"
#include "plot/PlotFigure.h"

namespace qzkit {

// Both images, in memory, one figure pixel per PNG pixel (the SVG in px
// units). Throws ToolkitError when cairo reports an error.
RenderedFigure RenderFigure(const Figure &figure);

}  // namespace qzkit

#endif
