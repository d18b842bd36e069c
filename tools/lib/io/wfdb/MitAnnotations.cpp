// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/MitAnnotations.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "io/AtomicFile.h"
#include "io/FileBytes.h"
#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// Pseudo-annotation codes of the MIT format.
constexpr unsigned kSkip = 59;
constexpr unsigned kNum = 60;
constexpr unsigned kSub = 61;
constexpr unsigned kChn = 62;
constexpr unsigned kAux = 63;
constexpr unsigned kCodeShift = 10;
constexpr unsigned kDataMask = 0x3FF;

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

// Code 0 marks no event (it only moves the clock), and the notes between
// "## annotation type definitions" and "## end of definitions" define the
// file's own codes: neither is an annotation of the record.
void DropFileMetadata(std::vector<Annotation> &annotations)
{
    bool inDefinitions = false;
    std::erase_if(annotations, [&inDefinitions](const Annotation &annotation) {
        if (annotation.code == annotation_code::Note && annotation.aux == "## annotation type definitions") {
            inDefinitions = true;
        }
        const bool drop = inDefinitions || annotation.code == 0;
        if (annotation.code == annotation_code::Note && annotation.aux == "## end of definitions") {
            inDefinitions = false;
        }
        return drop;
    });
}

}  // namespace

std::vector<Annotation> ReadMitAnnotations(const std::filesystem::path &path)
{
    return ParseMitAnnotations(ReadFileBytes(path), path.string());
}

std::vector<Annotation> ParseMitAnnotations(const std::vector<std::uint8_t> &bytes, const std::string &source)
{
    const auto byteAt = [&bytes](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    const auto wordAt = [&byteAt](std::size_t i) { return byteAt(i) | (byteAt(i + 1u) << 8); };
    const auto need = [&bytes, &source](std::size_t position, std::size_t count) {
        if (position > bytes.size() || bytes.size() - position < count) {
            throw ToolkitError(source + ": annotation file truncated at byte " + std::to_string(position));
        }
    };

    std::vector<Annotation> annotations;
    std::int64_t time = 0;
    int channel = 0;
    int number = 0;
    std::size_t position = 0;
    while (true) {
        if (position > bytes.size() || bytes.size() - position < 2u) {
            throw ToolkitError(source + ": annotation file truncated: no end marker after byte " +
                               std::to_string(position));
        }
        const unsigned word = wordAt(position);
        position += 2u;
        const unsigned code = word >> kCodeShift;
        const unsigned data = word & kDataMask;
        if (word == 0u) {
            break;
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
            if (last != nullptr) {
                // The text ends at its first NUL, if any.
                const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(position);
                last->aux.assign(first, std::find(first, first + static_cast<std::ptrdiff_t>(data), 0));
            }
            position += data + (data & 1u);  // padded to a whole word
            break;
        }
        default:
            time += data;
            annotations.push_back({time, static_cast<int>(code), 0, channel, number, {}});
            break;
        }
    }
    DropFileMetadata(annotations);
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
            const auto length = static_cast<int>(std::min<std::size_t>(annotation.aux.size(), 1024u));
            AppendPseudo(bytes, kAux, FieldData(length, "text length"));
            bytes.insert(bytes.end(), annotation.aux.begin(), annotation.aux.end());
            if (annotation.aux.size() % 2u != 0u) bytes.push_back(0);
        }
    }
    AppendWord(bytes, 0);
    WriteBytesAtomically(path, bytes);
}

}  // namespace qzkit
