// SPDX-License-Identifier: Apache-2.0
// qzkit constants tune: searches the constants (and, when asked, the run
// settings) against the test battery and annotated manifests, and writes
// the Pareto set, the chosen set with its text source, a summary and a
// figure.
#include "ConstantsTune.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>

#include "CommandOptions.h"
#include "conformance/ConformanceCases.h"
#include "evaluate/ManifestEvaluation.h"
#include "io/TemporaryFiles.h"
#include "io/TextFormat.h"
#include "io/TextParsing.h"
#include "run/RunSettingsText.h"
#include "tune/Tune.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// Settings tried with --search-settings: every stage mask that keeps the
// peak finder and the beat rate with and without the derivative and
// squaring (and without the high-pass), both thresholds, the three beat
// methods and both derivatives.
constexpr std::array<std::uint16_t, 4> kSearchMasks{127, 125, 115, 113};
constexpr std::array<std::uint16_t, 2> kSearchPeaks{0, 1};
constexpr std::array<std::uint16_t, 3> kSearchBeats{1, 2, 3};
constexpr std::array<std::uint16_t, 2> kSearchDerivatives{2, 5};
constexpr double kProgressSeconds = 2.0;

struct TuneCommandOptions {
    TuneOptions tune;
    std::string battery = "ecg";
    std::vector<std::string> families;  // as given; none: every family of the kind
    std::vector<std::string> ranges = std::vector<std::string>(kKnobs);
    std::vector<std::string> settings;
    bool searchSettings = false;
    std::vector<std::string> requirements;
    std::string pick = "balanced";
    double maxMinutes = 0.0;
};

// NOLINTNEXTLINE(readability-function-size): one loop per searched setting, the grid as one nest
std::vector<qz::run_settings_struct> SettingsChoices(const TuneCommandOptions &options)
{
    std::vector<qz::run_settings_struct> choices;
    for (const std::string &text : options.settings) {
        choices.push_back(ParseSettings(text));
    }
    if (choices.empty()) {
        choices.push_back(qz::run_settings_struct{});
    }
    if (options.searchSettings) {
        for (const std::uint16_t mask : kSearchMasks) {
            for (const std::uint16_t peak : kSearchPeaks) {
                for (const std::uint16_t beat : kSearchBeats) {
                    for (const std::uint16_t derivative : kSearchDerivatives) {
                        const qz::run_settings_struct one{mask, peak, beat, derivative};
                        if (SettingsText(one) != SettingsText(choices.front())) {
                            choices.push_back(one);
                        }
                    }
                }
            }
        }
    }
    return choices;
}

bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// `text` as one word of a shell: as it is when every character is plain,
// else in single quotes (a quote inside as '\''), or, when it holds a
// control character (a line break), as $'...' with escapes, so that the
// command stays on one line.
std::string ShellWord(const std::string &text)
{
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
               std::string_view("_-./:=,+@%").find(c) != std::string_view::npos;
    });
    if (plain) {
        return text;
    }
    if (std::any_of(text.begin(), text.end(), IsControl)) {
        std::string escaped = "$'";
        for (const char c : text) {
            escaped += c == '\'' || c == '\\' ? std::string("\\") + c
                       : IsControl(c)         ? Format("\\x%02X", static_cast<unsigned char>(c))
                                              : std::string(1, c);
        }
        return escaped + "'";
    }
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The command that repeats this search (every choice that shapes the result,
// defaults included; not the number of workers).
std::string CommandLine(const TuneCommandOptions &options)
{
    const TuneOptions &tune = options.tune;
    const SearchOptions &search = tune.search;
    std::string text = Format("qzkit constants tune --rate %g", search.space.rate);
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        const KnobRange &range = search.space.ranges[knob];
        text += Format(range.low == range.high ? " --%s %g" : " --%s %g:%g", InfoOf(knob).option.data(), range.low,
                       range.high);
    }
    for (const int order : search.space.highPassOrders) {
        text += Format(" --highpass-order %d", order);
    }
    for (const qz::run_settings_struct &settings : options.searchSettings ? std::vector<qz::run_settings_struct>{
                                                                            search.space.settings.front()}
                                                                      : search.space.settings) {
        text += " --settings '" + SettingsText(settings) + "'";
    }
    text += options.searchSettings ? " --search-settings" : "";
    text += search.refineRaw ? " --refine-raw" : "";
    text += " --battery " + options.battery;
    for (const std::string &family : options.families) {
        text += " --family " + family;
    }
    text += Format(" --seeds %zu", tune.battery.seeds);
    for (const std::filesystem::path &manifest : tune.training) {
        text += " --manifest " + ShellWord(manifest.string());
    }
    for (const std::filesystem::path &manifest : tune.validation) {
        text += " --validate " + ShellWord(manifest.string());
    }
    text += tune.start ? " --start " + ShellWord(tune.start->string()) : "";
    text += Format(" --levels %zu --grid-limit %zu --starts %zu --rounds %zu --seed %u", search.space.levels,
                   search.space.gridLimit, search.starts, search.rounds, search.seed);
    text += search.maxEvaluations != 0 ? Format(" --max-evaluations %zu", search.maxEvaluations) : "";
    for (const std::string &requirement : options.requirements) {
        text += " --require " + ShellWord(requirement);
    }
    text += tune.keepFamilies ? " --keep-families" : "";
    return text + " --pick " + options.pick + " -o " + ShellWord(tune.output.string());
}

void Configure(TuneCommandOptions &options)
{
    TuneOptions &tune = options.tune;
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        if (!options.ranges[knob].empty()) {
            tune.search.space.ranges[knob] = ParseKnobRange(options.ranges[knob]);
        }
    }
    tune.search.space.settings = SettingsChoices(options);
    tune.battery.families = options.families;
    if (options.battery != "none" && options.families.empty()) {
        tune.battery.families = FamiliesOfKind(options.battery == "pulse");
    }
    for (const std::string &text : options.requirements) {
        tune.ranking.requirements.push_back(ParseRequirement(text));
    }
    std::int64_t row = 0;
    if (ParseInteger(options.pick, row)) {
        if (row < 1) {
            throw ToolkitError("--pick: rows of the Pareto set count from 1");
        }
        tune.pickRow = static_cast<std::size_t>(row);
    } else {
        tune.ranking.rule = options.pick == "battery"     ? PickRule::Battery
                            : options.pick == "manifests" ? PickRule::Manifests
                                                          : PickRule::Balanced;
        if (options.pick != "balanced" && tune.ranking.rule == PickRule::Balanced) {
            throw ToolkitError("--pick is balanced, battery, manifests or a row of the Pareto set, not '" +
                               options.pick + "'");
        }
    }
    tune.command = CommandLine(options);
}

// One line on standard error, at most every two seconds: the phase, the
// points scored and how long the rest should take at the pace so far.
TuneProgress ProgressLine(std::chrono::steady_clock::time_point begin)
{
    auto last = std::make_shared<double>(-kProgressSeconds);
    const bool terminal = isatty(fileno(stderr)) != 0;
    return [begin, last, terminal](std::string_view phase, std::size_t scored, std::size_t expected) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (elapsed - *last < kProgressSeconds) {
            return;
        }
        *last = elapsed;
        const double left = elapsed / static_cast<double>(scored) * static_cast<double>(expected);
        std::fprintf(stderr, "%s%.*s: %zu points scored in %.0f s, about %.0f s to go%s", terminal ? "\r" : "",
                     static_cast<int>(phase.size()), phase.data(), scored, elapsed, left, terminal ? "   " : "\n");
    };
}

int RunTuneCommand(TuneCommandOptions &options)
{
    Configure(options);
    const auto begin = std::chrono::steady_clock::now();
    const double maxSeconds = options.maxMinutes * 60.0;
    const StopRequest stop = [begin, maxSeconds] {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        return StopRequested() || (maxSeconds > 0.0 && elapsed > maxSeconds);
    };
    const TuneResult result = RunTune(options.tune, stop, ProgressLine(begin));
    std::fprintf(stderr, "\n");
    std::fputs(TuneSummary(result).c_str(), stdout);
    std::printf("\nwrote %s.csv, .pvx.filters.v1, .constants.txt, .md, .svg, .png and .points\n",
                options.tune.output.string().c_str());
    if (!result.feasible) {
        std::fprintf(stderr, "qzkit constants tune: no point met the requirements; the best of the others was "
                             "chosen\n");
        return kExitNoFeasiblePoint;  // its files are written
    }
    return 0;
}

void AddSpaceOptions(CLI::App &tune, TuneCommandOptions &options)
{
    const TuneSpace defaults;
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        const KnobRange &range = defaults.ranges[knob];
        tune.add_option("--" + std::string(InfoOf(knob).option), options.ranges[knob],
                        Format("Range LOW:HIGH or one fixed value (default %g:%g)", range.low, range.high));
    }
    tune.add_option("--highpass-order", options.tune.search.space.highPassOrders, "High-pass orders to try (1, 3)")
        ->check(CLI::IsMember({1, 3}))
        ->capture_default_str();
    tune.add_option("--rate", options.tune.search.space.rate, "Sampling rate, Hz")->capture_default_str();
    tune.add_option("--settings", options.settings,
                    "Run settings \"MASK PEAK BEAT DERIV\" to try (repeatable; the first is the start's); default "
                    "the tool's");
    tune.add_flag("--search-settings", options.searchSettings,
                  "Also try masks 127/125/115/113, both peak thresholds, the three beat methods, both derivatives");
    tune.add_flag("--refine-raw", options.tune.search.refineRaw,
                  "Finish with a local search over the raw taps, postscale and feedback of the best set");
}

void AddDataOptions(CLI::App &tune, TuneCommandOptions &options)
{
    tune.add_option("--battery", options.battery, "Battery families to score: ecg, pulse or none")
        ->check(CLI::IsMember({"ecg", "pulse", "none"}))
        ->capture_default_str();
    tune.add_option("--family", options.families, "Only these battery families (any kind)");
    tune.add_option("--seeds", options.tune.battery.seeds, "Phases of the first beat per battery case and length")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    tune.add_option("--manifest", options.tune.training, "Training manifest (repeatable)");
    tune.add_option("--validate", options.tune.validation, "Validation manifest, only scored (repeatable)");
    tune.add_option("--start", options.tune.start, "Constants the results are compared with");
}

void AddSearchOptions(CLI::App &tune, TuneCommandOptions &options)
{
    SearchOptions &search = options.tune.search;
    tune.add_option("--levels", search.space.levels, "Grid values per free knob")
        ->check(CLI::Range(1, 20))
        ->capture_default_str();
    tune.add_option("--grid-limit", search.space.gridLimit, "Grid points kept (a seeded sample when more)")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    tune.add_option("--starts", search.starts, "Best grid points the local search starts from")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    tune.add_option("--rounds", search.rounds, "Rounds of each local search at most")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    tune.add_option("--seed", search.seed, "Seed of the grid sample")->capture_default_str();
    tune.add_option("--jobs", options.tune.workers, "Worker processes")->check(CLI::Range(1, 64))->capture_default_str();
    tune.add_option("--scorer-fd", options.tune.scorer,
                    "Have the scorer on this socket score the candidates instead (as qzkit.dask.tune does)")
        ->check(ZeroOrMore());
    tune.add_option("--max-evaluations", search.maxEvaluations, "Stop after this many points (0: no limit)")
        ->capture_default_str();
    tune.add_option("--max-minutes", options.maxMinutes, "Stop after this long (0: no limit)")->capture_default_str();
    tune.add_flag("--resume", options.tune.resume,
                  "Go on from the points OUTPUT.points keeps (a stopped search with the same options and data)");
    tune.add_option("--require", options.requirements,
                    "NAME>=VALUE a chosen set must meet (cases, runs, within, within5, qi0_right, coverage, se, ppv; "
                    "percent, cases as a count)");
    tune.add_flag("--keep-families", options.tune.keepFamilies, "No battery family worse than --start");
    tune.add_option("--pick", options.pick, "balanced, battery, manifests, or a row of the Pareto set")
        ->capture_default_str();
    tune.add_option("-o,--output", options.tune.output,
                    "Base name: .csv (Pareto set), .pvx.filters.v1 and .constants.txt (chosen), .md, .svg, .png")
        ->capture_default_str();
}

}  // namespace

SubcommandAction SetUpTune(CLI::App &constants)
{
    auto options = std::make_shared<TuneCommandOptions>();
    CLI::App *tune = constants.add_subcommand(
        "tune", "Search constants (and settings) against the battery and annotated manifests; write the best "
                "trade-offs");
    AddSpaceOptions(*tune, *options);
    AddDataOptions(*tune, *options);
    AddSearchOptions(*tune, *options);
    return [options] { return RunTuneCommand(*options); };
}

}  // namespace qzkit
