// SPDX-License-Identifier: Apache-2.0
// What `constants tune` scores candidates on: the battery's runs, made once,
// and the windows of the training and the validation manifests, read once;
// and its shards, the parts a scorer outside the program (a cluster) reads
// and scores one by one.
#ifndef QZKIT_TUNE_DATA_H
#define QZKIT_TUNE_DATA_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "conformance/Battery.h"
#include "evaluate/ManifestEvaluation.h"
#include "tune/TuneScores.h"

namespace qzkit {

struct TuneData {
    std::vector<PreparedRun> battery;
    std::vector<std::string> families;  // of the battery, in its order
    std::vector<RecordInput> training;
    std::vector<RecordInput> validation;
};

// The 31 bytes that carry only a sampling period of 1 / `rate` (for the
// battery's waveforms and the manifests' rate check).
ConstantsImage RateOnlyImage(double rate);

// The battery (when `battery.families` is not empty) and the manifests;
// ToolkitError for unreadable input or windows at another rate than `rate`.
TuneData LoadTuneData(const BatteryOptions &battery, const EvaluateOptions &training,
                      const EvaluateOptions &validation);

// Training scores (battery and training manifests), or validation scores
// (validation manifests only).
TuneScores ScoreCandidate(const TuneData &data, const ConstantsImage &image, const qz::run_settings_struct &settings,
                          ScoreSet set);

// What the training scores depend on besides the candidate: the program's
// version, the battery's waveforms, the training windows and their references.
std::uint64_t DataFingerprint(const TuneData &data);

// A part of the data scored on its own: one battery family (of the training
// set) or one manifest. Counts add, so the scores of a set's shards sum to
// the set's scores. `text` is one line saying what to read and the
// fingerprint of what this program read.
struct TuneShard {
    ScoreSet set;
    std::string text;
};

// The shards of `data`, which was loaded from the manifests `training` and
// `validation` and with the battery made at `rate` with `seeds` phases.
// ToolkitError for a manifest whose path cannot be written on one line.
std::vector<TuneShard> Shards(const TuneData &data, double rate, std::size_t seeds,
                              const std::vector<std::filesystem::path> &training,
                              const std::vector<std::filesystem::path> &validation);

// The data of one shard, read again (by a worker): its family's runs or its
// manifest's windows, in the set of `shard.set`. ToolkitError when the text
// is not a shard's, the files cannot be read, or what was read differs from
// what the program read (other files under the same path, another version).
TuneData LoadShard(const TuneShard &shard);

}  // namespace qzkit

#endif
