// SPDX-License-Identifier: Apache-2.0
// The front's picture: every scored point on the two main objectives (the
// battery's cases against the training windows within tolerance, or the
// two best measured of those and the QI 0 answers), the Pareto set joined,
// the starting and the chosen set marked.
#include <algorithm>
#include <cmath>
#include <limits>

#include "io/TextFormat.h"
#include "plot/CairoDrawing.h"
#include "plot/ScaleTicks.h"
#include "tune/TuneReport.h"

namespace qzkit {
namespace {

constexpr double kWidth = 760.0;
constexpr double kHeight = 560.0;
constexpr double kLeft = 80.0;
constexpr double kRight = 30.0;
constexpr double kTop = 70.0;
constexpr double kBottom = 60.0;
constexpr double kDot = 3.0;
constexpr double kMark = 7.0;
constexpr std::size_t kTicks = 5;
constexpr Colour kPoint{0.72, 0.72, 0.72};

struct Axes {
    std::string_view x;
    std::string_view y;
};

Axes ChooseAxes(const TuneScores &scores)
{
    const std::vector<std::string_view> objectives = ActiveObjectives(scores);
    if (objectives.size() >= 2) {
        return {objectives[0], objectives[1]};
    }
    return {objectives.empty() ? "runs" : objectives[0], "runs"};
}

const Measure &MeasureOf(std::string_view name)
{
    return *std::find_if(Measures().begin(), Measures().end(),
                         [name](const Measure &measure) { return measure.name == name; });
}

struct Scale {
    double low;
    double high;

    double At(double value, double from, double to) const
    {
        return from + (to - from) * (high > low ? (value - low) / (high - low) : 0.5);
    }
};

Scale ScaleOf(const TuneResult &result, std::string_view name)
{
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    for (const Evaluated &point : result.log.evaluated) {
        const double value = MeasureValue(point.scores, name).value_or(0.0);
        low = std::min(low, value);
        high = std::max(high, value);
    }
    const double margin = std::max(0.5, (high - low) * 0.05);
    return {low - margin, high + margin};
}

void DrawAxes(cairo_t *cr, const Scale &x, const Scale &y, const Axes &axes)
{
    SetFont(cr, kSmallSize);
    for (const ScaleTick &tick : ScaleTicks(x.low, x.high, kTicks, MeasureOf(axes.x).count)) {
        const double px = x.At(tick.value, kLeft, kWidth - kRight);
        SetColour(cr, kGrid);
        Line(cr, px, kTop, px, kHeight - kBottom);
        SetColour(cr, kMuted);
        DrawText(cr, tick.label, px, kHeight - kBottom + 16.0, Align::Centre);
    }
    for (const ScaleTick &tick : ScaleTicks(y.low, y.high, kTicks, MeasureOf(axes.y).count)) {
        const double py = y.At(tick.value, kHeight - kBottom, kTop);
        SetColour(cr, kGrid);
        Line(cr, kLeft, py, kWidth - kRight, py);
        SetColour(cr, kMuted);
        DrawText(cr, tick.label, kLeft - 6.0, py + 4.0, Align::Right);
    }
    SetColour(cr, kInk);
    SetFont(cr, kTextSize);
    DrawText(cr, MeasureOf(axes.x).title, (kLeft + kWidth - kRight) / 2.0, kHeight - 18.0, Align::Centre);
    cairo_save(cr);
    cairo_translate(cr, 22.0, (kTop + kHeight - kBottom) / 2.0);
    cairo_rotate(cr, -M_PI / 2.0);
    DrawText(cr, MeasureOf(axes.y).title, 0.0, 0.0, Align::Centre);
    cairo_restore(cr);
}

}  // namespace

RenderedFigure RenderFrontFigure(const TuneResult &result)
{
    const Axes axes = ChooseAxes(result.log.evaluated.at(result.chosen).scores);
    const Scale x = ScaleOf(result, axes.x);
    const Scale y = ScaleOf(result, axes.y);
    const auto place = [&](const TuneScores &scores, double &px, double &py) {
        px = x.At(MeasureValue(scores, axes.x).value_or(0.0), kLeft, kWidth - kRight);
        py = y.At(MeasureValue(scores, axes.y).value_or(0.0), kHeight - kBottom, kTop);
    };
    return RenderDrawing(kWidth, kHeight, [&](cairo_t *cr) {
        SetColour(cr, kInk);
        SetFont(cr, kHeadlineSize, true);
        DrawText(cr, "Constants search", kLeft, 32.0, Align::Left);
        SetFont(cr, kSmallSize);
        SetColour(cr, kMuted);
        DrawText(cr,
                 Format("%zu points (grey), Pareto set (blue), chosen (red)%s", result.log.evaluated.size(),
                        result.start ? ", start (ring)" : ""),
                 kLeft, 52.0, Align::Left);
        DrawAxes(cr, x, y, axes);
        double px = 0.0;
        double py = 0.0;
        SetColour(cr, kPoint);
        for (const Evaluated &point : result.log.evaluated) {
            place(point.scores, px, py);
            cairo_arc(cr, px, py, kDot, 0.0, 2.0 * M_PI);
            cairo_fill(cr);
        }
        SetColour(cr, kSignal);
        for (const std::size_t index : result.front) {
            place(result.log.evaluated[index].scores, px, py);
            cairo_arc(cr, px, py, kDot + 1.0, 0.0, 2.0 * M_PI);
            cairo_fill(cr);
        }
        SetColour(cr, kAlert);
        place(result.log.evaluated.at(result.chosen).scores, px, py);
        cairo_arc(cr, px, py, kMark - 2.0, 0.0, 2.0 * M_PI);
        cairo_fill(cr);
        if (result.start) {
            SetColour(cr, kInk);
            place(result.start->scores, px, py);
            cairo_arc(cr, px, py, kMark, 0.0, 2.0 * M_PI);
            cairo_stroke(cr);
        }
    });
}

}  // namespace qzkit
