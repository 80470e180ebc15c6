#include "common/AtomicFile.h"

#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Process.h"

#include <atomic>
#include <string>
#include <system_error>

namespace sundrel {

std::filesystem::path TemporarySibling(const std::filesystem::path& target)
{
    static std::atomic<unsigned> counter{0};
    std::filesystem::path name = target.filename();
    name += ".~" + std::to_string(ProcessId()) + "-" +
            std::to_string(counter.fetch_add(1)) + ".tmp";
    return target.parent_path() / name;
}

AtomicFile::AtomicFile(std::filesystem::path target)
    : target_(std::move(target)), temp_(TemporarySibling(target_))
{
    out_.open(temp_, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out_.is_open())
        throw Error(msg::ImpossibleToOpen);
}

AtomicFile::~AtomicFile()
{
    if (!committed_) {
        if (out_.is_open())
            out_.close();
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
    }
}

void AtomicFile::commit()
{
    out_.flush();
    const bool ok = static_cast<bool>(out_);
    out_.close();
    if (!ok || out_.fail())
        throw Error(msg::FileWritingError);
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec)
        throw Error(msg::FileWritingError);
    committed_ = true;
}

} // namespace sundrel
