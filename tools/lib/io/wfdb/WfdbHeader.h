// SPDX-License-Identifier: Apache-2.0
// WFDB header files: the record line, the signal lines of a single-segment
// record and the segment lines of a multi-segment record.
#ifndef QZKIT_WFDB_HEADER_H
#define QZKIT_WFDB_HEADER_H

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace qzkit {

struct WfdbSignalLine {
    std::string fileName;        // "~" in a layout header
    int format = 0;
    int samplesPerFrame = 1;
    std::int64_t skew = 0;       // frames the signal's samples lag in its file
    std::int64_t byteOffset = 0;
    double gain = 200.0;         // ADC units per physical unit; a gain of 0 in the header means 200
    double baseline = 0.0;       // ADC value of physical zero; defaults to adcZero
    std::string units = "mV";
    int adcResolution = 0;       // bits; 0 when the header does not say
    std::int64_t adcZero = 0;
    std::int64_t initialValue = 0;  // first value of a difference format; defaults to adcZero
    std::optional<std::int64_t> checksum;  // 16-bit sum of every sample
    std::string description;
};

struct WfdbSegmentLine {
    std::string name;  // "~": a null segment (no signal)
    std::int64_t frames = 0;
};

struct WfdbHeader {
    std::string recordName;
    double frequency = 250.0;      // frames per second
    std::int64_t sampleCount = 0;  // frames; 0 when the header does not say
    std::vector<WfdbSignalLine> signals;    // a single-segment record
    std::vector<WfdbSegmentLine> segments;  // a multi-segment record (empty otherwise)
    std::size_t signalCount = 0;

    bool IsMultiSegment() const { return !segments.empty(); }
};

inline constexpr const char *kNullSegment = "~";

// Parses a header. Comment lines (#), blank lines and CR LF line ends are
// accepted. Throws ToolkitError naming `sourceName` and the field it cannot
// read.
WfdbHeader ParseWfdbHeader(std::istream &text, const std::string &sourceName);
WfdbHeader ReadWfdbHeader(const std::filesystem::path &headerPath);

// Bits of the ADC: the header's value, or the format's usual one.
int AdcBits(const WfdbSignalLine &signal);

}  // namespace qzkit

#endif
