// Timing of the heart-rate library on the host: the whole pipeline for a
// typical 1500-sample and 600-sample recording and for the worst case of
// template matching, and every stage on its own with the input the pipeline
// would hand it. Dump files go to the in-memory file operations with writes
// discarded, so the figures are the library's and not the disk's.
//
//   qz_bench [benchmark flags]            run the benchmarks
//   qz_bench --write-recording=PATH       write the typical 1500-sample
//                                         recording (for the whole-process run)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "QZ_Filters.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"
#include "QZ_MemoryFiles.h"

namespace {

constexpr BYTE kMaskAll = 127;
constexpr BYTE kMaskLowPass = 1;
constexpr BYTE kMaskHighPass = 2;
constexpr BYTE kMaskDerivative = 4;
constexpr BYTE kMaskSquare = 8;
constexpr BYTE kMaskAverage = 16;
constexpr BYTE kMaskPeaks = 32;
constexpr BYTE kMaskBeats = 64;
constexpr UINT16 kShortSamples = 600;
constexpr UINT16 kShortBytes = 750;
const char *const kRecordName = "bench";

// The shipped ECG constants: 250 Hz, 30..240 BPM.
const BYTE kConstantsImage[QZ_CONSTANTS_FILE_BYTES] = {0xFA, 0x00, 0x00, 0x00, 0x12, 0x83, 0x3B, 0xF0, 0x00, 0x1E, 0x00,
                                                       0x3C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x1E, 0xEC, 0x2F, 0xC0, 0xCE,
                                                       0x21, 0x40, 0x13, 0x47, 0xBF, 0x01, 0x03, 0x00, 0x00};

// An ECG-like trace at 250 Hz: baseline near 500 with a slow wander, a
// narrow R wave and a broad T wave every `period` samples.
std::vector<UINT16> SyntheticEcg(std::size_t samples, std::size_t period)
{
    std::vector<UINT16> out(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        const double phase = static_cast<double>(n % period);
        double value = 500.0 + 12.0 * std::sin(2.0 * M_PI * static_cast<double>(n) / 700.0);
        value += 380.0 * std::exp(-std::pow((phase - 40.0) / 3.0, 2.0));
        value -= 60.0 * std::exp(-std::pow((phase - 46.0) / 2.0, 2.0));
        value += 70.0 * std::exp(-std::pow((phase - 110.0) / 14.0, 2.0));
        out[n] = static_cast<UINT16>(std::fmin(1023.0, std::fmax(0.0, value)));
    }
    return out;
}

// Tops every second sample, with one gap of three after the tenth: 25 stored
// peaks, 24 candidate intervals (23 of 2, one of 3), irregular enough for
// beat classification, and the most grid positions any peak list can give.
std::vector<UINT16> TemplateWorstCase()
{
    std::vector<UINT16> out;
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
    std::vector<BYTE> bytes = std::vector<BYTE>(QZ_MAX_BUFFER_BYTES, 0);

    explicit PackedRecord(const std::vector<UINT16> &samples)
    {
        QZ_ResetLibraryState();
        qzmem::Clear();
        qzmem::SetDiscardWrites(true);
        const bool isShort = samples.size() == kShortSamples;
        SampleCount = isShort ? kShortSamples : static_cast<UINT16>(QZ_MAX_SAMPLES);
        BufferSize = isShort ? kShortBytes : static_cast<UINT16>(QZ_MAX_BUFFER_BYTES);
        CalcHeart_BufferLength = BufferSize;
        Filter.set(FilterBits::VariablePeakThreshold, 1);
        Filter.set(FilterBits::BeatClassifyingMethod, 1);
        Filter.set(FilterBits::DerivativeOrder, 2);
        hlp_convertSamplingTo64bitFloat(kConstantsImage, &HeartSampling);
        hlp_convertUnpackedToPacked(samples.data(), bytes.data());
    }
};

// The buffer and library state that the stages selected by `maskBefore`
// leave for the next stage.
struct StageInput {
    PackedRecord record;
    std::vector<BYTE> working;

    StageInput(const std::vector<UINT16> &samples, BYTE maskBefore) : record(samples)
    {
        (void)CalculateHeartRate(record.bytes.data(), maskBefore, kRecordName);
        working = record.bytes;
    }

    // Puts the stage's input back; every iteration starts from it.
    BYTE *Fresh()
    {
        std::memcpy(working.data(), record.bytes.data(), record.bytes.size());
        return working.data();
    }
};

void SetPerRecordCounters(benchmark::State &state, std::size_t samples)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(samples));
}

void RunPipeline(benchmark::State &state, const std::vector<UINT16> &samples, BYTE mask)
{
    StageInput input(samples, 0);
    UINT16 result = 0;
    for (auto _ : state) {
        result = CalculateHeartRate(input.Fresh(), mask, kRecordName);
        benchmark::DoNotOptimize(result);
    }
    state.counters["bpm"] = static_cast<double>(result & RESULT_BPM_MASK);
    state.counters["qi"] = static_cast<double>(result >> RESULT_QI_SHIFT);
    SetPerRecordCounters(state, samples.size());
}

void BM_CalculateHeartRate_1500(benchmark::State &state)
{
    RunPipeline(state, SyntheticEcg(QZ_MAX_SAMPLES, 200), kMaskAll);
}

void BM_CalculateHeartRate_600(benchmark::State &state)
{
    RunPipeline(state, SyntheticEcg(kShortSamples, 200), kMaskAll);
}

// Peak finding and beat classification straight on the worst-case trace.
void BM_CalculateHeartRate_TemplateWorstCase(benchmark::State &state)
{
    RunPipeline(state, TemplateWorstCase(), kMaskPeaks | kMaskBeats);
}

// The cost of restoring the input, included in every figure below.
void BM_RestoreBuffer(benchmark::State &state)
{
    StageInput input(SyntheticEcg(QZ_MAX_SAMPLES, 200), 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(input.Fresh());
    }
}

// One stage of the pipeline (one mask bit) on the typical record as the
// stages before it left it: its statistics, its filter and, for the five
// conditioning stages, its dump file (unpacked, write discarded).
void RunStage(benchmark::State &state, BYTE stage, UINT16 derivativeOrder)
{
    StageInput input(SyntheticEcg(QZ_MAX_SAMPLES, 200), static_cast<BYTE>(stage - 1u));
    Filter.set(FilterBits::DerivativeOrder, derivativeOrder);
    for (auto _ : state) {
        benchmark::DoNotOptimize(CalculateHeartRate(input.Fresh(), stage, kRecordName));
    }
    SetPerRecordCounters(state, QZ_MAX_SAMPLES);
}

struct StageCase {
    const char *name;
    BYTE stage;
    UINT16 derivativeOrder;
};

const StageCase kStageCases[] = {
    {"Stage/1_lowpass", kMaskLowPass, 2},         {"Stage/2_highpass", kMaskHighPass, 2},
    {"Stage/4_derivative2", kMaskDerivative, 2},  {"Stage/4_derivative5", kMaskDerivative, 5},
    {"Stage/8_square", kMaskSquare, 2},           {"Stage/16_average", kMaskAverage, 2},
    {"Stage/32_peaks", kMaskPeaks, 2},
};

// Beat-rate estimation alone on the peaks of the conditioned typical record.
void BM_GetBPM(benchmark::State &state)
{
    StageInput input(SyntheticEcg(QZ_MAX_SAMPLES, 200), kMaskAll & ~kMaskBeats);
    std::vector<UINT16> locations(GloballyAccessibleIntervals, GloballyAccessibleIntervals + QZ_MAX_PEAKS);
    UINT16 bpm = 0;
    UINT16 scratch = 0;
    for (auto _ : state) {
        BYTE peaks = GloballyAccessiblePeaks;
        GetBPM(input.working.data(), locations.data(), &bpm, &scratch, &peaks);
        benchmark::DoNotOptimize(bpm);
    }
    state.counters["bpm"] = static_cast<double>(bpm & RESULT_BPM_MASK);
}

// Template matching alone on the worst-case trace: 24 candidates, most of
// them with 750 grid positions.
void BM_TemplateMatchingWorstCase(benchmark::State &state)
{
    StageInput input(TemplateWorstCase(), kMaskPeaks | kMaskBeats);
    const BYTE peaks = GloballyAccessiblePeaks > QZ_MAX_PEAKS ? static_cast<BYTE>(QZ_MAX_PEAKS)
                                                               : GloballyAccessiblePeaks;
    UINT16 interval = 0;
    for (auto _ : state) {
        interval = BPM_Method_TemplateMatching(input.working.data(), GloballyAccessibleIntervals, &peaks);
        benchmark::DoNotOptimize(interval);
    }
    state.counters["candidates"] = peaks - 1;
    state.counters["interval"] = interval;
}

// The unpacking behind every stage dump file.
void BM_UnpackForDump(benchmark::State &state)
{
    StageInput input(SyntheticEcg(QZ_MAX_SAMPLES, 200), 0);
    std::vector<UINT16> unpacked(QZ_MAX_SAMPLES);
    for (auto _ : state) {
        hlp_convertPackedToUnpacked(input.working.data(), unpacked.data());
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

// Writes the typical recording as little-endian 16-bit samples.
int WriteRecording(const char *path)
{
    const std::vector<UINT16> samples = SyntheticEcg(QZ_MAX_SAMPLES, 200);
    std::vector<unsigned char> bytes;
    for (const UINT16 sample : samples) {
        bytes.push_back(static_cast<unsigned char>(sample & 0xFFu));
        bytes.push_back(static_cast<unsigned char>(sample >> 8));
    }
    FILE *file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot create %s\n", path);
        return 1;
    }
    const bool complete = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !complete) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string writeFlag = "--write-recording=";
    if (argc == 2 && std::string(argv[1]).rfind(writeFlag, 0) == 0) {
        return WriteRecording(argv[1] + writeFlag.size());
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
