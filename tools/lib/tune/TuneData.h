// SPDX-License-Identifier: Apache-2.0
// What `constants tune` scores candidates on: the battery's runs, made once,
// and the windows of the training and the validation manifests, read once.
#ifndef QZKIT_TUNE_DATA_H
#define QZKIT_TUNE_DATA_H

#include <string>
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

// The battery (when `battery.families` is not empty) and the manifests;
// ToolkitError for unreadable input or windows at another rate than `rate`.
TuneData LoadTuneData(const BatteryOptions &battery, const EvaluateOptions &training,
                      const EvaluateOptions &validation);

// Training scores (battery and training manifests), or validation scores
// (validation manifests only).
TuneScores ScoreCandidate(const TuneData &data, const ConstantsImage &image, const qz::run_settings_struct &settings,
                          ScoreSet set);

}  // namespace qzkit

#endif
