// SPDX-License-Identifier: Apache-2.0
// Scoring estimates against reference rates: each window's result and the
// figures summed up over many windows.
#ifndef QZKIT_RATE_SCORES_H
#define QZKIT_RATE_SCORES_H

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "score/BeatMatch.h"
#include "evaluate/RateAgreement.h"
#include "io/Manifest.h"
#include "io/ReferenceBeats.h"
#include "score/WindowScore.h"

namespace qzkit {

struct WindowResult {
    ManifestEntry window;
    std::size_t record = 0;  // which of the evaluated recordings
    WindowReference reference;
    ResultRecord estimate;
    std::optional<WindowBeatScore> beats;  // none without reference beat times

    std::optional<double> Error() const;  // estimate - reference, when there is a reference
    bool WithinBpm() const;               // |error| <= 5 BPM
    bool WithinFraction() const;          // |error| <= 10 % of the reference
    bool Answered() const { return estimate.qi < kNoRateQi; }
};

struct QiRow {
    std::size_t windows = 0;
    std::size_t withinBpm = 0;
    std::size_t withinFraction = 0;
    double absoluteErrorSum = 0.0;
};

// Over the windows that have a reference rate. An answer is an estimate with
// QI below 3; a wrong estimate is one more than 5 BPM off, whatever its QI.
struct EvaluationSummary {
    std::size_t windows = 0;
    std::size_t withReference = 0;
    std::size_t answered = 0;
    std::size_t withinBpm = 0;       // answers within +-5 BPM
    std::size_t withinFraction = 0;  // answers within +-10 %
    RateAgreement agreement;         // over answers (QI 0-2)
    RateAgreement agreementQi0;      // over QI 0 answers
    std::map<std::uint16_t, QiRow> byQi;
    std::size_t wrong = 0;
    std::size_t wrongFlagged = 0;  // wrong estimates that carry QI 3
    BeatCounts beats;              // pooled over the windows scored beat by beat
    std::size_t beatScoredWindows = 0;
    std::size_t truncatedWindows = 0;  // more peaks than stored, scored on the stored ones

    double Coverage() const { return Ratio(answered, withReference); }
    double MeanAbsoluteError() const { return agreement.meanAbsoluteError; }
    // The windows with QI up to `maxQi`, and of those the ones within +-5 BPM.
    QiRow UpTo(std::uint16_t maxQi) const;
    static double Ratio(std::size_t part, std::size_t whole)
    {
        return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
    }
};

EvaluationSummary Summarize(std::span<const WindowResult> results);

}  // namespace qzkit

#endif
