// SPDX-License-Identifier: Apache-2.0
// The temporary files a run writes its outputs into, and the ending signals
// (SIGINT, SIGTERM, SIGHUP) that must not leave them behind.
//
// A temporary file is named "TARGET.qzkit-tmp-PID-N" beside its target. By
// default an ending signal removes the run's temporary files and ends the
// program as the signal would; a long run that can stop early and keep its
// work takes the signals as stop requests instead while a StopOnEndingSignals
// lives. A signal the program was started to ignore stays ignored. A run
// writing into a directory removes the temporary files that killed runs left
// there.
#ifndef QZKIT_TEMPORARY_FILES_H
#define QZKIT_TEMPORARY_FILES_H

#include <filesystem>

namespace qzkit {

// A name beside `target` that no other writer of this or another process uses.
std::filesystem::path TemporaryPathFor(const std::filesystem::path &target);

// Notes a temporary file that an ending signal removes.
void RegisterTemporary(const std::filesystem::path &path);

// Removes a temporary file (when `path` is not empty), forgets it and clears `path`.
void DropTemporary(std::filesystem::path &path);

// Removes the temporary files in `directory` whose maker no longer runs.
void RemoveLeftovers(const std::filesystem::path &directory);

// While the object lives, an ending signal sets StopRequested() instead of
// ending the program, and interrupts a blocking call (a write to a stalled
// pipe fails rather than waits). Objects may nest.
class StopOnEndingSignals {
public:
    StopOnEndingSignals();
    ~StopOnEndingSignals();
    StopOnEndingSignals(const StopOnEndingSignals &) = delete;
    StopOnEndingSignals &operator=(const StopOnEndingSignals &) = delete;
};

// True once an ending signal arrived while a StopOnEndingSignals lived.
bool StopRequested();

}  // namespace qzkit

#endif
