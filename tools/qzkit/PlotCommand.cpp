// SPDX-License-Identifier: Apache-2.0
// qzkit plot: one picture of a run of the heart-rate tool (every stage, the
// peaks and beats found, the result), as SVG and PNG.
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "io/BaseName.h"
#include "plot/PlotFigure.h"
#include "plot/PlotInputs.h"
#include "plot/PlotRender.h"
#include "RunSettingsOptions.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct PlotCommandOptions {
    std::string record;
    std::string constants;
    std::string output;
    std::string methodDump;
    bool run = false;
    RunSettingsOptions settings;
};

// "out", "out.svg" and "out.png" all name the pair out.svg + out.png.
std::filesystem::path OutputBase(const PlotCommandOptions &options, const std::filesystem::path &record)
{
    if (options.output.empty()) {
        return WithSuffix(record, ".plot");
    }
    std::filesystem::path base = options.output;
    if (base.extension() == ".svg" || base.extension() == ".png") {
        base.replace_extension();
    }
    return base;
}

RunFiles ReadLeftFiles(const PlotCommandOptions &options, const std::filesystem::path &record,
                       const std::filesystem::path &constants)
{
    const std::filesystem::path methodDump = options.methodDump.empty()
                                                 ? record.parent_path() / (QZ_METHOD_DUMP_NAME QZ_METHOD_DUMP_EXTENSION)
                                                 : std::filesystem::path(options.methodDump);
    return ReadRunFiles({record, constants, methodDump});
}

RunSettings Known(const qz::run_settings_struct &settings)
{
    return {settings.StageMask, settings.PeakDetection, settings.BeatMethod, settings.DerivativeOrder};
}

int RunPlot(const PlotCommandOptions &options)
{
    const std::filesystem::path record = BaseNameFor(options.record, QZ_RECORD_EXTENSION);
    const std::filesystem::path constants = BaseNameFor(options.constants, kConstantsFileExtension);
    const RunSettingsOptions &given = options.settings;
    const RunFiles files =
        options.run ? ReadAndRun({record, constants, {}}, given.Runs().front()) : ReadLeftFiles(options, record, constants);
    // A run made here used the tool's defaults for the settings not given.
    const RunSettings settings = options.run ? Known(given.Runs().front())
                                             : RunSettings{given.Mask(), given.Peak(), given.Beat(), given.Derivative()};
    const Figure figure = BuildFigure(files, settings);
    const std::filesystem::path base = OutputBase(options, record);
    WriteFigureFiles(base, RenderFigure(figure));
    std::printf("wrote %s.svg and %s.png: %s\n", base.string().c_str(), base.string().c_str(), figure.headline.c_str());
    return 0;
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
                     "given (the tool's defaults for those not given); without --run, settings not given are "
                     "inferred from the files the run left");
    command.add_option("--info", options->methodDump,
                       "The run's thresholdmethod.info (default: beside RECORD); compared with the result record");
    AddRunSettingsOptions(command, options->settings, false);
    return [options] { return RunPlot(*options); };
}

const SubcommandRegistrar registrar{"plot", "Draw one picture of a run: every stage, the peaks and beats, the result",
                                    SetUpPlot};

}  // namespace
}  // namespace qzkit
