// SPDX-License-Identifier: Apache-2.0
// The estimator for Python: a batch of recordings run one after another with
// the in-process run, under one lock and without the interpreter lock,
// stopped between windows by a signal (Ctrl-C).
#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <pybind11/numpy.h>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "Bindings.h"
#include "ToolkitError.h"
#include "io/ResultRecord.h"
#include "io/StageDumps.h"
#include "run/LibraryRun.h"
#include "run/RecordLength.h"

namespace py = pybind11;

namespace {

using Samples = py::array_t<std::uint16_t, py::array::c_style>;
using Words = py::array_t<std::uint16_t>;

using Settings = qz::run_settings_struct;

// Rows run between two looks at the interpreter's signals (a few
// milliseconds), so that Ctrl-C ends a long batch at once.
constexpr std::size_t kRowsBetweenSignalChecks = 256;

// Raises the exception a pending signal's handler set (KeyboardInterrupt for
// Ctrl-C); called without the interpreter lock.
void StopOnPendingSignal()
{
    const py::gil_scoped_acquire held;
    if (PyErr_CheckSignals() != 0) {
        throw py::error_already_set();
    }
}

// Where the stage outputs of a batch go: one row of `length` words per run.
struct StageRows {
    std::array<std::uint16_t *, qzkit::kDumpStageCount> rows{};
    std::size_t length = 0;

    void Copy(std::size_t run, const qzkit::StageOutputs &stages) const
    {
        for (std::size_t stage = 0; stage < qzkit::kDumpStageCount; ++stage) {
            if (rows[stage] != nullptr && stages[stage]) {
                std::copy_n(stages[stage]->begin(), std::min(stages[stage]->size(), length),
                            rows[stage] + run * length);
            }
        }
    }
};

// Runs every row of `samples`, filling one result record per row and, when
// `stages` is given, the stage outputs.
// NOLINTNEXTLINE(readability-function-size): the batch's arrays as the Python call hands them over
void RunBatch(const qzkit::ConstantsImage &constants, const Settings &settings, const std::uint16_t *samples,
              std::size_t rows, std::size_t length, std::uint16_t *records, const StageRows *stages)
{
    const std::lock_guard<std::mutex> hold(LibraryLock());
    for (std::size_t run = 0; run < rows; ++run) {
        if (run % kRowsBetweenSignalChecks == kRowsBetweenSignalChecks - 1) {
            StopOnPendingSignal();
        }
        const qzkit::LibraryRun done =
            qzkit::RunLibrary(constants, settings, {samples + run * length, length}, stages != nullptr);
        std::copy(done.words.begin(), done.words.end(), records + run * qzkit::kResultRecordWords);
        if (stages != nullptr) {
            stages->Copy(run, done.stages);
        }
    }
}

std::size_t RecordLength(const Samples &samples)
{
    const auto length = static_cast<std::size_t>(samples.ndim() == 2 ? samples.shape(1) : samples.size());
    if (samples.ndim() != 2 || !qzkit::IsRecordLength(length)) {
        throw qzkit::ToolkitError("Error in reading record input, read " + std::to_string(length) +
                                  ": a recording has " + qzkit::RecordLengthsText() + " samples");
    }
    return length;
}

py::tuple Run(const Samples &samples, const py::bytes &constantsBytes, const Settings &settings, bool keepStages)
{
    const std::size_t length = RecordLength(samples);
    const qzkit::ConstantsImage constants = ImageOf(constantsBytes);
    const auto rows = static_cast<std::size_t>(samples.shape(0));
    Words records({rows, qzkit::kResultRecordWords});
    py::dict dumps;
    StageRows outputs;
    outputs.length = length;
    for (std::size_t stage = 0; keepStages && stage < qzkit::kDumpStageCount; ++stage) {
        const qzkit::DumpStage &dump = qzkit::DumpStages()[stage];
        if ((settings.StageMask & dump.maskBit) != 0u) {
            Words values({rows, length});
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
    if (record.ndim() != 1 || static_cast<std::size_t>(record.size()) != qzkit::kResultRecordWords) {
        throw qzkit::ToolkitError("result record: " + std::to_string(record.nbytes()) + " bytes, expected " +
                                  std::to_string(qzkit::kResultRecordBytes));
    }
    qzkit::ResultWords words{};
    std::copy_n(record.data(), words.size(), words.begin());
    const qzkit::ResultRecord parsed = qzkit::ResultRecordOf(words);
    const qzkit::StatisticsBlock &block = parsed.statistics;
    const auto stored = std::min<std::size_t>(parsed.peakCount, qzkit::kStoredPeaks);
    py::dict fields;
    fields["bpm"] = parsed.bpm;
    fields["qi"] = parsed.qi;
    fields["classified"] = parsed.classified;
    fields["peak_count"] = parsed.peakCount;
    fields["peaks"] = Words(static_cast<py::ssize_t>(stored), parsed.peakLocations.data());
    fields["statistics"] = py::make_tuple(block.qiPattern, block.maxPeak, block.minPeak, block.highPeakThreshold,
                                          block.lowPeakThreshold, block.median, block.highBucket, block.lowBucket,
                                          block.middleBucket, block.tegur);
    return fields;
}

}  // namespace

std::mutex &LibraryLock()
{
    static std::mutex lock;
    return lock;
}

void BindEstimator(py::module_ &module)
{
    const Settings defaults;
    module.attr("DEFAULT_MASK") = defaults.StageMask;
    module.attr("DEFAULT_PEAK") = defaults.PeakDetection;
    module.attr("DEFAULT_BEAT") = defaults.BeatMethod;
    module.attr("DEFAULT_DERIVATIVE") = defaults.DerivativeOrder;
    module.attr("RECORD_LENGTHS") = py::make_tuple(QZ_LONG_RECORD_SAMPLES, QZ_SHORT_RECORD_SAMPLES);
    module.def(
        "run",
        [](const Samples &samples, const py::bytes &constants, qz::UINT16 mask, qz::UINT16 peak, qz::UINT16 beat,
           qz::UINT16 derivative, bool stages) { return Run(samples, constants, {mask, peak, beat, derivative}, stages); },
        py::arg("samples"), py::arg("constants"), py::arg("mask"), py::arg("peak"), py::arg("beat"),
        py::arg("derivative"), py::arg("stages"),
        "Runs each row of a 2-D uint16 array; returns the result records (rows x 43) and a dict of the "
        "stage dumps (rows x samples each) when `stages` is true.");
    module.def("parse_record", &ParseRecord, py::arg("record"),
               "The fields of a 43-word result record.");
    module.def(
        "setting", [](const std::string &text) { return qz::QZ_ParseSetting(text.c_str()); }, py::arg("text"),
        "A numeric setting read as the tool reads its arguments (base 10, saturated to 32 bits, low 16 bits).");
}
