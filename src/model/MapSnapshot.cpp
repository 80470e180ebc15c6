#include "model/MapSnapshot.h"

#include "common/Errors.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"

#include <array>
#include <istream>
#include <ostream>
#include <streambuf>

namespace sundrel {

namespace {

// A buffered stream over a C file: std::tmpfile gives the one temporary
// file the system removes whatever happens to the program.
class FileBuffer : public std::streambuf {
public:
    explicit FileBuffer(std::FILE* file) : file_(file)
    {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    ~FileBuffer() override { sync(); }

    int sync() override
    {
        const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
        if (n == 0)
            return 0;
        if (std::fwrite(pbase(), 1, n, file_) != n)
            return -1;
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return std::fflush(file_) == 0 ? 0 : -1;
    }

protected:
    int_type overflow(int_type c) override
    {
        if (sync() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int_type underflow() override
    {
        const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (n == 0)
            return traits_type::eof();
        setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
        return traits_type::to_int_type(*gptr());
    }

    // The reader measures what is left with seeks.
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override
    {
        if (sync() != 0)
            return pos_type(off_type(-1));
        if (dir == std::ios_base::cur)
            offset -= egptr() - gptr();
        setg(buffer_.data(), buffer_.data(), buffer_.data());
        const int whence =
            dir == std::ios_base::beg ? SEEK_SET : dir == std::ios_base::cur ? SEEK_CUR : SEEK_END;
        if (std::fseek(file_, static_cast<long>(offset), whence) != 0)
            return pos_type(off_type(-1));
        return pos_type(off_type(std::ftell(file_)));
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override
    {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }

private:
    std::FILE* file_;
    std::array<char, 1 << 16> buffer_;
};

} // namespace

std::unique_ptr<MapSnapshot> MapSnapshot::Take(const MMap& map, MMapFactory& factory)
{
    std::FILE* file = std::tmpfile();
    if (!file)
        throw Error(msg::FileWritingError);
    std::unique_ptr<MapSnapshot> snapshot(new MapSnapshot(file));
    {
        FileBuffer buffer(file);
        std::ostream out(&buffer);
        factory.WriteMap(map, out);
        if (buffer.pubsync() != 0 || !out)
            throw Error(msg::FileWritingError);
    }
    return snapshot;
}

MapSnapshot::~MapSnapshot()
{
    std::fclose(file_);
}

std::unique_ptr<MMap> MapSnapshot::Restore(const MMap& current, MMapFactory& factory) const
{
    std::rewind(file_);
    FileBuffer buffer(file_);
    std::istream in(&buffer);
    std::unique_ptr<MMap> map = factory.ReadMap(in);
    map->frameBounds = current.frameBounds;
    map->outerBounds = current.outerBounds;
    map->originalPointSize = current.originalPointSize;
    map->virtualPointSize = current.virtualPointSize;
    map->delaunayLineWidth = current.delaunayLineWidth;
    map->voronoiLineWidth = current.voronoiLineWidth;
    map->layerColours = current.layerColours;
    map->font = current.font;
    return map;
}

} // namespace sundrel
