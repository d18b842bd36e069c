// SPDX-License-Identifier: Apache-2.0
// The line a firmware prints after estimating on a window of the samples it
// streams, so that the desktop can recompute the same window and compare:
//
//   result END LENGTH W0 W1 ... W42
//
// END is the number of samples the firmware had streamed when the window
// ended (the window is samples END - LENGTH to END - 1, counting the first
// sample streamed as 0), LENGTH 1500 or 600, and W0 to W42 the 43 words of
// the result record it computed, each as four hexadecimal digits. Fields are
// separated by single spaces.
//
//   end
//
// says the firmware has sent all it will: the monitor stops there as at the
// end of a file (a firmware that then stops its UART loses nothing in
// flight).
#ifndef QZKIT_DEVICE_PROTOCOL_H
#define QZKIT_DEVICE_PROTOCOL_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "io/ResultRecord.h"

namespace qzkit {

inline constexpr std::string_view kResultKeyword = "result";
inline constexpr std::string_view kEndLine = "end";

struct DeviceResult {
    std::uint64_t end = 0;
    std::size_t length = 0;
    ResultWords words{};
};

// The line's report, or none when it starts with the keyword but is not
// well formed (a window length the tool does not read included).
std::optional<DeviceResult> ParseResultLine(std::string_view line);

// True when `line` starts with the keyword and a space.
bool IsResultLine(std::string_view line);

// The words as the protocol writes them: "0048 0000 ... 0000".
std::string ResultWordsText(const ResultWords &words);

// The whole line, without its line end.
std::string ResultLine(const DeviceResult &result);

}  // namespace qzkit

#endif
