// Writing an output file so that readers see either the old file or the whole
// new one: the content goes to a temporary file beside the real target (a
// symbolic link is followed to the file it names), which is renamed over the
// target only after it was written and closed without error. A target that
// exists and is not a regular file (a directory, a device, a FIFO) is never
// replaced; the name "-" is standard output, written as a stream.
#ifndef QZKIT_ATOMIC_FILE_H
#define QZKIT_ATOMIC_FILE_H

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <vector>

namespace qzkit {

using ContentWriter = std::function<void(std::ostream &)>;

// The content of one output, written to its temporary file at construction
// and put in place by Commit(); when the object goes away uncommitted (the
// run failed), the temporary file is removed and the target left as it was.
class StagedFile {
public:
    StagedFile(const std::filesystem::path &path, const ContentWriter &write);
    ~StagedFile();
    StagedFile(StagedFile &&other) noexcept;
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;
    StagedFile &operator=(StagedFile &&) = delete;

    void Commit();

private:
    std::filesystem::path shownPath_;  // as the user named it, for messages
    std::filesystem::path target_;     // the file that is replaced
    std::filesystem::path temporary_;  // empty once committed or moved from
};

// Calls `write` with a binary stream on a temporary file beside `path` (or on
// standard output for "-"), then puts it in place. On any failure (including
// an exception from `write`) `path` is left as it was and ToolkitError (or
// the exception of `write`) is thrown.
void WriteFileAtomically(const std::filesystem::path &path, const ContentWriter &write);

// Writes `bytes` (which must outlive the writer).
ContentWriter BytesWriter(const std::vector<std::uint8_t> &bytes);

void WriteBytesAtomically(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes);

// ToolkitError when `output` is the same file as one of `inputs` (also
// through links), so that no run overwrites what it reads. Empty paths and
// "-" are skipped.
void RefuseOutputOverInput(const std::filesystem::path &output, std::initializer_list<std::filesystem::path> inputs);

}  // namespace qzkit

#endif
