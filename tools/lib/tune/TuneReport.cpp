// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneReport.h"

#include <cmath>

#include "constants/ConstantsText.h"
#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "io/TextFormat.h"
#include "score/BeatMatch.h"
#include "run/RunSettingsText.h"
#include "tune/TuneJournal.h"

namespace qzkit {
namespace {

// A measure that improves by less than this on training while it gets worse
// by more on validation, or lies this far apart on the two, is worth a
// warning (percentage points).
constexpr double kPartingPoints = 0.5;
constexpr double kApartPoints = 5.0;
constexpr std::size_t kSummaryRows = 12;

const std::vector<std::string_view> kComparedMeasures{"within", "within5", "qi0_right", "coverage", "se", "ppv"};

std::string Value(std::optional<double> value, const char *format = "%.1f")
{
    return value ? Format(format, *value) : std::string();
}

std::string Shown(std::optional<double> value, const char *format = "%.1f")
{
    return value ? Format(format, *value) : std::string("-");
}

// Comma-separated, ending the line.
std::string Join(const std::vector<std::string> &fields)
{
    std::string line;
    for (const std::string &field : fields) {
        line.append(line.empty() ? "" : ",").append(field);
    }
    return line.append("\n");
}

std::string KnobColumns(const Candidate &candidate)
{
    const DesignRequest &design = candidate.design;
    return Format("%g,%g,%d,%g,%u,%u,%u,%s,%d", design.lowPassCutoff, design.highPassCutoff, design.highPassOrder,
                  design.swing, design.minBpm, design.maxBpm, design.onePeakBpm,
                  SettingsText(candidate.settings).c_str(), candidate.raw ? 1 : 0);
}

std::string PointName(const Candidate &candidate)
{
    const DesignRequest &design = candidate.design;
    return Format("low-pass %g Hz, high-pass %g Hz (order %d), swing %g, %u-%u BPM, settings %s%s",
                  design.lowPassCutoff, design.highPassCutoff, design.highPassOrder, design.swing, design.minBpm,
                  design.maxBpm, SettingsText(candidate.settings).c_str(), candidate.raw ? ", raw fields refined" : "");
}

std::string BatteryLine(const BatteryScore &battery)
{
    return Format("battery: %u of %u graded cases pass (%u of %u runs)", battery.casesPassed, battery.casesGraded,
                  battery.runsPassed, battery.runsGraded);
}

std::string ManifestLine(const TuneScores &scores, ScoreSet set)
{
    return Format("within %s %s %%, within %s %s %%, QI 0 right %s %%, coverage %s %%, Se %s %%, +P %s %%",
                  RateToleranceText().c_str(), Shown(MeasureValue(scores, "within", set)).c_str(),
                  ToleranceBpmText().c_str(), Shown(MeasureValue(scores, "within5", set)).c_str(),
                  Shown(MeasureValue(scores, "qi0_right", set)).c_str(),
                  Shown(MeasureValue(scores, "coverage", set)).c_str(), Shown(MeasureValue(scores, "se", set)).c_str(),
                  Shown(MeasureValue(scores, "ppv", set)).c_str());
}

std::vector<std::string> ScoreLines(const TuneResult &result, const TuneScores &scores)
{
    std::vector<std::string> lines;
    if (scores.battery.casesGraded > 0) {
        lines.push_back(BatteryLine(scores.battery));
    }
    if (scores.training.withReference > 0) {
        lines.push_back("training: " + ManifestLine(scores, ScoreSet::Training));
    }
    if (result.validated) {
        lines.push_back("validation: " + ManifestLine(scores, ScoreSet::Validation));
    }
    return lines;
}

// `text` as one comment line: a control character (a line break in a path)
// is written as an escape, so that it cannot end the comment.
std::string CommentLine(const std::string &text)
{
    std::string line = "# ";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7F ? Format("\\x%02X", byte) : std::string(1, c);
    }
    return line + "\n";
}

const Evaluated &Chosen(const TuneResult &result)
{
    return result.log.evaluated.at(result.chosen);
}

void AppendMeasureRows(std::string &text, const TuneResult &result, ScoreSet set, const char *label)
{
    for (const Measure &measure : Measures()) {
        if (!measure.fromManifests) {
            continue;
        }
        const std::optional<double> chosen = MeasureValue(Chosen(result).scores, measure.name, set);
        const std::optional<double> start =
            result.start ? MeasureValue(result.start->scores, measure.name, set) : std::nullopt;
        if (chosen || start) {
            text += Format("| %s: %s | %s | %s |\n", label, std::string(measure.title).c_str(), Shown(start).c_str(),
                           Shown(chosen).c_str());
        }
    }
}

std::string ComparisonTable(const TuneResult &result)
{
    const TuneScores &chosen = Chosen(result).scores;
    std::string text = "| Measure | start | chosen |\n|---|---|---|\n";
    if (chosen.battery.casesGraded > 0) {
        const auto cases = [](const std::optional<Evaluated> &point) {
            return point ? Format("%u of %u", point->scores.battery.casesPassed, point->scores.battery.casesGraded)
                         : std::string("-");
        };
        text += "| battery: graded cases passed | " + cases(result.start) + " | " +
                cases(std::optional<Evaluated>(Chosen(result))) + " |\n";
        text += "| battery: runs passed, % | " +
                Shown(result.start ? MeasureValue(result.start->scores, "runs") : std::nullopt) + " | " +
                Shown(MeasureValue(chosen, "runs")) + " |\n";
    }
    AppendMeasureRows(text, result, ScoreSet::Training, "training");
    if (result.validated) {
        AppendMeasureRows(text, result, ScoreSet::Validation, "validation");
    }
    return text;
}

std::string FamilyTable(const TuneResult &result)
{
    const BatteryScore &chosen = Chosen(result).scores.battery;
    std::string text = "| Family | graded cases | start passes | chosen passes |\n|---|---|---|---|\n";
    for (std::size_t f = 0; f < result.families.size(); ++f) {
        text += Format("| %s | %u | %s | %u |\n", result.families[f].c_str(), chosen.familyGraded[f],
                       result.start ? std::to_string(result.start->scores.battery.familyPassed[f]).c_str() : "-",
                       chosen.familyPassed[f]);
    }
    return text;
}

std::string FrontTable(const TuneResult &result)
{
    std::string text = "| Row | Point | Cases | Within % | QI 0 right % | Se % | +P % | Validation within % |\n"
                       "|---|---|---|---|---|---|---|---|\n";
    for (std::size_t row = 0; row < result.front.size() && row < kSummaryRows; ++row) {
        const Evaluated &point = result.log.evaluated[result.front[row]];
        text += Format("| %zu%s | %s | %s | %s | %s | %s | %s | %s |\n", row + 1,
                       result.front[row] == result.chosen ? " (chosen)" : "", PointName(point.candidate).c_str(),
                       Shown(MeasureValue(point.scores, "cases"), "%.0f").c_str(),
                       Shown(MeasureValue(point.scores, "within")).c_str(),
                       Shown(MeasureValue(point.scores, "qi0_right")).c_str(),
                       Shown(MeasureValue(point.scores, "se")).c_str(), Shown(MeasureValue(point.scores, "ppv")).c_str(),
                       Shown(MeasureValue(point.scores, "within", ScoreSet::Validation)).c_str());
    }
    if (result.front.size() > kSummaryRows) {
        text += Format("\n%zu more rows in the CSV.\n", result.front.size() - kSummaryRows);
    }
    return text;
}

}  // namespace

std::string FrontCsv(const TuneResult &result)
{
    std::vector<std::string> header{"row", "chosen", "lowpass_hz", "highpass_hz", "highpass_order", "swing",
                                    "min_bpm", "max_bpm", "one_peak_bpm", "settings", "raw_fields", "feasible"};
    for (const Measure &measure : Measures()) {
        header.emplace_back(measure.name);
    }
    for (const Measure &measure : Measures()) {
        if (measure.fromManifests) {
            header.push_back("validation_" + std::string(measure.name));
        }
    }
    header.emplace_back("bytes");
    std::string text = Join(header);
    for (std::size_t row = 0; row < result.front.size(); ++row) {
        const Evaluated &point = result.log.evaluated[result.front[row]];
        std::vector<std::string> fields{Format("%zu,%d,", row + 1, result.front[row] == result.chosen ? 1 : 0) +
                                        KnobColumns(point.candidate) +
                                        Format(",%d", result.ranking.Feasible(point.scores) ? 1 : 0)};
        for (const Measure &measure : Measures()) {
            fields.push_back(Value(MeasureValue(point.scores, measure.name), "%.4g"));
        }
        for (const Measure &measure : Measures()) {
            if (measure.fromManifests) {
                fields.push_back(Value(MeasureValue(point.scores, measure.name, ScoreSet::Validation), "%.4g"));
            }
        }
        fields.push_back(ImageHex(point.image));
        text += Join(fields);
    }
    return text;
}

std::string ChosenText(const TuneResult &result, const std::string &name)
{
    const Evaluated &chosen = Chosen(result);
    std::string text = CommentLine(name + kConstantsFileExtension + ": found by") + CommentLine("  " + result.command);
    text += CommentLine("chosen by " + result.pick);
    text += CommentLine("use with the settings " + SettingsText(chosen.candidate.settings) + ": qz_vozozi_DE " + name +
                        " RECORD " + SettingsText(chosen.candidate.settings));
    for (const std::string &line : ScoreLines(result, chosen.scores)) {
        text += CommentLine(line);
    }
    text += "#\n";
    if (!chosen.candidate.raw) {
        return text + DesignText(DesignConstants(chosen.candidate.design));
    }
    return text + "# " + DesignCommandLine(chosen.candidate.design) +
           "\n# with its raw fields refined by the search\n\n" + FormatConstantsText(chosen.image);
}

std::vector<std::string> ValidationWarnings(const TuneResult &result)
{
    std::vector<std::string> warnings;
    if (!result.validated) {
        return warnings;
    }
    const TuneScores &chosen = Chosen(result).scores;
    for (const std::string_view name : kComparedMeasures) {
        const std::optional<double> training = MeasureValue(chosen, name);
        const std::optional<double> validation = MeasureValue(chosen, name, ScoreSet::Validation);
        if (!training || !validation) {
            continue;
        }
        if (result.start) {
            const std::optional<double> trainingStart = MeasureValue(result.start->scores, name);
            const std::optional<double> validationStart =
                MeasureValue(result.start->scores, name, ScoreSet::Validation);
            if (trainingStart && validationStart && *training >= *trainingStart &&
                *validation < *validationStart - kPartingPoints) {
                warnings.push_back(Format("%s: %.1f -> %.1f %% on training but %.1f -> %.1f %% on validation",
                                          std::string(name).c_str(), *trainingStart, *training, *validationStart,
                                          *validation));
            }
        }
        if (std::abs(*training - *validation) > kApartPoints) {
            warnings.push_back(Format("%s: %.1f %% on training, %.1f %% on validation", std::string(name).c_str(),
                                      *training, *validation));
        }
    }
    return warnings;
}

std::string TuneSummary(const TuneResult &result)
{
    const Evaluated &chosen = Chosen(result);
    std::string text = "# Constants search\n\n```\n" + result.command + "\n```\n\n";
    text += Format("%zu points scored%s, %zu refused as unsound, in %.1f s on %zu worker%s (load average %.2f at the "
                   "end).%s\n\n",
                   result.log.evaluated.size(),
                   result.resumed == 0 ? "" : Format(" (%zu of them by an earlier run)", result.resumed).c_str(),
                   result.log.refused.size(), result.seconds, result.workers, result.workers == 1 ? "" : "s",
                   result.loadAverage,
                   result.log.stopped ? " **Stopped before the search ended**: the results are the best so far "
                                        "(--resume goes on from them)." : "");
    if (result.validationStopped) {
        text += "**Stopped before the validation ended**: points shown without validation scores were not "
                "validated.\n\n";
    }
    if (!result.feasible) {
        text += "**No point met the requirements**: the chosen set is the best of the points that do not.\n\n";
    }
    text += "## Chosen\n\n" + PointName(chosen.candidate) + ", chosen by " + result.pick + ":\n\n```\n" +
            (chosen.candidate.raw ? DesignCommandLine(chosen.candidate.design) + "   (raw fields refined)"
                                  : DesignCommandLine(chosen.candidate.design)) +
            "\n```\n\n" + ComparisonTable(result);
    if (!result.families.empty()) {
        text += "\n## Battery families\n\n" + FamilyTable(result);
    }
    const std::vector<std::string> warnings = ValidationWarnings(result);
    if (result.validated) {
        text += "\n## Training and validation\n\n";
        text += warnings.empty() ? "The chosen set scores alike on both.\n" : "";
        for (const std::string &warning : warnings) {
            text += "- warning: " + warning + "\n";
        }
    }
    text += Format("\n## Pareto set (%zu points)\n\n", result.front.size()) + FrontTable(result);
    return text;
}

std::vector<std::filesystem::path> TuneOutputPaths(const std::filesystem::path &base)
{
    std::vector<std::filesystem::path> paths;
    for (const char *suffix :
         {".csv", kConstantsFileExtension, ".constants.txt", ".md", ".svg", ".png", kJournalExtension}) {
        paths.push_back(WithSuffix(base, suffix));
    }
    return paths;
}

void WriteTuneOutputs(const std::filesystem::path &base, const TuneResult &result)
{
    const std::string name = base.filename().string();
    const std::string csv = FrontCsv(result);
    const std::string source = ChosenText(result, name);
    const std::string summary = TuneSummary(result);
    const RenderedFigure figure = RenderFrontFigure(result);
    const auto writeText = [](const std::filesystem::path &path, const std::string &text) {
        WriteFileAtomically(path, [&text](std::ostream &stream) { stream << text; });
    };
    writeText(WithSuffix(base, ".csv"), csv);
    WriteConstantsFile(WithSuffix(base, kConstantsFileExtension), Chosen(result).image);
    writeText(WithSuffix(base, ".constants.txt"), source);
    writeText(WithSuffix(base, ".md"), summary);
    WriteFigureFiles(base, figure);
}

}  // namespace qzkit
