// SPDX-License-Identifier: Apache-2.0
// The page's stand-ins for the toolkit's readers that need libraries with no
// WebAssembly build among Debian's packages (the FLAC decoder and the EDF
// reader): they report the format as unavailable in the page.
#include "ToolkitError.h"
#include "io/EdfRecording.h"
#include "io/wfdb/FlacSignals.h"

namespace qzkit {

struct FlacSignals::State {};

FlacSignals::FlacSignals(const std::filesystem::path &, std::uint64_t, unsigned)
{
    throw ToolkitError("the page cannot read FLAC-compressed WFDB signals; convert the record with qzkit convert");
}

FlacSignals::~FlacSignals() = default;

std::uint64_t FlacSignals::Position() const
{
    return 0;
}

std::vector<std::vector<std::int32_t>> FlacSignals::Next(std::uint64_t)
{
    return {};
}

namespace {

[[noreturn]] void RefuseEdf()
{
    throw ToolkitError("the page cannot read EDF or BDF files; convert them with qzkit convert");
}

}  // namespace

Recording ReadEdfRecording(const std::filesystem::path &, const std::string &)
{
    RefuseEdf();
}

std::unique_ptr<ChannelReader> OpenEdfChannel(const std::filesystem::path &, const std::string &)
{
    RefuseEdf();
}

}  // namespace qzkit
