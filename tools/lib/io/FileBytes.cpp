#include "io/FileBytes.h"

#include <fstream>
#include <iterator>

#include "ToolkitError.h"

namespace qzkit {

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path &path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        throw ToolkitError("cannot open " + path.string());
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        throw ToolkitError("cannot read " + path.string());
    }
    return bytes;
}

}  // namespace qzkit
