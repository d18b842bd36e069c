// SPDX-License-Identifier: Apache-2.0
#include "evaluate/SummaryTable.h"

#include <algorithm>
#include <functional>

#include "io/AtomicFile.h"
#include "io/TextFormat.h"

namespace qzkit {
namespace {

constexpr std::uint16_t kQiCutoffs[] = {0, 1, 2};

using Cell = std::function<std::string(const CombinationResult &)>;

void AddRow(std::vector<SummaryRow> &rows, const EvaluateReport &report, const std::string &label, const Cell &cell)
{
    SummaryRow row{label, {}};
    for (const CombinationResult &combination : report.combinations) {
        row.cells.push_back(cell(combination));
    }
    rows.push_back(std::move(row));
}

void AddAgreementRows(std::vector<SummaryRow> &rows, const EvaluateReport &report, const std::string &group,
                      RateAgreement EvaluationSummary::*member)
{
    const auto of = [member](const CombinationResult &c) -> const RateAgreement & { return c.summary.*member; };
    AddRow(rows, report, group + ": windows", [of](const auto &c) { return std::to_string(of(c).windows); });
    AddRow(rows, report, group + ": bias (BPM)", [of](const auto &c) { return Format("%+.2f", of(c).bias); });
    AddRow(rows, report, group + ": SD (BPM)", [of](const auto &c) { return Format("%.2f", of(c).sd); });
    AddRow(rows, report, group + ": 95 % limits (BPM)", [of](const auto &c) {
        return Format("%+.2f", of(c).lowerLimit) + " to " + Format("%+.2f", of(c).upperLimit);
    });
    AddRow(rows, report, group + ": MAE (BPM)", [of](const auto &c) { return Format("%.2f", of(c).meanAbsoluteError); });
    AddRow(rows, report, group + ": RMS error (BPM)", [of](const auto &c) { return Format("%.2f", of(c).rmsError); });
    AddRow(rows, report, group + ": MAPE", [of](const auto &c) { return Percent(of(c).meanAbsolutePercentError / 100.0); });
    AddRow(rows, report, group + ": within " + RateToleranceText(),
           [of](const auto &c) { return CountShare(of(c).withinTolerance, of(c).windows); });
}

void AddBeatRows(std::vector<SummaryRow> &rows, const EvaluateReport &report)
{
    const auto gross = [](const CombinationResult &c) -> const BeatCounts & { return c.summary.beats; };
    AddRow(rows, report, "beats: windows scored", [](const auto &c) { return std::to_string(c.summary.beatScoredWindows); });
    AddRow(rows, report, "beats: TP / FN / FP", [gross](const auto &c) {
        return std::to_string(gross(c).truePositives) + " / " + std::to_string(gross(c).falseNegatives) + " / " +
               std::to_string(gross(c).falsePositives);
    });
    AddRow(rows, report, "beats: Se gross", [gross](const auto &c) { return ScorePercent(gross(c).Sensitivity()); });
    AddRow(rows, report, "beats: +P gross",
           [gross](const auto &c) { return ScorePercent(gross(c).PositivePredictivity()); });
    AddRow(rows, report, "beats: Se average", [](const auto &c) { return ScorePercent(c.AverageSensitivity()); });
    AddRow(rows, report, "beats: +P average",
           [](const auto &c) { return ScorePercent(c.AveragePositivePredictivity()); });
    AddRow(rows, report, "beats: windows over " + std::to_string(kStoredPeaks) + " peaks",
           [](const auto &c) { return std::to_string(c.summary.truncatedWindows); });
}

std::string Pad(const std::string &text, std::size_t width)
{
    return text + std::string(width > text.size() ? width - text.size() : 0u, ' ');
}

std::string TableText(const std::vector<std::vector<std::string>> &lines)
{
    std::vector<std::size_t> widths;
    for (const auto &line : lines) {
        widths.resize(std::max(widths.size(), line.size()), 0u);
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    std::string text;
    for (const auto &line : lines) {
        std::string out;
        for (std::size_t i = 0; i < line.size(); ++i) {
            out += i + 1 == line.size() ? line[i] : Pad(line[i], widths[i] + 2u);
        }
        text += out + '\n';
    }
    return text;
}

}  // namespace

std::string ScorePercent(std::optional<double> ratio)
{
    return ratio ? Percent(*ratio) : kNotScored;
}

std::string CountShare(std::size_t part, std::size_t whole)
{
    return std::to_string(part) + " of " + std::to_string(whole) + " (" +
           Format("%.1f", 100.0 * EvaluationSummary::Ratio(part, whole)) + " %)";
}

std::vector<SummaryRow> SummaryRows(const EvaluateReport &report)
{
    std::vector<SummaryRow> rows;
    AddRow(rows, report, "windows", [](const auto &c) { return std::to_string(c.summary.windows); });
    AddRow(rows, report, "with a reference rate", [](const auto &c) { return std::to_string(c.summary.withReference); });
    AddRow(rows, report, "coverage (" + AnswerQiText() + ")",
           [](const auto &c) { return CountShare(c.summary.answered, c.summary.withReference); });
    AddRow(rows, report, "within +-" + ToleranceBpmText(), [](const auto &c) { return CountShare(c.summary.withinBpm, c.summary.answered); });
    AddRow(rows, report, "within +-" + ToleranceFractionText(),
           [](const auto &c) { return CountShare(c.summary.withinFraction, c.summary.answered); });
    AddRow(rows, report, "mean absolute error", [](const auto &c) { return Format("%.2f", c.summary.MeanAbsoluteError()); });
    AddAgreementRows(rows, report, AnswerQiText(), &EvaluationSummary::agreement);
    AddAgreementRows(rows, report, "QI 0", &EvaluationSummary::agreementQi0);
    for (const std::uint16_t cutoff : kQiCutoffs) {
        AddRow(rows, report, "QI <= " + std::to_string(cutoff) + ": coverage, within +-" + ToleranceBpmText(), [cutoff](const auto &c) {
            const QiRow upTo = c.summary.UpTo(cutoff);
            return Percent(EvaluationSummary::Ratio(upTo.windows, c.summary.withReference)) + ", " +
                   Percent(EvaluationSummary::Ratio(upTo.withinBpm, upTo.windows));
        });
    }
    AddBeatRows(rows, report);
    AddRow(rows, report, "wrong (off > " + ToleranceBpmText() + ") flagged by QI " + std::to_string(kNoRateQi),
           [](const auto &c) { return CountShare(c.summary.wrongFlagged, c.summary.wrong); });
    return rows;
}

std::vector<std::vector<std::string>> QiTable(const EvaluationSummary &summary)
{
    std::vector<std::vector<std::string>> table;
    for (const auto &[qi, row] : summary.byQi) {
        table.push_back({std::to_string(qi), std::to_string(row.windows), std::to_string(row.withinBpm),
                         Format("%.1f", 100.0 * EvaluationSummary::Ratio(row.withinBpm, row.windows)),
                         Format("%.1f", 100.0 * EvaluationSummary::Ratio(row.withinFraction, row.windows)),
                         Format("%.2f", row.windows == 0 ? 0.0 : row.absoluteErrorSum / static_cast<double>(row.windows))});
    }
    return table;
}

std::string SummaryText(const EvaluateReport &report)
{
    std::string text;
    for (std::size_t r = 0; r < report.records.size(); ++r) {
        text += "record " + report.records[r] + ": reference " + report.references[r] + "\n";
    }
    if (report.referenceBeats != 0) {
        text += "reference beats: " + std::to_string(report.referenceBeats) +
                ", inside the windows: " + std::to_string(report.beatsInWindows) + "\n";
    }
    std::vector<std::vector<std::string>> lines{{"settings (constants MASK PEAK BEAT DERIV):"}};
    for (const CombinationResult &combination : report.combinations) {
        lines.front().push_back(combination.combination.Label());
    }
    for (const SummaryRow &row : SummaryRows(report)) {
        lines.push_back({row.label + ':'});
        lines.back().insert(lines.back().end(), row.cells.begin(), row.cells.end());
    }
    text += TableText(lines);
    for (const CombinationResult &combination : report.combinations) {
        text += "QI table of " + combination.combination.Label() + ":\n";
        std::vector<std::vector<std::string>> qi{
            {"QI", "windows", Format("within%gBPM", kToleranceBpm), "share%",
             Format("within%g%%", 100.0 * kToleranceFraction), "MAE"}};
        const auto rows = QiTable(combination.summary);
        qi.insert(qi.end(), rows.begin(), rows.end());
        text += TableText(qi);
    }
    return text + SpeedText(report) + '\n';
}

std::string SpeedText(const EvaluateReport &report)
{
    return Format("speed: %.0f windows per second of wall-clock time, %.0f per second of processor time (%zu "
                  "windows x %zu combinations on %zu %s: wall clock %.3f s, processor %.3f s)",
                  report.windowsPerWallSecond, report.windowsPerSecond, report.windows, report.combinations.size(),
                  report.jobs, report.jobs == 1 ? "process" : "processes", report.seconds, report.cpuSeconds);
}

ContentWriter PerWindowCsv(const EvaluateReport &report)
{
    return [&report](std::ostream &stream) {
        stream << "file,start_sample,start_time_s,reference_beats,reference_bpm,bpm,qi,error_bpm,peaks,beat_method,"
                  "record,constants,settings,beat_tp,beat_fn,beat_fp,peaks_truncated\n";
        for (const CombinationResult &combination : report.combinations) {
            for (const WindowResult &result : combination.results) {
                const std::optional<double> error = result.Error();
                stream << result.window.file << ',' << result.window.startSample << ','
                       << Format("%.6f", result.window.StartTime()) << ',' << result.reference.beats << ','
                       << (result.reference.bpm ? Format("%.3f", *result.reference.bpm) : "") << ','
                       << result.estimate.bpm << ',' << result.estimate.qi << ','
                       << (error ? Format("%.3f", *error) : "") << ',' << result.estimate.peakCount
                       << ',' << (result.estimate.classified ? 1 : 0) << ',' << report.records[result.record]
                       << ',' << combination.combination.ConstantsName() << ','
                       << combination.combination.SettingsText() << ',';
                if (result.beats) {
                    const BeatCounts &counts = result.beats->counts;
                    stream << counts.truePositives << ',' << counts.falseNegatives << ',' << counts.falsePositives
                           << ',' << (result.beats->truncated ? 1 : 0);
                } else {
                    stream << ",,,";
                }
                stream << '\n';
            }
        }
    };
}

void WritePerWindowCsv(const std::filesystem::path &path, const EvaluateReport &report)
{
    WriteFileAtomically(path, PerWindowCsv(report));
}

}  // namespace qzkit
