// SPDX-License-Identifier: Apache-2.0
// The scoring rules shared by evaluate and conformance: which QI reports no
// rate, found beat times matched one-to-one with reference beat times, and
// the rule that says when a reported rate agrees with a reference rate.
#ifndef QZKIT_BEAT_MATCH_H
#define QZKIT_BEAT_MATCH_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>

namespace qzkit {

// QI 3: a bad or failed measurement, no rate reported; QI 0-2 is an answer.
inline constexpr std::uint16_t kNoRateQi = QZ_QI_PATTERN_3 >> QZ_RESULT_QI_SHIFT;

// A found beat matches a reference beat at most this far away.
inline constexpr double kBeatMatchToleranceSeconds = 0.150;

// A rate agrees with the reference when within the larger of these.
inline constexpr double kToleranceBpm = 5.0;
inline constexpr double kToleranceFraction = 0.10;

struct BeatCounts {
    std::size_t truePositives = 0;   // found beats matched with a reference beat
    std::size_t falseNegatives = 0;  // reference beats left unmatched
    std::size_t falsePositives = 0;  // found beats left unmatched

    // Se = TP / (TP + FN) and +P = TP / (TP + FP); none when the divisor is
    // 0 (no reference beat, nothing found): such a score is not 0 but absent.
    std::optional<double> Sensitivity() const;
    std::optional<double> PositivePredictivity() const;

    BeatCounts &operator+=(const BeatCounts &other);
    bool operator==(const BeatCounts &) const = default;
};

// The stretch of a window where every beat counts: outside it (seconds,
// from <= t < until) a beat, found or reference, counts only when matched.
struct CountedSpan {
    double from = -std::numeric_limits<double>::infinity();
    double until = std::numeric_limits<double>::infinity();

    bool Holds(double time) const { return time >= from && time < until; }
};

// Matches ascending found times with ascending reference times (both in
// seconds), each beat at most once, a pair at most the match tolerance
// apart. Taken in time order, the earliest unmatched beats pair first, which
// gives the largest number of pairs. Unmatched beats outside `counted` are
// neither missed nor extra.
BeatCounts MatchBeats(const std::vector<double> &found, const std::vector<double> &reference,
                      const CountedSpan &counted = {});

// The tolerances as reports name them: "5 BPM", "10 %", "150 ms", the rate
// rule "max(5 BPM, 10 %)"; and the QIs of an answer, "QI 0-2".
std::string ToleranceBpmText();
std::string ToleranceFractionText();
std::string MatchToleranceText();
std::string RateToleranceText();
std::string AnswerQiText();

// The larger of 5 BPM and 10 % of the reference rate.
double RateTolerance(double referenceBpm);

// |reported - reference| within RateTolerance(reference).
bool RateAgrees(double reportedBpm, double referenceBpm);

}  // namespace qzkit

#endif
