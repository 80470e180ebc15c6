#pragma once
// Messages shared by every subsystem (files and memory), word for word as
// users see them. Each subsystem keeps its own table beside it.

namespace sundrel::msg {

inline constexpr const char* ImpossibleToOpen = "Impossible to open the file";
// Said where a document or a figure cannot be opened for reading or writing.
inline constexpr const char* CouldntOpenFile = "Couldn't open the file";
inline constexpr const char* FileWritingError = "File writing error";
inline constexpr const char* FileReadingError = "File reading error";
inline constexpr const char* FilePositioningError = "File positioning error";
inline constexpr const char* MemoryAllocationFailure = "Memory allocation failure";
inline constexpr const char* UnknownError = "Unknown error";
// The silent abort of a cancelled job, which the command line shows when
// Ctrl-C stops its work.
inline constexpr const char* ComputationAborted = "Computation aborted";

} // namespace sundrel::msg
