// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbWriter.h"

#include <cstdint>

#include "io/AtomicFile.h"
#include "ToolkitError.h"

namespace qzkit {

void WriteWfdbRecord16(const std::filesystem::path &base, double frequency, const std::vector<int> &samples,
                       double gain, int baseline, const std::string &units, const std::string &description)
{
    const std::string recordName = base.filename().string();
    std::vector<std::uint8_t> data;
    data.reserve(samples.size() * 2u);
    std::uint16_t checksum = 0;  // the 16-bit sum of every sample, as readers check it
    for (const int sample : samples) {
        if (sample < -32768 || sample > 32767) {
            throw ToolkitError("sample " + std::to_string(sample) + " does not fit format 16");
        }
        const auto word = static_cast<unsigned>(sample) & 0xFFFFu;
        checksum = static_cast<std::uint16_t>(checksum + word);
        data.push_back(static_cast<std::uint8_t>(word & 0xFFu));
        data.push_back(static_cast<std::uint8_t>(word >> 8));
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
               << " 0 " << static_cast<std::int16_t>(checksum) << " 0 " << description << '\n';
    });
}

}  // namespace qzkit
