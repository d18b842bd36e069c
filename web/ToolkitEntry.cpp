// SPDX-License-Identifier: Apache-2.0
// The companion program's parts in the page, by their very code: conversion
// (a recording the page has put into its file system is read, mapped to 10
// bits and cut into windows as `qzkit convert` does, into a folder the page
// then reads), synthetic recordings (as `qzkit synth` makes them), constants
// designed from physical choices with their text (`qzkit constants design`),
// the filters' frequency responses, and the test battery with its summary
// (`qzkit conformance`).
#include <emscripten/emscripten.h>
#include <emscripten/heap.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <exception>
#include <new>
#include <string>

#include "conformance/Battery.h"
#include "conformance/ConformanceReport.h"
#include "constants/ConstantsDesign.h"
#include "constants/ConstantsResponse.h"
#include "convert/Convert.h"
#include "io/TextFormat.h"
#include "PageOptions.h"
#include "run/RunSettingsText.h"
#include "signal/Synth.h"
#include "ToolkitError.h"

// Tells the page the share of a text recording read so far.
EM_JS(void, qzw_conversion_progress, (double share), {
    if (Module['onConversionProgress']) Module['onConversionProgress'](share);
});

namespace {

std::string &Message()
{
    static std::string message;
    return message;
}

qzkit::SynthRecording &Synthesized()
{
    static qzkit::SynthRecording recording;
    return recording;
}

qzkit::ConstantsImage &Designed()
{
    static qzkit::ConstantsImage image{};
    return image;
}

// A conversion that ran out of memory: the page's limit and what to do.
std::string OutOfMemory()
{
    return qzkit::Format("not enough memory: the page can use at most %zu MB, and this recording needs more. "
                         "Convert it with qzkit convert on the desktop, or cut it into shorter parts.",
                         emscripten_get_heap_max() >> 20);
}

qzkit::ConstantsImage ImageAt(const std::uint8_t *bytes)
{
    qzkit::ConstantsImage image{};
    std::copy(bytes, bytes + image.size(), image.begin());
    return image;
}

}  // namespace

extern "C" {

// The command line's message for `text` as the value of `option` of
// `command` ("synth", "design", "convert"); returns 1 with it as the
// message, or 0 when the command takes the value.
EMSCRIPTEN_KEEPALIVE int qzw_option_refusal(const char *command, const char *option, const char *text)
{
    Message() = qzw::OptionRefusal(command, option, text);
    return Message().empty() ? 0 : 1;
}

// Runs `convert ARGS...` (argv[0] "convert"): the recording into windows and a
// manifest in the output directory, telling the page how far the reading of
// a text recording has got. Returns 0 with convert's report as the message,
// or 1 with the error as the message.
EMSCRIPTEN_KEEPALIVE int qzw_convert(int argc, const char *const *argv)
{
    try {
        qzw::PageChoices choices;
        qzw::ReadArguments(choices, argc, argv);
        qzkit::ConvertOptions options = choices.convert.Chosen();
        options.progress = [](double share) { qzw_conversion_progress(share); };
        Message() = qzkit::ConvertReportText(qzkit::Convert(options));
        return 0;
    } catch (const std::bad_alloc &) {
        Message() = OutOfMemory();
        return 1;
    } catch (const std::exception &error) {
        Message() = error.what();
        return 1;
    }
}

// Runs `synth --kind ... ARGS...` (argv[0] "synth") into memory. Returns its
// sample count, with the true rate as the message, or -1 with the error as
// the message.
EMSCRIPTEN_KEEPALIVE int qzw_synthesize(int argc, const char *const *argv)
{
    try {
        qzw::PageChoices choices;
        qzw::ReadArguments(choices, argc, argv);
        Synthesized() = qzkit::Synthesize(choices.synth.Chosen());
        Message() = std::to_string(qzkit::TrueBpm(Synthesized()));
        return static_cast<int>(Synthesized().samples.size());
    } catch (const std::exception &error) {
        Message() = error.what();
        return -1;
    }
}

// The samples of the last synthetic recording.
EMSCRIPTEN_KEEPALIVE const std::uint16_t *qzw_synthesized_samples()
{
    return Synthesized().samples.data();
}

// Runs `constants design ARGS...` (argv[0] "design"). Returns 0 with the text
// source `constants design --text` writes as the message and the 31 bytes in
// qzw_designed_image, or 1 with the error as the message.
EMSCRIPTEN_KEEPALIVE int qzw_design(int argc, const char *const *argv)
{
    try {
        qzw::PageChoices choices;
        qzw::ReadArguments(choices, argc, argv);
        const qzkit::ConstantsDesign design = qzkit::DesignConstants(choices.design);
        Designed() = design.image;
        Message() = qzkit::DesignText(design);
        return 0;
    } catch (const std::exception &error) {
        Message() = error.what();
        return 1;
    }
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t *qzw_designed_image()
{
    return Designed().data();
}

// The gains of the 31-byte constants at `image` at `count` frequencies from 0
// to half their rate: out[3 i] the frequency (Hz), out[3 i + 1] the low-pass
// gain relative to 0 Hz, out[3 i + 2] the high-pass gain relative to its pass
// band. Returns 0, or 1 with the reason as the message when the constants
// have no such response (no usable rate, low-pass taps without gain at 0 Hz,
// an unusable high-pass).
EMSCRIPTEN_KEEPALIVE int qzw_response(const std::uint8_t *image, int count, double *out)
{
    try {
        const qz::sampling_frequency_struct record = qzkit::ToSamplingRecord(ImageAt(image));
        const double rate = qzkit::ConstantsRate(ImageAt(image));
        if (!std::isfinite(rate) || rate <= 0.0) {
            throw qzkit::ToolkitError("the Period gives no sampling rate");
        }
        const qzkit::LowPassTaps taps = qzkit::TapsOf(record);
        const qzkit::HighPassCoefficients highPass = qzkit::HighPassOf(record);
        const double passBand = qzkit::HighPassPassBandGain(highPass, rate);
        if (!qzkit::HighPassStable(highPass) || !std::isfinite(passBand) || passBand <= 0.0) {
            throw qzkit::ToolkitError("the high-pass is unstable or has no pass band");
        }
        for (int i = 0; i < count; ++i) {
            const double frequency = rate / 2.0 * i / std::max(count - 1, 1);
            const std::size_t at = 3 * static_cast<std::size_t>(i);
            out[at] = frequency;
            out[at + 1] = std::fabs(qzkit::LowPassRelativeGain(taps, frequency, rate));
            out[at + 2] = std::abs(qzkit::HighPassResponse(highPass, frequency, rate)) / passBand;
        }
        return 0;
    } catch (const std::exception &error) {
        Message() = error.what();
        return 1;
    }
}

// Runs the test battery on the 31-byte constants at `image` with `settings`
// ("MASK PEAK BEAT DERIV"), the ECG families (`pulse` 0) or the pulse-wave
// ones, at `length` samples (0: both lengths), with the command's default
// phases and front-end gain, and writes its CSV to `csvPath`. Returns what
// `qzkit conformance` exits with: 0 every graded case passes, 1 one fails, 2
// an error; the summary it prints (or the error) is the message.
EMSCRIPTEN_KEEPALIVE int qzw_battery(const std::uint8_t *image, const char *settings, int pulse, int length,
                                     const char *csvPath)
{
    try {
        qzkit::BatteryOptions options;
        options.constants = ImageAt(image);
        options.settings = qzkit::ParseSettings(settings);
        if (length != 0) {
            options.lengths = {static_cast<std::size_t>(length)};
        }
        options.families = qzkit::FamiliesOfKind(pulse != 0);
        const std::vector<qzkit::BatteryRun> runs = qzkit::RunBattery(options);
        const std::vector<qzkit::CaseSummary> summaries = qzkit::SummarizeCases(runs);
        qzkit::WriteRunsCsv(csvPath, runs);
        Message() = qzkit::SummaryMarkdown(summaries, options.gainPerMillivolt);
        return qzkit::AllGradedCasesPass(summaries) ? 0 : 1;
    } catch (const std::exception &error) {
        Message() = error.what();
        return 2;
    }
}

EMSCRIPTEN_KEEPALIVE const char *qzw_toolkit_message()
{
    return Message().c_str();
}

}  // extern "C"
