// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the monitor's stream decoder over any bytes, as a serial
// port hands them over. The first byte chooses the format, the CSV column and
// the size of the pieces; nothing may throw or crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "stream/StreamDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    constexpr qzkit::StreamFormat kFormats[] = {qzkit::StreamFormat::Text, qzkit::StreamFormat::Unsigned16,
                                                qzkit::StreamFormat::Signed16};
    const char *columns[] = {"", "1", "ecg"};
    const std::uint8_t choice = data[0];
    qzkit::StreamDecoder decoder(kFormats[choice % 3u], columns[choice / 3u % 3u]);
    const std::size_t piece = 1u + choice / 9u % 16u;
    std::vector<qzkit::StreamEvent> events;
    for (std::size_t at = 1; at < size; at += piece) {
        decoder.Feed(std::span(data + at, std::min(piece, size - at)), events);
    }
    decoder.Finish(events);
    return 0;
}
