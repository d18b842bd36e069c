// SPDX-License-Identifier: Apache-2.0
// Drawing with cairo: one set of drawing calls rendered as SVG (vector) and
// PNG (raster), and the small text and line helpers the figures share.
#ifndef QZKIT_CAIRO_DRAWING_H
#define QZKIT_CAIRO_DRAWING_H

#include <cairo.h>

#include <functional>
#include <string>

#include "plot/FigureFiles.h"

namespace qzkit {

struct Colour {
    double red;
    double green;
    double blue;
};

inline constexpr Colour kInk{0.10, 0.10, 0.10};
inline constexpr Colour kMuted{0.45, 0.45, 0.45};
inline constexpr Colour kFrame{0.70, 0.70, 0.70};
inline constexpr Colour kGrid{0.91, 0.91, 0.91};
inline constexpr Colour kSignal{0.12, 0.30, 0.62};
inline constexpr Colour kAlert{0.84, 0.15, 0.16};
inline constexpr Colour kWhite{1.0, 1.0, 1.0};

inline constexpr double kHeadlineSize = 20.0;
inline constexpr double kTextSize = 12.5;
inline constexpr double kSmallSize = 11.0;

enum class Align { Left, Centre, Right };

void SetColour(cairo_t *cr, const Colour &colour);
void SetFont(cairo_t *cr, double size, bool bold = false, bool italic = false);
double TextWidth(cairo_t *cr, const std::string &text);

// Text with its baseline at y, placed by `align` against x.
void DrawText(cairo_t *cr, const std::string &text, double x, double y, Align align);

void Line(cairo_t *cr, double x0, double y0, double x1, double y1);

// Both images of a drawing `width` x `height` pixels (the SVG in px units),
// drawn by `draw` on a white page. Throws ToolkitError when cairo reports an
// error.
RenderedFigure RenderDrawing(double width, double height, const std::function<void(cairo_t *)> &draw);

}  // namespace qzkit

#endif
