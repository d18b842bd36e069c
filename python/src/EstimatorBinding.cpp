// The estimator for Python: a batch of recordings run one after another, each
// from the library's program-start state and configured as the command-line
// tool configures it, under one lock and without the interpreter lock. The
// library's file operations are the in-memory pair, so the stage dumps of a
// run can be read back instead of written to disk.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <pybind11/numpy.h>

#include "Bindings.h"
#include "Driver.h"
#include "QZ_Filters.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"
#include "QZ_MemoryFiles.h"
#include "ToolkitError.h"
#include "io/ResultRecord.h"
#include "io/StageDumps.h"
#include "run/RecordLength.h"

namespace py = pybind11;

namespace {

using Samples = py::array_t<std::uint16_t, py::array::c_style>;
using Words = py::array_t<std::uint16_t>;

constexpr const char *kRunName = "qzkit";

using Settings = run_settings_struct;

std::mutex libraryLock;

// The library's globals as the tool's driver leaves them just before the
// pipeline call, for `length` samples.
void PrepareRun(const qzkit::ConstantsImage &constants, const Settings &settings, UINT16 length,
                const std::uint16_t *samples)
{
    QZ_ResetDriverState();
    (void)QZ_PrepareRun(length, &settings);
    hlp_convertSamplingTo64bitFloat(constants.data(), &HeartSampling);
    hlp_convertUnpackedToPacked(samples, LargeHeartBuffer);
}

// Where the stage dumps of a batch go: one row of `length` words per run.
struct StageOutputs {
    std::array<std::uint16_t *, qzkit::kDumpStageCount> rows{};
    std::size_t length = 0;

    void Copy(std::size_t run) const
    {
        for (std::size_t stage = 0; stage < qzkit::kDumpStageCount; ++stage) {
            const auto *file = qzmem::GetFile(std::string(kRunName) + qzkit::DumpStages()[stage].extension);
            if (rows[stage] != nullptr && file != nullptr) {
                std::memcpy(rows[stage] + run * length, file->data(), std::min(file->size(), length * 2u));
            }
        }
    }
};

// Runs every row of `samples`, filling one 43-word result record per row and,
// when `stages` is given, the stage dumps.
void RunBatch(const qzkit::ConstantsImage &constants, const Settings &settings, const std::uint16_t *samples,
              std::size_t rows, UINT16 length, std::uint16_t *records, const StageOutputs *stages)
{
    const std::lock_guard<std::mutex> hold(libraryLock);
    for (std::size_t run = 0; run < rows; ++run) {
        qzmem::Clear();
        qzmem::SetDiscardWrites(stages == nullptr);
        PrepareRun(constants, settings, length, samples + run * length);
        const UINT16 result =
            CalculateHeartRate(LargeHeartBuffer, static_cast<BYTE>(settings.StageMask & 0xFFu), kRunName);
        QZ_AssembleResultRecord(result, records + run * QZ_RESULT_RECORD_WORDS);
        if (stages != nullptr) {
            stages->Copy(run);
        }
    }
    qzmem::Clear();
}

UINT16 RecordLength(const Samples &samples)
{
    const auto length = static_cast<std::size_t>(samples.ndim() == 2 ? samples.shape(1) : samples.size());
    if (samples.ndim() != 2 || !qzkit::IsRecordLength(length)) {
        throw qzkit::ToolkitError("Error in reading record input, read " + std::to_string(length) +
                                  ": a recording has 1500 or 600 samples");
    }
    return static_cast<UINT16>(length);
}

py::tuple Run(const Samples &samples, const py::bytes &constantsBytes, const Settings &settings, bool keepStages)
{
    const UINT16 length = RecordLength(samples);
    const qzkit::ConstantsImage constants = ImageOf(constantsBytes);
    const auto rows = static_cast<std::size_t>(samples.shape(0));
    Words records({rows, static_cast<std::size_t>(QZ_RESULT_RECORD_WORDS)});
    py::dict dumps;
    StageOutputs outputs;
    outputs.length = length;
    for (std::size_t stage = 0; keepStages && stage < qzkit::kDumpStageCount; ++stage) {
        const qzkit::DumpStage &dump = qzkit::DumpStages()[stage];
        if ((settings.StageMask & dump.maskBit) != 0u) {
            Words values({rows, static_cast<std::size_t>(length)});
            outputs.rows[stage] = values.mutable_data();
            dumps[dump.extension + 1] = values;  // named by the extension without its dot
        }
    }
    std::uint16_t *recordWords = records.mutable_data();
    const std::uint16_t *sampleWords = samples.data();
    {
        const py::gil_scoped_release released;
        RunBatch(constants, settings, sampleWords, rows, length, recordWords, keepStages ? &outputs : nullptr);
    }
    return py::make_tuple(records, dumps);
}

// The fields of a result record: BPM, QI, the beat-classification flag, the
// peak count, the stored peak locations and the statistics block in field order.
py::dict ParseRecord(const Samples &record)
{
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(record.data());
    const qzkit::ResultRecord parsed = qzkit::ParseResultRecord(
        std::vector<std::uint8_t>(bytes, bytes + record.nbytes()), "result record");
    const qzkit::StatisticsBlock &block = parsed.statistics;
    const auto stored = std::min<std::size_t>(parsed.peakCount, qzkit::kStoredPeaks);
    py::dict fields;
    fields["bpm"] = parsed.bpm;
    fields["qi"] = parsed.qi;
    fields["classified"] = parsed.usedBeatClassification;
    fields["peak_count"] = parsed.peakCount;
    fields["peaks"] = Words(static_cast<py::ssize_t>(stored), parsed.peakLocations.data());
    fields["statistics"] = py::make_tuple(block.qiPattern, block.maxPeak, block.minPeak, block.highPeakThreshold,
                                          block.lowPeakThreshold, block.median, block.highBucket, block.lowBucket,
                                          block.middleBucket, block.tegur);
    return fields;
}

}  // namespace

void BindEstimator(py::module_ &module)
{
    const Settings defaults;
    module.attr("DEFAULT_MASK") = defaults.StageMask;
    module.attr("DEFAULT_PEAK") = defaults.PeakDetection;
    module.attr("DEFAULT_BEAT") = defaults.BeatMethod;
    module.attr("DEFAULT_DERIVATIVE") = defaults.DerivativeOrder;
    module.def(
        "run",
        [](const Samples &samples, const py::bytes &constants, UINT16 mask, UINT16 peak, UINT16 beat,
           UINT16 derivative, bool stages) { return Run(samples, constants, {mask, peak, beat, derivative}, stages); },
        py::arg("samples"), py::arg("constants"), py::arg("mask"), py::arg("peak"), py::arg("beat"),
        py::arg("derivative"), py::arg("stages"),
        "Runs each row of a 2-D uint16 array; returns the result records (rows x 43) and a dict of the "
        "stage dumps (rows x samples each) when `stages` is true.");
    module.def("parse_record", &ParseRecord, py::arg("record"),
               "The fields of a 43-word result record (on a little-endian host).");
    module.def(
        "setting", [](const std::string &text) { return QZ_ParseSetting(text.c_str()); }, py::arg("text"),
        "A numeric setting read as the tool reads its arguments (base 10, saturated to 32 bits, low 16 bits).");
}
