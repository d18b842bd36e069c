// SPDX-License-Identifier: Apache-2.0
#include "run/LibraryRun.h"

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_MemoryFiles.h>

#include "ToolkitError.h"
#include "io/LittleEndian.h"
#include "run/RecordLength.h"

namespace qzkit {
namespace {

// The record name the run's dump files are written under.
constexpr const char *kRunName = "qzkit";

std::optional<std::vector<std::uint8_t>> WrittenFile(const std::string &name)
{
    const std::vector<std::uint8_t> *file = qz::memfiles::GetFile(name);
    return file == nullptr ? std::nullopt : std::optional(*file);
}

std::vector<std::uint16_t> Words(const std::vector<std::uint8_t> &bytes)
{
    std::vector<std::uint16_t> words(bytes.size() / 2u);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = WordAt(bytes, i);
    }
    return words;
}

void KeepStageOutputs(LibraryRun &run)
{
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        if (const auto dump = WrittenFile(std::string(kRunName) + DumpStages()[stage].extension)) {
            run.stages[stage] = Words(*dump);
        }
    }
    if (const auto dump = WrittenFile(std::string(QZ_METHOD_DUMP_NAME) + QZ_METHOD_DUMP_EXTENSION)) {
        run.methodDump = ParseStatistics(*dump, QZ_METHOD_DUMP_NAME QZ_METHOD_DUMP_EXTENSION);
    }
}

}  // namespace

LibraryRun RunLibrary(const ConstantsImage &constants, const qz::run_settings_struct &settings,
                      std::span<const std::uint16_t> samples, bool keepStageOutputs)
{
    if (!IsRecordLength(samples.size())) {
        throw ToolkitError("Error in reading record input, read " + std::to_string(samples.size()) +
                           ": a recording has " + RecordLengthsText() + " samples");
    }
    static qz::BYTE buffer[QZ_MAX_BUFFER_BYTES];
    qz::QZ_ResetLibraryState();
    qz::memfiles::Clear();
    qz::memfiles::SetDiscardWrites(!keepStageOutputs);
    (void)qz::QZ_PrepareRun(static_cast<qz::UINT16>(samples.size()), &settings);
    qz::hlp_convertSamplingTo64bitFloat(constants.data(), &qz::HeartSampling);
    qz::hlp_convertUnpackedToPacked(samples.data(), buffer);
    // Without a record name the library neither unpacks nor writes the stage dumps.
    const qz::UINT16 resultWord = qz::CalculateHeartRate(buffer, static_cast<qz::BYTE>(settings.StageMask & 0xFFu),
                                                 keepStageOutputs ? kRunName : nullptr);

    LibraryRun run;
    qz::QZ_AssembleResultRecord(resultWord, run.words.data());
    run.result = ResultRecordOf(run.words);
    if (keepStageOutputs) {
        KeepStageOutputs(run);
    }
    qz::memfiles::Clear();
    return run;
}

}  // namespace qzkit
