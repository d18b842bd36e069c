// SPDX-License-Identifier: Apache-2.0
// What is wrong with an EDF or BDF file whose header EDFlib refused: the
// fixed header fields checked one by one, for a message that says more than
// "not a valid EDF or BDF file".
#ifndef QZKIT_EDF_HEADER_CHECK_H
#define QZKIT_EDF_HEADER_CHECK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qzkit {

// The first problem found in the file's header, given its first bytes (at
// least the whole header when the file has one) and its size; a general
// description when every field checked here is well-formed.
std::string DescribeEdfProblem(const std::vector<std::uint8_t> &head, std::uint64_t fileSize);

// Bytes of the largest header (640 signals), all DescribeEdfProblem reads.
inline constexpr std::size_t kEdfLargestHeader = std::size_t{256} * 641;

}  // namespace qzkit

#endif
