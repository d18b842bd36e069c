// SPDX-License-Identifier: Apache-2.0
// The companion program's parts in the page, by their very code: conversion
// (a recording the page has put into its file system is read, mapped to 10
// bits and cut into windows as `qzkit convert` does, into a folder the page
// then reads), synthetic recordings (as `qzkit synth` makes them), constants
// designed from physical choices with their text (`qzkit constants design`),
// the filters' frequency responses, and the test battery with its summary
// (`qzkit conformance`).
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <exception>
#include <string>

#include "conformance/Battery.h"
#include "conformance/ConformanceReport.h"
#include "constants/ConstantsDesign.h"
#include "constants/ConstantsResponse.h"
#include "convert/Convert.h"
#include "run/RunSettingsText.h"
#include "signal/Synth.h"
#include "ToolkitError.h"

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

qzkit::ConstantsImage ImageAt(const std::uint8_t *bytes)
{
    qzkit::ConstantsImage image{};
    std::copy(bytes, bytes + image.size(), image.begin());
    return image;
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

// Makes a synthetic recording (`pulse` 0: ECG, else a pulse wave at 250 Hz).
// Returns its sample count, with the true rate as the message, or -1 with the
// error as the message.
EMSCRIPTEN_KEEPALIVE int qzw_synthesize(int pulse, double bpm, double variability, double ectopicFraction,
                                        double noise, double wander, double amplitude, int length, int seed)
{
    try {
        qzkit::SynthOptions options;
        options.kind = pulse != 0 ? qzkit::WaveKind::Pulse : qzkit::WaveKind::Ecg;
        options.bpm = bpm;
        options.variability = variability;
        options.ectopicFraction = ectopicFraction;
        options.noise = noise;
        options.wander = wander;
        options.amplitude = amplitude;
        options.length = static_cast<std::size_t>(length > 0 ? length : 0);
        options.seed = static_cast<std::uint32_t>(seed);
        Synthesized() = qzkit::Synthesize(options);
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

// Designs a constants set (`highPassOrder` 3 or 1). Returns 0 with the text
// source `constants design --text` writes as the message and the 31 bytes in
// qzw_designed_image, or 1 with the error as the message.
EMSCRIPTEN_KEEPALIVE int qzw_design(double rate, double lowPassCutoff, double highPassCutoff, int highPassOrder,
                                    double swing, int minBpm, int maxBpm, int onePeakBpm)
{
    try {
        const auto bpm = [](int value, const char *what) {
            if (value < 0 || value > 65535) {
                throw qzkit::ToolkitError(std::string(what) + " must be 0 to 65535 BPM");
            }
            return static_cast<std::uint16_t>(value);
        };
        qzkit::DesignRequest request;
        request.rate = rate;
        request.lowPassCutoff = lowPassCutoff;
        request.highPassCutoff = highPassCutoff;
        request.highPassOrder = highPassOrder;
        request.swing = swing;
        request.minBpm = bpm(minBpm, "the lowest rate");
        request.maxBpm = bpm(maxBpm, "the highest rate");
        request.onePeakBpm = bpm(onePeakBpm, "the one-peak rate");
        const qzkit::ConstantsDesign design = qzkit::DesignConstants(request);
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
            out[3 * i] = frequency;
            out[3 * i + 1] = std::fabs(qzkit::LowPassRelativeGain(taps, frequency, rate));
            out[3 * i + 2] = std::abs(qzkit::HighPassResponse(highPass, frequency, rate)) / passBand;
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
