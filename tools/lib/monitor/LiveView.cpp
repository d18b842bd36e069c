// SPDX-License-Identifier: Apache-2.0
#include "monitor/LiveView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "io/StageDumps.h"
#include "io/TextFormat.h"
#include "run/StageDelays.h"

namespace qzkit {
namespace {

constexpr const char *kFull = "\u2588";
constexpr const char *kPeakMark = "\u25bc";
constexpr std::array<const char *, 8> kLevels{"\u2581", "\u2582", "\u2583", "\u2584",
                                              "\u2585", "\u2586", "\u2587", "\u2588"};
constexpr std::size_t kDigitRows = 5;
// Digits three cells wide: '#' is a full block.
constexpr std::array<std::array<const char *, kDigitRows>, 11> kDigits{{
    {"###", "# #", "# #", "# #", "###"}, {" # ", "## ", " # ", " # ", "###"}, {"###", "  #", "###", "#  ", "###"},
    {"###", "  #", "###", "  #", "###"}, {"# #", "# #", "###", "  #", "  #"}, {"###", "#  ", "###", "  #", "###"},
    {"###", "#  ", "###", "# #", "###"}, {"###", "  #", "  #", "  #", "  #"}, {"###", "# #", "###", "# #", "###"},
    {"###", "# #", "###", "  #", "###"}, {"   ", "   ", "###", "   ", "   "},
}};
constexpr std::size_t kDash = 10;
constexpr std::size_t kFixedRows = 16;  // every row but the two charts'

// `text` cut to `columns` characters.
std::string Fit(const std::string &text, std::size_t columns)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0u) != 0x80u && seen++ == columns) {
            return text.substr(0, i);
        }
    }
    return text;
}

// `text` ("72", "-") in large digits: five rows.
std::array<std::string, kDigitRows> LargeText(const std::string &text)
{
    std::array<std::string, kDigitRows> rows;
    for (const char c : text) {
        const std::size_t glyph = c >= '0' && c <= '9' ? static_cast<std::size_t>(c - '0') : kDash;
        for (std::size_t row = 0; row < kDigitRows; ++row) {
            for (const char cell : std::string(kDigits[glyph][row]) + ' ') {
                rows[row] += cell == '#' ? kFull : " ";
            }
        }
    }
    return rows;
}

// A strip chart of `values`, `height` rows under a row of marks at the
// columns of the samples `marks` (zero-based).
std::vector<std::string> StripChart(std::span<const std::uint16_t> values, const std::vector<std::size_t> &marks,
                                    std::size_t width, std::size_t height)
{
    std::vector<std::string> rows(height + 1);
    if (values.empty() || width == 0 || height == 0) {
        return rows;
    }
    const auto extremes = std::minmax_element(values.begin(), values.end());
    const auto lowest = static_cast<double>(*extremes.first);
    const double span = std::max(1.0, static_cast<double>(*extremes.second) - lowest);
    auto rowOf = [&](std::uint16_t value) {  // 0 at the top
        const double up = (static_cast<double>(value) - lowest) / span;
        return height - 1u - std::min(height - 1u, static_cast<std::size_t>(std::lround(up * static_cast<double>(height - 1u))));
    };
    std::vector<bool> marked(width);
    for (const std::size_t mark : marks) {
        if (mark < values.size()) {
            marked[mark * width / values.size()] = true;
        }
    }
    for (std::size_t column = 0; column < width; ++column) {
        const std::size_t from = column * values.size() / width;
        const std::size_t to = std::max(from + 1, (column + 1) * values.size() / width);
        const auto [low, high] = std::minmax_element(values.begin() + static_cast<std::ptrdiff_t>(from),
                                                     values.begin() + static_cast<std::ptrdiff_t>(std::min(to, values.size())));
        rows[0] += marked[column] ? kPeakMark : " ";
        for (std::size_t row = 0; row < height; ++row) {
            rows[row + 1] += row >= rowOf(*high) && row <= rowOf(*low) ? kFull : " ";
        }
    }
    return rows;
}

std::string Sparkline(const std::deque<std::uint16_t> &history, std::size_t width)
{
    const std::size_t shown = std::min(history.size(), width);
    const auto first = history.end() - static_cast<std::ptrdiff_t>(shown);
    std::uint16_t lowest = 0xFFFF;
    std::uint16_t highest = 0;
    for (auto it = first; it != history.end(); ++it) {
        if (*it != 0) {
            lowest = std::min(lowest, *it);
            highest = std::max(highest, *it);
        }
    }
    std::string line;
    for (auto it = first; it != history.end(); ++it) {
        if (*it == 0) {
            line += "\u00b7";
            continue;
        }
        const std::size_t level =
            highest == lowest ? kLevels.size() / 2u
                              : static_cast<std::size_t>(*it - lowest) * (kLevels.size() - 1u) / static_cast<std::size_t>(highest - lowest);
        line += kLevels[level];
    }
    return line;
}

void AddChart(std::vector<std::string> &lines, const std::string &title, std::span<const std::uint16_t> values,
              const std::vector<std::size_t> &marks, std::size_t columns, std::size_t height)
{
    lines.push_back(title);
    const std::vector<std::string> chart = StripChart(values, marks, columns, height);
    lines.insert(lines.end(), chart.begin(), chart.end());
}

void AddResult(std::vector<std::string> &lines, const LiveViewState &state, std::size_t columns,
               std::size_t chartRows)
{
    const Estimate *latest = state.latest;
    const bool have = latest != nullptr && !latest->window.empty();
    const ResultRecord &result = have ? latest->run.result : ResultRecord{};
    const std::array<std::string, kDigitRows> bpm = LargeText(have ? std::to_string(result.bpm) : "---");
    const std::array<std::string, kDigitRows> qi = LargeText(have ? std::to_string(result.qi) : "-");
    for (std::size_t row = 0; row < kDigitRows; ++row) {
        lines.push_back("  " + bpm[row] + (row == 2 ? " BPM     " : "         ") + qi[row] + (row == 2 ? " QI" : ""));
    }
    lines.push_back(have ? Format("BPM %u  QI %u  peaks %u  window of %zu samples from %llu", result.bpm, result.qi,
                                  result.peakCount, latest->window.size(),
                                  static_cast<unsigned long long>(latest->start))
                         : std::string("waiting for the first window"));
    const std::size_t recordingRows = std::max<std::size_t>(3, chartRows * 3 / 5);
    const std::size_t stageRows = std::max<std::size_t>(2, chartRows - std::min(chartRows, recordingRows));
    const std::span<const std::uint16_t> window = have ? std::span<const std::uint16_t>(latest->window) : std::span<const std::uint16_t>();
    std::vector<std::size_t> beats;
    std::vector<std::size_t> peaks;
    for (std::size_t i = 0; have && i < std::min<std::size_t>(result.peakCount, kStoredPeaks); ++i) {
        if (const std::optional<std::size_t> beat = BeatSample(result.peakLocations[i], state.peakDelay)) {
            beats.push_back(*beat);
        }
        if (result.peakLocations[i] != 0) {
            peaks.push_back(result.peakLocations[i] - 1u);
        }
    }
    AddChart(lines, "recording, beats marked", window, beats, columns, recordingRows);
    const std::optional<std::vector<std::uint16_t>> *stage =
        have && state.stage ? &latest->run.stages[*state.stage] : nullptr;
    if (stage != nullptr && stage->has_value()) {
        AddChart(lines, std::string(DumpStages()[*state.stage].label) + ", peaks marked", **stage, peaks, columns,
                 stageRows);
    } else {
        AddChart(lines, state.stage ? std::string(DumpStages()[*state.stage].label) + ": did not run" : "no stage chosen",
                 {}, {}, columns, stageRows);
    }
}

}  // namespace

std::vector<std::string> LiveViewLines(const LiveViewState &state, std::size_t columns, std::size_t rows)
{
    std::vector<std::string> lines{state.title, ""};
    const std::size_t chartRows = rows > kFixedRows + 5u ? rows - kFixedRows : 5u;
    AddResult(lines, state, columns, chartRows);
    lines.push_back("history " + Sparkline(state.bpmHistory, columns > 8 ? columns - 8 : 0));
    lines.push_back(state.rate ? state.rate->Text() : state.rateNote);
    lines.push_back(Format("samples %llu  clipped %llu  bad lines %llu", static_cast<unsigned long long>(state.samples),
                           static_cast<unsigned long long>(state.clipped),
                           static_cast<unsigned long long>(state.badLines)) +
                    (state.checks.empty() ? "" : "  " + state.checks));
    if (state.rate && state.rate->outsideTolerance) {
        lines.push_back("WARNING: " + state.rate->Text());
    }
    if (!state.stall.empty()) {
        lines.push_back("WARNING: " + state.stall);
    }
    for (const std::string &warning : state.warnings) {
        lines.push_back("WARNING: " + warning);
    }
    lines.resize(std::min(lines.size(), rows));
    for (std::string &line : lines) {
        line = Fit(line, columns);
    }
    return lines;
}

std::string ScreenUpdate(const std::vector<std::string> &lines)
{
    std::string screen = "\x1b[H";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        screen += lines[i] + "\x1b[K" + (i + 1 < lines.size() ? "\r\n" : "");
    }
    return screen + "\x1b[J";
}

}  // namespace qzkit
