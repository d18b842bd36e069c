// SPDX-License-Identifier: Apache-2.0
// qzkit constants tune: the options of the search, added to `constants`.
#ifndef QZKIT_CONSTANTS_TUNE_H
#define QZKIT_CONSTANTS_TUNE_H

#include "Subcommand.h"

namespace qzkit {

// Adds `tune` to `constants` and returns what runs when it was chosen.
SubcommandAction SetUpTune(CLI::App &constants);

}  // namespace qzkit

#endif
