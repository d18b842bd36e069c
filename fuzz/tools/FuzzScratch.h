// SPDX-License-Identifier: Apache-2.0
// A scratch folder for the fuzz targets that read files: made once, removed
// when the fuzzer exits, and files written into it whole.
#ifndef QZ_FUZZ_SCRATCH_H
#define QZ_FUZZ_SCRATCH_H

#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qzfuzz {

// A folder of its own, removed when the fuzzer exits.
class Scratch {
public:
    Scratch()
    {
        std::string name = (std::filesystem::temp_directory_path() / "qz-fuzz-XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr) {
            std::abort();
        }
        folder_ = name;
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    const std::filesystem::path &Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

inline const std::filesystem::path &ScratchFolder()
{
    static const Scratch scratch;
    return scratch.Folder();
}

inline void WriteFile(const std::filesystem::path &path, const char *data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    if (!out) {
        std::abort();
    }
}

}  // namespace qzfuzz

#endif
