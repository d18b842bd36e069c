#include "io/Wfdb.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "io/AtomicFile.h"
#include "io/TextParsing.h"
#include "io/FileBytes.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr int kFormat16 = 16;
constexpr int kFormat212 = 212;
constexpr int kInvalid16 = -32768;
constexpr int kInvalid212 = -2048;

// Pseudo-annotation codes of the MIT format.
constexpr unsigned kSkip = 59;
constexpr unsigned kNum = 60;
constexpr unsigned kSub = 61;
constexpr unsigned kChn = 62;
constexpr unsigned kAux = 63;
constexpr unsigned kCodeShift = 10;
constexpr unsigned kDataMask = 0x3FF;

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

std::int64_t RequireInt(const std::string &text, const std::string &source, const char *field)
{
    std::int64_t value = 0;
    if (!ParseInteger(text, value)) {
        Fail(source, std::string("bad ") + field + " '" + text + "'");
    }
    return value;
}

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

void ParseRecordLine(const std::vector<std::string> &tokens, const std::string &source, WfdbHeader &header,
                     std::size_t &signalCount)
{
    if (tokens[0].find('/') != std::string::npos) {
        Fail(source, "multi-segment records are not supported");
    }
    header.recordName = tokens[0];
    if (tokens.size() < 2) {
        Fail(source, "record line has no signal count");
    }
    const std::int64_t count = RequireInt(tokens[1], source, "signal count");
    if (count < 1 || count > 4096) {
        Fail(source, "signal count " + tokens[1] + " out of range");
    }
    signalCount = static_cast<std::size_t>(count);
    if (tokens.size() > 2) {
        std::string rest;
        header.frequency = RequireDouble(Before(tokens[2], "/(", rest), source, "sampling frequency");
        if (!(header.frequency > 0.0)) {
            Fail(source, "sampling frequency must be positive");
        }
    }
    if (tokens.size() > 3) {
        header.sampleCount = RequireInt(tokens[3], source, "sample count");
        if (header.sampleCount < 0) {
            Fail(source, "negative sample count");
        }
    }
}

// "212", "16+512"; several samples per frame ("16x2") and skew ("16:3") are refused.
void ParseFormat(const std::string &token, const std::string &source, WfdbSignalSpec &signal)
{
    std::string rest;
    signal.format = static_cast<int>(RequireInt(Before(token, "x:+", rest), source, "signal format"));
    while (!rest.empty()) {
        std::string next;
        const std::string value = Before(rest.substr(1), "x:+", next);
        if (rest[0] == 'x' && value != "1") {
            Fail(source, "several samples per frame are not supported");
        }
        if (rest[0] == ':' && RequireInt(value, source, "skew") != 0) {
            Fail(source, "skew is not supported");
        }
        if (rest[0] == '+') {
            signal.byteOffset = RequireInt(value, source, "byte offset");
        }
        rest = next;
    }
    if (signal.format != kFormat16 && signal.format != kFormat212) {
        Fail(source, "signal format " + std::to_string(signal.format) + " is not supported (212 and 16 are)");
    }
    if (signal.byteOffset < 0) {
        Fail(source, "negative byte offset");
    }
}

// "200", "200(1024)", "200(1024)/mV", "200/uV". Returns whether a baseline was given.
bool ParseGain(const std::string &token, const std::string &source, WfdbSignalSpec &signal)
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
        signal.baseline = RequireDouble(rest.substr(1, close - 1), source, "baseline");
        hasBaseline = true;
        rest = rest.substr(close + 1);
    }
    if (!rest.empty() && rest[0] == '/') {
        signal.units = rest.substr(1);
    }
    return hasBaseline;
}

WfdbSignalSpec ParseSignalLine(const std::string &line, const std::vector<std::string> &tokens,
                               const std::vector<std::size_t> &starts, const std::string &source)
{
    WfdbSignalSpec signal;
    signal.fileName = tokens[0];
    if (tokens.size() < 2) {
        Fail(source, "signal line for " + tokens[0] + " has no format");
    }
    ParseFormat(tokens[1], source, signal);
    bool hasBaseline = false;
    if (tokens.size() > 2) {
        hasBaseline = ParseGain(tokens[2], source, signal);
    }
    if (tokens.size() > 3) {
        signal.adcResolution = static_cast<int>(RequireInt(tokens[3], source, "ADC resolution"));
    }
    if (tokens.size() > 4) {
        signal.adcZero = RequireDouble(tokens[4], source, "ADC zero");
    }
    if (!hasBaseline) {
        signal.baseline = signal.adcZero;
    }
    constexpr std::size_t kDescriptionField = 8;  // after initial value, checksum and block size
    if (tokens.size() > kDescriptionField) {
        signal.description = line.substr(starts[kDescriptionField]);
        signal.description.erase(signal.description.find_last_not_of(" \t\r") + 1);
    }
    return signal;
}

// Signals stored in one file, interleaved frame by frame.
struct SignalGroup {
    std::string fileName;
    int format;
    std::int64_t byteOffset;
    std::vector<std::size_t> members;  // signal indices
};

std::vector<SignalGroup> GroupSignals(const WfdbHeader &header)
{
    std::vector<SignalGroup> groups;
    for (std::size_t i = 0; i < header.signals.size(); ++i) {
        const WfdbSignalSpec &signal = header.signals[i];
        if (groups.empty() || groups.back().fileName != signal.fileName) {
            groups.push_back({signal.fileName, signal.format, signal.byteOffset, {}});
        } else if (groups.back().format != signal.format) {
            throw ToolkitError(signal.fileName + ": signals of one file must share one format");
        }
        groups.back().members.push_back(i);
    }
    return groups;
}

int SignExtend12(unsigned value)
{
    return (value & 0x800u) != 0u ? static_cast<int>(value) - 4096 : static_cast<int>(value);
}

// The interleaved stream of a group's file, `count` values.
std::vector<int> DecodeSamples(const std::vector<std::uint8_t> &bytes, std::size_t offset, int format, std::size_t count,
                               const std::string &fileName)
{
    const std::size_t needed = format == kFormat16 ? 2u * count : 3u * (count / 2u) + 2u * (count % 2u);
    if (offset > bytes.size() || bytes.size() - offset < needed) {
        throw ToolkitError(fileName + ": signal file too short: needs " + std::to_string(needed) +
                           " bytes after offset " + std::to_string(offset) + ", has " +
                           std::to_string(bytes.size() > offset ? bytes.size() - offset : 0u));
    }
    const auto byteAt = [&bytes, offset](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[offset + i])); };
    std::vector<int> values(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (format == kFormat16) {
            const unsigned word = byteAt(2u * i) | (byteAt(2u * i + 1u) << 8);
            values[i] = (word & 0x8000u) != 0u ? static_cast<int>(word) - 65536 : static_cast<int>(word);
        } else {
            // Pairs of 12-bit values in three bytes: the middle byte holds the
            // high nibble of the first value (low half) and of the second (high half).
            const std::size_t base = 3u * (i / 2u);
            const unsigned middle = byteAt(base + 1u);
            const unsigned value = (i % 2u == 0u) ? byteAt(base) | ((middle & 0x0Fu) << 8)
                                                  : byteAt(base + 2u) | ((middle & 0xF0u) << 4);
            values[i] = SignExtend12(value);
        }
    }
    return values;
}

std::size_t FramesInFile(std::size_t bytes, int format, std::size_t groupSize)
{
    const std::size_t values = format == kFormat16 ? bytes / 2u : (bytes / 3u) * 2u + (bytes % 3u >= 2u ? 1u : 0u);
    return values / groupSize;
}

// Physical values; an invalid sample repeats the previous valid value (0 before the first).
std::vector<double> ToPhysical(const std::vector<int> &raw, const WfdbSignalSpec &signal, std::size_t &invalid)
{
    const int invalidValue = signal.format == kFormat16 ? kInvalid16 : kInvalid212;
    std::vector<double> physical(raw.size());
    double previous = 0.0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == invalidValue) {
            ++invalid;
            physical[i] = previous;
        } else {
            physical[i] = (static_cast<double>(raw[i]) - signal.baseline) / signal.gain;
            previous = physical[i];
        }
    }
    return physical;
}

void AppendWord(std::vector<std::uint8_t> &bytes, unsigned word)
{
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFFu));
    bytes.push_back(static_cast<std::uint8_t>((word >> 8) & 0xFFu));
}

void AppendPseudo(std::vector<std::uint8_t> &bytes, unsigned code, unsigned data)
{
    AppendWord(bytes, (code << kCodeShift) | (data & kDataMask));
}

unsigned FieldData(int value, const char *what)
{
    if (value < 0 || value > static_cast<int>(kDataMask)) {
        throw ToolkitError(std::string("annotation ") + what + " out of range: " + std::to_string(value));
    }
    return static_cast<unsigned>(value);
}

}  // namespace

WfdbHeader ParseWfdbHeader(std::istream &text, const std::string &sourceName)
{
    WfdbHeader header;
    std::size_t signalCount = 0;
    bool haveRecordLine = false;
    std::string line;
    while (std::getline(text, line)) {
        std::vector<std::size_t> starts;
        const std::vector<std::string> tokens = Tokens(line, starts);
        if (tokens.empty() || tokens[0][0] == '#') {
            continue;
        }
        if (!haveRecordLine) {
            ParseRecordLine(tokens, sourceName, header, signalCount);
            haveRecordLine = true;
        } else if (header.signals.size() < signalCount) {
            header.signals.push_back(ParseSignalLine(line, tokens, starts, sourceName));
        }
    }
    if (!haveRecordLine) {
        Fail(sourceName, "no record line");
    }
    if (header.signals.size() != signalCount) {
        Fail(sourceName, "names " + std::to_string(signalCount) + " signals but describes " +
                             std::to_string(header.signals.size()));
    }
    return header;
}

WfdbHeader ReadWfdbHeader(const std::filesystem::path &headerPath)
{
    std::ifstream stream(headerPath);
    if (!stream) {
        throw ToolkitError("cannot open " + headerPath.string());
    }
    return ParseWfdbHeader(stream, headerPath.string());
}

std::vector<std::vector<int>> ReadWfdbSignals(const WfdbHeader &header, const std::filesystem::path &directory)
{
    std::vector<std::vector<int>> signals(header.signals.size());
    for (const SignalGroup &group : GroupSignals(header)) {
        const std::filesystem::path path = directory / group.fileName;
        const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
        const std::size_t offset = static_cast<std::size_t>(group.byteOffset);
        const std::size_t groupSize = group.members.size();
        const std::size_t frames = header.sampleCount > 0
                                       ? static_cast<std::size_t>(header.sampleCount)
                                       : FramesInFile(bytes.size() > offset ? bytes.size() - offset : 0u,
                                                      group.format, groupSize);
        const std::vector<int> stream = DecodeSamples(bytes, offset, group.format, frames * groupSize, path.string());
        for (std::size_t member = 0; member < groupSize; ++member) {
            std::vector<int> &values = signals[group.members[member]];
            values.resize(frames);
            for (std::size_t frame = 0; frame < frames; ++frame) {
                values[frame] = stream[frame * groupSize + member];
            }
        }
    }
    return signals;
}

Recording ReadWfdbRecording(const std::filesystem::path &headerPath, const std::string &channel)
{
    const WfdbHeader header = ReadWfdbHeader(headerPath);
    std::vector<std::string> names;
    for (const WfdbSignalSpec &signal : header.signals) {
        names.push_back(signal.description);
    }
    const std::size_t chosen = ChooseChannel(names, channel);
    const std::vector<std::vector<int>> raw = ReadWfdbSignals(header, headerPath.parent_path());
    const WfdbSignalSpec &signal = header.signals[chosen];
    Recording recording;
    recording.rate = header.frequency;
    recording.units = signal.units;
    recording.channelName = signal.description;
    recording.samples = ToPhysical(raw[chosen], signal, recording.invalidSamples);
    return recording;
}

std::vector<Annotation> ReadMitAnnotations(const std::filesystem::path &path)
{
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    const auto byteAt = [&bytes](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    const auto wordAt = [&byteAt](std::size_t i) { return byteAt(i) | (byteAt(i + 1u) << 8); };
    const auto need = [&bytes, &path](std::size_t position, std::size_t count) {
        if (bytes.size() - position < count) {
            throw ToolkitError(path.string() + ": annotation file truncated at byte " + std::to_string(position));
        }
    };

    std::vector<Annotation> annotations;
    std::int64_t time = 0;
    int channel = 0;
    int number = 0;
    std::size_t position = 0;
    while (position + 2u <= bytes.size()) {
        const unsigned word = wordAt(position);
        position += 2u;
        const unsigned code = word >> kCodeShift;
        const unsigned data = word & kDataMask;
        if (word == 0u) {
            break;  // end of file
        }
        Annotation *last = annotations.empty() ? nullptr : &annotations.back();
        switch (code) {
        case kSkip: {
            // A 32-bit step, high 16 bits first, each half little-endian.
            need(position, 4u);
            const std::uint32_t step = (static_cast<std::uint32_t>(wordAt(position)) << 16) | wordAt(position + 2u);
            time += static_cast<std::int32_t>(step);
            position += 4u;
            break;
        }
        case kNum:
            number = static_cast<int>(data);
            if (last != nullptr) last->number = number;
            break;
        case kSub:
            if (last != nullptr) last->subtype = static_cast<int>(data);
            break;
        case kChn:
            channel = static_cast<int>(data);
            if (last != nullptr) last->channel = channel;
            break;
        case kAux: {
            need(position, data);
            if (last != nullptr) last->aux.assign(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                                                  bytes.begin() + static_cast<std::ptrdiff_t>(position + data));
            position += data + (data & 1u);  // padded to a whole word
            break;
        }
        default:
            time += data;
            annotations.push_back({time, static_cast<int>(code), 0, channel, number, {}});
            break;
        }
    }
    return annotations;
}

bool IsBeatCode(int code)
{
    // N L R a V F J A S E j / Q ? B e n f r
    static constexpr std::array<int, 19> beats{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 25, 30, 34, 35, 38, 41};
    return std::find(beats.begin(), beats.end(), code) != beats.end();
}

double AnnotationTimeResolution(const std::vector<Annotation> &annotations)
{
    static const std::string prefix = "## time resolution: ";
    for (const Annotation &annotation : annotations) {
        double rate = 0.0;
        if (annotation.code == annotation_code::Note && annotation.aux.rfind(prefix, 0) == 0 &&
            ParseNumber(annotation.aux.substr(prefix.size()), rate) && rate > 0.0) {
            return rate;
        }
    }
    return 0.0;
}

void WriteWfdbRecord16(const std::filesystem::path &base, double frequency, const std::vector<int> &samples,
                       double gain, int baseline, const std::string &units, const std::string &description)
{
    const std::string recordName = base.filename().string();
    std::vector<std::uint8_t> data;
    data.reserve(samples.size() * 2u);
    for (const int sample : samples) {
        if (sample < -32768 || sample > 32767) {
            throw ToolkitError("sample " + std::to_string(sample) + " does not fit format 16");
        }
        AppendWord(data, static_cast<unsigned>(sample) & 0xFFFFu);
    }
    std::filesystem::path dataPath = base;
    dataPath += ".dat";
    std::filesystem::path headerPath = base;
    headerPath += ".hea";
    WriteBytesAtomically(dataPath, data);
    WriteFileAtomically(headerPath, [&](std::ostream &stream) {
        stream.precision(12);
        stream << recordName << " 1 " << frequency << ' ' << samples.size() << '\n'
               << recordName << ".dat 16 " << gain << '(' << baseline << ")/" << units << " 16 " << baseline
               << " 0 0 0 " << description << '\n';
    });
}

void WriteMitAnnotations(const std::filesystem::path &path, const std::vector<Annotation> &annotations)
{
    std::vector<std::uint8_t> bytes;
    std::int64_t time = 0;
    int channel = 0;
    int number = 0;
    for (const Annotation &annotation : annotations) {
        const std::int64_t step = annotation.sample - time;
        if (annotation.code < 1 || annotation.code > 49) {
            throw ToolkitError("annotation code out of range: " + std::to_string(annotation.code));
        }
        const auto code = static_cast<unsigned>(annotation.code);
        if (step >= 0 && step <= static_cast<std::int64_t>(kDataMask)) {
            AppendPseudo(bytes, code, static_cast<unsigned>(step));
        } else {
            if (step < INT32_MIN || step > INT32_MAX) {
                throw ToolkitError("annotation time step too large");
            }
            const auto skip = static_cast<std::uint32_t>(static_cast<std::int32_t>(step));
            AppendPseudo(bytes, kSkip, 0);
            AppendWord(bytes, skip >> 16);
            AppendWord(bytes, skip & 0xFFFFu);
            AppendPseudo(bytes, code, 0);
        }
        time = annotation.sample;
        if (annotation.subtype != 0) AppendPseudo(bytes, kSub, FieldData(annotation.subtype, "subtype"));
        if (annotation.channel != channel) AppendPseudo(bytes, kChn, FieldData(annotation.channel, "channel"));
        if (annotation.number != number) AppendPseudo(bytes, kNum, FieldData(annotation.number, "number"));
        channel = annotation.channel;
        number = annotation.number;
        if (!annotation.aux.empty()) {
            AppendPseudo(bytes, kAux, FieldData(static_cast<int>(std::min<std::size_t>(annotation.aux.size(), 1024u)), "text length"));
            bytes.insert(bytes.end(), annotation.aux.begin(), annotation.aux.end());
            if (annotation.aux.size() % 2u != 0u) bytes.push_back(0);
        }
    }
    AppendWord(bytes, 0);
    WriteBytesAtomically(path, bytes);
}

}  // namespace qzkit
