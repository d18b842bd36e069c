// SPDX-License-Identifier: Apache-2.0
// qzkit info: what a WFDB record holds, to choose a channel.
#include <cstdio>
#include <memory>
#include <string>

#include "io/wfdb/WfdbInfo.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct InfoCommandOptions {
    std::string record;
    bool json = false;
};

SubcommandAction SetUpInfo(CLI::App &command)
{
    auto options = std::make_shared<InfoCommandOptions>();
    command.add_option("record", options->record, "WFDB record: its header (.hea) or its name")->required();
    command.add_flag("--json", options->json, "Print JSON for scripts");
    return [options] {
        const WfdbRecord record(options->record);
        const std::string text = options->json ? DescribeRecordJson(record) : DescribeRecord(record);
        std::fputs(text.c_str(), stdout);
        return 0;
    };
}

const SubcommandRegistrar registrar{"info", "Describe a WFDB record: length, frame rate, segments, signals, gaps",
                                    SetUpInfo};

}  // namespace
}  // namespace qzkit
