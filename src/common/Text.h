#pragma once
// Text encodings at the edges of the program: texts are UTF-8 in memory, and
// Windows-1252 where the document and report formats hold 8-bit text.

#include <string>
#include <string_view>

namespace sundrel {

// Windows-1252 bytes to UTF-8 (the five undefined bytes map to U+FFFD).
std::string Cp1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252; characters it cannot hold become '?', and invalid
// UTF-8 bytes are taken as Windows-1252 already.
std::string Utf8ToCp1252(std::string_view text);

} // namespace sundrel
