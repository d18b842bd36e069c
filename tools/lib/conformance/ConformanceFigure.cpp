// SPDX-License-Identifier: Apache-2.0
#include "conformance/ConformanceFigure.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "io/TextFormat.h"
#include "plot/CairoDrawing.h"

namespace qzkit {
namespace {

constexpr std::size_t kColumns = 3;
constexpr double kMargin = 20.0;
constexpr double kHeaderHeight = 86.0;
constexpr double kPanelWidth = 400.0;
constexpr double kPanelHeight = 360.0;
constexpr double kTitleBand = 24.0;
constexpr double kStripHeight = 56.0;
constexpr double kStripLabel = 14.0;
constexpr double kAxisLeft = 44.0;
constexpr double kAxisBottom = 34.0;
constexpr double kMaxBpm = 260.0;
constexpr double kBandStep = 5.0;   // bpm between the points of the tolerance band
constexpr double kGridStep = 60.0;  // bpm between grid lines
constexpr double kStripSeconds = 3.0;
constexpr Colour kBand{0.86, 0.93, 0.86};
constexpr Colour kPass{0.12, 0.30, 0.62};
constexpr Colour kDisclosed{0.95, 0.55, 0.05};

struct Frame {
    double x;
    double y;
    double width;
    double height;

    double XOf(double bpm) const { return x + width * std::clamp(bpm, 0.0, kMaxBpm) / kMaxBpm; }
    double YOf(double bpm) const { return y + height - height * std::clamp(bpm, 0.0, kMaxBpm) / kMaxBpm; }
};

std::vector<const BatteryRun *> RunsOf(const std::vector<BatteryRun> &runs, const std::string &family)
{
    std::vector<const BatteryRun *> chosen;
    for (const BatteryRun &run : runs) {
        if (run.testCase->family == family) {
            chosen.push_back(&run);
        }
    }
    return chosen;
}

// The band of readings within tolerance of the expected rate.
void DrawBand(cairo_t *cr, const Frame &frame)
{
    SetColour(cr, kBand);
    cairo_move_to(cr, frame.XOf(0.0), frame.YOf(0.0));
    const int steps = static_cast<int>(kMaxBpm / kBandStep);
    for (int step = 0; step <= steps; ++step) {
        const double bpm = kBandStep * step;
        cairo_line_to(cr, frame.XOf(bpm), frame.YOf(bpm + RateTolerance(bpm)));
    }
    for (int step = steps; step >= 0; --step) {
        const double bpm = kBandStep * step;
        cairo_line_to(cr, frame.XOf(bpm), frame.YOf(bpm - RateTolerance(bpm)));
    }
    cairo_close_path(cr);
    cairo_fill(cr);
}

void DrawAxes(cairo_t *cr, const Frame &frame)
{
    SetFont(cr, kSmallSize);
    cairo_set_line_width(cr, 1.0);
    for (int line = 0; line <= static_cast<int>(kMaxBpm / kGridStep); ++line) {
        const double bpm = kGridStep * line;
        SetColour(cr, kGrid);
        Line(cr, frame.XOf(bpm), frame.y, frame.XOf(bpm), frame.y + frame.height);
        Line(cr, frame.x, frame.YOf(bpm), frame.x + frame.width, frame.YOf(bpm));
        SetColour(cr, kMuted);
        const std::string label = bpm == 0.0 ? "none" : Format("%.0f", bpm);
        DrawText(cr, label, frame.XOf(bpm), frame.y + frame.height + 14.0, Align::Centre);
        DrawText(cr, label, frame.x - 5.0, frame.YOf(bpm) + 4.0, Align::Right);
    }
    DrawText(cr, "expected BPM", frame.x + frame.width / 2.0, frame.y + frame.height + 28.0, Align::Centre);
    SetColour(cr, kFrame);
    cairo_rectangle(cr, frame.x, frame.y, frame.width, frame.height);
    cairo_stroke(cr);
}

// A filled dot for a reading that passes, a cross for a failure, a diamond
// for a disclosed reading; hollow when the reading carries QI 3.
void DrawRun(cairo_t *cr, const Frame &frame, const BatteryRun &run)
{
    const double x = frame.XOf(run.expectedBpm.value_or(0.0));
    const double y = frame.YOf(run.estimate.qi >= kNoRateQi ? 0.0 : run.estimate.bpm);
    cairo_set_line_width(cr, 1.6);
    if (run.verdict == Verdict::Fail) {
        SetColour(cr, kAlert);
        Line(cr, x - 4.5, y - 4.5, x + 4.5, y + 4.5);
        Line(cr, x - 4.5, y + 4.5, x + 4.5, y - 4.5);
        return;
    }
    SetColour(cr, run.verdict == Verdict::Pass ? kPass : kDisclosed);
    if (run.verdict == Verdict::Disclosed) {
        cairo_move_to(cr, x, y - 5.0);
        cairo_line_to(cr, x + 5.0, y);
        cairo_line_to(cr, x, y + 5.0);
        cairo_line_to(cr, x - 5.0, y);
        cairo_close_path(cr);
    } else {
        cairo_new_sub_path(cr);
        cairo_arc(cr, x, y, 3.5, 0.0, 2.0 * std::numbers::pi);
    }
    if (run.estimate.qi >= kNoRateQi) {
        cairo_stroke(cr);
    } else {
        cairo_fill(cr);
    }
}

// The first seconds of a case (the family's first failing one, or its first),
// at its first phase, as the estimator got them.
void DrawStrip(cairo_t *cr, const BatteryOptions &options, const BatteryRun &run, double x, double y, double width)
{
    const std::vector<std::uint16_t> samples = BatteryRecording(options, *run.testCase, run.length, 0);
    const std::size_t shown =
        std::min(samples.size(), static_cast<std::size_t>(kStripSeconds * ConstantsRate(options.constants)));
    const auto [low, high] = std::minmax_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(shown));
    const double span = std::max(1.0, static_cast<double>(*high - *low));
    SetColour(cr, kSignal);
    cairo_set_line_width(cr, 1.0);
    for (std::size_t n = 0; n < shown; ++n) {
        const double px = x + width * static_cast<double>(n) / static_cast<double>(shown);
        const double py = y + kStripHeight - 2.0 - (kStripHeight - kStripLabel - 4.0) * (samples[n] - *low) / span;
        n == 0 ? cairo_move_to(cr, px, py) : cairo_line_to(cr, px, py);
    }
    cairo_stroke(cr);
    SetColour(cr, kMuted);
    SetFont(cr, kSmallSize, false, true);
    DrawText(cr, run.testCase->name + ", first 3 s", x + width, y + 10.0, Align::Right);
}

void DrawPanel(cairo_t *cr, const BatteryOptions &options, const std::string &family,
               const std::vector<const BatteryRun *> &runs, double x, double y)
{
    std::size_t failed = 0;
    for (const BatteryRun *run : runs) {
        failed += run->verdict == Verdict::Fail ? 1u : 0u;
    }
    SetColour(cr, failed == 0 ? kInk : kAlert);
    SetFont(cr, kTextSize, true);
    DrawText(cr, family, x + kAxisLeft, y + 16.0, Align::Left);
    SetFont(cr, kSmallSize);
    DrawText(cr, Format("%zu of %zu runs fail", failed, runs.size()), x + kPanelWidth - 10.0, y + 16.0, Align::Right);
    const auto firstFailure = std::find_if(runs.begin(), runs.end(),
                                           [](const BatteryRun *run) { return run->verdict == Verdict::Fail; });
    const BatteryRun &shown = **(firstFailure != runs.end() ? firstFailure : runs.begin());
    DrawStrip(cr, options, shown, x + kAxisLeft, y + kTitleBand, kPanelWidth - kAxisLeft - 10.0);
    const double top = y + kTitleBand + kStripHeight + 6.0;
    const Frame frame{x + kAxisLeft, top, kPanelWidth - kAxisLeft - 10.0, kPanelHeight - (top - y) - kAxisBottom};
    cairo_save(cr);
    DrawBand(cr, frame);
    cairo_restore(cr);
    DrawAxes(cr, frame);
    for (const BatteryRun *run : runs) {
        DrawRun(cr, frame, *run);
    }
}

void DrawHeader(cairo_t *cr, const std::string &title, const std::vector<BatteryRun> &runs)
{
    std::size_t failed = 0;
    for (const BatteryRun &run : runs) {
        failed += run.verdict == Verdict::Fail ? 1u : 0u;
    }
    SetColour(cr, kInk);
    SetFont(cr, kHeadlineSize, true);
    DrawText(cr, "Heart-rate-meter test battery: " + Format("%zu of %zu runs fail", failed, runs.size()), kMargin,
             32.0, Align::Left);
    SetFont(cr, kTextSize);
    DrawText(cr, title, kMargin, 54.0, Align::Left);
    SetColour(cr, kMuted);
    DrawText(cr,
             "Reported against expected rate; green: within the larger of 5 BPM and 10 %. Dot: pass, cross: fail, "
             "diamond: disclosed; hollow: QI 3 (no rate), shown at 0.",
             kMargin, 74.0, Align::Left);
}

}  // namespace

RenderedFigure RenderConformanceFigure(const BatteryOptions &options, const std::vector<BatteryRun> &runs,
                                       const std::string &title)
{
    std::vector<std::string> families;
    for (const std::string &family : options.families) {
        if (!RunsOf(runs, family).empty()) {
            families.push_back(family);
        }
    }
    const std::size_t columns = std::clamp<std::size_t>(families.size(), 1u, kColumns);
    const std::size_t rows = std::max<std::size_t>(1u, (families.size() + columns - 1u) / columns);
    const double width = std::max(2.0 * kMargin + static_cast<double>(columns) * kPanelWidth, 1000.0);
    const double height = kHeaderHeight + static_cast<double>(rows) * kPanelHeight + kMargin;
    return RenderDrawing(width, height, [&](cairo_t *cr) {
        DrawHeader(cr, title, runs);
        for (std::size_t i = 0; i < families.size(); ++i) {
            const double x = kMargin + static_cast<double>(i % columns) * kPanelWidth;
            const std::size_t row = i / columns;
            const double y = kHeaderHeight + static_cast<double>(row) * kPanelHeight;
            DrawPanel(cr, options, families[i], RunsOf(runs, families[i]), x, y);
        }
    });
}

}  // namespace qzkit
