// SPDX-License-Identifier: Apache-2.0
// The points a search scored, kept beside its results (BASE.points) so that
// a stopped search can be resumed: the search is deterministic for its
// options and seed, so fed the kept scores it retraces its steps at once and
// goes on where it stopped. The file names the data the scores were made on
// (a fingerprint of the battery's waveforms, the training windows and their
// references, and the program's version), and is only used on the same data.
#ifndef QZKIT_TUNE_JOURNAL_H
#define QZKIT_TUNE_JOURNAL_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tune/TuneData.h"
#include "tune/TuneSearch.h"

namespace qzkit {

inline constexpr const char *kJournalExtension = ".points";

// What the training scores depend on besides the candidate.
std::uint64_t DataFingerprint(const TuneData &data);

// The training scores (battery and training manifests) by candidate key.
using KnownScores = std::map<std::string, TuneScores>;

std::string JournalText(std::uint64_t fingerprint, const std::vector<Evaluated> &points);

// The scores kept in `path`. ToolkitError when it cannot be read, is not a
// journal, or was made on other data than `fingerprint`.
KnownScores ReadJournal(const std::filesystem::path &path, std::uint64_t fingerprint);

}  // namespace qzkit

#endif
