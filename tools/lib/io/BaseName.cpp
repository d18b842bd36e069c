// SPDX-License-Identifier: Apache-2.0
#include "io/BaseName.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "ToolkitError.h"

namespace qzkit {
namespace {

bool ReadsBack(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) != 0 || c == '.' || c == '_' || c == '-' || c == '+';
}

bool IsFile(const std::filesystem::path &path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

}  // namespace

std::filesystem::path WithSuffix(std::filesystem::path base, const std::string &suffix)
{
    base += suffix;
    return base;
}

std::filesystem::path BaseNameFor(const std::filesystem::path &path, const std::string &extension)
{
    const std::string text = path.string();
    const bool endsWithExtension =
        text.size() > extension.size() && text.compare(text.size() - extension.size(), extension.size(), extension) == 0;
    if (endsWithExtension && IsFile(path) && !IsFile(WithSuffix(path, extension))) {
        return text.substr(0, text.size() - extension.size());
    }
    return path;
}

void CheckBaseName(const std::string &name)
{
    if (name.empty() || !std::all_of(name.begin(), name.end(), ReadsBack)) {
        throw ToolkitError("name " + Quoted(name) +
                           " would not read back: use letters, digits and . _ - + only");
    }
}

}  // namespace qzkit
