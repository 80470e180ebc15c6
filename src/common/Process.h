#pragma once
// The running process's identifier, for names that must not collide between
// two running copies of the program, and whether another process still runs.

#include <cstdint>

namespace sundrel {

std::uint64_t ProcessId();

// False only when no process of that number exists; a process that exists
// but belongs to another user counts as existing, and so does any process
// where the system cannot tell.
bool ProcessExists(std::uint64_t id);

} // namespace sundrel
