// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneData.h"

#include "ToolkitError.h"

namespace qzkit {
namespace {

std::vector<RecordInput> LoadRecords(const EvaluateOptions &options, const ConstantsImage &rateOnly)
{
    if (options.manifests.empty()) {
        return {};
    }
    std::vector<RecordInput> records = ReadRecords(options);
    CheckRates(records, rateOnly, "being tuned");
    return records;
}

ManifestScore ScoreRecords(const std::vector<RecordInput> &records, const ConstantsImage &image,
                           const qz::run_settings_struct &settings)
{
    if (records.empty()) {
        return {};
    }
    CombinationResult result{{{}, settings}, {}, {}, {}, 0.0};
    RunCombination(result, image, records);
    return ScoreManifests(result.summary);
}

}  // namespace

TuneData LoadTuneData(const BatteryOptions &battery, const EvaluateOptions &training,
                      const EvaluateOptions &validation)
{
    TuneData data;
    if (!battery.families.empty()) {
        data.battery = PrepareBattery(battery);
        data.families = battery.families;
    }
    data.training = LoadRecords(training, battery.constants);
    data.validation = LoadRecords(validation, battery.constants);
    if (data.battery.empty() && data.training.empty()) {
        throw ToolkitError("nothing to tune on: give battery families or training manifests");
    }
    return data;
}

TuneScores ScoreCandidate(const TuneData &data, const ConstantsImage &image, const qz::run_settings_struct &settings,
                          ScoreSet set)
{
    TuneScores scores;
    if (set == ScoreSet::Validation) {
        scores.validation = ScoreRecords(data.validation, image, settings);
        return scores;
    }
    if (!data.battery.empty()) {
        scores.battery = ScoreBattery(RunPreparedBattery(data.battery, image, settings), data.families);
    }
    scores.training = ScoreRecords(data.training, image, settings);
    return scores;
}

}  // namespace qzkit
