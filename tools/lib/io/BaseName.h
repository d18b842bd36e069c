// The base names the toolkit writes its files under (window files, manifests,
// WFDB records, beat lists). Such a name is also written inside the files (a
// manifest row, a header's record line), so it must read back unchanged.
#ifndef QZKIT_BASE_NAME_H
#define QZKIT_BASE_NAME_H

#include <string>

namespace qzkit {

// ToolkitError unless `name` is non-empty and made only of letters, digits,
// '.', '_', '-', '+' and non-ASCII characters (UTF-8): no space, comma,
// quote, '#', slash or control character, which the manifest or a header
// would split, trim or read as a comment.
void CheckBaseName(const std::string &name);

}  // namespace qzkit

#endif
