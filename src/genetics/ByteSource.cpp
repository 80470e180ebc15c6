#include "genetics/ByteSource.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Job.h"
#include "import/Messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace sundrel::genetics {

namespace {

class FileSource : public ByteSource {
public:
    FileSource(std::FILE* file, std::filesystem::path path) : file_(file), path_(std::move(path)) {}
    ~FileSource() override { std::fclose(file_); }

    std::size_t read(char* buffer, std::size_t size) override
    {
        const std::size_t got = std::fread(buffer, 1, size, file_);
        if (got < size && std::ferror(file_))
            throw FileError(msg::FileReadingError, path_, SystemReason(errno ? errno : EIO));
        return got;
    }

private:
    std::FILE* file_;
    std::filesystem::path path_;
};

} // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::filesystem::path& path)
{
    // Folders, FIFOs and devices are refused before fopen(), which would
    // block on a FIFO until a writer comes.
    CheckInputFile(path);
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw FileError(msg::ImpossibleToOpen, path, SystemReason(errno ? errno : ENOENT));
    return std::make_unique<FileSource>(file, path);
}

std::string ReadAll(ByteSource& source, const JobFeedback* cancel)
{
    // Blocks grow from 64 KiB to 1 MiB: a samples file of a few lines
    // costs no megabyte of zeroed memory.
    std::string bytes;
    std::size_t block = 1 << 16;
    for (;;) {
        if (cancel && cancel->isCancelled())
            throw Abort(msg::ReadingAborted);
        const std::size_t at = bytes.size();
        bytes.resize(at + block);
        const std::size_t got = source.read(bytes.data() + at, block);
        bytes.resize(at + got);
        if (got == 0)
            return bytes;
        block = std::min<std::size_t>(block * 2, 1 << 20);
    }
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++start;
    }
    return lines;
}

} // namespace sundrel::genetics
