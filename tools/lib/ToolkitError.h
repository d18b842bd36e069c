// SPDX-License-Identifier: Apache-2.0
// The one exception type of the toolkit: a problem with the user's input or
// files, reported to the user as one line; and the pieces of such a line.
#ifndef QZKIT_TOOLKIT_ERROR_H
#define QZKIT_TOOLKIT_ERROR_H

#include <stdexcept>
#include <string>
#include <string_view>

namespace qzkit {

class ToolkitError : public std::runtime_error {
public:
    explicit ToolkitError(const std::string &message) : std::runtime_error(message) {}
};

// Text from an input, in quotes, cut to a readable length and with control
// characters shown as '?', so that it cannot break or flood the line.
std::string Quoted(std::string_view text);

// A number in at most about a dozen characters ("%.6g"; "inf", "nan").
std::string Readable(double value);

}  // namespace qzkit

#endif
