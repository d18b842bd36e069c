// The one exception type of the toolkit: a problem with the user's input or
// files, reported to the user as one line.
#ifndef QZKIT_TOOLKIT_ERROR_H
#define QZKIT_TOOLKIT_ERROR_H

#include <stdexcept>
#include <string>

namespace qzkit {

class ToolkitError : public std::runtime_error {
public:
    explicit ToolkitError(const std::string &message) : std::runtime_error(message) {}
};

}  // namespace qzkit

#endif
