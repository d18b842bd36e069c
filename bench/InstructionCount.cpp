// SPDX-License-Identifier: Apache-2.0
// Counts the instructions of one CalculateHeartRate run, stage by stage: the
// library alone, with file writes that store nothing. The stage functions the
// pipeline calls (CountedFunctions.h) are linked with --wrap, so every
// pipeline call of a stage passes through a wrapper here (calls inside a
// stage's own source file do not). bench/count.sh runs this program:
//   - on a Cortex-M image under QEMU with -icount shift=0 (one instruction
//     per virtual nanosecond), where each wrapper reads SysTick, clocked by
//     the board's processor clock, before and after the call and prints the
//     count per stage;
//   - on the desktop under callgrind, which counts each wrapper's inclusive
//     instructions itself; the program then prints nothing but the result.
//
// Usage: qz_count CONSTANTS_FILE RECORD_FILE MASK PEAK BEAT DERIV
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "CountedFunctions.h"
#include "qz_library_symbols.h"

namespace {

qz::UINT16 record[QZ_MAX_SAMPLES];
qz::BYTE packed[QZ_MAX_BUFFER_BYTES];
qz::BYTE constants[QZ_CONSTANTS_FILE_BYTES];

// Reads a whole file of at most `capacity` bytes; returns the bytes read or -1.
long ReadFile(const char *name, void *buffer, size_t capacity)
{
    FILE *file = fopen(name, "rb");
    if (file == nullptr) {
        return -1;
    }
    const size_t count = fread(buffer, 1, capacity, file);
    const bool more = fgetc(file) != EOF;
    fclose(file);
    return more ? -1 : static_cast<long>(count);
}

#if defined(__arm__)
// SysTick counts down from 2^24 - 1 at the processor clock, without interrupt.
volatile uint32_t *const SYST_CSR = reinterpret_cast<volatile uint32_t *>(0xE000E010u);
volatile uint32_t *const SYST_RVR = reinterpret_cast<volatile uint32_t *>(0xE000E014u);
volatile uint32_t *const SYST_CVR = reinterpret_cast<volatile uint32_t *>(0xE000E018u);
constexpr uint32_t SYSTICK_MASK = 0xFFFFFFu;
constexpr uint32_t SYSTICK_ENABLE_PROCESSOR_CLOCK = 5u;

void StartTimer()
{
    *SYST_RVR = SYSTICK_MASK;
    *SYST_CVR = 0u;
    *SYST_CSR = SYSTICK_ENABLE_PROCESSOR_CLOCK;
}

uint32_t Now()
{
    return *SYST_CVR;
}

uint32_t Elapsed(uint32_t start)
{
    return (start - Now()) & SYSTICK_MASK;
}

// Ticks of a loop of exactly 2 x iterations instructions (subs, bne): gives
// the instructions per tick.
uint32_t InstructionsPerTick()
{
    constexpr uint32_t iterations = 1000000u;
    uint32_t counter = iterations;
    const uint32_t start = Now();
    __asm__ volatile("1: subs %0, %0, #1\n\tbne 1b" : "+r"(counter) : : "cc");
    const uint32_t ticks = Elapsed(start);
    return (2u * iterations + ticks / 2u) / ticks;
}
#else
void StartTimer() {}
uint32_t Now()
{
    return 0;
}
uint32_t Elapsed(uint32_t)
{
    return 0;
}
#endif

enum Stage : unsigned {
    STAGE_whole,
    STAGE_statistics,
    STAGE_lowpass,
    STAGE_highpass,
    STAGE_derivative,
    STAGE_square,
    STAGE_average,
    STAGE_dumps,
    STAGE_peaks,
    STAGE_beatrate,
    STAGE_COUNT,
};

#if defined(__arm__)
const char *const StageNames[STAGE_COUNT] = {"whole",  "statistics", "lowpass", "highpass", "derivative",
                                             "square", "average",    "dumps",   "peaks",    "beatrate"};
#endif
uint32_t Ticks[STAGE_COUNT];

// Runs call() and adds its ticks to the stage.
template <typename Call>
auto Timed(Stage stage, Call call)
{
    const uint32_t start = Now();
    const auto result = call();
    Ticks[stage] += Elapsed(start);
    return result;
}

}  // namespace

// ---- The wrapped stage functions (linker --wrap on their symbols) ----
#define QZ_DECLARE_WRAPPED(function, stage)                                                  \
    decltype(qz::function) Real##function __asm__("__real_" QZ_SYMBOL_##function);          \
    decltype(qz::function) Wrap##function __asm__("__wrap_" QZ_SYMBOL_##function);          \
    constexpr Stage StageOf##function = STAGE_##stage;
QZ_COUNTED_FUNCTIONS(QZ_DECLARE_WRAPPED)

qz::UINT16 WrapCalculateHeartRate(qz::BYTE *b, qz::BYTE s, const char *n)
{
    return Timed(StageOfCalculateHeartRate, [&] { return RealCalculateHeartRate(b, s, n); });
}
void WrapMinMaxMedian(const qz::BYTE *b, qz::UINT16 *lo, qz::UINT16 *hi, qz::UINT16 *m)
{
    Timed(StageOfMinMaxMedian, [&] { return (RealMinMaxMedian(b, lo, hi, m), 0); });
}
void WrapLowPassFilter(qz::BYTE *b, const qz::UINT16 *m, qz::UINT16 *a)
{
    Timed(StageOfLowPassFilter, [&] { return (RealLowPassFilter(b, m, a), 0); });
}
void WrapHighPassFilter(qz::BYTE *b, const qz::UINT16 *m, const qz::UINT16 *a)
{
    Timed(StageOfHighPassFilter, [&] { return (RealHighPassFilter(b, m, a), 0); });
}
qz::UINT16 WrapDerivative2point(qz::BYTE *b)
{
    return Timed(StageOfDerivative2point, [&] { return RealDerivative2point(b); });
}
qz::UINT16 WrapDerivative5point(qz::BYTE *b)
{
    return Timed(StageOfDerivative5point, [&] { return RealDerivative5point(b); });
}
void WrapSquareScale(qz::BYTE *b, qz::UINT16 m)
{
    Timed(StageOfSquareScale, [&] { return (RealSquareScale(b, m), 0); });
}
void WrapDoubleMovingAverage(qz::BYTE *b)
{
    Timed(StageOfDoubleMovingAverage, [&] { return (RealDoubleMovingAverage(b), 0); });
}
void Wraphlp_convertPackedToUnpacked(const qz::BYTE *p, qz::UINT16 *u)
{
    Timed(StageOfhlp_convertPackedToUnpacked, [&] { return (Realhlp_convertPackedToUnpacked(p, u), 0); });
}
qz::BYTE WrapFindPeaks(const qz::BYTE *b, const qz::UINT16 *r, qz::UINT16 *l)
{
    return Timed(StageOfFindPeaks, [&] { return RealFindPeaks(b, r, l); });
}
void WrapGetBPM(const qz::BYTE *b, qz::UINT16 *l, qz::UINT16 *m, qz::UINT16 *n, qz::BYTE *p)
{
    Timed(StageOfGetBPM, [&] { return (RealGetBPM(b, l, m, n, p), 0); });
}

// The library alone: dump and statistics writes store nothing.
int qz::hlp_writeBinaryDataFile(const char *, const char *, const void *, int length, size_t)
{
    return length;
}

int main(int argc, char **argv)
{
    if (argc != 7) {
        printf("usage: qz_count CONSTANTS_FILE RECORD_FILE MASK PEAK BEAT DERIV\n");
        return 2;
    }
    const long recordBytes = ReadFile(argv[2], record, sizeof record);
    if (ReadFile(argv[1], constants, sizeof constants) != static_cast<long>(sizeof constants) || recordBytes < 0 ||
        !qz::QZ_SetRecordLength(static_cast<qz::UINT16>(recordBytes / 2))) {
        printf("qz_count: cannot read the constants or the record\n");
        return 2;
    }
    qz::run_settings_struct settings;
    settings.StageMask = static_cast<qz::UINT16>(atoi(argv[3]));
    settings.PeakDetection = static_cast<qz::UINT16>(atoi(argv[4]));
    settings.BeatMethod = static_cast<qz::UINT16>(atoi(argv[5]));
    settings.DerivativeOrder = static_cast<qz::UINT16>(atoi(argv[6]));
    (void)qz::QZ_PrepareRun(static_cast<qz::UINT16>(recordBytes / 2), &settings);
    qz::hlp_convertSamplingTo64bitFloat(constants, &qz::HeartSampling);
    qz::hlp_convertUnpackedToPacked(record, packed);

    StartTimer();
    const qz::UINT16 result = qz::CalculateHeartRate(packed, static_cast<qz::BYTE>(settings.StageMask), "count");
    printf("result %u\n", static_cast<unsigned>(result));
#if defined(__arm__)
    const uint32_t perTick = InstructionsPerTick();
    for (unsigned stage = 0; stage < STAGE_COUNT; ++stage) {
        printf("%s %" PRIu32 "\n", StageNames[stage], Ticks[stage] * perTick);
    }
#endif
    return 0;
}
