// SPDX-License-Identifier: Apache-2.0
#include "ToolRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qztest {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qztest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScopedCwd::ScopedCwd(const std::filesystem::path &dir) : previous_(std::filesystem::current_path())
{
    std::filesystem::current_path(dir);
}

ScopedCwd::~ScopedCwd()
{
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

namespace {

std::string DrainFd(int fd)
{
    std::string text;
    std::array<char, 4096> chunk{};
    ssize_t got = 0;
    while ((got = read(fd, chunk.data(), chunk.size())) > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(got));
    }
    return text;
}

}  // namespace

RunResult RunProcess(const std::string &program, const std::vector<std::string> &args,
                     const std::filesystem::path &cwd)
{
    // Output goes to files, not pipes, so large outputs cannot dead-lock.
    TempDir capture;
    const std::string outPath = (capture / "stdout").string();
    const std::string errPath = (capture / "stderr").string();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const auto &arg : args) {
            argv.push_back(const_cast<char *>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const int out = open(outPath.c_str(), O_RDONLY);
    const int err = open(errPath.c_str(), O_RDONLY);
    result.out = DrainFd(out);
    result.err = DrainFd(err);
    close(out);
    close(err);
    return result;
}

std::string MaskAddresses(const std::string &text)
{
    const auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    std::string masked = text;
    for (const std::string prefix : {"stored at ", "Reading ", "Writing "}) {
        for (auto at = masked.find(prefix); at != std::string::npos; at = masked.find(prefix, at + 1)) {
            const auto digits = at + prefix.size();
            if (digits + 16 <= masked.size() &&
                std::all_of(masked.begin() + static_cast<std::ptrdiff_t>(digits),
                            masked.begin() + static_cast<std::ptrdiff_t>(digits + 16), isHex)) {
                masked.replace(digits, 16, "ADDRESS");
            }
        }
    }
    return masked;
}

std::vector<std::filesystem::path> ListDirectory(const std::filesystem::path &dir)
{
    std::vector<std::filesystem::path> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WriteBytes(const std::filesystem::path &file, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!stream) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path &file)
{
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw std::runtime_error("cannot read " + file.string());
    }
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void WriteSamples(const std::filesystem::path &file, const std::vector<std::uint16_t> &samples)
{
    std::vector<std::uint8_t> bytes;
    for (const auto sample : samples) {
        bytes.push_back(static_cast<std::uint8_t>(sample & 0xFFu));
        bytes.push_back(static_cast<std::uint8_t>(sample >> 8));
    }
    WriteBytes(file, bytes);
}

std::vector<std::uint16_t> ReadWords(const std::filesystem::path &file)
{
    const auto bytes = ReadBytes(file);
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        words.push_back(static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return words;
}

}  // namespace qztest
