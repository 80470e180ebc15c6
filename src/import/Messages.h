#pragma once
// Messages of the data-file import (the reader, the coordinate extraction and
// the data-file worker): the numbers of what the reader and the worker report
// to their owner, and the texts, word for word as users see them (line
// numbers and columns in them are 1-based unless said otherwise).

#include "common/Notifier.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace sundrel {

// Progress of indexing and previewing a data file: wParam 0, lParam the
// percentage.
inline constexpr int WM_READ_PROGRESS = kWmApp + 1001;

// The data-file worker's messages to its owner. The message that ends a step
// carries the step's result (postResult), a failure's text with it. Every
// message below has the number of its step in wParam (as the start returned
// it, so that an owner can drop what an earlier step said), and lParam 0
// unless stated otherwise.
// The extraction's progress has the number of the reader's WM_READ_PROGRESS
// (whose wParam is 0), so one progress bar follows reading and extraction
// alike.
inline constexpr int WM_IMPORT_PROGRESS = kWmApp + 0x3E9;   // lParam: percent done
inline constexpr int WM_IMPORT_READ = kWmApp + 0x3EA;       // lParam 0: file read; 1: preview loaded
inline constexpr int WM_IMPORT_INIT_ERROR = kWmApp + 0x3EB; // reading failed
inline constexpr int WM_IMPORT_DONE = kWmApp + 0x3EC;       // extraction complete
inline constexpr int WM_IMPORT_ERROR = kWmApp + 0x3ED;      // extraction failed
inline constexpr int WM_IMPORT_CANCELLED = kWmApp + 0x3EE;  // lParam 0: extraction, 1: reading cancelled

} // namespace sundrel

namespace sundrel::msg {

// Reading a data file.
// The silent abort of a cancelled read; never shown.
inline constexpr const char* ReadingAborted = "aborted";

// `lineIndex` is the 0-based index asked for.
inline std::string CantReadLine(std::int64_t lineIndex)
{
    return "Can't read line " + std::to_string(lineIndex);
}

inline std::string NotAValue(std::string_view text)
{
    std::string out = "'";
    out += text;
    out += "' is not a valid floating point value";
    return out;
}

inline std::string NotAValueAt(std::string_view text, std::int64_t line, std::int64_t column)
{
    return NotAValue(text) + " at line " + std::to_string(line) + " (column " +
           std::to_string(column) + ")";
}

// A file that is not plain text: its bytes are described, never shown.
inline std::string Utf16TextAt(std::int64_t line, std::int64_t column)
{
    return "The file is UTF-16 text, which cannot be read: save it as UTF-8 or ASCII text "
           "(line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
}

inline std::string NotTextAt(std::int64_t line, std::int64_t column)
{
    return "The file holds bytes that are not text (binary data) at line " +
           std::to_string(line) + " (column " + std::to_string(column) + ")";
}

// A field missing before the end of the file.
inline std::string MissingField(std::int64_t line, std::int64_t column)
{
    return "Error at line " + std::to_string(line) + " (column " + std::to_string(column) + ")";
}

// Fields had to be taken from the next line.
inline std::string LineTooShort(std::int64_t line)
{
    return "Error at line " + std::to_string(line) + " (line isn't long enough)";
}

// Extracting coordinates.
inline constexpr const char* FirstLineBelowOne = "The first line to import must be 1 or more";
inline constexpr const char* PointCountBelowOne = "The number of points must be 1 or more";

inline std::string FirstColumnOutOfRange(std::int64_t last)
{
    return "The first column to import must be between 1 and " + std::to_string(last);
}

inline std::string PointsExceedLines(std::int64_t count, std::int64_t lineCount)
{
    return "The number of points (" + std::to_string(count) +
           ") exceeds the number of lines in the file (" + std::to_string(lineCount) + ")";
}

inline std::string LinesSuccessfullyRead(std::int64_t n)
{
    return std::to_string(n) + " lines successfully read";
}

// The data-file worker.
// Raised by a handshake that times out.
inline constexpr const char* ImportWorkerNotResponding = "The matrix import is not responding";
// An extraction asked for before a file has been read.
inline constexpr const char* NoDataFileRead = "No data file has been read";

} // namespace sundrel::msg
