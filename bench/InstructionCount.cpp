// SPDX-License-Identifier: Apache-2.0
// Counts the instructions of one CalculateHeartRate run, stage by stage: the
// library alone, with file writes that store nothing. The stage functions the
// pipeline calls are linked with --wrap, so every pipeline call of a stage
// passes through a wrapper here (calls inside a stage's own source file do
// not). bench/count.sh runs this program:
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

#include "QZ_Filters.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"

namespace {

UINT16 record[QZ_MAX_SAMPLES];
BYTE packed[QZ_MAX_BUFFER_BYTES];
BYTE constants[QZ_CONSTANTS_FILE_BYTES];

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
    STAGE_WHOLE,
    STAGE_STATISTICS,
    STAGE_LOWPASS,
    STAGE_HIGHPASS,
    STAGE_DERIVATIVE,
    STAGE_SQUARE,
    STAGE_AVERAGE,
    STAGE_DUMPS,
    STAGE_PEAKS,
    STAGE_BEATRATE,
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

// ---- The wrapped stage functions (linker --wrap on their mangled names) ----
#define QZ_REAL(mangled) __asm__("__real_" mangled)
#define QZ_WRAP(mangled) __asm__("__wrap_" mangled)

UINT16 RealCalculateHeartRate(BYTE *, BYTE, const char *) QZ_REAL("_Z18CalculateHeartRatePhhPKc");
UINT16 WrapCalculateHeartRate(BYTE *, BYTE, const char *) QZ_WRAP("_Z18CalculateHeartRatePhhPKc");
void RealMinMaxMedian(const BYTE *, UINT16 *, UINT16 *, UINT16 *) QZ_REAL("_Z12MinMaxMedianPKhPtS1_S1_");
void WrapMinMaxMedian(const BYTE *, UINT16 *, UINT16 *, UINT16 *) QZ_WRAP("_Z12MinMaxMedianPKhPtS1_S1_");
void RealLowPassFilter(BYTE *, const UINT16 *, UINT16 *) QZ_REAL("_Z13LowPassFilterPhPKtPt");
void WrapLowPassFilter(BYTE *, const UINT16 *, UINT16 *) QZ_WRAP("_Z13LowPassFilterPhPKtPt");
void RealHighPassFilter(BYTE *, const UINT16 *, const UINT16 *) QZ_REAL("_Z14HighPassFilterPhPKtS1_");
void WrapHighPassFilter(BYTE *, const UINT16 *, const UINT16 *) QZ_WRAP("_Z14HighPassFilterPhPKtS1_");
UINT16 RealDerivative2point(BYTE *) QZ_REAL("_Z16Derivative2pointPh");
UINT16 WrapDerivative2point(BYTE *) QZ_WRAP("_Z16Derivative2pointPh");
UINT16 RealDerivative5point(BYTE *) QZ_REAL("_Z16Derivative5pointPh");
UINT16 WrapDerivative5point(BYTE *) QZ_WRAP("_Z16Derivative5pointPh");
void RealSquareScale(BYTE *, UINT16) QZ_REAL("_Z11SquareScalePht");
void WrapSquareScale(BYTE *, UINT16) QZ_WRAP("_Z11SquareScalePht");
void RealDoubleMovingAverage(BYTE *) QZ_REAL("_Z19DoubleMovingAveragePh");
void WrapDoubleMovingAverage(BYTE *) QZ_WRAP("_Z19DoubleMovingAveragePh");
void RealConvertPackedToUnpacked(const BYTE *, UINT16 *) QZ_REAL("_Z27hlp_convertPackedToUnpackedPKhPt");
void WrapConvertPackedToUnpacked(const BYTE *, UINT16 *) QZ_WRAP("_Z27hlp_convertPackedToUnpackedPKhPt");
BYTE RealFindPeaks(const BYTE *, const UINT16 *, UINT16 *) QZ_REAL("_Z9FindPeaksPKhPKtPt");
BYTE WrapFindPeaks(const BYTE *, const UINT16 *, UINT16 *) QZ_WRAP("_Z9FindPeaksPKhPKtPt");
void RealGetBPM(const BYTE *, UINT16 *, UINT16 *, UINT16 *, BYTE *) QZ_REAL("_Z6GetBPMPKhPtS1_S1_Ph");
void WrapGetBPM(const BYTE *, UINT16 *, UINT16 *, UINT16 *, BYTE *) QZ_WRAP("_Z6GetBPMPKhPtS1_S1_Ph");

UINT16 WrapCalculateHeartRate(BYTE *b, BYTE s, const char *n)
{
    return Timed(STAGE_WHOLE, [&] { return RealCalculateHeartRate(b, s, n); });
}
void WrapMinMaxMedian(const BYTE *b, UINT16 *lo, UINT16 *hi, UINT16 *m)
{
    Timed(STAGE_STATISTICS, [&] { return (RealMinMaxMedian(b, lo, hi, m), 0); });
}
void WrapLowPassFilter(BYTE *b, const UINT16 *m, UINT16 *a)
{
    Timed(STAGE_LOWPASS, [&] { return (RealLowPassFilter(b, m, a), 0); });
}
void WrapHighPassFilter(BYTE *b, const UINT16 *m, const UINT16 *a)
{
    Timed(STAGE_HIGHPASS, [&] { return (RealHighPassFilter(b, m, a), 0); });
}
UINT16 WrapDerivative2point(BYTE *b)
{
    return Timed(STAGE_DERIVATIVE, [&] { return RealDerivative2point(b); });
}
UINT16 WrapDerivative5point(BYTE *b)
{
    return Timed(STAGE_DERIVATIVE, [&] { return RealDerivative5point(b); });
}
void WrapSquareScale(BYTE *b, UINT16 m)
{
    Timed(STAGE_SQUARE, [&] { return (RealSquareScale(b, m), 0); });
}
void WrapDoubleMovingAverage(BYTE *b)
{
    Timed(STAGE_AVERAGE, [&] { return (RealDoubleMovingAverage(b), 0); });
}
void WrapConvertPackedToUnpacked(const BYTE *p, UINT16 *u)
{
    Timed(STAGE_DUMPS, [&] { return (RealConvertPackedToUnpacked(p, u), 0); });
}
BYTE WrapFindPeaks(const BYTE *b, const UINT16 *r, UINT16 *l)
{
    return Timed(STAGE_PEAKS, [&] { return RealFindPeaks(b, r, l); });
}
void WrapGetBPM(const BYTE *b, UINT16 *l, UINT16 *m, UINT16 *n, BYTE *p)
{
    Timed(STAGE_BEATRATE, [&] { return (RealGetBPM(b, l, m, n, p), 0); });
}

// The library alone: dump and statistics writes store nothing.
int hlp_writeBinaryDataFile(const char *, const char *, const void *, int length, size_t)
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
        !QZ_SetRecordLength(static_cast<UINT16>(recordBytes / 2))) {
        printf("qz_count: cannot read the constants or the record\n");
        return 2;
    }
    run_settings_struct settings;
    settings.StageMask = static_cast<UINT16>(atoi(argv[3]));
    settings.PeakDetection = static_cast<UINT16>(atoi(argv[4]));
    settings.BeatMethod = static_cast<UINT16>(atoi(argv[5]));
    settings.DerivativeOrder = static_cast<UINT16>(atoi(argv[6]));
    (void)QZ_PrepareRun(static_cast<UINT16>(recordBytes / 2), &settings);
    hlp_convertSamplingTo64bitFloat(constants, &HeartSampling);
    hlp_convertUnpackedToPacked(record, packed);

    StartTimer();
    const UINT16 result = CalculateHeartRate(packed, static_cast<BYTE>(settings.StageMask), "count");
    printf("result %u\n", static_cast<unsigned>(result));
#if defined(__arm__)
    const uint32_t perTick = InstructionsPerTick();
    for (unsigned stage = 0; stage < STAGE_COUNT; ++stage) {
        printf("%s %" PRIu32 "\n", StageNames[stage], Ticks[stage] * perTick);
    }
#endif
    return 0;
}
