// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneJournal.h"

#include <bit>
#include <fstream>
#include <limits>
#include <sstream>
#include <type_traits>

#include "io/TextFormat.h"
#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kJournalTitle = "qzkit constants tune points 1";

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

void AddRecords(Fingerprint &fingerprint, const std::vector<RecordInput> &records)
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

// Calls `visit` on every count of the training scores (the battery's and the
// training manifests'), in the order the journal keeps them.
template <typename Scores, typename Visit>
void ForEachCount(Scores &scores, const Visit &visit)
{
    auto &battery = scores.battery;
    for (auto *count : {&battery.casesPassed, &battery.casesGraded, &battery.runsPassed, &battery.runsGraded}) {
        visit(*count);
    }
    for (auto &count : battery.familyPassed) {
        visit(count);
    }
    for (auto &count : battery.familyGraded) {
        visit(count);
    }
    auto &training = scores.training;
    for (auto *count : {&training.withReference, &training.answered, &training.agreeing, &training.within5,
                        &training.qi0, &training.qi0Right, &training.beatWindows}) {
        visit(*count);
    }
    for (auto *count : {&training.beats.truePositives, &training.beats.falseNegatives,
                        &training.beats.falsePositives}) {
        visit(*count);
    }
}

// One line: the counts, a tab, the candidate's key.
bool ParsePoint(const std::string &line, KnownScores &known)
{
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
        return false;
    }
    std::istringstream counts(line.substr(0, tab));
    TuneScores scores;
    bool valid = true;
    ForEachCount(scores, [&counts, &valid](auto &count) {
        using Count = std::remove_reference_t<decltype(count)>;
        std::string word;
        std::int64_t value = 0;
        valid = valid && counts >> word && ParseInteger(word, value) && value >= 0 &&
                static_cast<std::uint64_t>(value) <= std::numeric_limits<Count>::max();
        count = valid ? static_cast<Count>(value) : Count{0};
    });
    std::string extra;
    if (!valid || counts >> extra) {
        return false;
    }
    known[line.substr(tab + 1)] = scores;
    return true;
}

}  // namespace

std::uint64_t DataFingerprint(const TuneData &data)
{
    Fingerprint fingerprint;
    fingerprint.Add(std::string(QZ_VERSION_NUMBER));
    fingerprint.Add(data.families);
    for (const PreparedRun &run : data.battery) {
        fingerprint.Add(run.samples);
        fingerprint.Add(run.trueTimes);
        fingerprint.Add(run.expectedBpm);
        fingerprint.Add(run.rate);
        fingerprint.Add(run.phase);
    }
    AddRecords(fingerprint, data.training);
    return fingerprint.Value();
}

std::string JournalText(std::uint64_t fingerprint, const std::vector<Evaluated> &points)
{
    std::string text = std::string(kJournalTitle) + Format("\ndata %016llx\n", static_cast<unsigned long long>(fingerprint));
    for (const Evaluated &point : points) {
        std::string counts;
        ForEachCount(point.scores, [&counts](const auto &count) {
            counts += Format(counts.empty() ? "%llu" : " %llu", static_cast<unsigned long long>(count));
        });
        text += counts + "\t" + point.candidate.Key() + "\n";
    }
    return text;
}

KnownScores ReadJournal(const std::filesystem::path &path, std::uint64_t fingerprint)
{
    // Read past the run's record of inputs: the run replaces this file with
    // the points it scores, these among them.
    std::ifstream lines(path);
    if (!lines) {
        throw ToolkitError(path.string() + ": cannot open");
    }
    std::string title;
    std::string data;
    if (!std::getline(lines, title) || title != kJournalTitle || !std::getline(lines, data)) {
        throw ToolkitError(path.string() + ": not the points of a constants search");
    }
    if (data != Format("data %016llx", static_cast<unsigned long long>(fingerprint))) {
        throw ToolkitError(path.string() +
                           ": scored on other data (battery, training manifests or program version); "
                           "search again without --resume");
    }
    KnownScores known;
    std::string line;
    for (std::size_t number = 3; std::getline(lines, line); ++number) {
        if (!ParsePoint(line, known)) {
            throw ToolkitError(path.string() + Format(":%zu: not a scored point", number));
        }
    }
    return known;
}

}  // namespace qzkit
