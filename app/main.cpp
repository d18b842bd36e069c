// SPDX-License-Identifier: Apache-2.0
#include <qz_vozozi_DE/Driver.h>

int main(int argc, char **argv)
{
    return qz::QZ_RunDriver(argc, argv);
}
