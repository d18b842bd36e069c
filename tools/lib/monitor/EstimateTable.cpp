// SPDX-License-Identifier: Apache-2.0
#include "monitor/EstimateTable.h"

#include "io/TextFormat.h"

namespace qzkit {

std::string EstimateTableHeader()
{
    return "start_sample,start_time_s,samples,bpm,qi,peaks,beat_method,host_time_s,arrival_rate_hz,clipped,"
           "bad_lines,check,result_words,device_words\n";
}

const char *CheckVerdictName(CheckVerdict verdict)
{
    switch (verdict) {
    case CheckVerdict::Identical:
        return "identical";
    case CheckVerdict::Differs:
        return "differs";
    case CheckVerdict::NotInStream:
        return "not-in-stream";
    }
    return "";
}

std::string EstimateTableRow(const Estimate &estimate, double rate, const StreamState &state)
{
    const std::size_t size = estimate.window.size();
    const ResultRecord &result = estimate.run.result;
    std::string row = std::to_string(estimate.start) + ',' +
                      Format("%.6f", static_cast<double>(estimate.start) / rate) + ',' +
                      std::to_string(estimate.end - estimate.start) + ',';
    row += size == 0 ? std::string(",,,,") : std::to_string(result.bpm) + ',' + std::to_string(result.qi) + ',' +
                                             std::to_string(result.peakCount) + ',' +
                                             (result.classified ? "1," : "0,");
    row += Format("%.3f,", state.hostSeconds) + (state.arrivalRate ? Format("%.3f", *state.arrivalRate) : "") + ',' +
           std::to_string(state.clipped) + ',' + std::to_string(state.badLines) + ',' +
           (estimate.verdict ? CheckVerdictName(*estimate.verdict) : "") + ',' +
           (size == 0 ? "" : ResultWordsText(estimate.run.words)) + ',' +
           (estimate.device ? ResultWordsText(*estimate.device) : "") + '\n';
    return row;
}

}  // namespace qzkit
