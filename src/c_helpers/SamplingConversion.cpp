// SPDX-License-Identifier: Apache-2.0
// The 31-byte constants file image and its 3-byte floats.
#include <float.h>
#include <math.h>

#include <qz_vozozi_DE/QZ_Helpers.h>

namespace qz {

namespace {

constexpr unsigned FLOAT24_BYTES = 3u;

UINT16 LittleEndian16(const BYTE *bytes)
{
    return static_cast<UINT16>(bytes[0] + 256u * bytes[1]);
}

// Two's-complement reading of one byte, independent of the host's conversion rules.
SBYTE SignedByte(BYTE value)
{
    return static_cast<SBYTE>(value < 128u ? static_cast<int>(value) : static_cast<int>(value) - 256);
}

}  // namespace

// Sign bit, 8-bit exponent and 15-bit mantissa: (-1)^s x 2^(e-127) x (1 + m/32768).
// Exponent 0 is not special (it gives 2^-127 x ...); exponent 255 overflows
// the single-precision range and so gives an infinity.
float hlp_convert24bitToFloat(const BYTE *float24bitPtr)
{
    const BYTE b0 = float24bitPtr[0];
    const BYTE b1 = float24bitPtr[1];
    const BYTE b2 = float24bitPtr[2];
    const UINT16 explsb = static_cast<UINT16>(b1 >> 7);
    const UINT16 sign = static_cast<UINT16>(b2 >> 7);
    const UINT16 exponent = static_cast<UINT16>((b2 & 127u) * 2u + explsb);
    const UINT16 mantissa = static_cast<UINT16>((b1 & 127u) * 256u + b0);

    const double fraction = mantissa / 32768.0;
    const double value = pow(2.0, static_cast<double>(static_cast<int>(exponent) - 127)) * (fraction + 1.0);
    // Exponent 255 exceeds the float range; the conversion gives infinity.
    float result = (value > static_cast<double>(FLT_MAX)) ? INFINITY : static_cast<float>(value);
    if (sign != 0u) {
        result = -result;
    }
    return result;
}

void hlp_convertSamplingTo64bitFloat(const BYTE *HeartSamplingFromFile, sampling_frequency_struct *HeartSampling)
{
    const BYTE *image = HeartSamplingFromFile;
    HeartSampling->Frequency = LittleEndian16(&image[QZ_OFFSET_FREQUENCY]);
    HeartSampling->DelayCycles = LittleEndian16(&image[QZ_OFFSET_DELAY_CYCLES]);
    HeartSampling->Period = hlp_convert24bitToFloat(&image[QZ_OFFSET_PERIOD]);
    HeartSampling->MaxBPM = LittleEndian16(&image[QZ_OFFSET_MAX_BPM]);
    HeartSampling->MinBPM = LittleEndian16(&image[QZ_OFFSET_MIN_BPM]);
    HeartSampling->OnePerMinute = image[QZ_OFFSET_ONE_PER_MINUTE];
    for (unsigned i = 0; i < 5u; ++i) {
        HeartSampling->LPFConstants[i] = SignedByte(image[QZ_OFFSET_LPF_CONSTANTS + i]);
    }
    HeartSampling->LPFPostscale = image[QZ_OFFSET_LPF_POSTSCALE];
    for (unsigned i = 0; i < 3u; ++i) {
        HeartSampling->HPFConstantsA[i] = hlp_convert24bitToFloat(&image[QZ_OFFSET_HPF_A + FLOAT24_BYTES * i]);
    }
    HeartSampling->HPFConstantsB[0] = image[QZ_OFFSET_HPF_B];
    HeartSampling->HPFConstantsB[1] = image[QZ_OFFSET_HPF_B + 1u];
    HeartSampling->ContDelayCycles = LittleEndian16(&image[QZ_OFFSET_CONT_DELAY_CYCLES]);
}

}  // namespace qz
