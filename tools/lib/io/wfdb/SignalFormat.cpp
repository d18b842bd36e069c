// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/SignalFormat.h"

#include <algorithm>
#include <array>

namespace qzkit {
namespace {

struct FormatInfo {
    int format;
    Packing packing;
    int adcBits;
    std::optional<std::int32_t> invalid;
};

constexpr std::array<FormatInfo, 13> kFormats{{
    {8, {1, 1}, 8, std::nullopt},
    {16, {1, 2}, 16, -32768},
    {24, {1, 3}, 24, -8388608},
    {32, {1, 4}, 32, INT32_MIN},
    {61, {1, 2}, 16, -32768},
    {80, {1, 1}, 8, -128},
    {160, {1, 2}, 16, -32768},
    {212, {2, 3}, 12, -2048},
    {310, {3, 4}, 10, -512},
    {311, {3, 4}, 10, -512},
    {508, {1, 1}, 8, -128},
    {516, {1, 2}, 16, -32768},
    {524, {1, 3}, 24, -8388608},
}};

const FormatInfo *Find(int format)
{
    const auto found = std::find_if(kFormats.begin(), kFormats.end(),
                                    [format](const FormatInfo &info) { return info.format == format; });
    return found == kFormats.end() ? nullptr : &*found;
}

// Bytes the first `values` values of a block reach.
unsigned PartialBlockBytes(int format, unsigned values)
{
    if (values == 0) {
        return 0;
    }
    switch (format) {
    case 212:
        return 2;  // the first value and the shared middle byte
    case 310:
        return 2u * values;  // one byte pair per value
    case 311:
        return values == 1 ? 2u : 3u;  // 10 and 20 bits of a 32-bit word
    default:
        return values * PackingOf(format).bytes;
    }
}

std::int32_t SignExtend(std::uint32_t value, unsigned bits)
{
    const std::int64_t sign = std::int64_t{1} << (bits - 1u);
    return static_cast<std::int32_t>(static_cast<std::int64_t>(value ^ static_cast<std::uint32_t>(sign)) - sign);
}

std::uint32_t Le(const std::uint8_t *bytes, unsigned count)
{
    std::uint32_t value = 0;
    for (unsigned i = count; i-- > 0;) {
        value = (value << 8) | static_cast<std::uint32_t>(bytes[i]);
    }
    return value;
}

// The i-th value of a block of a packed format.
std::int32_t PackedValue(int format, const std::uint8_t *block, unsigned index)
{
    if (format == 212) {
        // Two 12-bit values in three bytes; the middle byte holds the high
        // nibble of the first value (low half) and of the second (high half).
        return index == 0 ? SignExtend(block[0] | ((block[1] & 0x0Fu) << 8), 12)
                          : SignExtend(block[2] | ((block[1] & 0xF0u) << 4), 12);
    }
    if (format == 310) {
        // Two 16-bit words; bits 1-10 of each hold the first two values, the
        // top five bits of each the low and the high half of the third.
        const std::uint32_t first = Le(block, 2);
        if (index < 2) {
            return SignExtend((Le(block + std::size_t{2} * index, 2) >> 1) & 0x3FFu, 10);
        }
        return SignExtend((first >> 11) | ((Le(block + 2, 2) >> 11) << 5), 10);
    }
    // 311: three 10-bit values from the low end of a 32-bit word.
    return SignExtend((Le(block, index == 0 ? 2u : 3u + (index == 2 ? 1u : 0u)) >> (10u * index)) & 0x3FFu, 10);
}

}  // namespace

bool IsSupportedFormat(int format)
{
    return Find(format) != nullptr;
}

std::string SupportedFormatList()
{
    std::string list;
    for (const FormatInfo &info : kFormats) {
        list += (list.empty() ? "" : ", ") + std::to_string(info.format);
    }
    return list;
}

bool IsFlacFormat(int format)
{
    return format == 508 || format == 516 || format == 524;
}

int DefaultAdcBits(int format)
{
    const FormatInfo *info = Find(format);
    return info == nullptr ? 12 : info->adcBits;
}

std::optional<std::int32_t> InvalidValue(int format)
{
    if (format == 0) {
        return kLayoutInvalid;
    }
    const FormatInfo *info = Find(format);
    return info == nullptr ? std::nullopt : info->invalid;
}

Packing PackingOf(int format)
{
    const FormatInfo *info = Find(format);
    return info == nullptr ? Packing{1, 1} : info->packing;
}

std::optional<std::uint64_t> BytesForValues(int format, std::uint64_t values)
{
    const Packing packing = PackingOf(format);
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(values / packing.values, std::uint64_t{packing.bytes}, &bytes) ||
        __builtin_add_overflow(bytes, PartialBlockBytes(format, static_cast<unsigned>(values % packing.values)),
                               &bytes)) {
        return std::nullopt;
    }
    return bytes;
}

std::uint64_t ValuesInBytes(int format, std::uint64_t bytes)
{
    const Packing packing = PackingOf(format);
    std::uint64_t values = bytes / packing.bytes * packing.values;
    const auto rest = static_cast<unsigned>(bytes % packing.bytes);
    for (unsigned partial = packing.values - 1u; partial > 0; --partial) {
        if (PartialBlockBytes(format, partial) <= rest) {
            return values + partial;
        }
    }
    return values;
}

void DecodeValues(int format, const std::uint8_t *bytes, std::size_t count, std::int32_t *values)
{
    switch (format) {
    case 8:
        std::transform(bytes, bytes + count, values, [](std::uint8_t b) { return SignExtend(b, 8); });
        return;
    case 80:
        std::transform(bytes, bytes + count, values, [](std::uint8_t b) { return static_cast<std::int32_t>(b) - 128; });
        return;
    case 16:
        for (std::size_t i = 0; i < count; ++i) values[i] = SignExtend(Le(bytes + 2 * i, 2), 16);
        return;
    case 61:
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = SignExtend((static_cast<std::uint32_t>(bytes[2 * i]) << 8) | bytes[2 * i + 1], 16);
        }
        return;
    case 160:
        for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<std::int32_t>(Le(bytes + 2 * i, 2)) - 32768;
        return;
    case 24:
        for (std::size_t i = 0; i < count; ++i) values[i] = SignExtend(Le(bytes + 3 * i, 3), 24);
        return;
    case 32:
        for (std::size_t i = 0; i < count; ++i) values[i] = SignExtend(Le(bytes + 4 * i, 4), 32);
        return;
    default:
        break;
    }
    const Packing packing = PackingOf(format);
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = PackedValue(format, bytes + i / packing.values * packing.bytes,
                                static_cast<unsigned>(i % packing.values));
    }
}

}  // namespace qzkit
