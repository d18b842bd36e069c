// SPDX-License-Identifier: Apache-2.0
#include "Driver.h"

int main(int argc, char **argv)
{
    return QZ_RunDriver(argc, argv);
}
