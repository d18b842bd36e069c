// SPDX-License-Identifier: Apache-2.0
// Start-up code of the Cortex-M images: the vector table, the reset handler
// (FPU on, initialised data copied from flash) that hands over to newlib's
// start code, and a fault handler that ends the run with a distinct exit
// status instead of hanging.
#include <stdint.h>

#include "Semihosting.h"

extern "C" {
// Defined by the linker script.
extern char __StackTop[];
extern uint32_t __data_start__[];
extern uint32_t __data_end__[];
extern const uint32_t __data_load__[];

// newlib's start code (semihosting variant): stack, bss, stdio, argv, main, exit.
[[noreturn]] void _start(void);

[[noreturn]] void Reset_Handler(void);
[[noreturn]] void Fault_Handler(void);
}

namespace {

using Handler = void (*)(void);

// Exception numbers 1..15 of the ARMv7-M core; no device interrupts are used.
constexpr unsigned CORE_VECTORS = 15u;

struct VectorTable {
    void *initialStack;
    Handler core[CORE_VECTORS];
};

#if defined(__ARM_FP)
// Grants full access to coprocessors 10 and 11 (the FPU) before any float
// instruction runs.
void EnableFpu(void)
{
    volatile uint32_t *const CPACR = reinterpret_cast<volatile uint32_t *>(0xE000ED88u);
    *CPACR = *CPACR | (0xFu << 20);
    __asm__ volatile("dsb\n\tisb" ::: "memory");
}
#endif

void CopyInitialisedData(void)
{
    const uint32_t *source = __data_load__;
    for (uint32_t *destination = __data_start__; destination < __data_end__; ++destination, ++source) {
        *destination = *source;
    }
}

// Active exception number (IPSR) of the fault being handled.
unsigned ActiveException(void)
{
    uint32_t ipsr;
    __asm__ volatile("mrs %0, ipsr" : "=r"(ipsr));
    return static_cast<unsigned>(ipsr & 0x1FFu);
}

// "target fault: exception NNN\n" without any library call.
void ReportFault(unsigned exception)
{
    char message[] = "target fault: exception 000\n";
    const unsigned digits = sizeof "target fault: exception " - 1u;
    message[digits] = static_cast<char>('0' + exception / 100u % 10u);
    message[digits + 1u] = static_cast<char>('0' + exception / 10u % 10u);
    message[digits + 2u] = static_cast<char>('0' + exception % 10u);
    qz_semihosting::WriteText(message);
}

}  // namespace

extern "C" {

__attribute__((section(".isr_vector"), used)) const VectorTable qz_vector_table = {
    __StackTop,
    {
        Reset_Handler,  // 1 reset
        Fault_Handler,  // 2 NMI
        Fault_Handler,  // 3 hard fault
        Fault_Handler,  // 4 memory management fault
        Fault_Handler,  // 5 bus fault
        Fault_Handler,  // 6 usage fault
        nullptr, nullptr, nullptr, nullptr,
        Fault_Handler,  // 11 SVCall
        Fault_Handler,  // 12 debug monitor
        nullptr,
        Fault_Handler,  // 14 PendSV
        Fault_Handler,  // 15 SysTick
    },
};

void Reset_Handler(void)
{
#if defined(__ARM_FP)
    EnableFpu();
#endif
    CopyInitialisedData();
    _start();
}

// Any fault or unexpected exception: say which, then stop the emulator with
// QZ_FAULT_EXIT_STATUS so that a crash is never mistaken for a result.
void Fault_Handler(void)
{
    ReportFault(ActiveException());
    qz_semihosting::Exit(QZ_FAULT_EXIT_STATUS);
}

}  // extern "C"
