#pragma once
// The bytes of a genotype file, from wherever they come: a plain file here;
// a decompressing source lives outside the core (src/gzip) and is handed in
// by the programs that link it.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sundrel {
class JobFeedback;
}

namespace sundrel::genetics {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to `size` bytes; returns how many, 0 at the end. Failures raise
    // Error (FileError for the file's own failures).
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// The file as it is; raises FileError("Impossible to open the file") when it
// cannot be opened.
std::unique_ptr<ByteSource> OpenFileSource(const std::filesystem::path& path);

// Opens a genotype file: OpenFileSource, or a source that also undoes
// compression.
using SourceOpener = std::function<std::unique_ptr<ByteSource>(const std::filesystem::path&)>;

// Everything the source holds; stops with the silent abort once `cancel` is set.
std::string ReadAll(ByteSource& source, const JobFeedback* cancel = nullptr);

// The lines of a text, without their ends: a line ends in a line feed, a
// carriage return and a line feed, or a carriage return alone (old Mac
// files). A final line end opens no line of its own.
std::vector<std::string_view> SplitLines(std::string_view text);

// True when the bytes start as gzip data do.
inline bool IsGzip(const std::string& bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B;
}

} // namespace sundrel::genetics
