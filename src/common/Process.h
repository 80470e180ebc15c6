#pragma once
// The running process's identifier, for names that must not collide between
// two running copies of the program.

#include <cstdint>

namespace sundrel {

std::uint64_t ProcessId();

} // namespace sundrel
