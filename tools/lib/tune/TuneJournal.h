// SPDX-License-Identifier: Apache-2.0
// The points a search scored, kept beside its results (BASE.points) so that
// a stopped search can be resumed: the search is deterministic for its
// options and seed, so fed the kept scores it retraces its steps at once and
// goes on where it stopped. The file names the data the scores were made on
// (a fingerprint of the battery's waveforms, the training windows and their
// references, and the program's version), and is only used on the same data.
#ifndef QZKIT_TUNE_JOURNAL_H
#define QZKIT_TUNE_JOURNAL_H

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tune/TuneData.h"
#include "tune/TuneSearch.h"

namespace qzkit {

inline constexpr const char *kJournalExtension = ".points";

// Training scores (battery and training manifests) by candidate key, in the
// order they were kept.
class KeptScores {
public:
    const TuneScores *Find(const std::string &key) const;
    // False (and nothing kept) when `key` is kept already.
    bool Add(const std::string &key, const TuneScores &scores);
    std::size_t Size() const { return points_.size(); }
    const std::vector<std::pair<std::string, TuneScores>> &Points() const { return points_; }

private:
    std::vector<std::pair<std::string, TuneScores>> points_;
    std::map<std::string, std::size_t> index_;
};

// The scores kept in `path` (a regular file of at most 256 MiB), checked line
// by line. ToolkitError when it cannot be read, is not a journal, was made on
// other data than `fingerprint`, or has a line that does not parse or holds
// impossible scores (its line number given).
KeptScores ReadJournal(const std::filesystem::path &path, std::uint64_t fingerprint);

// The journal of a run: the kept points and every point scored since, written
// as they are scored, so that a run that is killed loses nothing it scored.
// Until the first new point the file is left as it was; then it is made anew
// (the kept points in their order) and each point is appended as one line,
// the file synced to disk every few seconds. Every state of the file is a
// journal ReadJournal reads.
class Journal {
public:
    Journal(std::filesystem::path path, std::uint64_t fingerprint, KeptScores kept);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const KeptScores &Kept() const { return kept_; }
    // Points written by this run so far.
    std::size_t Recorded() const { return recorded_; }

    // Appends a newly scored point. ToolkitError when it cannot be written.
    void Record(const Candidate &candidate, const TuneScores &scores);

    // Rewrites the file whole: `points` in their order, then every kept point
    // that is not among them (a journal never loses a point).
    void Checkpoint(const std::vector<Evaluated> &points);

private:
    void Open();

    std::filesystem::path path_;
    std::uint64_t fingerprint_;
    KeptScores kept_;
    int descriptor_ = -1;
    off_t length_ = 0;  // of the file: the end of its last whole line
    std::size_t recorded_ = 0;
    double lastSync_ = 0.0;
};

}  // namespace qzkit

#endif
