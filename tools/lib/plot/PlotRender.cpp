#include "plot/PlotRender.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <system_error>

#include "io/AtomicFile.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

struct Colour {
    double red;
    double green;
    double blue;
};

constexpr Colour kInk{0.10, 0.10, 0.10};
constexpr Colour kMuted{0.45, 0.45, 0.45};
constexpr Colour kFrame{0.70, 0.70, 0.70};
constexpr Colour kGrid{0.91, 0.91, 0.91};
constexpr Colour kNotRunFill{0.95, 0.95, 0.95};
constexpr Colour kSignal{0.12, 0.30, 0.62};
constexpr Colour kPeak{0.84, 0.15, 0.16};
constexpr Colour kThreshold{0.95, 0.55, 0.05};
constexpr Colour kWhite{1.0, 1.0, 1.0};

constexpr const char *kFontFamily = "DejaVu Sans";
constexpr double kHeadlineSize = 20.0;
constexpr double kTextSize = 12.5;
constexpr double kSmallSize = 11.0;
constexpr double kPeakRadius = 4.0;

enum class Align { Left, Centre, Right };

using CairoSurface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using CairoContext = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

void SetColour(cairo_t *cr, const Colour &colour)
{
    cairo_set_source_rgb(cr, colour.red, colour.green, colour.blue);
}

void SetFont(cairo_t *cr, double size, bool bold = false, bool italic = false)
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

// Text with its baseline at y, placed by `align` against x.
void DrawText(cairo_t *cr, const std::string &text, double x, double y, Align align)
{
    const double width = TextWidth(cr, text);
    const double left = align == Align::Left ? x : align == Align::Centre ? x - width / 2.0 : x - width;
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, text.c_str());
}

// Text on a white box, so that it stays readable over the signal.
void DrawLabel(cairo_t *cr, const std::string &text, double x, double y, Align align)
{
    const double width = TextWidth(cr, text);
    const double left = align == Align::Left ? x : align == Align::Centre ? x - width / 2.0 : x - width;
    cairo_save(cr);
    SetColour(cr, kWhite);
    cairo_rectangle(cr, left - 2.0, y - 11.0, width + 4.0, 14.0);
    cairo_fill(cr);
    cairo_restore(cr);
    DrawText(cr, text, x, y, align);
}

void Line(cairo_t *cr, double x0, double y0, double x1, double y1)
{
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

void DrawTitleBlock(cairo_t *cr, const Figure &figure)
{
    SetColour(cr, kInk);
    SetFont(cr, kHeadlineSize, true);
    DrawText(cr, figure.headline, 20.0, 32.0, Align::Left);
    SetFont(cr, kTextSize);
    double y = 50.0 + kTextSize;
    for (const std::string &line : figure.titleLines) {
        DrawText(cr, line, 20.0, y, Align::Left);
        y += 19.0;
    }
}

void DrawGrid(cairo_t *cr, const Figure &figure, const Rect &frame)
{
    SetColour(cr, kGrid);
    cairo_set_line_width(cr, 1.0);
    for (const AxisTick &tick : figure.ticks) {
        Line(cr, tick.x, frame.y, tick.x, frame.y + frame.height);
    }
}

void DrawSignal(cairo_t *cr, const Figure &figure, const Panel &panel)
{
    cairo_save(cr);
    cairo_rectangle(cr, panel.frame.x, panel.frame.y, panel.frame.width, panel.frame.height);
    cairo_clip(cr);
    SetColour(cr, kSignal);
    cairo_set_line_width(cr, 1.1);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (std::size_t n = 0; n < panel.samples.size(); ++n) {
        const double x = figure.XOf(static_cast<double>(n));
        const double y = panel.YOf(panel.samples[n]);
        if (n == 0) {
            cairo_move_to(cr, x, y);
        } else {
            cairo_line_to(cr, x, y);
        }
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

// The smallest and largest value of the signal, on the left edge.
void DrawValueScale(cairo_t *cr, const Panel &panel)
{
    const auto [low, high] = std::minmax_element(panel.samples.begin(), panel.samples.end());
    SetFont(cr, kSmallSize);
    SetColour(cr, kMuted);
    cairo_set_line_width(cr, 1.0);
    for (const std::uint16_t value : {*low, *high}) {
        const double y = panel.YOf(value);
        Line(cr, panel.frame.x - 5.0, y, panel.frame.x, y);
        DrawText(cr, std::to_string(value), panel.frame.x - 8.0, y + 4.0, Align::Right);
    }
}

void DrawThreshold(cairo_t *cr, const Panel &panel)
{
    if (!panel.thresholdLevel) {
        return;
    }
    const double dashes[] = {6.0, 4.0};
    cairo_save(cr);
    SetColour(cr, kThreshold);
    cairo_set_line_width(cr, 1.3);
    cairo_set_dash(cr, dashes, 2, 0.0);
    const double y = panel.YOf(*panel.thresholdLevel);
    Line(cr, panel.frame.x, y, panel.frame.x + panel.frame.width, y);
    cairo_restore(cr);
}

void DrawPeaks(cairo_t *cr, const Panel &panel)
{
    SetFont(cr, kSmallSize, true);
    cairo_set_line_width(cr, 1.5);
    for (const PeakMarker &peak : panel.peaks) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, peak.x, peak.y, kPeakRadius, 0.0, 2.0 * std::numbers::pi);
        SetColour(cr, peak.counted ? kPeak : kWhite);
        cairo_fill_preserve(cr);
        SetColour(cr, kPeak);
        cairo_stroke(cr);
        DrawText(cr, std::to_string(peak.number), peak.x, peak.y - 8.0, Align::Centre);
    }
}

void DrawBeats(cairo_t *cr, const Panel &panel)
{
    const double dashes[] = {3.0, 3.0};
    const double bottom = panel.frame.y + panel.frame.height;
    SetFont(cr, kSmallSize, true);
    for (const BeatMarker &beat : panel.beats) {
        cairo_save(cr);
        SetColour(cr, kPeak);
        cairo_set_line_width(cr, 1.0);
        cairo_set_dash(cr, dashes, 2, 0.0);
        Line(cr, beat.x, panel.frame.y, beat.x, bottom - 14.0);
        cairo_restore(cr);
        SetColour(cr, kPeak);
        DrawText(cr, std::to_string(beat.number), beat.x, bottom - 3.0, Align::Centre);
    }
}

// Title on the left and legend on the right of the band above the frame; a
// stage that did not run says so inside its strip.
void DrawPanelText(cairo_t *cr, const Panel &panel)
{
    const Rect &frame = panel.frame;
    if (panel.kind == PanelKind::NotRun) {
        SetColour(cr, kMuted);
        SetFont(cr, kTextSize, false, true);
        DrawText(cr, panel.title + ": " + panel.note, frame.x + 8.0, frame.y + frame.height / 2.0 + 4.5, Align::Left);
        return;
    }
    const double baseline = frame.y - 6.0;
    SetColour(cr, kInk);
    SetFont(cr, kTextSize, true);
    DrawText(cr, panel.title, frame.x, baseline, Align::Left);
    std::string legend;
    for (const std::string &entry : panel.legend) {
        legend += (legend.empty() ? "" : "      ") + entry;
    }
    SetFont(cr, kSmallSize);
    DrawText(cr, legend, frame.x + frame.width, baseline, Align::Right);
    if (!panel.note.empty()) {
        SetColour(cr, kMuted);
        SetFont(cr, 16.0, false, true);
        DrawLabel(cr, panel.note, frame.x + frame.width / 2.0, frame.y + frame.height / 2.0, Align::Centre);
    }
}

void DrawPanel(cairo_t *cr, const Figure &figure, const Panel &panel)
{
    const Rect &frame = panel.frame;
    if (panel.kind == PanelKind::NotRun) {
        SetColour(cr, kNotRunFill);
        cairo_rectangle(cr, frame.x, frame.y, frame.width, frame.height);
        cairo_fill(cr);
    } else {
        DrawGrid(cr, figure, frame);
        DrawSignal(cr, figure, panel);
        DrawValueScale(cr, panel);
        DrawThreshold(cr, panel);
        DrawBeats(cr, panel);
        DrawPeaks(cr, panel);
    }
    SetColour(cr, kFrame);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, frame.x, frame.y, frame.width, frame.height);
    cairo_stroke(cr);
    DrawPanelText(cr, panel);
}

// Below the last panel: one row of seconds (when known) and one of sample
// indices, with their captions on the left.
void DrawAxis(cairo_t *cr, const Figure &figure)
{
    const Rect &last = figure.panels.back().frame;
    const double bottom = last.y + last.height;
    const bool timeKnown = !figure.ticks.empty() && !figure.ticks.front().seconds.empty();
    const double sampleRow = timeKnown ? bottom + 34.0 : bottom + 18.0;
    SetColour(cr, kMuted);
    SetFont(cr, kSmallSize);
    cairo_set_line_width(cr, 1.0);
    for (const AxisTick &tick : figure.ticks) {
        Line(cr, tick.x, bottom, tick.x, bottom + 5.0);
        if (timeKnown) {
            SetColour(cr, kInk);
            DrawText(cr, tick.seconds, tick.x, bottom + 18.0, Align::Centre);
            SetColour(cr, kMuted);
        }
        DrawText(cr, tick.sample, tick.x, sampleRow, Align::Centre);
    }
    if (timeKnown) {
        SetColour(cr, kInk);
        DrawText(cr, "time (s)", figure.plotLeft - 10.0, bottom + 18.0, Align::Right);
        SetColour(cr, kMuted);
    }
    DrawText(cr, "sample", figure.plotLeft - 10.0, sampleRow, Align::Right);
}

void DrawFigure(cairo_t *cr, const Figure &figure)
{
    SetColour(cr, kWhite);
    cairo_paint(cr);
    DrawTitleBlock(cr, figure);
    for (const Panel &panel : figure.panels) {
        DrawPanel(cr, figure, panel);
    }
    DrawAxis(cr, figure);
}

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

void Draw(cairo_surface_t *surface, const Figure &figure, const char *what)
{
    const CairoContext cr(cairo_create(surface), cairo_destroy);
    DrawFigure(cr.get(), figure);
    Check(cairo_status(cr.get()), what);
}

std::vector<std::uint8_t> RenderSvg(const Figure &figure)
{
    std::vector<std::uint8_t> bytes;
    const CairoSurface surface(
        cairo_svg_surface_create_for_stream(AppendBytes, &bytes, figure.width, std::ceil(figure.height)),
        cairo_surface_destroy);
    Check(cairo_surface_status(surface.get()), "SVG");
    cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
    Draw(surface.get(), figure, "SVG");
    cairo_surface_finish(surface.get());
    Check(cairo_surface_status(surface.get()), "SVG");
    return bytes;
}

std::vector<std::uint8_t> RenderPng(const Figure &figure)
{
    const CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(figure.width),
                                                          static_cast<int>(std::ceil(figure.height))),
                               cairo_surface_destroy);
    Check(cairo_surface_status(surface.get()), "PNG");
    Draw(surface.get(), figure, "PNG");
    std::vector<std::uint8_t> bytes;
    Check(cairo_surface_write_to_png_stream(surface.get(), AppendBytes, &bytes), "PNG");
    return bytes;
}

std::filesystem::path WithSuffix(std::filesystem::path path, const char *suffix)
{
    path += suffix;
    return path;
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

RenderedFigure RenderFigure(const Figure &figure)
{
    const FontCacheRelease release;  // destroyed after both surfaces
    return {RenderSvg(figure), RenderPng(figure)};
}

void WriteFigureFiles(const std::filesystem::path &base, const RenderedFigure &rendered)
{
    const std::filesystem::path svg = WithSuffix(base, ".svg");
    WriteBytesAtomically(svg, rendered.svg);
    try {
        WriteBytesAtomically(WithSuffix(base, ".png"), rendered.png);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(svg, ignored);
        throw;
    }
}

}  // namespace qzkit
