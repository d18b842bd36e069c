// SPDX-License-Identifier: Apache-2.0
// The files one run writes, checked against what it reads and put in place
// together.
//
// Every output is checked before a byte of it is written (io/OutputTarget.h):
// it may not be one of the run's inputs (the readers note each file they
// open), another output of the same run, an existing thing that is not a
// regular file (a directory, a device, a FIFO), or a file the user may not
// write (mode 444, another owner) unless the run was told to replace
// write-protected files. Its content goes to a temporary file beside the
// target (a symbolic link is followed to the file it names), named
// "TARGET.qzkit-tmp-PID-N". The run's
// plan renames every temporary file over its target only when the whole run
// succeeded; a run that fails, is interrupted (SIGINT, SIGTERM, SIGHUP) or is
// refused leaves every target as it was and removes its temporary files
// (io/TemporaryFiles.h). The name "-" is standard output, written as a
// stream at once (one output of a run at most).
#ifndef QZKIT_ATOMIC_FILE_H
#define QZKIT_ATOMIC_FILE_H

#include <cstdint>
#include <filesystem>
#include <vector>

#include "io/OutputTarget.h"

namespace qzkit {

// The outputs of one run. The first plan made is the run's; a plan made
// while another lives joins it (its Commit() does nothing), so a library
// function that writes several files can hold one of its own and still have
// them put in place with the rest of the run's outputs.
class OutputPlan {
public:
    explicit OutputPlan(bool replaceProtected = false);
    ~OutputPlan();  // uncommitted: removes the temporary files, targets untouched
    OutputPlan(const OutputPlan &) = delete;
    OutputPlan &operator=(const OutputPlan &) = delete;

    // Checks every output once more against the inputs read since it was
    // written, then renames all into place; when one rename fails, those
    // already renamed are put back as they were and ToolkitError is thrown.
    void Commit();

private:
    bool owner_;
};

// Records that the run reads `path`, so that no output of the run replaces it.
void NoteInput(const std::filesystem::path &path);

// Writes `path` through `write` as part of the current run's plan (without
// one, as a plan of its own committed at once). On any failure (including an
// exception from `write`) `path` is left as it was and ToolkitError (or the
// exception of `write`) is thrown.
void WriteFileAtomically(const std::filesystem::path &path, const ContentWriter &write);

// Checks now what writing `path` later in the run will check (a file name,
// no directory or other non-regular file, not write-protected, not an input
// read so far, not named by another output checked ahead), and that its
// directory can be written in: a long run refuses its outputs before it
// works. ToolkitError otherwise.
void CheckOutputAhead(const std::filesystem::path &path);

// Writes `path` whole and puts it in place at once, synced to disk, outside
// the run's plan: a file the run keeps even when it fails later (a search's
// journal). On failure `path` is left as it was and ToolkitError is thrown.
void ReplaceFileNow(const std::filesystem::path &path, const ContentWriter &write);

// Puts the outputs written so far in place now, as the end of the run would
// (for a run whose last step, such as printing a summary, may still fail).
void CommitRunOutputs();

// Flushes standard output; ToolkitError when anything written to it was lost
// (a full disk, a closed pipe), so that the run does not end as a success.
void FinishStandardOutput();

// Writes `bytes` (which must outlive the writer).
ContentWriter BytesWriter(const std::vector<std::uint8_t> &bytes);

void WriteBytesAtomically(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes);

}  // namespace qzkit

#endif
