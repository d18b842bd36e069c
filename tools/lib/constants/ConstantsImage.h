// SPDX-License-Identifier: Apache-2.0
// The 31-byte constants file of the heart-rate tool: its fields by name, the
// 3-byte float with round-to-nearest encoding, and whole-file reading and
// writing. Decoding always goes through the library's own conversion, so a
// value shown here is the value the tool computes with.
#ifndef QZKIT_CONSTANTS_IMAGE_H
#define QZKIT_CONSTANTS_IMAGE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include <qz_vozozi_DE/QZ_DataStructures.h>

namespace qzkit {

inline constexpr std::size_t kConstantsImageBytes = QZ_CONSTANTS_FILE_BYTES;
using ConstantsImage = std::array<std::uint8_t, kConstantsImageBytes>;

// Three bytes b0, b1, b2 in file order: 15-bit mantissa, 8-bit exponent
// (bias 127, no special value but 255 = infinity), sign in the top bit.
using Float24 = std::array<std::uint8_t, 3>;

inline constexpr Float24 kFloat24Infinity{0x00, 0x80, 0x7F};

// The value the library computes with (exponent 0 gives 2^-127 x (1 + m/32768),
// which is a subnormal float; exponent 255 gives an infinity).
float DecodeFloat24(const Float24 &bytes);

// The nearest 3-byte value to `value` (ties to an even mantissa); zero and
// anything below 2^-127 in magnitude become +-2^-127, the smallest magnitude
// the format holds. Infinities encode as kFloat24Infinity with the sign.
// Throws ToolkitError for a NaN or a finite value beyond the largest finite
// 3-byte float (about 3.4e38).
Float24 EncodeFloat24(double value);

// Sign, exponent and mantissa fields of a 3-byte float.
struct Float24Parts {
    bool negative;
    unsigned exponent;  // 0..255
    unsigned mantissa;  // 0..32767
};
Float24Parts SplitFloat24(const Float24 &bytes);

enum class FieldType { Unsigned16, Unsigned8, Signed8, ThreeByteFloat };

struct ConstantsField {
    std::string_view name;
    FieldType type;
    std::size_t offset;  // of the first value in the image
    std::size_t count;   // number of values
    std::string_view meaning;
};

// Every field in file order.
std::span<const ConstantsField> ConstantsFields();
const ConstantsField &FindConstantsField(std::string_view name);

// Bytes one value of the type takes in the image.
std::size_t FieldValueBytes(FieldType type);

// Limits of an integer field value.
std::int64_t FieldMinimum(FieldType type);
std::int64_t FieldMaximum(FieldType type);

std::int64_t ReadIntegerValue(const ConstantsImage &image, const ConstantsField &field, std::size_t index);
// `value` must lie within the field's limits.
void WriteIntegerValue(ConstantsImage &image, const ConstantsField &field, std::size_t index, std::int64_t value);
Float24 ReadFloatValue(const ConstantsImage &image, const ConstantsField &field, std::size_t index);
void WriteFloatValue(ConstantsImage &image, const ConstantsField &field, std::size_t index, const Float24 &bytes);

// The record the tool fills from these bytes.
qz::sampling_frequency_struct ToSamplingRecord(const ConstantsImage &image);

// Sampling rate the constants are made for: 1 / Period.
double ConstantsRate(const ConstantsImage &constants);

// The 31 bytes as 62 uppercase hexadecimal digits.
std::string ImageHex(const ConstantsImage &image);

// Reads a constants file. The tool reads the first 31 bytes of a longer file;
// `extraBytes` receives how many more the file holds. Throws ToolkitError when
// the file cannot be read or is shorter than 31 bytes.
ConstantsImage ReadConstantsFile(const std::filesystem::path &path, std::size_t &extraBytes);

// The constants file `path` names: the file itself when it exists, else the
// base name with ".pvx.filters.v1", as the tool forms it.
std::filesystem::path ConstantsFilePath(const std::filesystem::path &path);

// Reads the first 31 bytes of a constants file named as the tool names it:
// `path` may be the file or its base name without ".pvx.filters.v1".
// ToolkitError when neither exists or the file is shorter than 31 bytes.
ConstantsImage ReadConstantsFile(const std::filesystem::path &path);

// Writes the 31 bytes whole or not at all.
void WriteConstantsFile(const std::filesystem::path &path, const ConstantsImage &image);

}  // namespace qzkit

#endif
