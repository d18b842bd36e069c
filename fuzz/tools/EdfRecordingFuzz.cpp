// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the EDF/BDF reader over a file held in memory (EDFlib
// reads by path, so the bytes go to an anonymous memory file). A bad file
// must be a ToolkitError; anything else is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "io/EdfRecording.h"
#include "ToolkitError.h"

namespace {

// One memory file, rewritten for each input.
int MemoryFile()
{
    static const int descriptor = memfd_create("fuzz.edf", MFD_CLOEXEC);
    if (descriptor < 0) {
        std::abort();
    }
    return descriptor;
}

void Replace(int descriptor, const std::uint8_t *data, std::size_t size)
{
    if (ftruncate(descriptor, 0) != 0 || pwrite(descriptor, data, size, 0) != static_cast<ssize_t>(size)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const int descriptor = MemoryFile();
    Replace(descriptor, data, size);
    const std::string path = "/proc/self/fd/" + std::to_string(descriptor);
    try {
        (void)qzkit::ReadEdfRecording(path, "0");
    } catch (const qzkit::ToolkitError &) {
    }
    return 0;
}
