#include "plot/PlotFigure.h"

#include <algorithm>
#include <cmath>

#include "QZ_Filters.h"
#include "QZ_Library_Configuration.h"
#include "ToolkitError.h"
#include "io/TextFormat.h"
#include "run/StageDelays.h"

namespace qzkit {
namespace {

// Geometry, in pixels.
constexpr double kFigureWidth = 1400.0;
constexpr double kPlotLeft = 90.0;
constexpr double kPlotRightMargin = 30.0;
constexpr double kHeadlineBlock = 50.0;
constexpr double kTitleLineHeight = 19.0;
constexpr double kTitleBlockGap = 6.0;
constexpr double kPanelHeader = 20.0;
constexpr double kSignalPanelHeight = 140.0;
constexpr double kNotRunPanelHeight = 30.0;
constexpr double kPanelGap = 10.0;
constexpr double kTimeAxisBlock = 46.0;
constexpr std::size_t kMaxTicks = 12;
constexpr std::size_t kMaxTitleLineCharacters = 175;
// Room above the highest value of the peak panel for the peak numbers.
constexpr double kPeakLabelHeadroom = 0.22;
constexpr double kValuePadding = 0.06;

constexpr std::uint16_t kQiBad = 3;
// What the delay account takes when the run's derivative order is not known:
// the tool's default.
constexpr std::uint16_t kAssumedDerivativeOrder = run_settings_struct{}.DerivativeOrder;

bool StageRan(const RunFiles &files, const RunSettings &settings, std::size_t stage)
{
    if (settings.mask) {
        return (*settings.mask & DumpStages()[stage].maskBit) != 0;
    }
    return files.dumps[stage].has_value();
}

bool MaskRuns(const RunSettings &settings, std::uint16_t bit)
{
    return !settings.mask || (*settings.mask & bit) != 0;
}

// What the figure indexes: every signal as long as the recording (at least
// two samples), every stored peak location inside it.
void CheckRunShape(const RunFiles &files)
{
    const std::size_t sampleCount = files.recording.size();
    if (sampleCount < 2) {
        throw ToolkitError(files.recordName + ": a recording of " + std::to_string(sampleCount) +
                           " samples cannot be drawn");
    }
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        if (files.dumps[stage] && files.dumps[stage]->size() != sampleCount) {
            throw ToolkitError(files.recordName + DumpStages()[stage].extension + ": " +
                               std::to_string(files.dumps[stage]->size()) + " samples, the recording has " +
                               std::to_string(sampleCount));
        }
    }
    for (const std::uint16_t location : files.result.peakLocations) {
        if (location > sampleCount) {
            throw ToolkitError(files.recordName + ".out: peak location " + std::to_string(location) +
                               " lies beyond the " + std::to_string(sampleCount) +
                               "-sample recording (a result of another run?)");
        }
    }
}

// A stage the mask runs must have left its dump; one it does not run may have
// left an older one, which is not shown.
void CheckDumpsAgainstMask(const RunFiles &files, const RunSettings &settings)
{
    if (!settings.mask) {
        return;
    }
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        if (StageRan(files, settings, stage) && !files.dumps[stage]) {
            throw ToolkitError(files.recordName + DumpStages()[stage].extension + " is missing although mask " +
                               std::to_string(*settings.mask) + " runs the " + DumpStages()[stage].label + " stage");
        }
    }
}

// 1, 2 or 5 times a power of ten, so that `span` holds at most kMaxTicks steps.
double NiceStep(double span)
{
    const double raw = span / static_cast<double>(kMaxTicks);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= raw) {
            return factor * magnitude;
        }
    }
    return 10.0 * magnitude;
}

bool PeriodUsable(float period)
{
    return std::isfinite(period) && period > 0.0f;
}

// The stage mask the run used, or the one its dump files imply.
std::uint16_t StagesRun(const RunFiles &files, const RunSettings &settings)
{
    std::uint16_t mask = 0;
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        if (StageRan(files, settings, stage)) {
            mask = static_cast<std::uint16_t>(mask | DumpStages()[stage].maskBit);
        }
    }
    return mask;
}

struct DelayAccount {
    std::size_t samples = 0;
    std::string text;
};

DelayAccount AccountDelays(const RunFiles &files, const RunSettings &settings)
{
    const std::uint16_t stages = StagesRun(files, settings);
    const std::uint16_t derivativeOrder = settings.derivativeOrder.value_or(kAssumedDerivativeOrder);
    DelayAccount account;
    account.samples = PeakDelay(stages, derivativeOrder);
    std::vector<std::string> parts;
    if ((stages & QZ_STAGE_LOWPASS) != 0u) {
        parts.push_back(Format("low-pass %zu", kLowPassDelay));
    }
    if ((stages & QZ_STAGE_DERIVATIVE) != 0u) {
        const std::size_t delay = DerivativeDelay(derivativeOrder);
        parts.push_back(Format("%s derivative %zu", delay != 0u ? "5-point" : "2-point", delay));
        if (!settings.derivativeOrder) {
            parts.back() += " (2-point assumed)";
        }
    }
    if ((stages & QZ_STAGE_AVERAGE) != 0u) {
        parts.push_back(Format("moving average 2 x %zu", kMovingAverageDelay / 2u));
    }
    if (stages == 0u) {
        account.text = "Peaks are marked on the recording itself: no conditioning stage ran";
        return account;
    }
    account.text = Format("Beats on the recording: peak locations moved %zu samples earlier (", account.samples);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        account.text += (i == 0 ? "" : " + ") + parts[i];
    }
    account.text += parts.empty() ? "high-pass and squaring add no shift)" : "; high-pass and squaring add none)";
    return account;
}

std::string ClassificationText(const RunFiles &files, const RunSettings &settings)
{
    const ResultRecord &result = files.result;
    if (!MaskRuns(settings, QZ_STAGE_BEATRATE)) {
        return "beat-rate estimation did not run";
    }
    if (!result.usedBeatClassification) {
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
    const sampling_frequency_struct &constants = files.constants;
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
        text += (*settings.peakDetection & 1u) != 0 ? ", variable threshold" : ", absolute threshold";
    }
    if (settings.beatMethod) {
        text += Format(", method %u", static_cast<unsigned>(*settings.beatMethod));
    }
    if (settings.derivativeOrder) {
        text += Format(", %u-point derivative", static_cast<unsigned>(*settings.derivativeOrder));
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

std::vector<std::string> TitleLines(const RunFiles &files, const RunSettings &settings, const DelayAccount &delays)
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
    add(delays.text);
    add(RecordingText(files) + "; " + SettingsText(settings));
    if (files.wrappedSamples != 0) {
        add(Format("%zu recording words above 1023: shown, like the tool reads them, as their low 10 bits",
                   files.wrappedSamples));
    }
    return lines;
}

void FitValueRange(Panel &panel, double headroom)
{
    const auto [low, high] = std::minmax_element(panel.samples.begin(), panel.samples.end());
    double lowValue = *low;
    double highValue = *high;
    if (panel.thresholdLevel) {
        highValue = std::max(highValue, static_cast<double>(*panel.thresholdLevel));
    }
    if (highValue - lowValue < 2.0) {
        lowValue -= 1.0;
        highValue += 1.0;
    }
    const double span = highValue - lowValue;
    panel.valueLow = lowValue - kValuePadding * span;
    panel.valueHigh = highValue + (kValuePadding + headroom) * span;
}

Panel SignalPanel(std::string title, const std::vector<std::uint16_t> &samples)
{
    Panel panel;
    panel.title = std::move(title);
    panel.samples = samples;
    return panel;
}

Panel NotRunPanel(const std::string &label, bool staleFile)
{
    Panel panel;
    panel.kind = PanelKind::NotRun;
    panel.title = label;
    panel.note = staleFile ? "did not run (an older dump file of this record was ignored)" : "did not run";
    return panel;
}

// The peak finder's threshold: a rise of (max - min) / 5 above the lowest
// level since the last peak, drawn above the signal's minimum.
void AddThreshold(Panel &panel)
{
    const auto [low, high] = std::minmax_element(panel.samples.begin(), panel.samples.end());
    panel.threshold = PeakThreshold(*low, *high);
    panel.thresholdLevel = static_cast<std::uint16_t>(*low + panel.threshold);
    panel.legend.push_back(Format("- - threshold: rise of %u (max - min) / 5", static_cast<unsigned>(panel.threshold)));
}

void AddPeaks(Panel &panel, const ResultRecord &result)
{
    for (std::size_t i = 0; i < kStoredPeaks; ++i) {
        const std::uint16_t location = result.peakLocations[i];
        if (location == 0) {
            continue;
        }
        PeakMarker marker;
        marker.number = i + 1u;
        marker.sample = location - 1u;
        marker.value = panel.samples[marker.sample];
        marker.counted = i < result.peakCount;
        panel.peaks.push_back(marker);
    }
    if (!panel.peaks.empty()) {
        panel.legend.push_back("(n) peak n of the result record");
    }
    if (std::any_of(panel.peaks.begin(), panel.peaks.end(), [](const PeakMarker &m) { return !m.counted; })) {
        panel.legend.push_back("hollow: open at the end, stored, not counted");
    }
}

void AddBeats(Panel &recording, const Panel &peakPanel, std::size_t delay)
{
    std::size_t unplaced = 0;
    for (const PeakMarker &peak : peakPanel.peaks) {
        const std::optional<std::size_t> sample = BeatSample(static_cast<std::uint16_t>(peak.sample + 1u), delay);
        if (!sample) {
            ++unplaced;
            continue;
        }
        BeatMarker beat;
        beat.number = peak.number;
        beat.sample = *sample;
        recording.beats.push_back(beat);
    }
    if (!recording.beats.empty()) {
        recording.legend.push_back(Format("| beat n: peak n moved %zu samples earlier", delay));
    }
    if (unplaced != 0) {
        recording.legend.push_back(Format("%zu beat%s before the start, not placed", unplaced, unplaced == 1 ? "" : "s"));
    }
}

void MarkPeaks(Figure &figure, const RunFiles &files, const RunSettings &settings, std::size_t delay)
{
    Panel &peakPanel = figure.panels[figure.peakPanel];
    if (!MaskRuns(settings, QZ_STAGE_PEAKS)) {
        peakPanel.note = "peak finding did not run";
        return;
    }
    peakPanel.title += " - what the peak finder saw";
    AddThreshold(peakPanel);
    AddPeaks(peakPanel, files.result);
    if (peakPanel.peaks.empty()) {
        peakPanel.note = "no peaks found";
    }
    if (figure.peakPanel != 0) {
        AddBeats(figure.panels.front(), peakPanel, delay);
    }
}

void BuildPanels(Figure &figure, const RunFiles &files, const RunSettings &settings)
{
    figure.panels.push_back(SignalPanel("recording " + files.recordName, files.recording));
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        const DumpStage &info = DumpStages()[stage];
        if (StageRan(files, settings, stage)) {
            figure.panels.push_back(SignalPanel(info.label, *files.dumps[stage]));
            figure.peakPanel = figure.panels.size() - 1u;
        } else {
            figure.panels.push_back(NotRunPanel(info.label, files.dumps[stage].has_value()));
        }
    }
}

void PlacePanels(Figure &figure)
{
    double y = kHeadlineBlock + static_cast<double>(figure.titleLines.size()) * kTitleLineHeight + kTitleBlockGap;
    for (std::size_t i = 0; i < figure.panels.size(); ++i) {
        Panel &panel = figure.panels[i];
        const bool signal = panel.kind == PanelKind::Signal;
        if (signal) {
            y += kPanelHeader;
        }
        panel.frame = {figure.plotLeft, y, figure.plotRight - figure.plotLeft,
                       signal ? kSignalPanelHeight : kNotRunPanelHeight};
        if (signal) {
            FitValueRange(panel, i == figure.peakPanel && !panel.peaks.empty() ? kPeakLabelHeadroom : 0.0);
        }
        y += panel.frame.height + kPanelGap;
    }
    figure.height = y - kPanelGap + kTimeAxisBlock;
}

void PlaceMarkers(Figure &figure)
{
    for (Panel &panel : figure.panels) {
        for (PeakMarker &peak : panel.peaks) {
            peak.x = figure.XOf(static_cast<double>(peak.sample));
            peak.y = panel.YOf(peak.value);
        }
        for (BeatMarker &beat : panel.beats) {
            beat.x = figure.XOf(static_cast<double>(beat.sample));
        }
    }
}

// Ticks every NiceStep of `span` (in seconds, or in samples when the period
// is unusable), each labelled with its time and its sample index.
void BuildAxis(Figure &figure, float period)
{
    const double lastSample = static_cast<double>(figure.sampleCount - 1u);
    const bool timeKnown = PeriodUsable(period);
    const double samplesPerUnit = timeKnown ? 1.0 / static_cast<double>(period) : 1.0;
    const double step = NiceStep(lastSample / samplesPerUnit);
    for (std::size_t k = 0; k <= kMaxTicks; ++k) {
        const double value = static_cast<double>(k) * step;
        const double sample = value * samplesPerUnit;
        if (sample > lastSample * (1.0 + 1e-9)) {
            break;
        }
        figure.ticks.push_back({figure.XOf(sample), timeKnown ? Format("%g", value) : std::string(),
                                Format("%.0f", sample)});
    }
}

}  // namespace

double Panel::YOf(double value) const
{
    return frame.y + frame.height * (valueHigh - value) / (valueHigh - valueLow);
}

double Figure::XOf(double sample) const
{
    return plotLeft + (plotRight - plotLeft) * sample / static_cast<double>(sampleCount - 1u);
}

Figure BuildFigure(const RunFiles &files, const RunSettings &settings)
{
    CheckRunShape(files);
    CheckDumpsAgainstMask(files, settings);
    Figure figure;
    figure.width = kFigureWidth;
    figure.plotLeft = kPlotLeft;
    figure.plotRight = kFigureWidth - kPlotRightMargin;
    figure.sampleCount = files.recording.size();

    const DelayAccount delays = AccountDelays(files, settings);
    figure.beatDelay = delays.samples;
    BuildPanels(figure, files, settings);
    MarkPeaks(figure, files, settings, delays.samples);

    FigureTitle &title = figure.title;
    title.recordName = files.recordName;
    title.bpm = files.result.bpm;
    title.qi = files.result.qi;
    title.peakCount = files.result.peakCount;
    title.markedPeaks = figure.panels[figure.peakPanel].peaks.size();
    title.classification = ClassificationText(files, settings);
    title.statistics = files.result.statistics;
    figure.headline = files.recordName + "   " + BpmText(files) + "   " + QiText(files.result.qi) + "   " +
                      PeakCountText(files.result, title.markedPeaks);
    figure.titleLines = TitleLines(files, settings, delays);

    PlacePanels(figure);
    PlaceMarkers(figure);
    BuildAxis(figure, files.constants.Period);
    return figure;
}

}  // namespace qzkit
