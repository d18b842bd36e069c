// qzkit plot: one picture of a run of the heart-rate tool (every stage, the
// peaks and beats found, the result), as SVG and PNG.
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "QZ_Library_Configuration.h"
#include "plot/PlotFigure.h"
#include "plot/PlotInputs.h"
#include "plot/PlotRender.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct PlotCommandOptions {
    std::string record;
    std::string constants;
    std::string output;
    std::string methodDump;
    bool run = false;
    RunSettings settings;
};

// "out", "out.svg" and "out.png" all name the pair out.svg + out.png.
std::filesystem::path OutputBase(const PlotCommandOptions &options, const std::filesystem::path &record)
{
    if (options.output.empty()) {
        std::filesystem::path base = record;
        base += ".plot";
        return base;
    }
    std::filesystem::path base = options.output;
    if (base.extension() == ".svg" || base.extension() == ".png") {
        base.replace_extension();
    }
    return base;
}

RunFiles RunAndRead(PlotCommandOptions &options, const std::filesystem::path &record,
                    const std::filesystem::path &constants)
{
    // The tool's own defaults for the settings not given.
    const run_settings_struct defaults;
    RunSettings &settings = options.settings;
    settings.mask = settings.mask.value_or(defaults.StageMask);
    settings.peakDetection = settings.peakDetection.value_or(defaults.PeakDetection);
    settings.beatMethod = settings.beatMethod.value_or(defaults.BeatMethod);
    settings.derivativeOrder = settings.derivativeOrder.value_or(defaults.DerivativeOrder);
    return ReadAndRun({record, constants, {}},
                      {*settings.mask, *settings.peakDetection, *settings.beatMethod, *settings.derivativeOrder});
}

RunFiles ReadLeftFiles(const PlotCommandOptions &options, const std::filesystem::path &record,
                       const std::filesystem::path &constants)
{
    const std::filesystem::path methodDump = options.methodDump.empty()
                                                 ? record.parent_path() / "thresholdmethod.info"
                                                 : std::filesystem::path(options.methodDump);
    return ReadRunFiles({record, constants, methodDump});
}

int RunPlot(PlotCommandOptions &options)
{
    const std::filesystem::path record = BaseNameFor(options.record, ".ecg");
    const std::filesystem::path constants = BaseNameFor(options.constants, ".pvx.filters.v1");
    const RunFiles files = options.run ? RunAndRead(options, record, constants) : ReadLeftFiles(options, record, constants);
    const Figure figure = BuildFigure(files, options.settings);
    const std::filesystem::path base = OutputBase(options, record);
    WriteFigureFiles(base, RenderFigure(figure));
    std::printf("wrote %s.svg and %s.png: %s\n", base.string().c_str(), base.string().c_str(), figure.headline.c_str());
    return 0;
}

template <typename Value>
void AddSetting(CLI::App &command, const std::string &name, std::optional<Value> &setting, const std::string &help,
                const CLI::Validator &validator)
{
    command.add_option_function<Value>(name, [&setting](const Value &value) { setting = value; }, help)
        ->check(validator);
}

SubcommandAction SetUpPlot(CLI::App &command)
{
    auto options = std::make_shared<PlotCommandOptions>();
    command.add_option("record", options->record,
                       "Record base name as given to the tool (reads RECORD.ecg, RECORD.out and the stage dumps "
                       "RECORD.lowpass ... RECORD.average that exist)")
        ->required();
    command.add_option("-c,--constants", options->constants,
                       "Constants base name as given to the tool (reads CONSTANTS.pvx.filters.v1; its Period gives the "
                       "time axis)")
        ->required();
    command.add_option("-o,--output", options->output, "Output base name: writes OUTPUT.svg and OUTPUT.png "
                                                       "(default RECORD.plot)");
    command.add_flag("--run", options->run,
                     "Run the estimator on RECORD first, in-process (nothing is written beside it), with the settings "
                     "below (tool defaults for those not given)");
    command.add_option("--info", options->methodDump,
                       "The run's thresholdmethod.info (default: beside RECORD); compared with the result record");
    RunSettings &settings = options->settings;
    AddSetting(command, "--mask", settings.mask,
               "Stage mask of the run (default: stages inferred from the dump files present)", CLI::Range(0, 255));
    AddSetting(command, "--peak-detection", settings.peakDetection, "Peak detection of the run: 0 absolute, 1 variable",
               CLI::Range(0, 1));
    AddSetting(command, "--method", settings.beatMethod,
               "Beat-classification method of the run: 1 template matching, 2 level-based, 0 or 3-7 statistical",
               CLI::Range(0, 7));
    AddSetting(command, "--derivative-order", settings.derivativeOrder, "Derivative order of the run: 2 or 5",
               CLI::IsMember({2, 5}));
    return [options] { return RunPlot(*options); };
}

const SubcommandRegistrar registrar{"plot", "Draw one picture of a run: every stage, the peaks and beats, the result",
                                    SetUpPlot};

}  // namespace
}  // namespace qzkit
