// SPDX-License-Identifier: Apache-2.0
// Measures the stack depth of CalculateHeartRate on the target by painting:
// the free stack below the caller is filled with a pattern before the call
// and scanned for the deepest overwritten word after it. The unchanged driver
// is linked with --wrap on the symbol of CalculateHeartRate (looked up when
// the build is configured), so its call lands here. After the run it also
// reports how much heap the C library took (stdio buffers: the library itself
// allocates nothing).
#include <inttypes.h>
#include <malloc.h>
#include <stdint.h>
#include <stdio.h>

#include <qz_vozozi_DE/Driver.h>
#include <qz_vozozi_DE/QZ_Filters.h>

#include "qz_library_symbols.h"

decltype(qz::CalculateHeartRate) RealCalculateHeartRate __asm__("__real_" QZ_SYMBOL_CalculateHeartRate);
decltype(qz::CalculateHeartRate) PaintedCalculateHeartRate __asm__("__wrap_" QZ_SYMBOL_CalculateHeartRate);

namespace {

constexpr uint32_t PAINT_PATTERN = 0xDEADBEEFu;
constexpr uint32_t PAINT_BYTES = 16384u;  // painted below the caller's stack pointer

bool Measured;
uint32_t DeepestUse;
bool PaintExhausted;

uintptr_t StackPointer(void)
{
    uintptr_t sp;
    __asm__ volatile("mov %0, sp" : "=r"(sp));
    return sp;
}

}  // namespace

qz::UINT16 PaintedCalculateHeartRate(qz::BYTE *BufferPtr, qz::BYTE Selector, const char *recordName)
{
    const uintptr_t top = StackPointer() & ~static_cast<uintptr_t>(3u);
    volatile uint32_t *const lowest = reinterpret_cast<volatile uint32_t *>(top - PAINT_BYTES);
    volatile uint32_t *const end = reinterpret_cast<volatile uint32_t *>(top);
    for (volatile uint32_t *word = lowest; word < end; ++word) {
        *word = PAINT_PATTERN;
    }

    const qz::UINT16 result = RealCalculateHeartRate(BufferPtr, Selector, recordName);

    volatile uint32_t *word = lowest;
    while (word < end && *word == PAINT_PATTERN) {
        ++word;
    }
    Measured = true;
    DeepestUse = static_cast<uint32_t>(top - reinterpret_cast<uintptr_t>(word));
    PaintExhausted = (word == lowest);
    return result;
}

int main(int argc, char **argv)
{
    const int status = qz::QZ_RunDriver(argc, argv);
    if (!Measured) {
        printf("CalculateHeartRate was not called\n");
    } else {
        printf("CalculateHeartRate stack: %" PRIu32 " bytes%s\n", DeepestUse,
               PaintExhausted ? " (all painted stack used: the true depth is larger)" : "");
    }
    printf("C library heap: %d bytes\n", mallinfo().arena);
    return status;
}
