// SPDX-License-Identifier: Apache-2.0
// The monitor's live view on a terminal: BPM and QI in large digits, the
// latest window as a strip chart with the beats behind the found peaks
// marked, one chosen stage beneath it with the peaks where the peak finder
// found them, the history of the rates, the stream's counts and the
// warnings. Drawn as whole screens of text for a terminal that takes ANSI
// escapes and UTF-8.
#ifndef QZKIT_LIVE_VIEW_H
#define QZKIT_LIVE_VIEW_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "monitor/MonitorSession.h"
#include "stream/ArrivalRate.h"

namespace qzkit {

struct LiveViewState {
    std::string title;                      // source, rate, window, constants, settings
    const Estimate *latest = nullptr;       // none before the first window
    std::optional<std::size_t> stage;       // index into DumpStages() of the stage drawn beneath
    std::size_t peakDelay = 0;              // of the settings (run/StageDelays.h)
    std::deque<std::uint16_t> bpmHistory;   // oldest first; 0 where the estimate had QI 3
    std::uint64_t samples = 0;
    std::uint64_t clipped = 0;
    std::uint64_t badLines = 0;
    std::optional<RateVerdict> rate;        // measured against the expected rate
    std::string rateNote;                   // shown instead while there is no measurement
    std::string checks;                     // the firmware check's counts, in a check
    std::string stall;                      // while the source is silent
    std::vector<std::string> warnings;
};

inline constexpr std::size_t kBpmHistoryLength = 200;

// The screen's lines, each at most `columns` characters wide, at most `rows`
// of them.
std::vector<std::string> LiveViewLines(const LiveViewState &state, std::size_t columns, std::size_t rows);

// The escapes that draw `lines` over the previous screen.
std::string ScreenUpdate(const std::vector<std::string> &lines);

// Entering and leaving the terminal's alternate screen, cursor hidden.
inline constexpr const char *kEnterScreen = "\x1b[?1049h\x1b[?25l";
inline constexpr const char *kLeaveScreen = "\x1b[?25h\x1b[?1049l";

}  // namespace qzkit

#endif
