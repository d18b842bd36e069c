// SPDX-License-Identifier: Apache-2.0
// Where the real recordings shared beside the repository are: the
// QZ_SHARED_DIR environment variable, else ../shared from the source tree.
// Tests that use them skip when the folder is absent.
#ifndef QZTEST_SHARED_DATA_H
#define QZTEST_SHARED_DATA_H

#include <filesystem>

namespace qztest {

std::filesystem::path SharedDataDir();

}  // namespace qztest

#endif
