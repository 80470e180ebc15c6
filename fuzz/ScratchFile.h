#pragma once
// A file in the temporary folder, private to this process, written for one
// input and removed after it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace sundrel::fuzz {

class ScratchFile {
public:
    // "STEM-PID" then `suffix`, in the temporary folder.
    explicit ScratchFile(const std::string& stem, const std::string& suffix = "")
        : path_(std::filesystem::temp_directory_path() /
                (stem + "-" + std::to_string(::getpid()) + suffix))
    {
    }
    ~ScratchFile() { Remove(); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Replaces the contents with `prefix` followed by the input.
    void Write(const std::uint8_t* data, std::size_t size, const char* prefix = nullptr,
               std::size_t prefixSize = 0)
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        if (prefixSize > 0)
            out.write(prefix, static_cast<std::streamsize>(prefixSize));
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out) {
            // The harness is broken, not the code under test.
            std::fprintf(stderr, "cannot write %s\n", path_.c_str());
            std::abort();
        }
    }

    void Remove()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

private:
    std::filesystem::path path_;
};

} // namespace sundrel::fuzz
