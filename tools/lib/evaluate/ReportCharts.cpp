// SPDX-License-Identifier: Apache-2.0
#include "evaluate/ReportCharts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "io/TextFormat.h"
#include "score/BeatMatch.h"

namespace qzkit {
namespace {

constexpr double kWidth = 460.0;
constexpr double kHeight = 300.0;
constexpr double kLeft = 56.0;
constexpr double kRight = 16.0;
constexpr double kTop = 30.0;
constexpr double kBottom = 44.0;
constexpr int kTargetTicks = 6;

std::string Number(double value)
{
    return Format("%.4g", value);
}

std::string Attribute(double value)
{
    return Format("%.1f", value);
}

struct Range {
    double low;
    double high;
};

// A range widened to round tick steps, and the step.
double TickStep(Range range)
{
    const double raw = (range.high - range.low) / kTargetTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= raw) {
            return factor * magnitude;
        }
    }
    return 10.0 * magnitude;
}

Range Rounded(Range range)
{
    if (!(range.high > range.low)) {
        range = {range.low - 1.0, range.low + 1.0};
    }
    const double step = TickStep(range);
    return {std::floor(range.low / step) * step, std::ceil(range.high / step) * step};
}

// Axes with ticks and labels; maps data to picture coordinates.
class Chart {
public:
    Chart(Range x, Range y, const std::string &title, const std::string &xLabel, const std::string &yLabel)
        : x_(Rounded(x)), y_(Rounded(y)),
          svg_("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Attribute(kWidth) + "\" height=\"" +
               Attribute(kHeight) + "\" viewBox=\"0 0 " + Attribute(kWidth) + ' ' + Attribute(kHeight) +
               "\" font-family=\"sans-serif\" font-size=\"11\" role=\"img\">")
    {
        svg_ += "<title>" + EscapeMarkup(title) + "</title>";
        Text(kWidth / 2.0, 16.0, EscapeMarkup(title), "middle", "font-weight=\"bold\"");
        Text((kLeft + kWidth - kRight) / 2.0, kHeight - 8.0, xLabel, "middle");
        svg_ += "<text transform=\"translate(14," + Attribute((kTop + kHeight - kBottom) / 2.0) +
                ") rotate(-90)\" text-anchor=\"middle\">" + yLabel + "</text>";
        Axes();
    }

    double X(double value) const { return kLeft + (value - x_.low) / (x_.high - x_.low) * (kWidth - kLeft - kRight); }
    double Y(double value) const
    {
        return kHeight - kBottom - (value - y_.low) / (y_.high - y_.low) * (kHeight - kTop - kBottom);
    }
    Range XRange() const { return x_; }

    void Line(double x1, double y1, double x2, double y2, const std::string &style)
    {
        svg_ += "<line x1=\"" + Attribute(X(x1)) + "\" y1=\"" + Attribute(Y(y1)) + "\" x2=\"" + Attribute(X(x2)) +
                "\" y2=\"" + Attribute(Y(y2)) + "\" " + style + "/>";
    }
    void Dot(double x, double y, const std::string &colour)
    {
        svg_ += "<circle cx=\"" + Attribute(X(x)) + "\" cy=\"" + Attribute(Y(y)) + "\" r=\"2.5\" fill=\"" + colour +
                "\" fill-opacity=\"0.6\"/>";
    }
    void Bar(double x1, double x2, double height, const std::string &colour)
    {
        svg_ += "<rect x=\"" + Attribute(X(x1)) + "\" y=\"" + Attribute(Y(height)) + "\" width=\"" +
                Attribute(X(x2) - X(x1)) + "\" height=\"" + Attribute(Y(y_.low) - Y(height)) + "\" fill=\"" +
                colour + "\"/>";
    }
    // Text just above the point, to its right (or left, anchored at its end).
    void Label(double x, double y, const std::string &text, const char *anchor = "start")
    {
        const double shift = std::string_view(anchor) == "end" ? -4.0 : 4.0;
        Text(X(x) + shift, Y(y) - 3.0, text, anchor);
    }
    std::string Finish() { return svg_ + "</svg>"; }

private:
    void Text(double x, double y, const std::string &text, const char *anchor, const char *extra = "")
    {
        svg_ += "<text x=\"" + Attribute(x) + "\" y=\"" + Attribute(y) + "\" text-anchor=\"" + anchor + "\" " +
                extra + ">" + text + "</text>";
    }
    void Axes()
    {
        const std::string grid = "stroke=\"#ddd\"";
        // Ticks at summed steps, the positions the charts have always had.
        for (double v = x_.low, step = TickStep(x_); v <= x_.high + step / 2.0; v += step) {  // NOLINT(cert-flp30-c)
            Line(v, y_.low, v, y_.high, grid);
            Text(X(v), kHeight - kBottom + 14.0, Number(std::abs(v) < step / 2.0 ? 0.0 : v), "middle");
        }
        for (double v = y_.low, step = TickStep(y_); v <= y_.high + step / 2.0; v += step) {  // NOLINT(cert-flp30-c)
            Line(x_.low, v, x_.high, v, grid);
            Text(kLeft - 4.0, Y(v) + 4.0, Number(std::abs(v) < step / 2.0 ? 0.0 : v), "end");
        }
        svg_ += "<rect x=\"" + Attribute(kLeft) + "\" y=\"" + Attribute(kTop) + "\" width=\"" +
                Attribute(kWidth - kLeft - kRight) + "\" height=\"" + Attribute(kHeight - kTop - kBottom) +
                "\" fill=\"none\" stroke=\"#444\"/>";
    }

    Range x_;
    Range y_;
    std::string svg_;
};

}  // namespace

std::string SeriesColour(std::size_t index)
{
    static constexpr std::array<const char *, 6> kColours{"#1f77b4", "#d62728", "#2ca02c",
                                                           "#9467bd", "#ff7f0e", "#17becf"};
    return kColours[index % kColours.size()];
}

std::string BlandAltmanSvg(const std::vector<RatePair> &pairs, const RateAgreement &agreement,
                           const std::string &title)
{
    Range x{1e9, -1e9};
    Range y{std::min(agreement.lowerLimit, 0.0), std::max(agreement.upperLimit, 0.0)};
    for (const RatePair &pair : pairs) {
        const double mean = (pair.reported + pair.reference) / 2.0;
        x = {std::min(x.low, mean), std::max(x.high, mean)};
        y = {std::min(y.low, pair.reported - pair.reference), std::max(y.high, pair.reported - pair.reference)};
    }
    if (pairs.empty()) {
        x = {0.0, 1.0};
    }
    Chart chart(x, y, title, "mean of reported and reference (BPM)", "reported - reference (BPM)");
    for (const RatePair &pair : pairs) {
        chart.Dot((pair.reported + pair.reference) / 2.0, pair.reported - pair.reference, SeriesColour(0));
    }
    const Range span = chart.XRange();
    chart.Line(span.low, agreement.bias, span.high, agreement.bias, "stroke=\"#000\" stroke-width=\"1.5\"");
    for (const double limit : {agreement.lowerLimit, agreement.upperLimit}) {
        chart.Line(span.low, limit, span.high, limit, "stroke=\"#d62728\" stroke-dasharray=\"5 3\"");
        chart.Label(span.high, limit, Number(limit), "end");
    }
    chart.Label(span.low, agreement.bias, "bias " + Number(agreement.bias));
    return chart.Finish();
}

std::string ErrorHistogramSvg(const std::vector<double> &errors, double range, const std::string &title)
{
    const auto bins = static_cast<std::size_t>(2.0 * range + 1.0);
    std::vector<std::size_t> counts(bins, 0u);
    for (const double error : errors) {
        const double clamped = std::clamp(std::round(error), -range, range);
        ++counts[static_cast<std::size_t>(clamped + range)];
    }
    const std::size_t highest = counts.empty() ? 0u : *std::max_element(counts.begin(), counts.end());
    Chart chart({-range - 0.5, range + 0.5}, {0.0, static_cast<double>(std::max<std::size_t>(highest, 1u))}, title,
                "reported - reference (BPM, outer bins: beyond)", "windows");
    for (std::size_t i = 0; i < bins; ++i) {
        const double centre = static_cast<double>(i) - range;
        chart.Bar(centre - 0.4, centre + 0.4, static_cast<double>(counts[i]), SeriesColour(0));
    }
    return chart.Finish();
}

std::string CoverageAccuracySvg(const std::vector<CoverageCurve> &curves)
{
    Range x{100.0, 100.0};
    Range y{100.0, 100.0};
    for (const CoverageCurve &curve : curves) {
        for (std::size_t i = 0; i < curve.coverage.size(); ++i) {
            x.low = std::min(x.low, curve.coverage[i]);
            y.low = std::min(y.low, curve.accuracy[i]);
        }
    }
    Chart chart({x.low - 1.0, 100.0}, {y.low - 1.0, 100.0}, "Accuracy against coverage by QI cut-off",
                "windows answered (%)", "answers within +-" + ToleranceBpmText() + " (%)");
    for (std::size_t c = 0; c < curves.size(); ++c) {
        const CoverageCurve &curve = curves[c];
        const std::string colour = SeriesColour(c);
        for (std::size_t i = 0; i < curve.coverage.size(); ++i) {
            if (i > 0) {
                chart.Line(curve.coverage[i - 1], curve.accuracy[i - 1], curve.coverage[i], curve.accuracy[i],
                           "stroke=\"" + colour + "\" stroke-width=\"1.5\"");
            }
            chart.Dot(curve.coverage[i], curve.accuracy[i], colour);
            chart.Label(curve.coverage[i], curve.accuracy[i], "QI<=" + std::to_string(i), i == 0 ? "start" : "end");
        }
    }
    return chart.Finish();
}

}  // namespace qzkit
