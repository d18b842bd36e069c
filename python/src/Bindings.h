// SPDX-License-Identifier: Apache-2.0
// The parts of the Python module qzkit._core, one per concern.
#ifndef QZKIT_PYTHON_BINDINGS_H
#define QZKIT_PYTHON_BINDINGS_H

#include <mutex>
#include <string>

#include <pybind11/pybind11.h>

#include "constants/ConstantsImage.h"

void BindEstimator(pybind11::module_ &module);
void BindConstants(pybind11::module_ &module);
void BindRecordings(pybind11::module_ &module);
void BindEvaluation(pybind11::module_ &module);
void BindTune(pybind11::module_ &module);

// Held by every call into the library, which keeps its state in global storage.
std::mutex &LibraryLock();

// Text from the toolkit (names and messages from the user's files) as a
// Python str: bytes that are not UTF-8 are shown as \xNN escapes, NULs kept.
pybind11::str PythonText(const std::string &text);

// The 31 bytes of a constants image; ToolkitError for another size.
qzkit::ConstantsImage ImageOf(const pybind11::bytes &bytes);

#endif
