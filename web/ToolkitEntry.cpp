// The companion program's parts in the page, by their very code: conversion
// (a recording the page has put into its file system is read, mapped to 10
// bits and cut into windows as `qzkit convert` does, into a folder the page
// then reads) and synthetic recordings (as `qzkit synth` makes them).
#include <emscripten/emscripten.h>

#include <exception>
#include <string>

#include "convert/Convert.h"
#include "signal/Synth.h"

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

EMSCRIPTEN_KEEPALIVE const char *qzw_toolkit_message()
{
    return Message().c_str();
}

}  // extern "C"
