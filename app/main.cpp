#include "Driver.h"

int main(int argc, char **argv)
{
    return QZ_RunDriver(argc, argv);
}
