// The companion program's conversion in the page: a recording the page has
// put into its file system is read, mapped to 10 bits and cut into windows
// by the very code of `qzkit convert`, into a folder the page then reads.
#include <emscripten/emscripten.h>

#include <exception>
#include <string>

#include "convert/Convert.h"

namespace {

std::string &Message()
{
    static std::string message;
    return message;
}

}  // namespace

extern "C" {

// Converts `input` (a WFDB header, or a CSV/text file) into OUTPUT/window_NNNNN.ecg
// windows and OUTPUT/window.manifest.csv. `inputRate` and `units` apply to
// text input; gain in counts per mV, or per unit of the signal when
// `gainPerUnit` is set (for units that are not a voltage); AC coupling corner
// in Hz (0: none). Returns 0 with convert's
// report as the message, or 1 with the error as the message.
EMSCRIPTEN_KEEPALIVE int qzw_convert(const char *input, const char *channel, double inputRate, const char *units,
                                     double gain, int gainPerUnit, double acCouplingHz, int windowLength, const char *output)
{
    try {
        qzkit::ConvertOptions options;
        options.input = input;
        options.channel = channel;
        options.inputRate = inputRate;
        options.inputUnits = units;
        options.gainPerMillivolt = gain;
        if (gainPerUnit != 0) {
            options.gainPerUnit = gain;
        }
        options.acCouplingHz = acCouplingHz;
        options.windowLength = static_cast<std::size_t>(windowLength);
        options.outputDirectory = output;
        options.name = "window";
        Message() = qzkit::ConvertReportText(qzkit::Convert(options));
        return 0;
    } catch (const std::exception &error) {
        Message() = error.what();
        return 1;
    }
}

EMSCRIPTEN_KEEPALIVE const char *qzw_toolkit_message()
{
    return Message().c_str();
}

}  // extern "C"
