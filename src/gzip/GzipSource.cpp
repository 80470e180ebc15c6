#include "gzip/GzipSource.h"

#include "common/Errors.h"
#include "genetics/Messages.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace sundrel::gzip {

namespace {

class GzipSource : public genetics::ByteSource {
public:
    GzipSource(std::unique_ptr<genetics::ByteSource> raw, std::string path, std::vector<char> head)
        : raw_(std::move(raw)), path_(std::move(path)), input_(std::move(head))
    {
        std::memset(&z_, 0, sizeof z_);
        if (inflateInit2(&z_, 15 + 16) != Z_OK)
            throw Error(msg::GenotypeFileFault(path_, 0, msg::GenotypesBadCompression));
        z_.next_in = reinterpret_cast<Bytef*>(input_.data());
        z_.avail_in = static_cast<uInt>(input_.size());
    }
    ~GzipSource() override { inflateEnd(&z_); }

    std::size_t read(char* buffer, std::size_t size) override
    {
        z_.next_out = reinterpret_cast<Bytef*>(buffer);
        z_.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        const uInt wanted = z_.avail_out;
        while (z_.avail_out == wanted && !ended_) {
            if (z_.avail_in == 0 && !refill()) {
                // The input ends: clean only between members.
                if (inMember_)
                    fail();
                ended_ = true;
                break;
            }
            inMember_ = true;
            const int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) {
                inMember_ = false;
                if (inflateReset(&z_) != Z_OK)
                    fail();
            } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
                fail();
            }
        }
        return wanted - z_.avail_out;
    }

private:
    bool refill()
    {
        input_.resize(1 << 16);
        const std::size_t got = raw_->read(input_.data(), input_.size());
        z_.next_in = reinterpret_cast<Bytef*>(input_.data());
        z_.avail_in = static_cast<uInt>(got);
        return got > 0;
    }

    [[noreturn]] void fail() { throw Error(msg::GenotypeFileFault(path_, 0, msg::GenotypesBadCompression)); }

    std::unique_ptr<genetics::ByteSource> raw_;
    std::string path_;
    std::vector<char> input_;
    z_stream z_;
    bool inMember_ = false;
    bool ended_ = false;
};

// Gives back the bytes read ahead, then the rest of the source.
class PrefixedSource : public genetics::ByteSource {
public:
    PrefixedSource(std::unique_ptr<genetics::ByteSource> raw, std::vector<char> head)
        : raw_(std::move(raw)), head_(std::move(head))
    {
    }
    std::size_t read(char* buffer, std::size_t size) override
    {
        if (at_ < head_.size()) {
            const std::size_t n = std::min(size, head_.size() - at_);
            std::memcpy(buffer, head_.data() + at_, n);
            at_ += n;
            return n;
        }
        return raw_->read(buffer, size);
    }

private:
    std::unique_ptr<genetics::ByteSource> raw_;
    std::vector<char> head_;
    std::size_t at_ = 0;
};

} // namespace

std::unique_ptr<genetics::ByteSource> OpenSource(const std::filesystem::path& path)
{
    auto raw = genetics::OpenFileSource(path);
    std::vector<char> head(2);
    std::size_t got = 0;
    while (got < 2) {
        const std::size_t n = raw->read(head.data() + got, 2 - got);
        if (n == 0)
            break;
        got += n;
    }
    head.resize(got);
    if (got == 2 && static_cast<unsigned char>(head[0]) == 0x1F && static_cast<unsigned char>(head[1]) == 0x8B)
        return std::make_unique<GzipSource>(std::move(raw), path.string(), std::move(head));
    return std::make_unique<PrefixedSource>(std::move(raw), std::move(head));
}

} // namespace sundrel::gzip
