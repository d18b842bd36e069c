// SPDX-License-Identifier: Apache-2.0
// What a board prints, decoded into samples: one integer per line, CSV
// lines with the sample in one column, or raw little-endian 16-bit words.
// Text streams may also carry the firmware's result and end lines
// (stream/DeviceProtocol.h); empty lines and lines starting with '#' (a
// board's banner or comments) are skipped. Anything else that is not a
// sample is a bad line, and so is a line longer than kLongestLine bytes.
#ifndef QZKIT_STREAM_DECODER_H
#define QZKIT_STREAM_DECODER_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stream/DeviceProtocol.h"

namespace qzkit {

enum class StreamFormat { Text, Unsigned16, Signed16 };

// The names the command line gives the formats.
const std::map<std::string, StreamFormat> &StreamFormatNames();

inline constexpr std::size_t kLongestLine = 512;

struct StreamEvent {
    enum class Kind { Sample, Result, BadLine, End };
    Kind kind = Kind::Sample;
    std::int64_t value = 0;     // Sample
    DeviceResult result;        // Result
    std::string line;           // BadLine: the line (cut to kLongestLine), for messages
};

class StreamDecoder {
public:
    // `column`: for text, the CSV column that holds the sample: a zero-based
    // index, or a name that a header line of the stream gives; empty: the
    // only column (the whole line).
    StreamDecoder(StreamFormat format, std::string column);

    // Decodes `bytes`, appending what they complete to `events`.
    void Feed(std::span<const std::uint8_t> bytes, std::vector<StreamEvent> &events);
    // At the end of the stream: a last line without its line end.
    void Finish(std::vector<StreamEvent> &events);

private:
    void EndLine(std::vector<StreamEvent> &events);
    void DecodeLine(const std::string &line, std::vector<StreamEvent> &events);
    std::optional<std::string> SampleField(const std::string &line);

    StreamFormat format_;
    std::string column_;
    std::optional<std::size_t> columnIndex_;  // known once a number or the header names it
    std::string line_;
    bool overlong_ = false;
    std::optional<std::uint8_t> lowByte_;  // a word's first byte, waiting for the second
};

}  // namespace qzkit

#endif
