// SPDX-License-Identifier: Apache-2.0
// What the picture of one run shows: the recording, the stage dumps that
// exist, the result record (.out), the method dump (thresholdmethod.info) and
// the constants, either read from the files a run of the heart-rate tool
// left or made by running the library in-process.
#ifndef QZKIT_PLOT_INPUTS_H
#define QZKIT_PLOT_INPUTS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_DataStructures.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "constants/ConstantsImage.h"
#include "io/ResultRecord.h"
#include "io/StageDumps.h"

namespace qzkit {

struct RunFileNames {
    std::filesystem::path record;     // record base name, as given to the tool
    std::filesystem::path constants;  // constants base name, as given to the tool
    std::filesystem::path methodDump;  // thresholdmethod.info; may be absent
};

struct RunFiles {
    std::string recordName;  // the record's base name without directories
    std::string constantsName;
    std::vector<std::uint16_t> recording;  // 1500 or 600 samples, low 10 bits as the tool packs them
    std::size_t wrappedSamples = 0;        // recording words above 1023 (the tool keeps their low 10 bits)
    StageOutputs dumps;  // absent: no file
    ResultRecord result;
    std::optional<StatisticsBlock> methodDump;  // absent: no file
    qz::sampling_frequency_struct constants{};
};

// Reads every file the way the tool does (the recording: its first 1500
// samples, or exactly 600; the constants: the first 31 bytes) and checks that
// they belong together: each dump holds as many samples as the recording,
// the result record is 86 bytes, the method dump is 28 bytes. Stage dumps and the method dump
// may be missing; the recording, the constants and the result record may
// not. Throws ToolkitError with a one-line message naming the file.
RunFiles ReadRunFiles(const RunFileNames &names);

// What a run of the tool would leave, from a run of the library in-process
// over `recording` (the tool's input words, 1500 or 600 of them).
RunFiles RunInProcess(const std::string &recordName, const std::vector<std::uint16_t> &recording,
                      const std::string &constantsName, const ConstantsImage &constants,
                      const qz::run_settings_struct &settings);

// Reads the recording and the constants as ReadRunFiles does and runs the
// library over them in-process.
RunFiles ReadAndRun(const RunFileNames &names, const qz::run_settings_struct &settings);

}  // namespace qzkit

#endif
