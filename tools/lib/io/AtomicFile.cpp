// SPDX-License-Identifier: Apache-2.0
#include "io/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

#include "io/OutputTarget.h"
#include "io/TemporaryFiles.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

void WriteToStandardOutput(const ContentWriter &write)
{
    write(std::cout);
    FinishStandardOutput();
}

struct StagedOutput {
    std::filesystem::path shown;      // as the user named it, for messages
    std::filesystem::path target;     // the file that is replaced
    std::filesystem::path canonical;  // the target's absolute name, to find two outputs naming one file
    std::filesystem::path temporary;  // the new content; empty once renamed
    std::filesystem::path backup;     // a link to the replaced content while committing
};

struct RunFiles {
    bool replaceProtected = false;
    bool standardOutputTaken = false;
    std::vector<std::pair<FileIdentity, std::filesystem::path>> inputs;
    std::vector<StagedOutput> outputs;
    std::map<std::filesystem::path, std::filesystem::path> outputNames;  // canonical name -> shown, of `outputs`
    std::vector<StagedOutput> checked;       // ahead of the work, never staged from here
    std::set<std::filesystem::path> tidied;  // directories cleared of leftovers

    void RefuseInput(const StagedOutput &output) const
    {
        const std::optional<FileIdentity> identity = IdentityOf(output.target);
        for (const auto &[input, name] : inputs) {
            if (identity == input) {
                throw ToolkitError(output.shown.string() + ": is also an input (" + name.string() +
                                   "); not overwritten");
            }
        }
    }

    void RefuseOtherOutput(const StagedOutput &output) const
    {
        const auto other = outputNames.find(output.canonical);
        if (other != outputNames.end()) {
            throw ToolkitError(output.shown.string() + ": names the same file as the output " +
                               other->second.string() + "; nothing written");
        }
    }

    // What staging `path` would refuse now, and a directory that cannot be
    // written in.
    void Check(const std::filesystem::path &path)
    {
        StagedOutput output;
        output.shown = path;
        output.target = WriteTarget(path, replaceProtected);
        output.canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(output.target));
        RefuseInput(output);
        for (const StagedOutput &other : checked) {
            if (other.canonical == output.canonical) {
                throw ToolkitError(output.shown.string() + ": names the same file as the output " +
                                   other.shown.string() + "; nothing written");
            }
        }
        const std::filesystem::path directory = output.canonical.parent_path();
        if (::access(directory.c_str(), W_OK) != 0) {
            throw ToolkitError(path.string() + ": cannot write in " + directory.string() + ": " +
                               std::strerror(errno));
        }
        checked.push_back(std::move(output));
    }

    void Stage(const std::filesystem::path &path, const ContentWriter &write)
    {
        StagedOutput output;
        output.shown = path;
        output.target = WriteTarget(path, replaceProtected);
        output.canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(output.target));
        RefuseInput(output);
        RefuseOtherOutput(output);
        const std::filesystem::path directory = output.canonical.parent_path();
        if (tidied.insert(directory).second) {
            RemoveLeftovers(directory);
        }
        output.temporary = TemporaryPathFor(output.target);
        RegisterTemporary(output.temporary);
        try {
            WriteTemporary(path, output.temporary, write);
        } catch (...) {
            DropTemporary(output.temporary);
            throw;
        }
        outputNames.emplace(output.canonical, output.shown);
        outputs.push_back(std::move(output));
    }

    void PutInPlace(StagedOutput &output)
    {
        std::error_code error;
        if (std::filesystem::exists(output.target)) {
            output.backup = TemporaryPathFor(output.target);
            RegisterTemporary(output.backup);
            std::filesystem::create_hard_link(output.target, output.backup, error);
            if (error) {
                DropTemporary(output.backup);
            }
        }
        std::filesystem::rename(output.temporary, output.target, error);
        if (error) {
            throw ToolkitError("cannot rename to " + output.shown.string() + ": " + error.message());
        }
        DropTemporary(output.temporary);
    }

    // Puts back what the first `count` outputs replaced.
    void Restore(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            StagedOutput &output = outputs[i];
            std::error_code ignored;
            if (output.backup.empty()) {
                std::filesystem::remove(output.target, ignored);
            } else {
                std::filesystem::rename(output.backup, output.target, ignored);
            }
        }
    }

    void Commit()
    {
        for (const StagedOutput &output : outputs) {
            RefuseInput(output);
        }
        std::size_t done = 0;
        try {
            for (; done < outputs.size(); ++done) {
                PutInPlace(outputs[done]);
            }
        } catch (...) {
            Restore(done);
            throw;
        }
        DropAll();
    }

    void DropAll()
    {
        for (StagedOutput &output : outputs) {
            DropTemporary(output.temporary);
            DropTemporary(output.backup);
        }
        outputs.clear();
        outputNames.clear();
    }
};

std::unique_ptr<RunFiles> currentRun;

}  // namespace

OutputPlan::OutputPlan(bool replaceProtected) : owner_(!currentRun)
{
    if (owner_) {
        currentRun = std::make_unique<RunFiles>();
        currentRun->replaceProtected = replaceProtected;
    }
}

OutputPlan::~OutputPlan()
{
    if (owner_) {
        currentRun->DropAll();
        currentRun.reset();
    }
}

// Not const: it puts the whole run's files in place.
void OutputPlan::Commit()  // NOLINT(readability-make-member-function-const)
{
    if (owner_) {
        currentRun->Commit();
    }
}

void NoteInput(const std::filesystem::path &path)
{
    if (!currentRun) {
        return;
    }
    if (const std::optional<FileIdentity> identity = IdentityOf(path)) {
        currentRun->inputs.emplace_back(*identity, path);
    }
}

void WriteFileAtomically(const std::filesystem::path &path, const ContentWriter &write)
{
    OutputPlan plan;
    if (IsStandardOutput(path)) {
        if (currentRun->standardOutputTaken) {
            throw ToolkitError("standard output (-) is named for two outputs of this run");
        }
        currentRun->standardOutputTaken = true;
        WriteToStandardOutput(write);
        return;
    }
    currentRun->Stage(path, write);
    plan.Commit();
}

void CheckOutputAhead(const std::filesystem::path &path)
{
    OutputPlan plan;
    if (!IsStandardOutput(path)) {
        currentRun->Check(path);
    }
}

void ReplaceFileNow(const std::filesystem::path &path, const ContentWriter &write)
{
    OutputPlan plan;
    const std::filesystem::path target = WriteTarget(path, currentRun->replaceProtected);
    std::filesystem::path temporary = TemporaryPathFor(target);
    RegisterTemporary(temporary);
    try {
        WriteTemporary(path, temporary, write);
        const int descriptor = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        std::error_code error;
        if (synced) {
            std::filesystem::rename(temporary, target, error);
        }
        if (!synced || error) {
            throw ToolkitError("cannot write " + path.string() + ": " +
                               (synced ? error.message() : std::string(std::strerror(errno))));
        }
    } catch (...) {
        DropTemporary(temporary);
        throw;
    }
    DropTemporary(temporary);
}

void CommitRunOutputs()
{
    if (currentRun) {
        currentRun->Commit();
    }
}

void FinishStandardOutput()
{
    std::cout.flush();
    errno = 0;
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        throw ToolkitError(std::string("cannot write to standard output") +
                           (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
    }
}

ContentWriter BytesWriter(const std::vector<std::uint8_t> &bytes)
{
    return [&bytes](std::ostream &stream) {
        stream.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
}

void WriteBytesAtomically(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    WriteFileAtomically(path, BytesWriter(bytes));
}

}  // namespace qzkit
