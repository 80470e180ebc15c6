#include "common/Process.h"

#if defined(_WIN32)
#include <process.h>
#else
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

} // namespace sundrel
