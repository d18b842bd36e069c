// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>

#include "io/AppendFile.h"
#include "io/AtomicFile.h"
#include "io/FileBytes.h"
#include "io/TextFormat.h"
#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kJournalTitle = "qzkit constants tune points 1";
constexpr double kSyncSeconds = 5.0;

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
    const std::optional<TuneScores> scores = ParseCounts(line.substr(0, tab), false);
    if (!scores) {
        return "not a scored point";
    }
    if (!Possible(*scores)) {
        return "impossible scores (more passed or agreeing than graded or answered)";
    }
    const std::string key(line.substr(tab + 1));
    const TuneScores *earlier = kept.Find(key);
    if (earlier != nullptr && CountsOf(*earlier, false) != CountsOf(*scores, false)) {
        return "the point is kept twice with different scores";
    }
    kept.Add(key, *scores);
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
    return CountsText(scores, false) + "\t" + key + "\n";
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
            std::string message = where + Format("%zu: ", number);
            message += fault;
            message += cut ? " (the line is cut short: remove it to resume)" : "";
            throw ToolkitError(message);
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
    const int cause = WriteWhole(descriptor_, line.data(), line.size());
    if (cause != 0) {
        // No line cut short; the write's error is the one reported (a
        // result kept, since the hardened build's ftruncate must not be ignored).
        [[maybe_unused]] const int truncated = ::ftruncate(descriptor_, length_);
        throw ToolkitError("cannot write " + path_.string() + ": " + std::strerror(cause));
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
