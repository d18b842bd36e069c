// SPDX-License-Identifier: Apache-2.0
#include "io/EcgFile.h"

#include "io/AtomicFile.h"
#include "io/FileBytes.h"
#include "ToolkitError.h"

namespace qzkit {

std::vector<std::uint8_t> EcgFileBytes(const std::vector<std::uint16_t> &samples)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2u);
    for (const std::uint16_t sample : samples) {
        bytes.push_back(static_cast<std::uint8_t>(sample & 0xFFu));
        bytes.push_back(static_cast<std::uint8_t>(sample >> 8));
    }
    return bytes;
}

void WriteEcgFile(const std::filesystem::path &path, const std::vector<std::uint16_t> &samples)
{
    WriteBytesAtomically(path, EcgFileBytes(samples));
}

std::vector<std::uint16_t> ReadEcgFile(const std::filesystem::path &path)
{
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() % 2u != 0u) {
        throw ToolkitError(path.string() + ": odd number of bytes (" + std::to_string(bytes.size()) + ")");
    }
    std::vector<std::uint16_t> samples(bytes.size() / 2u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<std::uint8_t>(bytes[2u * i]);
        const auto high = static_cast<std::uint8_t>(bytes[2u * i + 1u]);
        samples[i] = static_cast<std::uint16_t>(low | (high << 8));
    }
    return samples;
}

}  // namespace qzkit
