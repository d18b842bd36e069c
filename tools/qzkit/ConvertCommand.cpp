// SPDX-License-Identifier: Apache-2.0
// qzkit convert: a recording into windows of the tool's format.
#include <cstdio>
#include <memory>
#include <string>

#include "CommandOptions.h"
#include "convert/Convert.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

int RunConvert(const ConvertChoices &choices)
{
    const ConvertReport report = Convert(choices.Chosen());
    for (const std::string &warning : report.source.warnings) {
        std::fprintf(stderr, "qzkit convert: warning: %s\n", warning.c_str());
    }
    std::fputs(ConvertReportText(report).c_str(), stdout);
    return 0;
}

SubcommandAction SetUpConvert(CLI::App &command)
{
    auto choices = std::make_shared<ConvertChoices>();
    AddConvertOptions(command, *choices);
    return [choices] { return RunConvert(*choices); };
}

const SubcommandRegistrar registrar{
    "convert",
    "Convert a WFDB, CSV or EDF/BDF recording: resample, map to 10 bits, cut into .ecg windows with a manifest",
    SetUpConvert};

}  // namespace
}  // namespace qzkit
