// SPDX-License-Identifier: Apache-2.0
// The library functions whose instructions bench/count.sh counts, each with
// the stage (a column of its table) its instructions are added to. Their
// symbols are looked up from these declarations when the build is configured
// (cmake/QzLibrarySymbols.cmake) and linked with --wrap.
#ifndef QZ_COUNTED_FUNCTIONS_H
#define QZ_COUNTED_FUNCTIONS_H

#define QZ_COUNTED_FUNCTIONS(X)          \
    X(CalculateHeartRate, whole)         \
    X(MinMaxMedian, statistics)          \
    X(LowPassFilter, lowpass)            \
    X(HighPassFilter, highpass)          \
    X(Derivative2point, derivative)      \
    X(Derivative5point, derivative)      \
    X(SquareScale, square)               \
    X(DoubleMovingAverage, average)      \
    X(hlp_convertPackedToUnpacked, dumps) \
    X(FindPeaks, peaks)                  \
    X(GetBPM, beatrate)

#endif
