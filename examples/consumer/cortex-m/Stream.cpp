// SPDX-License-Identifier: Apache-2.0
// Firmware image that streams like a sensor board: it sends the recording
// compiled into it over UART0, one sample a line, and after every window of
// QZ_STREAM_WINDOW samples that ends on a multiple of QZ_STREAM_STEP the
// result record it computed there, as the line
//   result END LENGTH W0 ... W42
// (END the samples sent so far, the 43 words in hexadecimal), which
// `qzkit monitor --check` recomputes and compares. It starts when the host
// sends any byte, so that nothing is sent before the host listens, and when
// the recording has been sent it says "end" and sleeps: it keeps running,
// as a board does, so that nothing it sent is lost when it stops. Under
// QEMU (mps2-an386) UART0 is the -serial device.
#include <stdint.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/qz_heart_rate.h>

#include "Recording.h"

#ifndef QZ_STREAM_WINDOW
#define QZ_STREAM_WINDOW 600u
#endif
#ifndef QZ_STREAM_STEP
#define QZ_STREAM_STEP 50u
#endif

namespace {

// The CMSDK APB UART of the MPS2 boards.
struct Uart {
    volatile uint32_t data;
    volatile uint32_t state;  // bit 0: transmit buffer full, bit 1: a byte received
    volatile uint32_t control;  // bit 0: transmit on, bit 1: receive on
    volatile uint32_t interrupts;
    volatile uint32_t baudDivider;
};
constexpr uint32_t TX_FULL = 1u;
constexpr uint32_t RX_FULL = 2u;
Uart &uart0 = *reinterpret_cast<Uart *>(0x40004000u);

void PutChar(char c)
{
    while ((uart0.state & TX_FULL) != 0u) {
    }
    uart0.data = static_cast<uint8_t>(c);
}

void PutText(const char *text)
{
    while (*text != '\0') {
        PutChar(*text++);
    }
}

void PutDecimal(uint32_t value)
{
    char digits[10];
    unsigned count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10u);
        value /= 10u;
    } while (value != 0u);
    while (count != 0u) {
        PutChar(digits[--count]);
    }
}

void PutHexWord(uint16_t word)
{
    for (int shift = 12; shift >= 0; shift -= 4) {
        PutChar("0123456789abcdef"[(word >> shift) & 0xFu]);
    }
}

void WaitForHost(void)
{
    uart0.baudDivider = 16u;
    uart0.control = 3u;
    while ((uart0.state & RX_FULL) == 0u) {
    }
    (void)uart0.data;
}

uint16_t Sample(unsigned index)  // little-endian words, low 10 bits
{
    return static_cast<uint16_t>((kRecord[2u * index] | kRecord[2u * index + 1u] << 8) & 0x3FF);
}

// The result record of the window, as the tool writes it: the C interface's
// run, then the record assembled from the state that run leaves.
void EstimateWindow(const uint16_t *window, qz::UINT16 *record)
{
    qz_result result;
    (void)qz_estimate(kConstants, sizeof kConstants, window, QZ_STREAM_WINDOW, nullptr, nullptr, &result);
    qz::QZ_AssembleResultRecord(static_cast<qz::UINT16>(result.bpm | result.qi << QZ_RESULT_QI_SHIFT), record);
}

}  // namespace

int main(void)
{
    static_assert(sizeof kConstants == QZ_CONSTANTS_FILE_BYTES, "a constants file has 31 bytes");
    static_assert(QZ_STREAM_WINDOW == QZ_LONG_RECORD_SAMPLES || QZ_STREAM_WINDOW == QZ_SHORT_RECORD_SAMPLES,
                  "a window has 1500 or 600 samples");
    constexpr unsigned samples = sizeof kRecord / 2u;
    static uint16_t window[QZ_STREAM_WINDOW];
    static qz::UINT16 record[QZ_RESULT_RECORD_WORDS];
    WaitForHost();
    PutText("# streaming the recording with its results\n");
    for (unsigned end = 1u; end <= samples; ++end) {
        PutDecimal(Sample(end - 1u));
        PutChar('\n');
        if (end < QZ_STREAM_WINDOW || (end - QZ_STREAM_WINDOW) % QZ_STREAM_STEP != 0u) {
            continue;
        }
        for (unsigned i = 0; i < QZ_STREAM_WINDOW; ++i) {
            window[i] = Sample(end - QZ_STREAM_WINDOW + i);
        }
        EstimateWindow(window, record);
        PutText("result ");
        PutDecimal(end);
        PutChar(' ');
        PutDecimal(QZ_STREAM_WINDOW);
        for (const qz::UINT16 word : record) {
            PutChar(' ');
            PutHexWord(word);
        }
        PutChar('\n');
    }
    PutText("end\n");
    for (;;) {
        __asm__ volatile("wfi");
    }
}
