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

} // namespace sundrel
