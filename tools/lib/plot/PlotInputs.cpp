// SPDX-License-Identifier: Apache-2.0
#include "plot/PlotInputs.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "io/BaseName.h"
#include "io/FileBytes.h"
#include "io/LittleEndian.h"
#include "run/LibraryRun.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr std::uint16_t kSampleMask = 0x3FF;
constexpr std::uint16_t kLargestSample = 1023;

bool IsFile(const std::filesystem::path &path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

// Whole little-endian words, as the tool's reader counts them (a trailing odd
// byte is not a sample).
std::vector<std::uint16_t> Words(const std::vector<std::uint8_t> &bytes, std::size_t count)
{
    std::vector<std::uint16_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = WordAt(bytes, i);
    }
    return words;
}

// The recording's words as the tool reads them: its first 1500, or exactly 600.
std::vector<std::uint16_t> ReadRecording(const std::filesystem::path &base)
{
    const std::filesystem::path path = WithSuffix(base, QZ_RECORD_EXTENSION);
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    const std::size_t whole = bytes.size() / 2u;
    if (whole != QZ_SHORT_RECORD_SAMPLES && whole < QZ_LONG_RECORD_SAMPLES) {
        throw ToolkitError(path.string() + ": " + std::to_string(whole) +
                           " samples; the tool reads " + std::to_string(QZ_LONG_RECORD_SAMPLES) +
                           " samples or exactly " + std::to_string(QZ_SHORT_RECORD_SAMPLES));
    }
    return Words(bytes, whole == QZ_SHORT_RECORD_SAMPLES ? QZ_SHORT_RECORD_SAMPLES : QZ_LONG_RECORD_SAMPLES);
}

// The first 31 bytes of the constants file, as the tool reads them.
ConstantsImage ReadConstants(const std::filesystem::path &base)
{
    const std::filesystem::path path = WithSuffix(base, kConstantsFileExtension);
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() < QZ_CONSTANTS_FILE_BYTES) {
        throw ToolkitError(path.string() + ": " + std::to_string(bytes.size()) +
                           " bytes; a constants file has 31");
    }
    ConstantsImage image{};
    std::copy_n(bytes.begin(), image.size(), image.begin());
    return image;
}

// The names, the recording with the low 10 bits the tool packs, and the constants.
RunFiles Inputs(const std::string &recordName, const std::vector<std::uint16_t> &recording,
                const std::string &constantsName, const ConstantsImage &constants)
{
    RunFiles files;
    files.recordName = recordName;
    files.constantsName = constantsName;
    files.constants = ToSamplingRecord(constants);
    files.recording = recording;
    for (std::uint16_t &sample : files.recording) {
        if (sample > kLargestSample) {
            ++files.wrappedSamples;
        }
        sample = static_cast<std::uint16_t>(sample & kSampleMask);
    }
    return files;
}

// A stage dump is the buffer unpacked: one 10-bit sample per word, as many as
// the recording has.
std::optional<std::vector<std::uint16_t>> ReadDump(const std::filesystem::path &path, std::size_t sampleCount)
{
    if (!IsFile(path)) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() != 2u * sampleCount) {
        throw ToolkitError(path.string() + ": " + std::to_string(bytes.size()) + " bytes, expected " +
                           std::to_string(2u * sampleCount) + " for a " + std::to_string(sampleCount) +
                           "-sample recording (a dump of another run?)");
    }
    std::vector<std::uint16_t> samples = Words(bytes, sampleCount);
    for (const std::uint16_t sample : samples) {
        if (sample > kLargestSample) {
            throw ToolkitError(path.string() + ": value " + std::to_string(sample) +
                               " is not a 10-bit sample; not a stage dump");
        }
    }
    return samples;
}

}  // namespace

RunFiles ReadRunFiles(const RunFileNames &names)
{
    const ConstantsImage constants = ReadConstants(names.constants);
    RunFiles files = Inputs(names.record.filename().string(), ReadRecording(names.record),
                            names.constants.filename().string(), constants);
    const std::size_t sampleCount = files.recording.size();
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        files.dumps[stage] = ReadDump(WithSuffix(names.record, DumpStages()[stage].extension), sampleCount);
    }
    const std::filesystem::path resultPath = WithSuffix(names.record, QZ_RESULT_EXTENSION);
    files.result = ParseResultRecord(ReadFileBytes(resultPath), resultPath.string());
    if (!names.methodDump.empty() && IsFile(names.methodDump)) {
        files.methodDump = ParseStatistics(ReadFileBytes(names.methodDump), names.methodDump.string());
    }
    return files;
}

RunFiles RunInProcess(const std::string &recordName, const std::vector<std::uint16_t> &recording,
                      const std::string &constantsName, const ConstantsImage &constants,
                      const qz::run_settings_struct &settings)
{
    RunFiles files = Inputs(recordName, recording, constantsName, constants);
    LibraryRun run = RunLibrary(constants, settings, recording, true);
    files.dumps = std::move(run.stages);
    files.result = run.result;
    files.methodDump = run.methodDump;
    return files;
}

RunFiles ReadAndRun(const RunFileNames &names, const qz::run_settings_struct &settings)
{
    const ConstantsImage constants = ReadConstants(names.constants);
    return RunInProcess(names.record.filename().string(), ReadRecording(names.record),
                        names.constants.filename().string(), constants, settings);
}

}  // namespace qzkit
