// SPDX-License-Identifier: Apache-2.0
#include "plot/TitleText.h"

#include <cmath>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "io/TextFormat.h"
#include "plot/RunStages.h"

namespace qzkit {
namespace {

constexpr std::size_t kMaxTitleLineCharacters = 175;
constexpr std::uint16_t kQiBad = 3;

std::string QiText(std::uint16_t qi)
{
    return qi >= kQiBad ? Format("QI %u (bad measurement)", static_cast<unsigned>(qi))
                        : Format("QI %u", static_cast<unsigned>(qi));
}

std::string PeakCountText(const ResultRecord &result, std::size_t marked)
{
    const unsigned count = result.peakCount;
    if (count > kStoredPeaks) {
        return Format("%u peaks (the first %zu stored and marked)", count, kStoredPeaks);
    }
    if (marked > count) {
        return Format("%u peak%s (+1 open at the end, not counted)", count, count == 1 ? "" : "s");
    }
    return Format("%u peak%s", count, count == 1 ? "" : "s");
}

std::string BpmText(const RunFiles &files)
{
    const qz::sampling_frequency_struct &constants = files.constants;
    std::string text = Format("BPM %u", static_cast<unsigned>(files.result.bpm));
    if (files.result.peakCount == 1 && files.result.bpm == constants.OnePerMinute) {
        return text + " (the one-peak rate of the constants)";
    }
    if (files.result.peakCount == 0) {
        return text + " (no peaks)";
    }
    if (files.result.bpm < constants.MinBPM || files.result.bpm > constants.MaxBPM) {
        text += Format(" (outside %u..%u)", static_cast<unsigned>(constants.MinBPM),
                       static_cast<unsigned>(constants.MaxBPM));
    }
    return text;
}

std::string StatisticsText(const StatisticsBlock &s)
{
    return Format("tm2: QI pattern 0x%03X, MaxPeak %u, MinPeak %u, HighPeakThreshold %u, LowPeakThreshold %u, "
                  "Median %u, buckets high 0x%lX low 0x%lX middle 0x%lX, Tegur %lu",
                  static_cast<unsigned>(s.qiPattern), static_cast<unsigned>(s.maxPeak),
                  static_cast<unsigned>(s.minPeak), static_cast<unsigned>(s.highPeakThreshold),
                  static_cast<unsigned>(s.lowPeakThreshold), static_cast<unsigned>(s.median),
                  static_cast<unsigned long>(s.highBucket), static_cast<unsigned long>(s.lowBucket),
                  static_cast<unsigned long>(s.middleBucket), static_cast<unsigned long>(s.tegur));
}

std::string MethodDumpText(const RunFiles &files)
{
    if (!files.methodDump) {
        return "thresholdmethod.info: not found";
    }
    if (*files.methodDump == files.result.statistics) {
        return "thresholdmethod.info: the same statistics as the result record";
    }
    return "thresholdmethod.info: differs from the result record (written by another run?): " +
           StatisticsText(*files.methodDump);
}

std::string SettingsText(const RunSettings &settings)
{
    if (!settings.mask) {
        return "stages inferred from the dump files present";
    }
    std::string text = Format("mask %u", static_cast<unsigned>(*settings.mask));
    if (settings.peakDetection) {
        text += *settings.peakDetection != 0u ? ", variable threshold" : ", absolute threshold";
    }
    if (settings.beatMethod) {
        text += Format(", method %u", static_cast<unsigned>(*settings.beatMethod));
    }
    if (settings.derivativeOrder) {
        text += Format(", %u-point derivative", static_cast<unsigned>(qz::QZ_DerivativeOrder(*settings.derivativeOrder)));
    }
    return text;
}

std::string RecordingText(const RunFiles &files)
{
    const float period = files.constants.Period;
    std::string text = Format("%zu samples", files.recording.size());
    if (PeriodUsable(period)) {
        text += Format(" of %g s (%g Hz)", static_cast<double>(period), 1.0 / static_cast<double>(period));
    } else {
        text += Format(" (Period %g is unusable: time axis in samples)", static_cast<double>(period));
    }
    return text + " from constants " + files.constantsName;
}

// Splits at blanks so that no line is longer than the limit (a longer word
// stays whole).
std::vector<std::string> Wrap(const std::string &text)
{
    std::vector<std::string> lines;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1u + word.size() > kMaxTitleLineCharacters) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1u;
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

std::string PeakListText(const ResultRecord &result)
{
    std::string text = "Peak locations (one-based sample positions, as stored):";
    bool any = false;
    for (std::size_t i = 0; i < kStoredPeaks; ++i) {
        if (result.peakLocations[i] != 0) {
            text += Format(" %zu:%u", i + 1u, static_cast<unsigned>(result.peakLocations[i]));
            any = true;
        }
    }
    return any ? text : text + " none";
}

}  // namespace

bool PeriodUsable(float period)
{
    return std::isfinite(period) && period > 0.0f;
}

std::string ClassificationText(const RunFiles &files, const RunSettings &settings)
{
    const ResultRecord &result = files.result;
    if (!MaskRuns(settings, QZ_STAGE_BEATRATE)) {
        return "beat-rate estimation did not run";
    }
    if (!result.classified) {
        if (result.peakCount == 0) {
            return "not used (no peaks)";
        }
        if (result.peakCount == 1) {
            return "not used (one peak)";
        }
        return "not used (regular peaks: single or average interval)";
    }
    if (settings.beatMethod) {
        switch (*settings.beatMethod % 8u) {
        case 1:
            return "template matching (method 1)";
        case 2:
            return "level-based throw-out (method 2)";
        default:
            return Format("statistical (method %u)", static_cast<unsigned>(*settings.beatMethod % 8u));
        }
    }
    if (result.statistics.highBucket != 0) {
        return "level-based throw-out (method 2, seen in the peak buckets)";
    }
    return "template matching or statistical (the record does not say which; pass --method)";
}

std::string Headline(const RunFiles &files, std::size_t markedPeaks)
{
    return files.recordName + "   " + BpmText(files) + "   " + QiText(files.result.qi) + "   " +
           PeakCountText(files.result, markedPeaks);
}

std::vector<std::string> TitleLines(const RunFiles &files, const RunSettings &settings, const std::string &delayText)
{
    std::vector<std::string> lines;
    const auto add = [&lines](const std::string &text) {
        for (const std::string &line : Wrap(text)) {
            lines.push_back(line);
        }
    };
    add("Beat classification: " + ClassificationText(files, settings));
    add(StatisticsText(files.result.statistics));
    add(MethodDumpText(files));
    add(PeakListText(files.result));
    add(delayText);
    add(RecordingText(files) + "; " + SettingsText(settings));
    if (files.wrappedSamples != 0) {
        add(Format("%zu recording words above 1023: shown, like the tool reads them, as their low 10 bits",
                   files.wrappedSamples));
    }
    return lines;
}

}  // namespace qzkit
