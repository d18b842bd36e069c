// SPDX-License-Identifier: Apache-2.0
#include "constants/ConstantsImage.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include <qz_vozozi_DE/QZ_Helpers.h>

#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "io/FileBytes.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr unsigned kMantissaSteps = 32768;  // 2^15
constexpr int kExponentBias = 127;
constexpr unsigned kLargestFiniteExponent = 254;
constexpr unsigned kInfinityExponent = 255;

constexpr std::array<ConstantsField, 11> kFields{{
    {"Frequency", FieldType::Unsigned16, QZ_OFFSET_FREQUENCY, 1, "sampling frequency, Hz (carried only; no stage reads it)"},
    {"DelayCycles", FieldType::Unsigned16, QZ_OFFSET_DELAY_CYCLES, 1, "carried only"},
    {"Period", FieldType::ThreeByteFloat, QZ_OFFSET_PERIOD, 1, "seconds per sample; BPM = 60 / (interval x Period)"},
    {"MaxBPM", FieldType::Unsigned16, QZ_OFFSET_MAX_BPM, 1, "highest plausible rate; above it the result gets QI 3"},
    {"MinBPM", FieldType::Unsigned16, QZ_OFFSET_MIN_BPM, 1, "lowest plausible rate; below it the result gets QI 3"},
    {"OnePerMinute", FieldType::Unsigned8, QZ_OFFSET_ONE_PER_MINUTE, 1, "BPM reported (with QI 3) when only one peak is found"},
    {"LPFConstants", FieldType::Signed8, QZ_OFFSET_LPF_CONSTANTS, 5, "low-pass taps c0 (outer pair) to c4 (centre) of 9"},
    {"LPFPostscale", FieldType::Unsigned8, QZ_OFFSET_LPF_POSTSCALE, 1, "low-pass scaling = LPFPostscale / 450 x amplitude"},
    {"HPFConstantsA", FieldType::ThreeByteFloat, QZ_OFFSET_HPF_A, 3, "high-pass feedback on y[n-1], y[n-2], y[n-3]"},
    {"HPFConstantsB", FieldType::Unsigned8, QZ_OFFSET_HPF_B, 2, "high-pass numerator B0, B1: taps B0, -B1, +B1, -B0"},
    {"ContDelayCycles", FieldType::Unsigned16, QZ_OFFSET_CONT_DELAY_CYCLES, 1, "carried only"},
}};

std::size_t ValueOffset(const ConstantsField &field, std::size_t index)
{
    if (index >= field.count) {
        throw ToolkitError("index " + std::to_string(index) + " out of range for " + std::string(field.name));
    }
    return field.offset + index * FieldValueBytes(field.type);
}

Float24 PackFloat24(bool negative, unsigned exponent, unsigned mantissa)
{
    return {static_cast<std::uint8_t>(mantissa & 0xFFu),
            static_cast<std::uint8_t>(((mantissa >> 8) & 0x7Fu) | ((exponent & 1u) << 7)),
            static_cast<std::uint8_t>((exponent >> 1) | (negative ? 0x80u : 0u))};
}

}  // namespace

float DecodeFloat24(const Float24 &bytes)
{
    return qz::hlp_convert24bitToFloat(bytes.data());
}

Float24Parts SplitFloat24(const Float24 &bytes)
{
    return {(bytes[2] & 0x80u) != 0u, static_cast<unsigned>(((bytes[2] & 0x7Fu) << 1) | (bytes[1] >> 7)),
            static_cast<unsigned>(((bytes[1] & 0x7Fu) << 8) | bytes[0])};
}

Float24 EncodeFloat24(double value)
{
    if (std::isnan(value)) {
        throw ToolkitError("not a number cannot be stored in a 3-byte float");
    }
    const bool negative = std::signbit(value);
    if (std::isinf(value)) {
        return PackFloat24(negative, kInfinityExponent, 0);
    }
    const double magnitude = std::fabs(value);
    const double smallest = std::ldexp(1.0, -kExponentBias);
    if (magnitude < smallest) {
        return PackFloat24(negative, 0, 0);
    }
    int binaryExponent = 0;
    const double fraction = std::frexp(magnitude, &binaryExponent);  // magnitude = fraction x 2^binaryExponent
    // magnitude = (1 + m / 32768) x 2^(e - 127) with 2 x fraction = 1 + m / 32768.
    const int exponent = binaryExponent - 1 + kExponentBias;
    const double steps = std::nearbyint((2.0 * fraction - 1.0) * kMantissaSteps);  // ties to even
    unsigned mantissa = static_cast<unsigned>(steps);
    unsigned biasedExponent = static_cast<unsigned>(exponent);
    if (mantissa == kMantissaSteps) {
        mantissa = 0;
        ++biasedExponent;
    }
    if (biasedExponent > kLargestFiniteExponent) {
        throw ToolkitError("magnitude beyond the largest 3-byte float (about 3.4e38)");
    }
    return PackFloat24(negative, biasedExponent, mantissa);
}

std::span<const ConstantsField> ConstantsFields()
{
    return kFields;
}

const ConstantsField &FindConstantsField(std::string_view name)
{
    const auto found = std::find_if(kFields.begin(), kFields.end(),
                                    [name](const ConstantsField &field) { return field.name == name; });
    if (found == kFields.end()) {
        throw ToolkitError("no constants field named " + std::string(name));
    }
    return *found;
}

std::size_t FieldValueBytes(FieldType type)
{
    switch (type) {
    case FieldType::Unsigned16:
        return 2;
    case FieldType::ThreeByteFloat:
        return 3;
    case FieldType::Unsigned8:
    case FieldType::Signed8:
        break;
    }
    return 1;
}

std::int64_t FieldMinimum(FieldType type)
{
    return type == FieldType::Signed8 ? -128 : 0;
}

std::int64_t FieldMaximum(FieldType type)
{
    switch (type) {
    case FieldType::Unsigned16:
        return 65535;
    case FieldType::Signed8:
        return 127;
    case FieldType::Unsigned8:
    case FieldType::ThreeByteFloat:
        break;
    }
    return 255;
}

std::int64_t ReadIntegerValue(const ConstantsImage &image, const ConstantsField &field, std::size_t index)
{
    const std::size_t offset = ValueOffset(field, index);
    switch (field.type) {
    case FieldType::Unsigned16:
        return image[offset] + 256 * image[offset + 1];
    case FieldType::Signed8:
        return image[offset] < 128 ? image[offset] : image[offset] - 256;
    case FieldType::Unsigned8:
        return image[offset];
    case FieldType::ThreeByteFloat:
        break;
    }
    throw ToolkitError(std::string(field.name) + " is not an integer field");
}

void WriteIntegerValue(ConstantsImage &image, const ConstantsField &field, std::size_t index, std::int64_t value)
{
    if (field.type == FieldType::ThreeByteFloat || value < FieldMinimum(field.type) ||
        value > FieldMaximum(field.type)) {
        throw ToolkitError(std::to_string(value) + " cannot be stored in " + std::string(field.name) + " (" +
                           std::to_string(FieldMinimum(field.type)) + " to " +
                           std::to_string(FieldMaximum(field.type)) + ")");
    }
    const std::size_t offset = ValueOffset(field, index);
    // Two's complement for negative bytes, low byte first for 16-bit values.
    const auto bits = static_cast<std::uint16_t>(value < 0 ? value + 256 : value);
    image[offset] = static_cast<std::uint8_t>(bits & 0xFFu);
    if (field.type == FieldType::Unsigned16) {
        image[offset + 1] = static_cast<std::uint8_t>(bits >> 8);
    }
}

Float24 ReadFloatValue(const ConstantsImage &image, const ConstantsField &field, std::size_t index)
{
    if (field.type != FieldType::ThreeByteFloat) {
        throw ToolkitError(std::string(field.name) + " is not a float field");
    }
    const std::size_t offset = ValueOffset(field, index);
    return {image[offset], image[offset + 1], image[offset + 2]};
}

void WriteFloatValue(ConstantsImage &image, const ConstantsField &field, std::size_t index, const Float24 &bytes)
{
    if (field.type != FieldType::ThreeByteFloat) {
        throw ToolkitError(std::string(field.name) + " is not a float field");
    }
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(ValueOffset(field, index)));
}

qz::sampling_frequency_struct ToSamplingRecord(const ConstantsImage &image)
{
    qz::sampling_frequency_struct record{};
    qz::hlp_convertSamplingTo64bitFloat(image.data(), &record);
    return record;
}

double ConstantsRate(const ConstantsImage &constants)
{
    return 1.0 / static_cast<double>(ToSamplingRecord(constants).Period);
}

std::string ImageHex(const ConstantsImage &image)
{
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : image) {
        text += kDigits[std::size_t{byte} >> 4u];
        text += kDigits[std::size_t{byte} & 0x0Fu];
    }
    return text;
}

ConstantsImage ReadConstantsFile(const std::filesystem::path &path, std::size_t &extraBytes)
{
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() < kConstantsImageBytes) {
        throw ToolkitError(path.string() + ": " + std::to_string(bytes.size()) + " bytes; a constants file has " +
                           std::to_string(kConstantsImageBytes));
    }
    ConstantsImage image{};
    std::copy_n(bytes.begin(), kConstantsImageBytes, image.begin());
    extraBytes = bytes.size() - kConstantsImageBytes;
    return image;
}

std::filesystem::path ConstantsFilePath(const std::filesystem::path &path)
{
    return std::filesystem::is_regular_file(path) ? path : WithSuffix(path, kConstantsFileExtension);
}

ConstantsImage ReadConstantsFile(const std::filesystem::path &path)
{
    std::size_t extraBytes = 0;
    return ReadConstantsFile(ConstantsFilePath(path), extraBytes);
}

void WriteConstantsFile(const std::filesystem::path &path, const ConstantsImage &image)
{
    WriteBytesAtomically(path, std::vector<std::uint8_t>(image.begin(), image.end()));
}

}  // namespace qzkit
