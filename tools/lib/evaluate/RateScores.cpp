#include "evaluate/RateScores.h"

#include <cmath>
#include <cstdio>

#include "io/AtomicFile.h"
#include "io/TextFormat.h"

namespace qzkit {
namespace {

std::string Percent(std::size_t part, std::size_t whole)
{
    return std::to_string(part) + " of " + std::to_string(whole) + " (" +
           Format("%.1f", 100.0 * EvaluationSummary::Ratio(part, whole)) + " %)";
}

}  // namespace

std::optional<double> WindowResult::Error() const
{
    if (!reference.bpm) {
        return std::nullopt;
    }
    return static_cast<double>(estimate.bpm) - *reference.bpm;
}

bool WindowResult::WithinBpm() const
{
    const std::optional<double> error = Error();
    return error && std::abs(*error) <= kToleranceBpm;
}

bool WindowResult::WithinFraction() const
{
    const std::optional<double> error = Error();
    return error && std::abs(*error) <= kToleranceFraction * *reference.bpm;
}

EvaluationSummary Summarize(const std::vector<WindowResult> &results)
{
    EvaluationSummary summary;
    summary.windows = results.size();
    for (const WindowResult &result : results) {
        const std::optional<double> error = result.Error();
        if (!error) {
            continue;
        }
        ++summary.withReference;
        const double absoluteError = std::abs(*error);
        QiRow &row = summary.byQi[result.estimate.qi];
        ++row.windows;
        row.withinBpm += result.WithinBpm() ? 1u : 0u;
        row.withinFraction += result.WithinFraction() ? 1u : 0u;
        row.absoluteErrorSum += absoluteError;
        if (result.estimate.qi < kBadQi) {
            ++summary.answered;
            summary.withinBpm += result.WithinBpm() ? 1u : 0u;
            summary.withinFraction += result.WithinFraction() ? 1u : 0u;
            summary.absoluteErrorSum += absoluteError;
        }
        if (!result.WithinBpm()) {
            ++summary.wrong;
            summary.wrongFlagged += result.estimate.qi == kBadQi ? 1u : 0u;
        }
    }
    return summary;
}

std::string SummaryText(const EvaluationSummary &summary)
{
    std::string text;
    text += "windows: " + std::to_string(summary.windows) + ", with a reference rate: " +
            std::to_string(summary.withReference) + "\n";
    text += "coverage (QI 0-2): " + Percent(summary.answered, summary.withReference) + "\n";
    text += "within +-5 BPM: " + Percent(summary.withinBpm, summary.answered) + " of answers\n";
    text += "within +-10 %: " + Percent(summary.withinFraction, summary.answered) + " of answers\n";
    text += "mean absolute error: " + Format("%.2f", summary.MeanAbsoluteError()) + " BPM over answers\n";
    text += "QI  windows  within5BPM  share%  within10%  MAE\n";
    for (const auto &[qi, row] : summary.byQi) {
        char line[128];
        std::snprintf(line, sizeof line, "%-3u %8zu %11zu %7.1f %10.1f %6.2f\n", static_cast<unsigned>(qi), row.windows,
                      row.withinBpm, 100.0 * EvaluationSummary::Ratio(row.withinBpm, row.windows),
                      100.0 * EvaluationSummary::Ratio(row.withinFraction, row.windows),
                      row.windows == 0 ? 0.0 : row.absoluteErrorSum / static_cast<double>(row.windows));
        text += line;
    }
    text += "wrong estimates (off by more than 5 BPM): " + std::to_string(summary.wrong) + ", flagged by QI 3: " +
            Percent(summary.wrongFlagged, summary.wrong) + "\n";
    return text;
}

void WritePerWindowCsv(const std::filesystem::path &path, const std::vector<WindowResult> &results)
{
    WriteFileAtomically(path, [&results](std::ostream &stream) {
        stream << "file,start_sample,start_time_s,reference_beats,reference_bpm,bpm,qi,error_bpm,peaks,beat_method\n";
        for (const WindowResult &result : results) {
            const std::optional<double> error = result.Error();
            stream << result.window.file << ',' << result.window.startSample << ','
                   << Format("%.6f", result.window.StartTime()) << ',' << result.reference.beats << ','
                   << (result.reference.bpm ? Format("%.3f", *result.reference.bpm) : "") << ','
                   << result.estimate.bpm << ',' << result.estimate.qi << ','
                   << (error ? Format("%.3f", *error) : "") << ',' << static_cast<unsigned>(result.estimate.peaks)
                   << ',' << (result.estimate.usedBeatMethod ? 1 : 0) << '\n';
        }
    });
}

}  // namespace qzkit
