// SPDX-License-Identifier: Apache-2.0
#include "plot/CairoDrawing.h"

#include <cairo-svg.h>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <system_error>
#include <vector>

#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kFontFamily = "DejaVu Sans";

using CairoSurface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using CairoContext = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;
using DrawCalls = std::function<void(cairo_t *)>;

void Check(cairo_status_t status, const char *what)
{
    if (status != CAIRO_STATUS_SUCCESS) {
        throw ToolkitError(std::string("cannot draw the ") + what + ": " + cairo_status_to_string(status));
    }
}

cairo_status_t AppendBytes(void *closure, const unsigned char *data, unsigned int length)
{
    auto *bytes = static_cast<std::vector<std::uint8_t> *>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

void Draw(cairo_surface_t *surface, const DrawCalls &draw, const char *what)
{
    const CairoContext cr(cairo_create(surface), cairo_destroy);
    SetColour(cr.get(), kWhite);
    cairo_paint(cr.get());
    draw(cr.get());
    Check(cairo_status(cr.get()), what);
}

std::vector<std::uint8_t> RenderSvg(double width, double height, const DrawCalls &draw)
{
    std::vector<std::uint8_t> bytes;
    const CairoSurface surface(
        cairo_svg_surface_create_for_stream(AppendBytes, &bytes, width, std::ceil(height)),
        cairo_surface_destroy);
    Check(cairo_surface_status(surface.get()), "SVG");
    cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
    Draw(surface.get(), draw, "SVG");
    cairo_surface_finish(surface.get());
    Check(cairo_surface_status(surface.get()), "SVG");
    return bytes;
}

std::vector<std::uint8_t> RenderPng(double width, double height, const DrawCalls &draw)
{
    const CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width),
                                                          static_cast<int>(std::ceil(height))),
                               cairo_surface_destroy);
    Check(cairo_surface_status(surface.get()), "PNG");
    Draw(surface.get(), draw, "PNG");
    std::vector<std::uint8_t> bytes;
    Check(cairo_surface_write_to_png_stream(surface.get(), AppendBytes, &bytes), "PNG");
    return bytes;
}

// Hands back what cairo and fontconfig keep for the text between calls, once
// no cairo object is left: a render leaves nothing allocated behind, so leak
// checkers of the programs that draw see only real leaks.
class FontCacheRelease {
public:
    FontCacheRelease() = default;
    ~FontCacheRelease()
    {
        cairo_debug_reset_static_data();
        FcFini();
    }
    FontCacheRelease(const FontCacheRelease &) = delete;
    FontCacheRelease &operator=(const FontCacheRelease &) = delete;
};

}  // namespace

void SetColour(cairo_t *cr, const Colour &colour)
{
    cairo_set_source_rgb(cr, colour.red, colour.green, colour.blue);
}

void SetFont(cairo_t *cr, double size, bool bold, bool italic)
{
    cairo_select_font_face(cr, kFontFamily, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

double TextWidth(cairo_t *cr, const std::string &text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

void DrawText(cairo_t *cr, const std::string &text, double x, double y, Align align)
{
    const double width = TextWidth(cr, text);
    const double left = align == Align::Left ? x : align == Align::Centre ? x - width / 2.0 : x - width;
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, text.c_str());
}

void Line(cairo_t *cr, double x0, double y0, double x1, double y1)
{
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

RenderedFigure RenderDrawing(double width, double height, const DrawCalls &draw)
{
    const FontCacheRelease release;  // destroyed after both surfaces
    return {RenderSvg(width, height, draw), RenderPng(width, height, draw)};
}

void WriteFigureFiles(const std::filesystem::path &base, const RenderedFigure &rendered)
{
    OutputPlan plan;
    WriteBytesAtomically(WithSuffix(base, ".svg"), rendered.svg);
    WriteBytesAtomically(WithSuffix(base, ".png"), rendered.png);
    plan.Commit();
}

}  // namespace qzkit
