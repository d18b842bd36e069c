// SPDX-License-Identifier: Apache-2.0
#include "signal/Synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "io/EcgFile.h"
#include "io/Manifest.h"
#include "io/TextFormat.h"
#include "run/RecordLength.h"
#include "ToolkitError.h"
#include "io/wfdb/MitAnnotations.h"
#include "io/wfdb/WfdbWriter.h"
#include "signal/BeatWaves.h"
#include "signal/DeterministicRandom.h"

namespace qzkit {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kMaxVariability = 0.5;
constexpr double kMinSamplesPerBeat = 2.0;
constexpr const char *kBeatsSuffix = ".beats.csv";  // the true beats beside the recording
// Premature beats come after this fraction of the mean RR; the pause after
// them makes up the rest of two mean intervals (a compensatory pause).
constexpr double kCouplingFraction = 0.6;
// A beat's waveform is drawn over this span around its peak, seconds.
constexpr BeatSpan kBeatSpan{0.5, 0.8};
// The pulse wave keeps its widths at every rate and ejects less on a premature beat.
constexpr PulseShape kPulseShape{0.25, 0.0, false};
constexpr double kPrematurePulseHeight = 0.55;
// The WFDB form of a synthetic recording: counts per mV and the count of 0 mV.
constexpr double kWfdbGain = 200.0;
constexpr int kWfdbBaseline = 512;

void CheckRange(bool inRange, const std::string &what)
{
    if (!inRange) {
        throw ToolkitError(what);
    }
}

void Validate(const SynthOptions &options)
{
    CheckRange(options.rate > 0.0 && options.rate <= kMaxWaveRate,
               Format("rate must be above 0 and at most %g Hz", kMaxWaveRate));
    CheckRange(options.bpm > 0.0 && options.bpm <= kMaxWaveBpm, Format("bpm must be above 0 and at most %g", kMaxWaveBpm));
    // Bounds the beat count by the recording's length in samples.
    CheckRange(options.rate * 60.0 / options.bpm >= kMinSamplesPerBeat,
               "bpm must leave at least 2 samples per beat (at most 30 times the rate)");
    CheckRange(options.length >= 1 && options.length <= kMaxWaveLength,
               Format("length must be 1 to %zu samples", kMaxWaveLength));
    CheckRange(options.variability >= 0.0 && options.variability <= kMaxVariability,
               "variability must be 0 to 0.5");
    CheckRange(options.ectopicFraction >= 0.0 && options.ectopicFraction <= 1.0, "ectopic fraction must be 0 to 1");
    CheckRange(options.noise >= 0.0 && options.noise <= 1024.0, "noise must be 0 to 1024 counts");
    CheckRange(options.wander >= 0.0 && options.wander <= 1024.0, "wander must be 0 to 1024 counts");
    CheckRange(std::abs(options.amplitude) <= 1024.0, "amplitude must be -1024 to 1024 counts");
    CheckRange(std::abs(options.offset) <= 2048.0, "offset must be -2048 to 2048 counts");
}

// Beats from two intervals before the start to two after the end, so the
// recording starts and ends inside a regular rhythm.
std::vector<ScheduledBeat> PlanBeats(const SynthOptions &options, DeterministicRandom &random)
{
    const double meanInterval = 60.0 / options.bpm;
    const double duration = static_cast<double>(options.length) / options.rate;
    const double first = -2.0 * meanInterval + random.Uniform() * meanInterval;
    double interval = meanInterval;
    bool ectopic = false;
    return ScheduleBeats(first, duration + 2.0 * meanInterval, options.rate, [&](std::size_t, double) {
        const BeatStep beat{interval, ectopic, 0.0};
        const double factor = std::max(0.3, 1.0 + options.variability * random.Gaussian());
        const bool nextEctopic = !ectopic && random.Uniform() < options.ectopicFraction;
        double fraction = 1.0;
        if (ectopic) {
            fraction = 2.0 - kCouplingFraction;
        } else if (nextEctopic) {
            fraction = kCouplingFraction;
        }
        interval = meanInterval * fraction * factor;
        ectopic = nextEctopic;
        return BeatStep{beat.interval, beat.alternate, interval};
    });
}

// P-QRS-T as a sum of Gaussian waves, R peak (value 1) at t = 0; the P and T
// waves move closer to the QRS at short intervals. A premature beat has no P
// wave, a wide QRS and an inverted T wave.
double EcgWave(double t, double interval, bool ectopic)
{
    const double scale = IntervalScale(interval);
    if (ectopic) {
        return 1.0 * Bump(t, 0.0, 0.022) - 0.35 * Bump(t, 0.06, 0.025) - 0.35 * Bump(t, 0.3 * scale, 0.06);
    }
    return 0.12 * Bump(t, -0.16 * scale, 0.022) - 0.10 * Bump(t, -0.028, 0.008) + 1.0 * Bump(t, 0.0, 0.010) -
           0.22 * Bump(t, 0.028, 0.009) + 0.28 * Bump(t, 0.26 * scale, 0.045);
}

double SynthPulseWave(double t, double interval, bool ectopic)
{
    const double wave = PulseWave(t, interval, kPulseShape);
    return ectopic ? kPrematurePulseHeight * wave : wave;
}

std::vector<double> RenderWaves(const SynthOptions &options, const std::vector<ScheduledBeat> &beats)
{
    std::vector<double> signal(options.length, 0.0);
    RenderBeats(
        beats, options.rate, signal, [](const ScheduledBeat &) { return kBeatSpan; },
        [&options](const ScheduledBeat &beat, double t) {
            return options.kind == WaveKind::Ecg ? EcgWave(t, beat.interval, beat.alternate)
                                                 : SynthPulseWave(t, beat.interval, beat.alternate);
        });
    return signal;
}

std::uint16_t ToCounts(double value)
{
    return static_cast<std::uint16_t>(std::clamp(std::round(value), 0.0, 1023.0));
}

}  // namespace

SynthRecording Synthesize(const SynthOptions &options)
{
    Validate(options);
    DeterministicRandom random(options.seed);
    const std::vector<ScheduledBeat> beats = PlanBeats(options, random);
    const std::vector<double> waves = RenderWaves(options, beats);

    const double wanderPhase = kTwoPi * random.Uniform();
    const double slowPhase = kTwoPi * random.Uniform();
    SynthRecording recording;
    recording.rate = options.rate;
    recording.samples.resize(options.length);
    for (std::size_t i = 0; i < options.length; ++i) {
        const double t = static_cast<double>(i) / options.rate;
        const double wander = options.wander * (0.8 * std::sin(kTwoPi * 0.3 * t + wanderPhase) +
                                                0.2 * std::sin(kTwoPi * 0.07 * t + slowPhase));
        const double noise = options.noise > 0.0 ? options.noise * random.Gaussian() : 0.0;
        recording.samples[i] = ToCounts(options.offset + options.amplitude * waves[i] + wander + noise);
    }
    const double length = static_cast<double>(options.length);
    for (const ScheduledBeat &beat : beats) {
        const double index = std::round(beat.time * options.rate);
        if (index >= 0.0 && index < length) {
            recording.beats.push_back({static_cast<std::size_t>(index), beat.time, beat.alternate});
        }
    }
    return recording;
}

double TrueBpm(const SynthRecording &recording)
{
    if (recording.beats.size() < 2) {
        return 0.0;
    }
    const double span = recording.beats.back().time - recording.beats.front().time;
    return 60.0 * static_cast<double>(recording.beats.size() - 1) / span;
}

std::string BeatsCsv(const SynthRecording &recording)
{
    std::ostringstream text;
    text << "sample,time_s,type\n";
    for (const SynthBeat &beat : recording.beats) {
        char line[64];
        std::snprintf(line, sizeof line, "%zu,%.6f,%c\n", beat.sample, beat.time, beat.ectopic ? 'V' : 'N');
        text << line;
    }
    return text.str();
}

void WriteSynthFiles(const std::filesystem::path &base, const SynthRecording &recording)
{
    const std::filesystem::path beatsPath = WithSuffix(base, kBeatsSuffix);
    WriteEcgFile(WithSuffix(base, QZ_RECORD_EXTENSION), recording.samples);
    const std::string csv = BeatsCsv(recording);
    WriteFileAtomically(beatsPath, [&csv](std::ostream &stream) { stream << csv; });
}

ReferenceBeats SynthReference(const SynthRecording &recording)
{
    ReferenceBeats reference;
    reference.ticksPerSecond = recording.rate;
    reference.source = "synthetic beats";
    for (const SynthBeat &beat : recording.beats) {
        reference.ticks.push_back(static_cast<double>(beat.sample));
    }
    return reference;
}

void WriteSynthWfdb(const std::filesystem::path &base, const SynthRecording &recording)
{
    const std::vector<int> samples(recording.samples.begin(), recording.samples.end());
    WriteWfdbRecord16(base, {recording.rate, kWfdbGain, kWfdbBaseline, "mV", "synthetic"}, samples);
    std::vector<Annotation> annotations;
    for (const SynthBeat &beat : recording.beats) {
        Annotation annotation;
        annotation.sample = static_cast<std::int64_t>(beat.sample);
        annotation.code = beat.ectopic ? annotation_code::Pvc : annotation_code::Normal;
        annotations.push_back(annotation);
    }
    WriteMitAnnotations(WithSuffix(base, ".atr"), annotations);
}

void WriteSynthManifest(const std::filesystem::path &base, const SynthRecording &recording)
{
    if (!IsRecordLength(recording.samples.size())) {
        throw ToolkitError("a manifest needs a recording of " + RecordLengthsText() + " samples");
    }
    const std::size_t length = recording.samples.size();
    ManifestEntry entry;
    entry.file = base.filename().string() + QZ_RECORD_EXTENSION;
    entry.samples = length;
    entry.rate = recording.rate;
    const WindowReference reference = ReferenceForWindow(SynthReference(recording), 0, length, recording.rate);
    entry.referenceBeats = reference.beats;
    entry.referenceBpm = reference.bpm;
    entry.beatsFile = base.filename().string() + kBeatsSuffix;
    WriteManifest(WithSuffix(base, ".manifest.csv"), {entry});
}

}  // namespace qzkit
