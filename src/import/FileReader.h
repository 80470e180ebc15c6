#pragma once
// Random access, by line number, to the numbers of a plain text data file.
// Opening indexes the start of every line once; any line can then be read
// again directly, skipping leading fields and converting the next ones.

#include <cstdint>
#include <string>
#include <vector>

namespace sundrel {

class Notifier;

// Progress of indexing and previewing: wParam 0, lParam the percentage.
constexpr int WM_READ_PROGRESS = 0x8000 + 1001;

// The process-wide reading abort flag; atomic, so any thread may set it
// while a reader polls it.
bool IsReadingAborted();
void SetReadingAborted(bool aborted);

// The process-wide decimal separator used by number conversion ('.' or ',').
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Converts one field with the current separator; when that fails, toggles the
// process-wide separator and tries once more. Raises Error with a message
// naming the text when both attempts fail.
double ConvertField(const std::string& text);

class FileReader {
public:
    // Opens and indexes `fileName`, reporting WM_READ_PROGRESS to `progress`
    // (may be null): sent and waited for when `synchronousProgress`, else posted.
    FileReader(const std::string& fileName, Notifier* progress, bool synchronousProgress);
    ~FileReader();

    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Number of indexed lines.
    std::int64_t LineCount() const;

    // Skips `skippedFields` fields of line `lineIndex` (0-based), then converts
    // `valueCount` fields into `values`.
    void ReadValues(std::int64_t lineIndex, int skippedFields, int valueCount, double* values);

    // The fixed-width preview of the first 256 lines.
    std::string GetPreview(Notifier* progress);

    // Index of the last line holding anything but white space, or -1.
    std::int64_t LastNonBlankLine();

private:
    struct Impl;
    Impl* impl_;
};

} // namespace sundrel
