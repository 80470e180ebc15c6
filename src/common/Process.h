#pragma once
// The running process's identifier, for names that must not collide between
// two running copies of the program, and whether another process still runs.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace sundrel {

std::uint64_t ProcessId();

// False only when no process of that number exists; a process that exists
// but belongs to another user counts as existing, and so does any process
// where the system cannot tell.
bool ProcessExists(std::uint64_t id);

// Removes the regular files and folders (with what they hold) of `folder`
// that `processOf` attributes (from the name) to a process other than this
// one that no longer runs: what a process killed before it could clean up
// left behind. Names it
// gives no process to are kept, and so is everything on any error.
void RemoveFilesOfEndedProcesses(
    const std::filesystem::path& folder,
    const std::function<std::optional<std::uint64_t>(const std::string& name)>& processOf);

} // namespace sundrel
