// SPDX-License-Identifier: Apache-2.0
// Base names: how a file is named from a base name and an extension, the
// base name a path stands for, and the base names the toolkit writes its files
// under (window files, manifests, WFDB records, beat lists). Such a name is
// also written inside the files (a manifest row, a header's record line), so
// it must read back unchanged.
#ifndef QZKIT_BASE_NAME_H
#define QZKIT_BASE_NAME_H

#include <filesystem>
#include <string>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace qzkit {

// The suffix the tool adds to a constants base name.
inline constexpr const char *kConstantsFileExtension = QZ_CONSTANTS_EXTENSION;

// `base` with `suffix` appended to its last component ("rec" + ".ecg").
std::filesystem::path WithSuffix(std::filesystem::path base, const std::string &suffix);

// The base name the tool would be given for `path`: a trailing `extension`
// (".ecg", ".pvx.filters.v1") is dropped when the name with it is a file and
// the name with it doubled is not.
std::filesystem::path BaseNameFor(const std::filesystem::path &path, const std::string &extension);

// ToolkitError unless `name` is non-empty and made only of letters, digits,
// '.', '_', '-', '+' and non-ASCII characters (UTF-8): no space, comma,
// quote, '#', slash or control character, which the manifest or a header
// would split, trim or read as a comment.
void CheckBaseName(const std::string &name);

}  // namespace qzkit

#endif
