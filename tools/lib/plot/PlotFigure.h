// SPDX-License-Identifier: Apache-2.0
// The picture of one run as data: what is shown (panels, peak and beat
// markers, the threshold, the title block) and where (figure coordinates in
// pixels, y downwards). The renderer draws exactly this; tests read it.
#ifndef QZKIT_PLOT_FIGURE_H
#define QZKIT_PLOT_FIGURE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plot/PlotInputs.h"

namespace qzkit {

// What the run was told, where known. Unknown stages are inferred from the
// dump files present; an unknown method or derivative order is named as such.
struct RunSettings {
    std::optional<std::uint16_t> mask;             // stage mask (low 8 bits used)
    std::optional<std::uint16_t> peakDetection;    // 0 absolute, 1 variable threshold
    std::optional<std::uint16_t> beatMethod;       // 1 template, 2 level-based, others statistical
    std::optional<std::uint16_t> derivativeOrder;  // 2 or 5
};

struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// A detected peak on the signal the peak finder saw.
struct PeakMarker {
    std::size_t number = 0;  // entry of the result record, from 1
    std::size_t sample = 0;  // zero-based index (the record stores it plus one)
    std::uint16_t value = 0;
    bool counted = true;  // false: stored while open at the end of the scan, not counted
    double x = 0.0;
    double y = 0.0;
};

// A detected peak moved back by the stage delays onto the recording.
struct BeatMarker {
    std::size_t number = 0;
    std::size_t sample = 0;
    double x = 0.0;
};

enum class PanelKind { Signal, NotRun };

struct Panel {
    PanelKind kind = PanelKind::Signal;
    std::string title;  // above the frame, left; a "did not run" strip shows it inside
    std::string note;  // centred message: "did not run", "no peaks found", ...
    std::vector<std::uint16_t> samples;
    Rect frame;
    double valueLow = 0.0;  // value at the frame's bottom edge
    double valueHigh = 1.0;  // value at its top edge
    std::optional<std::uint16_t> thresholdLevel;  // peak-finder input: lowest level plus the threshold
    std::uint16_t threshold = 0;
    std::vector<PeakMarker> peaks;
    std::vector<BeatMarker> beats;
    std::vector<std::string> legend;  // above the frame, right; one entry per marker kind shown

    double YOf(double value) const;
};

// A tick of the shared time axis below the last panel: its time in seconds
// (empty when the constants' Period is unusable) and its sample index.
struct AxisTick {
    double x = 0.0;
    std::string seconds;
    std::string sample;
};

// The values of the title block, as shown.
struct FigureTitle {
    std::string recordName;
    std::uint16_t bpm = 0;
    std::uint16_t qi = 0;
    std::uint16_t peakCount = 0;
    std::size_t markedPeaks = 0;
    std::string classification;  // whether a beat-classification method ran, and which
    StatisticsBlock statistics;
};

struct Figure {
    double width = 0.0;
    double height = 0.0;
    FigureTitle title;
    std::string headline;
    std::vector<std::string> titleLines;  // under the headline, in order
    std::vector<Panel> panels;            // recording, then one per dump stage in pipeline order
    std::size_t peakPanel = 0;            // the panel whose signal the peak finder saw
    std::size_t sampleCount = 0;
    std::size_t beatDelay = 0;  // samples between a peak and its beat on the recording
    double plotLeft = 0.0;
    double plotRight = 0.0;
    std::vector<AxisTick> ticks;

    double XOf(double sample) const;
};

// Builds the figure of a run. The peak markers go on the last conditioning
// signal present (the one the peak finder saw), with the threshold line; the
// same beats go on the recording, `beatDelay` samples earlier, where that is
// inside the recording. Stages that did not run get a slim "did not run"
// strip so that the pipeline order stays visible.
Figure BuildFigure(const RunFiles &files, const RunSettings &settings);

}  // namespace qzkit

#endif
