// SPDX-License-Identifier: Apache-2.0
// Executes an undefined instruction: the fault handler of the start-up code
// must report it and end the run with its own exit status instead of hanging.
#include <stdio.h>

int main(void)
{
    printf("before the fault\n");
    (void)fflush(stdout);
    __builtin_trap();
}
