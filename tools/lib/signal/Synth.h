// SPDX-License-Identifier: Apache-2.0
// Deterministic synthetic recordings with known beat times: an ECG with
// P-QRS-T morphology or a pulse (PPG) wave, as 10-bit device counts.
#ifndef QZKIT_SYNTH_H
#define QZKIT_SYNTH_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "io/ReferenceBeats.h"

namespace qzkit {

enum class WaveKind { Ecg, Pulse };

struct SynthOptions {
    WaveKind kind = WaveKind::Ecg;
    double bpm = 72.0;              // mean rate
    double variability = 0.0;       // standard deviation of RR as a fraction of the mean RR
    double ectopicFraction = 0.0;   // probability that a beat is premature (with a compensatory pause)
    double noise = 0.0;             // standard deviation of white noise, counts
    double wander = 0.0;            // baseline wander amplitude, counts (about 0.3 Hz)
    double amplitude = 300.0;       // height of the main wave above the baseline, counts
    double offset = 512.0;          // baseline level, counts
    std::size_t length = QZ_LONG_RECORD_SAMPLES;  // samples
    double rate = 250.0;            // samples per second
    std::uint32_t seed = 1;
};

struct SynthBeat {
    std::size_t sample;  // index of the main wave's peak (R wave, or systolic peak)
    double time;         // sample / rate, seconds
    bool ectopic;
};

struct SynthRecording {
    double rate = 0.0;
    std::vector<std::uint16_t> samples;  // 0..1023
    std::vector<SynthBeat> beats;        // the beats whose peak lies inside the recording, in time order
};

// Throws ToolkitError when an option is out of its range (rate and bpm
// positive, length 1 to 10 million, fractions 0 to 1, ...). The same options
// always give the same recording, on every platform.
SynthRecording Synthesize(const SynthOptions &options);

// Mean rate of the true beats, 60 / mean RR; 0 with fewer than two beats.
double TrueBpm(const SynthRecording &recording);

// Writes base + ".ecg" (the samples) and base + ".beats.csv" (columns
// sample,time_s,type with type N or V), each atomically.
void WriteSynthFiles(const std::filesystem::path &base, const SynthRecording &recording);

// The beat list as CSV text: header "sample,time_s,type", one row per beat.
std::string BeatsCsv(const SynthRecording &recording);

// The true beats as reference beats (ticks are sample indices).
ReferenceBeats SynthReference(const SynthRecording &recording);

// Writes the recording as a WFDB record (base + ".hea", ".dat" in format 16,
// 200 counts per mV with count 512 as 0 mV) and its beats as base + ".atr"
// (N, or V for premature beats).
void WriteSynthWfdb(const std::filesystem::path &base, const SynthRecording &recording);

// Writes base + ".manifest.csv" naming base + ".ecg" as the one window, with
// its true reference rate. ToolkitError unless the recording has one of
// the tool's record lengths (IsRecordLength).
void WriteSynthManifest(const std::filesystem::path &base, const SynthRecording &recording);

}  // namespace qzkit

#endif
