// SPDX-License-Identifier: Apache-2.0
// The few semihosting requests the start-up code makes on its own, without
// newlib: write a text to the host console and end the run with a status.
#ifndef QZ_SEMIHOSTING_H
#define QZ_SEMIHOSTING_H

#include <stdint.h>

// Exit status of a run that ended in a fault (the driver uses 0 and 1).
#define QZ_FAULT_EXIT_STATUS 3

namespace qz_semihosting {

enum Request : uint32_t {
    SYS_WRITE0 = 0x04u,
    SYS_EXIT = 0x18u,
    SYS_EXIT_EXTENDED = 0x20u,
};

enum StopReason : uint32_t {
    ADP_Stopped_RunTimeErrorUnknown = 0x20023u,
    ADP_Stopped_ApplicationExit = 0x20026u,
};

inline uint32_t Call(uint32_t request, const void *argument)
{
    uint32_t result;
    __asm__ volatile("mov r0, %1\n\tmov r1, %2\n\tbkpt 0xAB\n\tmov %0, r0"
                     : "=r"(result)
                     : "r"(request), "r"(argument)
                     : "r0", "r1", "memory");
    return result;
}

inline void WriteText(const char *text)
{
    (void)Call(SYS_WRITE0, text);
}

// Ends the run with `status`. A host without the extended exit request only
// learns that the run failed.
[[noreturn]] inline void Exit(uint32_t status)
{
    const uint32_t block[2] = {ADP_Stopped_ApplicationExit, status};
    (void)Call(SYS_EXIT_EXTENDED, block);
    (void)Call(SYS_EXIT, reinterpret_cast<const void *>(static_cast<uintptr_t>(ADP_Stopped_RunTimeErrorUnknown)));
    for (;;) {
    }
}

}  // namespace qz_semihosting

#endif
