// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneData.h"

#include <bit>
#include <cinttypes>
#include <span>
#include <sstream>

#include "io/TextFormat.h"
#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// 64-bit FNV-1a over the values fed to it.
class Fingerprint {
public:
    void Add(std::uint64_t value)
    {
        for (int byte = 0; byte < 8; ++byte) {
            hash_ = (hash_ ^ ((value >> (8 * byte)) & 0xFFu)) * 0x100000001B3u;
        }
    }
    void Add(double value) { Add(std::bit_cast<std::uint64_t>(value)); }
    void Add(const std::optional<double> &value)
    {
        Add(std::uint64_t{value.has_value()});
        Add(value.value_or(0.0));
    }
    void Add(const std::string &text)
    {
        Add(std::uint64_t{text.size()});
        for (const char c : text) {
            Add(std::uint64_t{static_cast<unsigned char>(c)});
        }
    }
    template <typename T>
    void Add(const std::vector<T> &values)
    {
        Add(std::uint64_t{values.size()});
        for (const T &value : values) {
            Add(value);
        }
    }
    void Add(std::uint16_t value) { Add(std::uint64_t{value}); }
    std::uint64_t Value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xCBF29CE484222325u;
};

void AddRecords(Fingerprint &fingerprint, std::span<const RecordInput> records)
{
    fingerprint.Add(std::uint64_t{records.size()});
    for (const RecordInput &record : records) {
        fingerprint.Add(record.windows);
        for (const WindowReference &reference : record.references) {
            fingerprint.Add(std::uint64_t{reference.firstBeat});
            fingerprint.Add(std::uint64_t{reference.beats});
            fingerprint.Add(reference.bpm);
        }
        for (const ManifestEntry &entry : record.entries) {
            fingerprint.Add(std::uint64_t{entry.startSample});
            fingerprint.Add(entry.rate);
            fingerprint.Add(entry.referenceBpm);
            fingerprint.Add(std::uint64_t{entry.referenceBeats.value_or(SIZE_MAX)});
        }
        fingerprint.Add(record.beats ? record.beats->ticks : std::vector<double>{});
        fingerprint.Add(record.beats ? record.beats->ticksPerSecond : 0.0);
    }
}

std::uint64_t FingerprintOf(const std::vector<std::string> &families, std::span<const PreparedRun> battery,
                            std::span<const RecordInput> records)
{
    Fingerprint fingerprint;
    fingerprint.Add(std::string(QZ_VERSION_NUMBER));
    fingerprint.Add(families);
    for (const PreparedRun &run : battery) {
        fingerprint.Add(run.samples);
        fingerprint.Add(run.trueTimes);
        fingerprint.Add(run.expectedBpm);
        fingerprint.Add(run.rate);
        fingerprint.Add(run.phase);
    }
    AddRecords(fingerprint, records);
    return fingerprint.Value();
}

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

std::vector<PreparedRun> FamilyRuns(const TuneData &data, const std::string &family)
{
    std::vector<PreparedRun> runs;
    for (const PreparedRun &run : data.battery) {
        if (run.testCase->family == family) {
            runs.push_back(run);
        }
    }
    return runs;
}

std::string Joined(const std::vector<std::string> &words)
{
    std::string text;
    for (const std::string &word : words) {
        text += (text.empty() ? "" : ",") + word;
    }
    return text;
}

std::vector<std::string> Split(const std::string &text)
{
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; std::getline(stream, word, ',');) {
        words.push_back(word);
    }
    return words;
}

std::string FingerprintText(std::uint64_t fingerprint)
{
    return Format("%016" PRIx64, fingerprint);
}

void AddManifestShards(std::vector<TuneShard> &shards, ScoreSet set, const std::vector<RecordInput> &records,
                       const std::vector<std::filesystem::path> &manifests)
{
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::error_code error;
        const std::string path = std::filesystem::absolute(manifests[i], error).string();
        if (error || path.find_first_of("\r\n") != std::string::npos) {
            throw ToolkitError(manifests[i].string() + ": cannot be named on one line to a scorer outside qzkit");
        }
        const std::uint64_t fingerprint = FingerprintOf({}, {}, std::span(&records[i], 1));
        shards.push_back({set, "manifest " + FingerprintText(fingerprint) + " " + path});
    }
}

// One family's battery runs: the rest of a shard's text after its
// fingerprint is the rate, the seeds, the family and every family.
void LoadBatteryShard(std::istringstream &text, const std::string &fingerprint, TuneData &data)
{
    std::string rateText;
    std::string seedsText;
    std::string family;
    std::string families;
    std::string extra;
    double rate = 0.0;
    std::int64_t seeds = 0;
    if (!(text >> rateText >> seedsText >> family >> families) || text >> extra || !ParseNumber(rateText, rate) ||
        !(rate > 0.0) || !ParseInteger(seedsText, seeds) || seeds < 1) {
        throw ToolkitError("'" + text.str() + "': not a shard of a constants search");
    }
    data.families = Split(families);
    BatteryOptions battery;
    battery.constants = RateOnlyImage(rate);
    battery.seeds = static_cast<std::size_t>(seeds);
    battery.families = {family};
    data.battery = PrepareBattery(battery);
    if (FingerprintText(FingerprintOf(data.families, data.battery, {})) != fingerprint) {
        throw ToolkitError("battery family " + family + ": its runs differ from the search's (another version of "
                                                        "qzkit?)");
    }
}

// One manifest's windows: the rest of a shard's text after its fingerprint
// is the manifest's path.
void LoadManifestShard(std::istringstream &text, const std::string &fingerprint, std::vector<RecordInput> &records)
{
    std::string path;
    if (text.get() != ' ' || !std::getline(text, path) || path.empty()) {
        throw ToolkitError("'" + text.str() + "': not a shard of a constants search");
    }
    EvaluateOptions options;
    options.manifests = {path};
    records = ReadRecords(options);
    if (FingerprintText(FingerprintOf({}, {}, records)) != fingerprint) {
        throw ToolkitError(path + ": the windows read here differ from the ones the search read (other files "
                                  "under the same path, or another version of qzkit)");
    }
}

}  // namespace

ConstantsImage RateOnlyImage(double rate)
{
    ConstantsImage image{};
    WriteFloatValue(image, FindConstantsField("Period"), 0, EncodeFloat24(1.0 / rate));
    return image;
}

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

std::uint64_t DataFingerprint(const TuneData &data)
{
    return FingerprintOf(data.families, data.battery, data.training);
}

std::vector<TuneShard> Shards(const TuneData &data, double rate, std::size_t seeds,
                              const std::vector<std::filesystem::path> &training,
                              const std::vector<std::filesystem::path> &validation)
{
    std::vector<TuneShard> shards;
    for (const std::string &family : data.families) {
        const std::uint64_t fingerprint = FingerprintOf(data.families, FamilyRuns(data, family), {});
        shards.push_back({ScoreSet::Training, "battery " + FingerprintText(fingerprint) + Format(" %.17g %zu ", rate, seeds) +
                                                  family + " " + Joined(data.families)});
    }
    AddManifestShards(shards, ScoreSet::Training, data.training, training);
    AddManifestShards(shards, ScoreSet::Validation, data.validation, validation);
    return shards;
}

TuneData LoadShard(const TuneShard &shard)
{
    std::istringstream text(shard.text);
    std::string kind;
    std::string fingerprint;
    text >> kind >> fingerprint;
    TuneData data;
    if (kind == "battery" && shard.set == ScoreSet::Training) {
        LoadBatteryShard(text, fingerprint, data);
    } else if (kind == "manifest") {
        LoadManifestShard(text, fingerprint, shard.set == ScoreSet::Training ? data.training : data.validation);
    } else {
        throw ToolkitError("'" + shard.text + "': not a shard of a constants search");
    }
    return data;
}

}  // namespace qzkit
