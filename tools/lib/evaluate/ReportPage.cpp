// SPDX-License-Identifier: Apache-2.0
#include "evaluate/ReportPage.h"

#include "evaluate/ReportCharts.h"
#include "evaluate/SummaryTable.h"
#include "evaluate/WorstWindows.h"
#include "io/TextFormat.h"
#include "score/BeatMatch.h"

namespace qzkit {
namespace {

constexpr double kHistogramRange = 15.0;  // BPM either side

const char *const kStyle =
    "body{font-family:sans-serif;margin:24px;color:#222;max-width:1500px}"
    "table{border-collapse:collapse;margin:8px 0 16px}"
    "th,td{border:1px solid #bbb;padding:3px 8px;text-align:right;font-size:13px}"
    "th:first-child,td:first-child{text-align:left}"
    "th{background:#eee}"
    "figure{display:inline-block;margin:8px;vertical-align:top}"
    "figure.run{display:block;margin:16px 0;border-top:1px solid #bbb}"
    "figcaption{font-size:13px;margin:4px 0}"
    ".swatch{display:inline-block;width:12px;height:12px;margin-right:6px}";

using Table = std::vector<std::vector<std::string>>;

std::string Element(const std::string &tag, const std::string &content, const std::string &attributes = "")
{
    return "<" + tag + (attributes.empty() ? "" : " " + attributes) + ">" + content + "</" + tag + ">";
}

std::string HtmlTable(const std::vector<std::string> &header, const Table &rows, const std::string &id)
{
    std::string head;
    for (const std::string &cell : header) {
        head += Element("th", EscapeMarkup(cell));
    }
    std::string body = Element("tr", head);
    for (const auto &row : rows) {
        std::string cells;
        for (const std::string &cell : row) {
            cells += Element("td", EscapeMarkup(cell));
        }
        body += Element("tr", cells);
    }
    return Element("table", body, "id=\"" + id + "\"");
}

std::string Figure(const std::string &svg, const std::string &caption, const std::string &attributes = "")
{
    return Element("figure", svg + Element("figcaption", caption), attributes);
}

std::vector<std::string> CombinationHeader(const EvaluateReport &report, const std::string &first)
{
    std::vector<std::string> header{first};
    for (const CombinationResult &combination : report.combinations) {
        header.push_back(combination.combination.Label());
    }
    return header;
}

std::string DataSection(const EvaluateReport &report, const EvaluateOptions &options)
{
    std::string items;
    for (std::size_t r = 0; r < report.records.size(); ++r) {
        items += Element("li", "record " + EscapeMarkup(report.records[r]) + ": windows of " +
                                   EscapeMarkup(options.manifests[r].string()) + ", reference " +
                                   EscapeMarkup(report.references[r]));
    }
    std::string text = Element("ul", items);
    text += Element("p", std::to_string(report.windows) + " windows per combination, " +
                             std::to_string(report.combinations.size()) + " combinations; reference beats " +
                             std::to_string(report.referenceBeats) + ", inside the windows " +
                             std::to_string(report.beatsInWindows) + ".");
    text += Element("p",
                    "Reference rule: the reference rate of a window is 60 / mean RR of the reference beats at "
                    "start &le; t &lt; start + length (at least two). An answer is a window reported with QI 0-" +
                        std::to_string(kNoRateQi - 1) + "; it agrees within the larger of &plusmn;" +
                        ToleranceBpmText() + " and &plusmn;" + ToleranceFractionText() +
                        " of the reference. Beat by beat, the stored peak locations, moved back onto the recording "
                        "by the stage delays, are matched one-to-one with the reference beats inside the window "
                        "within &plusmn;" +
                        MatchToleranceText() + "; windows with more peaks than the " + std::to_string(kStoredPeaks) +
                        " stored are scored up to the last stored one.");
    return Element("h2", "Data") + text;
}

std::string SettingsSection(const EvaluateReport &report)
{
    Table rows;
    std::string legend;
    for (std::size_t c = 0; c < report.combinations.size(); ++c) {
        const Combination &combination = report.combinations[c].combination;
        const qz::run_settings_struct &s = combination.settings;
        rows.push_back({std::to_string(c + 1), combination.constants.string(), std::to_string(s.StageMask),
                        std::to_string(s.PeakDetection), std::to_string(s.BeatMethod),
                        std::to_string(s.DerivativeOrder)});
        legend += "<span class=\"swatch\" style=\"background:" + SeriesColour(c) + "\"></span>" +
                  EscapeMarkup(combination.Label()) + " &nbsp; ";
    }
    return Element("h2", "Settings") +
           HtmlTable({"#", "constants", "MASK", "PEAK", "BEAT", "DERIV"}, rows, "settings") + Element("p", legend);
}

std::string SummarySection(const EvaluateReport &report)
{
    Table rows;
    for (const SummaryRow &row : SummaryRows(report)) {
        rows.push_back({row.label});
        rows.back().insert(rows.back().end(), row.cells.begin(), row.cells.end());
    }
    std::string text = Element("h2", "Summary") + HtmlTable(CombinationHeader(report, "figure"), rows, "summary");
    text += Element("h2", "QI against error");
    for (std::size_t c = 0; c < report.combinations.size(); ++c) {
        const CombinationResult &combination = report.combinations[c];
        text += Element("h3", EscapeMarkup(combination.combination.Label()));
        text += HtmlTable({"QI", "windows", "within " + ToleranceBpmText(), "share %",
                           "within " + ToleranceFractionText() + " share", "MAE"},
                          QiTable(combination.summary), "qi-" + std::to_string(c + 1));
    }
    return text;
}

std::string ChartsSection(const EvaluateReport &report)
{
    std::string figures;
    std::vector<CoverageCurve> curves;
    for (const CombinationResult &combination : report.combinations) {
        std::vector<RatePair> pairs;
        std::vector<double> errors;
        for (const WindowResult &result : combination.results) {
            if (result.Answered() && result.Error()) {
                pairs.push_back({static_cast<double>(result.estimate.bpm), *result.reference.bpm});
                errors.push_back(*result.Error());
            }
        }
        const std::string label = combination.combination.Label();
        figures += Figure(BlandAltmanSvg(pairs, combination.summary.agreement, "Bland-Altman: " + label),
                          "Answers (" + AnswerQiText() + ") of " + EscapeMarkup(label) + ": bias and 95 % limits of agreement",
                          "class=\"chart\"");
        figures += Figure(ErrorHistogramSvg(errors, kHistogramRange, "Error histogram: " + label),
                          "Errors of the answers of " + EscapeMarkup(label), "class=\"chart\"");
        CoverageCurve curve{label, {}, {}};
        for (std::uint16_t cutoff = 0; cutoff < kNoRateQi; ++cutoff) {
            const QiRow upTo = combination.summary.UpTo(cutoff);
            curve.coverage.push_back(100.0 * EvaluationSummary::Ratio(upTo.windows, combination.summary.withReference));
            curve.accuracy.push_back(100.0 * EvaluationSummary::Ratio(upTo.withinBpm, upTo.windows));
        }
        curves.push_back(curve);
    }
    figures += Figure(CoverageAccuracySvg(curves),
                      "Share of windows answered at each QI cut-off, and the share of those within &plusmn;" +
                          ToleranceBpmText() + "; "
                      "colours as in the settings legend",
                      "class=\"chart\"");
    return Element("h2", "Agreement") + figures;
}

// A beat score in percent for a column headed "%".
std::string ScoreNumber(std::optional<double> ratio)
{
    return ratio ? Format("%.2f", 100.0 * *ratio) : kNotScored;
}

std::string RecordsSection(const EvaluateReport &report)
{
    Table rows;
    for (std::size_t r = 0; r < report.records.size(); ++r) {
        for (const CombinationResult &combination : report.combinations) {
            const EvaluationSummary &s = combination.byRecord[r];
            rows.push_back({report.records[r], combination.combination.Label(), std::to_string(s.windows),
                            CountShare(s.answered, s.withReference), CountShare(s.withinBpm, s.answered),
                            Format("%.2f", s.MeanAbsoluteError()), std::to_string(s.beats.truePositives),
                            std::to_string(s.beats.falseNegatives), std::to_string(s.beats.falsePositives),
                            ScoreNumber(s.beats.Sensitivity()), ScoreNumber(s.beats.PositivePredictivity()),
                            std::to_string(s.truncatedWindows)});
        }
    }
    return Element("h2", "Records") +
           HtmlTable({"record", "settings", "windows", "answered", "within " + ToleranceBpmText(), "MAE", "TP", "FN",
                      "FP", "Se %", "+P %", "over " + std::to_string(kStoredPeaks) + " peaks"},
                     rows, "records");
}

std::string WorstSection(const EvaluateReport &report, const EvaluateOptions &options)
{
    const std::vector<WindowPick> picks = WorstWindows(report, options.worst);
    if (picks.empty()) {
        return Element("h2", "Worst windows") + Element("p", "No window to show.");
    }
    std::string figures;
    for (std::size_t i = 0; i < picks.size(); ++i) {
        const CombinationResult &combination = report.combinations[picks[i].combination];
        const WindowResult &result = combination.results[picks[i].window];
        const std::string caption =
            std::to_string(i + 1) + ". " + EscapeMarkup(report.records[result.record] + " " + result.window.file) +
            Format(" at %.1f s", result.window.StartTime()) + ", " + EscapeMarkup(combination.combination.Label()) +
            ": reported " + std::to_string(result.estimate.bpm) + " BPM with QI " + std::to_string(result.estimate.qi) +
            Format(", reference %.1f BPM", *result.reference.bpm) + Format(", error %+.1f BPM", *result.Error());
        const std::string idPrefix = Format("w%zu-", i + 1);
        figures += Figure(RunPictureSvg(report, options, picks[i], idPrefix), caption, "class=\"run\"");
    }
    return Element("h2", "Worst windows") + figures;
}

}  // namespace

std::string ReportPage(const EvaluateReport &report, const EvaluateOptions &options)
{
    std::string body = Element("h1", "Heart-rate evaluation");
    body += Element("p", "qzkit evaluate, qz_vozozi_DE version " QZ_VERSION_NUMBER);
    body += DataSection(report, options) + SettingsSection(report) + SummarySection(report) + ChartsSection(report) +
            RecordsSection(report) + WorstSection(report, options);
    body += Element("p", Format("Speed: %.0f windows per second of wall-clock time, %.0f per second of processor "
                                "time.",
                                report.windowsPerWallSecond, report.windowsPerSecond));
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Heart-rate evaluation</title>" +
           Element("style", kStyle) + "</head>" + Element("body", body) + "</html>\n";
}

}  // namespace qzkit
