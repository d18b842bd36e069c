// SPDX-License-Identifier: Apache-2.0
// Timing of the heart-rate library on the host: the whole pipeline for the
// shipped 1500-sample and 600-sample ECG examples and for the worst case of
// template matching, and every stage on its own with the input the pipeline
// would hand it. Dump files go to the in-memory file operations with writes
// discarded, so the figures are the library's and not the disk's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>
#include <qz_vozozi_DE/QZ_MemoryFiles.h>

namespace {

const char *const kRecordName = "bench";

// The bytes of a file in the examples folder; empty when it cannot be read.
std::vector<qz::BYTE> ReadExample(const std::string &name)
{
    std::vector<qz::BYTE> bytes;
    FILE *file = std::fopen((std::string(QZ_EXAMPLES_DIR) + "/" + name).c_str(), "rb");
    if (file == nullptr) return bytes;
    int c = 0;
    while ((c = std::fgetc(file)) != EOF) {
        bytes.push_back(static_cast<qz::BYTE>(c));
    }
    (void)std::fclose(file);
    return bytes;
}

std::vector<qz::UINT16> ExampleRecording(const std::string &name)
{
    const std::vector<qz::BYTE> bytes = ReadExample(name);
    std::vector<qz::UINT16> samples(bytes.size() / 2);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        samples[n] = static_cast<qz::UINT16>(bytes[2 * n] | (bytes[2 * n + 1] << 8));
    }
    return samples;
}

// The shipped recordings: ECG at 250 Hz, 72 BPM (1500 samples) and 60 BPM (600).
const char *const kTypicalLong = "ecg_72bpm.ecg";
const char *const kTypicalShort = "ecg_60bpm_600.ecg";
const char *const kConstantsFile = "ecg250-original.pvx.filters.v1";

// Tops every second sample, with one gap of three after the tenth: 25 stored
// peaks, 24 candidate intervals (23 of 2, one of 3), irregular enough for
// beat classification, and the most grid positions any peak list can give.
std::vector<qz::UINT16> TemplateWorstCase()
{
    std::vector<qz::UINT16> out;
    for (std::size_t n = 0; out.size() < QZ_MAX_SAMPLES; ++n) {
        if (n == 10) out.push_back(0);
        out.push_back(0);
        out.push_back(900);
    }
    out.resize(QZ_MAX_SAMPLES);
    return out;
}

// The library as the driver leaves it just before CalculateHeartRate.
struct PackedRecord {
    std::vector<qz::BYTE> bytes = std::vector<qz::BYTE>(QZ_MAX_BUFFER_BYTES, 0);

    explicit PackedRecord(const std::vector<qz::UINT16> &samples)
    {
        qz::QZ_ResetLibraryState();
        qz::memfiles::Clear();
        qz::memfiles::SetDiscardWrites(true);
        const qz::run_settings_struct defaults;
        (void)qz::QZ_PrepareRun(static_cast<qz::UINT16>(samples.size()), &defaults);
        const std::vector<qz::BYTE> constants = ReadExample(kConstantsFile);
        if (constants.size() == QZ_CONSTANTS_FILE_BYTES) {
            qz::hlp_convertSamplingTo64bitFloat(constants.data(), &qz::HeartSampling);
        }
        qz::hlp_convertUnpackedToPacked(samples.data(), bytes.data());
    }
};

// The buffer and library state that the stages selected by `maskBefore`
// leave for the next stage.
struct StageInput {
    PackedRecord record;
    std::vector<qz::BYTE> working;

    StageInput(const std::vector<qz::UINT16> &samples, qz::BYTE maskBefore) : record(samples)
    {
        (void)qz::CalculateHeartRate(record.bytes.data(), maskBefore, kRecordName);
        working = record.bytes;
    }

    // Puts the stage's input back; every iteration starts from it.
    qz::BYTE *Fresh()
    {
        std::memcpy(working.data(), record.bytes.data(), record.bytes.size());
        return working.data();
    }
};

void SetPerRecordCounters(benchmark::State &state, std::size_t samples)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(samples));
}

void RunPipeline(benchmark::State &state, const std::vector<qz::UINT16> &samples, qz::BYTE mask)
{
    StageInput input(samples, 0);
    qz::UINT16 result = 0;
    for (auto _ : state) {
        result = qz::CalculateHeartRate(input.Fresh(), mask, kRecordName);
        benchmark::DoNotOptimize(result);
    }
    state.counters["bpm"] = static_cast<double>(result & QZ_RESULT_BPM_MASK);
    state.counters["qi"] = static_cast<double>(result >> QZ_RESULT_QI_SHIFT);
    SetPerRecordCounters(state, samples.size());
}

void BM_CalculateHeartRate_1500(benchmark::State &state)
{
    RunPipeline(state, ExampleRecording(kTypicalLong), QZ_STAGE_ALL);
}

void BM_CalculateHeartRate_600(benchmark::State &state)
{
    RunPipeline(state, ExampleRecording(kTypicalShort), QZ_STAGE_ALL);
}

// Peak finding and beat classification straight on the worst-case trace.
void BM_CalculateHeartRate_TemplateWorstCase(benchmark::State &state)
{
    RunPipeline(state, TemplateWorstCase(), QZ_STAGE_PEAKS | QZ_STAGE_BEATRATE);
}

// The cost of restoring the input, included in every figure below.
void BM_RestoreBuffer(benchmark::State &state)
{
    StageInput input(ExampleRecording(kTypicalLong), 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(input.Fresh());
    }
}

// One stage of the pipeline (one mask bit) on the typical record as the
// stages before it left it: its statistics, its filter and, for the five
// conditioning stages, its dump file (unpacked, write discarded).
void RunStage(benchmark::State &state, qz::BYTE stage, qz::UINT16 derivativeOrder)
{
    StageInput input(ExampleRecording(kTypicalLong), static_cast<qz::BYTE>(stage - 1u));
    qz::Filter.set(qz::FilterBits::DerivativeOrder, derivativeOrder);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qz::CalculateHeartRate(input.Fresh(), stage, kRecordName));
    }
    SetPerRecordCounters(state, QZ_MAX_SAMPLES);
}

struct StageCase {
    const char *name;
    qz::BYTE stage;
    qz::UINT16 derivativeOrder;
};

const StageCase kStageCases[] = {
    {"Stage/1_lowpass", QZ_STAGE_LOWPASS, 2},
    {"Stage/2_highpass", QZ_STAGE_HIGHPASS, 2},
    {"Stage/4_derivative2", QZ_STAGE_DERIVATIVE, 2},
    {"Stage/4_derivative5", QZ_STAGE_DERIVATIVE, 5},
    {"Stage/8_square", QZ_STAGE_SQUARE, 2},
    {"Stage/16_average", QZ_STAGE_AVERAGE, 2},
    {"Stage/32_peaks", QZ_STAGE_PEAKS, 2},
};

// Beat-rate estimation alone on the peaks of the conditioned typical record.
void BM_GetBPM(benchmark::State &state)
{
    StageInput input(ExampleRecording(kTypicalLong), QZ_STAGE_ALL & ~QZ_STAGE_BEATRATE);
    std::vector<qz::UINT16> locations(qz::GloballyAccessibleIntervals, qz::GloballyAccessibleIntervals + QZ_MAX_PEAKS);
    qz::UINT16 bpm = 0;
    qz::UINT16 scratch = 0;
    for (auto _ : state) {
        qz::BYTE peaks = qz::GloballyAccessiblePeaks;
        qz::GetBPM(input.working.data(), locations.data(), &bpm, &scratch, &peaks);
        benchmark::DoNotOptimize(bpm);
    }
    state.counters["bpm"] = static_cast<double>(bpm & QZ_RESULT_BPM_MASK);
}

// Template matching alone on the worst-case trace: 24 candidates, most of
// them with 750 grid positions.
void BM_TemplateMatchingWorstCase(benchmark::State &state)
{
    StageInput input(TemplateWorstCase(), QZ_STAGE_PEAKS | QZ_STAGE_BEATRATE);
    const qz::BYTE peaks = qz::GloballyAccessiblePeaks > QZ_MAX_PEAKS ? static_cast<qz::BYTE>(QZ_MAX_PEAKS)
                                                               : qz::GloballyAccessiblePeaks;
    qz::UINT16 interval = 0;
    for (auto _ : state) {
        interval = qz::BPM_Method_TemplateMatching(input.working.data(), qz::GloballyAccessibleIntervals, &peaks);
        benchmark::DoNotOptimize(interval);
    }
    state.counters["candidates"] = peaks - 1;
    state.counters["interval"] = interval;
}

// The unpacking behind every stage dump file.
void BM_UnpackForDump(benchmark::State &state)
{
    StageInput input(ExampleRecording(kTypicalLong), 0);
    std::vector<qz::UINT16> unpacked(QZ_MAX_SAMPLES);
    for (auto _ : state) {
        qz::hlp_convertPackedToUnpacked(input.working.data(), unpacked.data());
        benchmark::DoNotOptimize(unpacked.data());
    }
    SetPerRecordCounters(state, QZ_MAX_SAMPLES);
}

BENCHMARK(BM_CalculateHeartRate_1500);
BENCHMARK(BM_CalculateHeartRate_600);
BENCHMARK(BM_CalculateHeartRate_TemplateWorstCase);
BENCHMARK(BM_RestoreBuffer);
BENCHMARK(BM_GetBPM);
BENCHMARK(BM_TemplateMatchingWorstCase);
BENCHMARK(BM_UnpackForDump);

}  // namespace

int main(int argc, char **argv)
{
    if (ExampleRecording(kTypicalLong).size() != QZ_LONG_RECORD_SAMPLES ||
        ExampleRecording(kTypicalShort).size() != QZ_SHORT_RECORD_SAMPLES ||
        ReadExample(kConstantsFile).size() != QZ_CONSTANTS_FILE_BYTES) {
        std::fprintf(stderr, "qz_bench: the shipped examples are missing from %s\n", QZ_EXAMPLES_DIR);
        return 1;
    }
    for (const StageCase &stage : kStageCases) {
        benchmark::RegisterBenchmark(stage.name, RunStage, stage.stage, stage.derivativeOrder);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
