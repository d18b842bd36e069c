// SPDX-License-Identifier: Apache-2.0
#include "plot/PlotFigure.h"

#include <algorithm>
#include <cmath>

#include <qz_vozozi_DE/QZ_Filters.h>

#include "io/TextFormat.h"
#include "plot/DelayAccount.h"
#include "plot/RunFileChecks.h"
#include "plot/RunStages.h"
#include "plot/TitleText.h"
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
// Room above the highest value of the peak panel for the peak numbers.
constexpr double kPeakLabelHeadroom = 0.22;
constexpr double kValuePadding = 0.06;

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
    panel.threshold = qz::PeakThreshold(*low, *high);
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
    CheckRunFiles(files, settings);
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
    figure.headline = Headline(files, title.markedPeaks);
    figure.titleLines = TitleLines(files, settings, delays.text);

    PlacePanels(figure);
    PlaceMarkers(figure);
    BuildAxis(figure, files.constants.Period);
    return figure;
}

}  // namespace qzkit
