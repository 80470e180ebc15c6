#include "common/Process.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace sundrel {

std::uint64_t ProcessId()
{
#if defined(_WIN32)
    return static_cast<std::uint64_t>(::_getpid());
#else
    return static_cast<std::uint64_t>(::getpid());
#endif
}

bool ProcessExists(std::uint64_t id)
{
#if defined(_WIN32)
    (void)id;
    return true;
#else
    const auto pid = static_cast<pid_t>(id);
    if (id == 0 || static_cast<std::uint64_t>(pid) != id || pid < 0)
        return true;
    return ::kill(pid, 0) == 0 || errno != ESRCH;
#endif
}

void RemoveFilesOfEndedProcesses(
    const std::filesystem::path& folder,
    const std::function<std::optional<std::uint64_t>(const std::string& name)>& processOf)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
    if (ec)
        return;
    const std::uint64_t self = ProcessId();
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec)
            return;
        const std::optional<std::uint64_t> process = processOf(it->path().filename().string());
        std::error_code sc;
        if (!process || *process == self || ProcessExists(*process))
            continue;
        // A file, or a temporary folder with what it holds; a symbolic link
        // is removed itself, never what it points to.
        const auto status = it->symlink_status(sc);
        if (sc)
            continue;
        if (std::filesystem::is_directory(status))
            std::filesystem::remove_all(it->path(), sc);
        else if (std::filesystem::is_regular_file(it->status(sc)))
            std::filesystem::remove(it->path(), sc);
    }
}

} // namespace sundrel
