#pragma once
// Random access, by line number, to the numbers of a plain text data file.
// Opening indexes the start of every line once; any line can then be read
// again directly, skipping leading fields and converting the next ones.

#include "common/Errors.h"
#include "import/Messages.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sundrel {

class JobFeedback;
class Notifier;

// Converts one field with `separator` ('.' or ','); when that fails,
// toggles `separator` and tries once more, so that in a file written with
// the other separator only the first number needs two attempts. Raises Error
// with a message naming the text when both attempts fail.
double ConvertField(const std::string& text, char& separator);

// What a file that is not plain text holds, told from its first block: a
// UTF-16 byte order mark or zero bytes between characters, or other zero
// bytes (binary data).
enum class TextKind { Text, Utf16, Binary };
TextKind ClassifyText(const char* bytes, std::size_t n);

// True when a field holds bytes no text would: controls, or bytes that are
// not UTF-8.
bool NotText(std::string_view field);

// A failure at one line of a file: the message names the line; its number
// travels with it for callers that help with that line (a header, say).
class LineError : public Error {
public:
    LineError(const std::string& message, std::int64_t line) : Error(message), line_(line) {}
    std::int64_t line() const { return line_; }

private:
    std::int64_t line_;
};

class FileReader {
public:
    // Opens and indexes `fileName`, reporting WM_READ_PROGRESS to `progress`
    // (may be null): sent and waited for when `synchronousProgress`, else
    // posted. Indexing, previews and the readers' callers stop with the
    // silent abort "aborted" once `cancel` (the job's feedback, may be null)
    // is cancelled.
    FileReader(const std::string& fileName, Notifier* progress, bool synchronousProgress,
               const JobFeedback* cancel = nullptr);
    ~FileReader();

    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // The job's cancellation, for the loops that read through this reader.
    bool Cancelled() const;
    void CheckCancel() const; // raises Abort("aborted") once cancelled
    // The decimal separator that the last conversion succeeded with; each
    // reader starts with '.'.
    char Separator() const;

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
