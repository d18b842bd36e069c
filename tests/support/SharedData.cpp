// SPDX-License-Identifier: Apache-2.0
#include "SharedData.h"

#include <cstdlib>

namespace qztest {

std::filesystem::path SharedDataDir()
{
    const char *set = std::getenv("QZ_SHARED_DIR");
    return set != nullptr && *set != '\0' ? std::filesystem::path(set) : std::filesystem::path(QZ_SHARED_DIR);
}

}  // namespace qztest
