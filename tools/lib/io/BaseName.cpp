#include "io/BaseName.h"

#include <algorithm>
#include <cctype>

#include "ToolkitError.h"

namespace qzkit {
namespace {

bool ReadsBack(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) != 0 || c == '.' || c == '_' || c == '-' || c == '+';
}

}  // namespace

void CheckBaseName(const std::string &name)
{
    if (name.empty() || !std::all_of(name.begin(), name.end(), ReadsBack)) {
        throw ToolkitError("name " + Quoted(name) +
                           " would not read back: use letters, digits and . _ - + only");
    }
}

}  // namespace qzkit
