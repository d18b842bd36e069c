// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <sstream>
#include <set>
#include <type_traits>

#include "io/AtomicFile.h"
#include "io/FileBytes.h"
#include "io/TextFormat.h"
#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kJournalTitle = "qzkit constants tune points 1";
constexpr double kSyncSeconds = 5.0;

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

std::vector<std::uint64_t> Counts(const TuneScores &scores)
{
    std::vector<std::uint64_t> counts;
    ForEachCount(scores, [&counts](const auto &count) { counts.push_back(count); });
    return counts;
}

// No measure above 100 %: nothing passes or agrees more often than it was
// graded or answered.
bool Possible(const TuneScores &scores)
{
    const BatteryScore &battery = scores.battery;
    const ManifestScore &training = scores.training;
    bool possible = battery.casesPassed <= battery.casesGraded && battery.runsPassed <= battery.runsGraded &&
                    training.answered <= training.withReference && training.agreeing <= training.withReference &&
                    training.within5 <= training.withReference && training.qi0Right <= training.qi0;
    for (std::size_t family = 0; family < kMaxTuneFamilies; ++family) {
        possible = possible && battery.familyPassed[family] <= battery.familyGraded[family];
    }
    return possible;
}

// One line: the counts, a tab, the candidate's key (a line end of CR LF
// read as LF). What is wrong with it, or nothing.
std::string ParsePoint(std::string_view line, KeptScores &kept)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab + 1 == line.size()) {
        return "not a scored point";
    }
    std::istringstream counts{std::string(line.substr(0, tab))};
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
        return "not a scored point";
    }
    if (!Possible(scores)) {
        return "impossible scores (more passed or agreeing than graded or answered)";
    }
    const std::string key(line.substr(tab + 1));
    const TuneScores *earlier = kept.Find(key);
    if (earlier != nullptr && Counts(*earlier) != Counts(scores)) {
        return "the point is kept twice with different scores";
    }
    kept.Add(key, scores);
    return {};
}

std::string DataLine(std::uint64_t fingerprint)
{
    return Format("data %016llx", static_cast<unsigned long long>(fingerprint));
}

bool IsDataLine(std::string_view line)
{
    constexpr std::string_view kPrefix = "data ";
    return line.size() == kPrefix.size() + 16 && line.substr(0, kPrefix.size()) == kPrefix &&
           line.find_first_not_of("0123456789abcdef", kPrefix.size()) == std::string_view::npos;
}

std::string PointLine(const std::string &key, const TuneScores &scores)
{
    std::string line;
    for (const std::uint64_t count : Counts(scores)) {
        line += Format(line.empty() ? "%llu" : " %llu", static_cast<unsigned long long>(count));
    }
    return line + "\t" + key + "\n";
}

std::string Header(std::uint64_t fingerprint)
{
    return std::string(kJournalTitle) + "\n" + DataLine(fingerprint) + "\n";
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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

const TuneScores *KeptScores::Find(const std::string &key) const
{
    const auto found = index_.find(key);
    return found == index_.end() ? nullptr : &points_[found->second].second;
}

bool KeptScores::Add(const std::string &key, const TuneScores &scores)
{
    if (!index_.emplace(key, points_.size()).second) {
        return false;
    }
    points_.emplace_back(key, scores);
    return true;
}

KeptScores ReadJournal(const std::filesystem::path &path, std::uint64_t fingerprint)
{
    const std::string text = ReadTextFile(path, kTableTextLimit);
    const std::string where = path.string() + ":";
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(std::string_view(text).substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || lines[0] != kJournalTitle) {
        throw ToolkitError(where + "1: not the points of a constants search");
    }
    if (lines.size() < 2 || !IsDataLine(lines[1])) {
        throw ToolkitError(where + "2: not the data line of a constants search's points");
    }
    if (lines[1] != DataLine(fingerprint)) {
        throw ToolkitError(where + " scored on other data (battery, training manifests or program version); "
                                   "search again without --resume");
    }
    KeptScores kept;
    for (std::size_t number = 3; number <= lines.size(); ++number) {
        const std::string fault = ParsePoint(lines[number - 1], kept);
        if (!fault.empty()) {
            const bool cut = number == lines.size() && text.back() != '\n';
            throw ToolkitError(where + Format("%zu: ", number) + fault +
                               (cut ? " (the line is cut short: remove it to resume)" : ""));
        }
    }
    return kept;
}

Journal::Journal(std::filesystem::path path, std::uint64_t fingerprint, KeptScores kept)
    : path_(std::move(path)), fingerprint_(fingerprint), kept_(std::move(kept))
{
}

Journal::~Journal()
{
    if (descriptor_ >= 0) {
        ::fsync(descriptor_);
        ::close(descriptor_);
    }
}

void Journal::Open()
{
    ReplaceFileNow(path_, [this](std::ostream &stream) {
        stream << Header(fingerprint_);
        for (const auto &[key, scores] : kept_.Points()) {
            stream << PointLine(key, scores);
        }
    });
    descriptor_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const off_t end = descriptor_ < 0 ? -1 : ::lseek(descriptor_, 0, SEEK_END);
    if (end < 0) {
        throw ToolkitError("cannot open " + path_.string() + ": " + std::strerror(errno));
    }
    length_ = end;
    lastSync_ = Now();
}

void Journal::Record(const Candidate &candidate, const TuneScores &scores)
{
    if (descriptor_ < 0) {
        Open();
    }
    const std::string line = PointLine(candidate.Key(), scores);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t written = ::write(descriptor_, line.data() + done, line.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const std::string reason = std::strerror(errno);
            // No line cut short; the write's error is the one reported (a
            // result kept, since the hardened build's ftruncate must not be ignored).
            [[maybe_unused]] const int truncated = ::ftruncate(descriptor_, length_);
            throw ToolkitError("cannot write " + path_.string() + ": " + reason);
        }
        done += static_cast<std::size_t>(written);
    }
    length_ += static_cast<off_t>(line.size());
    ++recorded_;
    if (Now() - lastSync_ >= kSyncSeconds) {
        ::fsync(descriptor_);
        lastSync_ = Now();
    }
}

void Journal::Checkpoint(const std::vector<Evaluated> &points)
{
    ReplaceFileNow(path_, [this, &points](std::ostream &stream) {
        stream << Header(fingerprint_);
        std::set<std::string> written;
        for (const Evaluated &point : points) {
            const std::string key = point.candidate.Key();
            written.insert(key);
            stream << PointLine(key, point.scores);
        }
        for (const auto &[key, scores] : kept_.Points()) {
            if (written.count(key) == 0) {
                stream << PointLine(key, scores);
            }
        }
    });
}

}  // namespace qzkit
