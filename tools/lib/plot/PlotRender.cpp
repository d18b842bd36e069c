// SPDX-License-Identifier: Apache-2.0
#include "plot/PlotRender.h"

#include <algorithm>
#include <numbers>
#include <string>

#include "plot/CairoDrawing.h"

namespace qzkit {
namespace {

constexpr Colour kNotRunFill{0.95, 0.95, 0.95};
constexpr Colour kPeak = kAlert;
constexpr Colour kThreshold{0.95, 0.55, 0.05};
constexpr double kPeakRadius = 4.0;

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
    DrawTitleBlock(cr, figure);
    for (const Panel &panel : figure.panels) {
        DrawPanel(cr, figure, panel);
    }
    DrawAxis(cr, figure);
}

}  // namespace

RenderedFigure RenderFigure(const Figure &figure)
{
    return RenderDrawing(figure.width, figure.height, [&figure](cairo_t *cr) { DrawFigure(cr, figure); });
}

}  // namespace qzkit
