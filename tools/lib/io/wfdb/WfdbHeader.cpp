// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbHeader.h"

#include <algorithm>
#include <sstream>

#include "io/FileBytes.h"
#include "io/TextParsing.h"
#include "io/wfdb/SignalFormat.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr std::int64_t kMaxSignals = 4096;
constexpr std::int64_t kMaxSegments = 1000000;
constexpr std::int64_t kMaxSamplesPerFrame = 1000000;

[[noreturn]] void Fail(const std::string &source, const std::string &what)
{
    throw ToolkitError(source + ": " + what);
}

double RequireDouble(const std::string &text, const std::string &source, const char *field)
{
    double value = 0.0;
    if (!ParseNumber(text, value)) {
        Fail(source, std::string("bad ") + field + " '" + text + "'");
    }
    return value;
}

std::int64_t RequireInt(const std::string &text, const std::string &source, const char *field, std::int64_t low,
                        std::int64_t high)
{
    std::int64_t value = 0;
    if (!ParseInteger(text, value)) {
        Fail(source, std::string("bad ") + field + " '" + text + "'");
    }
    if (value < low || value > high) {
        Fail(source, std::string(field) + " " + text + " out of range");
    }
    return value;
}

constexpr std::int64_t kAny = INT64_MAX;

// Splits at white space; `starts` receives where each token begins.
std::vector<std::string> Tokens(const std::string &line, std::vector<std::size_t> &starts)
{
    std::vector<std::string> tokens;
    std::size_t position = 0;
    while (true) {
        position = line.find_first_not_of(" \t\r", position);
        if (position == std::string::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t\r", position), line.size());
        starts.push_back(position);
        tokens.push_back(line.substr(position, end - position));
        position = end;
    }
    return tokens;
}

// The text before the first of `stops`, and the rest from there.
std::string Before(const std::string &text, const char *stops, std::string &rest)
{
    const std::size_t position = text.find_first_of(stops);
    rest = position == std::string::npos ? std::string() : text.substr(position);
    return text.substr(0, position);
}

// "100", "041s/2": the record name and the number of segments.
void ParseRecordLine(const std::vector<std::string> &tokens, const std::string &source, WfdbHeader &header,
                     std::int64_t &segmentCount)
{
    std::string rest;
    header.recordName = Before(tokens[0], "/", rest);
    if (!rest.empty()) {
        segmentCount = RequireInt(rest.substr(1), source, "segment count", 1, kMaxSegments);
    }
    if (tokens.size() < 2) {
        Fail(source, "record line has no signal count");
    }
    header.signalCount = static_cast<std::size_t>(RequireInt(tokens[1], source, "signal count", 1, kMaxSignals));
    if (tokens.size() > 2) {
        header.frequency = RequireDouble(Before(tokens[2], "/(", rest), source, "sampling frequency");
        if (!(header.frequency > 0.0)) {
            Fail(source, "sampling frequency must be positive");
        }
    }
    if (tokens.size() > 3) {
        header.sampleCount = RequireInt(tokens[3], source, "sample count", 0, kAny);
    }
}

// "212", "16x2", "16:3", "16+512", in any combination.
void ParseFormat(const std::string &token, const std::string &source, WfdbSignalLine &signal)
{
    std::string rest;
    signal.format = static_cast<int>(RequireInt(Before(token, "x:+", rest), source, "signal format", 0, 100000));
    while (!rest.empty()) {
        std::string next;
        const std::string value = Before(rest.substr(1), "x:+", next);
        if (rest[0] == 'x') {
            signal.samplesPerFrame =
                static_cast<int>(RequireInt(value, source, "samples per frame", 1, kMaxSamplesPerFrame));
        } else if (rest[0] == ':') {
            signal.skew = RequireInt(value, source, "skew", 0, kAny);
        } else {
            signal.byteOffset = RequireInt(value, source, "byte offset", 0, kAny);
        }
        rest = next;
    }
    const bool nullSignal = signal.format == 0 && signal.fileName == kNullSegment;  // in a layout header
    if (!nullSignal && !IsSupportedFormat(signal.format)) {
        Fail(source, "signal format " + std::to_string(signal.format) + " is not supported (" +
                         SupportedFormatList() + " are)");
    }
}

// "200", "200(1024)", "200(1024)/mV", "200/uV". Returns whether a baseline was given.
bool ParseGain(const std::string &token, const std::string &source, WfdbSignalLine &signal)
{
    std::string rest;
    signal.gain = RequireDouble(Before(token, "(/", rest), source, "ADC gain");
    if (signal.gain == 0.0) {
        signal.gain = 200.0;
    }
    bool hasBaseline = false;
    if (!rest.empty() && rest[0] == '(') {
        const std::size_t close = rest.find(')');
        if (close == std::string::npos) {
            Fail(source, "unclosed baseline in '" + token + "'");
        }
        const std::int64_t baseline = RequireInt(rest.substr(1, close - 1), source, "baseline", INT32_MIN, INT32_MAX);
        signal.baseline = static_cast<double>(baseline);
        hasBaseline = true;
        rest = rest.substr(close + 1);
    }
    if (!rest.empty() && rest[0] == '/') {
        signal.units = rest.substr(1);
    }
    return hasBaseline;
}

WfdbSignalLine ParseSignalLine(const std::string &line, const std::vector<std::string> &tokens,
                               const std::vector<std::size_t> &starts, const std::string &source)
{
    WfdbSignalLine signal;
    signal.fileName = tokens[0];
    if (tokens.size() < 2) {
        Fail(source, "signal line for " + tokens[0] + " has no format");
    }
    ParseFormat(tokens[1], source, signal);
    const bool hasBaseline = tokens.size() > 2 && ParseGain(tokens[2], source, signal);
    if (tokens.size() > 3) {
        signal.adcResolution = static_cast<int>(RequireInt(tokens[3], source, "ADC resolution", 0, 32));
    }
    if (tokens.size() > 4) {
        signal.adcZero = RequireInt(tokens[4], source, "ADC zero", INT32_MIN, INT32_MAX);
    }
    signal.initialValue = tokens.size() > 5 ? RequireInt(tokens[5], source, "initial value", INT32_MIN, INT32_MAX)
                                            : signal.adcZero;
    if (tokens.size() > 6) {
        signal.checksum = RequireInt(tokens[6], source, "checksum", INT32_MIN, INT32_MAX);
    }
    if (!hasBaseline) {
        signal.baseline = static_cast<double>(signal.adcZero);
    }
    constexpr std::size_t kDescriptionField = 8;  // after the block size
    if (tokens.size() > kDescriptionField) {
        signal.description = line.substr(starts[kDescriptionField]);
        signal.description.erase(signal.description.find_last_not_of(" \t\r") + 1);
    }
    return signal;
}

WfdbSegmentLine ParseSegmentLine(const std::vector<std::string> &tokens, const std::string &source)
{
    if (tokens.size() < 2) {
        Fail(source, "segment line for " + tokens[0] + " has no length");
    }
    return {tokens[0], RequireInt(tokens[1], source, "segment length", 0, kAny)};
}

}  // namespace

WfdbHeader ParseWfdbHeader(std::istream &text, const std::string &sourceName)
{
    WfdbHeader header;
    std::int64_t segmentCount = 0;
    bool haveRecordLine = false;
    std::string line;
    while (std::getline(text, line)) {
        std::vector<std::size_t> starts;
        const std::vector<std::string> tokens = Tokens(line, starts);
        if (tokens.empty() || tokens[0][0] == '#') {
            continue;
        }
        if (!haveRecordLine) {
            ParseRecordLine(tokens, sourceName, header, segmentCount);
            haveRecordLine = true;
        } else if (segmentCount > 0) {
            if (header.segments.size() < static_cast<std::size_t>(segmentCount)) {
                header.segments.push_back(ParseSegmentLine(tokens, sourceName));
            }
        } else if (header.signals.size() < header.signalCount) {
            header.signals.push_back(ParseSignalLine(line, tokens, starts, sourceName));
        }
    }
    if (!haveRecordLine) {
        Fail(sourceName, "no record line");
    }
    if (segmentCount > 0 && header.segments.size() != static_cast<std::size_t>(segmentCount)) {
        Fail(sourceName, "names " + std::to_string(segmentCount) + " segments but lists " +
                             std::to_string(header.segments.size()));
    }
    if (segmentCount == 0 && header.signals.size() != header.signalCount) {
        Fail(sourceName, "names " + std::to_string(header.signalCount) + " signals but describes " +
                             std::to_string(header.signals.size()));
    }
    return header;
}

WfdbHeader ReadWfdbHeader(const std::filesystem::path &headerPath)
{
    std::istringstream lines(ReadTextFile(headerPath, kShortTextLimit));
    return ParseWfdbHeader(lines, headerPath.string());
}

int AdcBits(const WfdbSignalLine &signal)
{
    return signal.adcResolution > 0 ? signal.adcResolution : DefaultAdcBits(signal.format);
}

}  // namespace qzkit
