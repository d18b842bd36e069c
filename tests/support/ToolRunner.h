// SPDX-License-Identifier: Apache-2.0
// Running the tool as a separate process inside a scratch directory.
#ifndef QZ_TOOL_RUNNER_H
#define QZ_TOOL_RUNNER_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qztest {

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Runs the current directory inside `dir` while the object lives.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path &dir);
    ~ScopedCwd();
    ScopedCwd(const ScopedCwd &) = delete;
    ScopedCwd &operator=(const ScopedCwd &) = delete;

private:
    std::filesystem::path previous_;
};

struct RunResult {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `program` with `args` (argv[1..]) in `cwd` and collects its output.
RunResult RunProcess(const std::string &program, const std::vector<std::string> &args,
                     const std::filesystem::path &cwd);

// Replaces the address digits after "stored at ", "Reading " and "Writing "
// by "ADDRESS", since they differ from run to run.
std::string MaskAddresses(const std::string &text);

// The names of the entries of `dir`, sorted.
std::vector<std::filesystem::path> ListDirectory(const std::filesystem::path &dir);

void WriteBytes(const std::filesystem::path &file, const std::vector<std::uint8_t> &bytes);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path &file);
void WriteSamples(const std::filesystem::path &file, const std::vector<std::uint16_t> &samples);
std::vector<std::uint16_t> ReadWords(const std::filesystem::path &file);

}  // namespace qztest

#endif
