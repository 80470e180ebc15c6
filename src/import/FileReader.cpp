#include "import/FileReader.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Notifier.h"
#include "common/Job.h"
#include "import/Messages.h"

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>
#include <system_error>

namespace sundrel {

namespace {

// Indexing reads the file in blocks of this size.
constexpr std::size_t kIndexBlockSize = std::size_t{1} << 20;
// Field reading and the preview keep a window of the file this large, so that
// consecutive lines are served without further reads.
constexpr std::size_t kWindowSize = std::size_t{256} << 10;
// Longest field that can hold a value; longer ones fail to convert.
constexpr std::size_t kMaxFieldLength = 255;
constexpr std::int64_t kPreviewLineLimit = 256;
constexpr std::size_t kPreviewWidth = 127;

// White space as the C locale classifies it: blank, \t, \n, \v, \f, \r.
inline bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char Toggled(char separator)
{
    return separator == ',' ? '.' : separator == '.' ? ',' : '.';
}

// Converts `text` if it is a decimal number written with `separator`: an
// optional sign, digits with at most one separator (at least one digit), an
// optional exponent, and nothing else. The result is correctly rounded; a
// value too small for a double becomes a zero of its sign, one too large fails.
bool TryConvert(std::string_view text, char separator, double& value)
{
    const std::size_t n = text.size();
    std::size_t i = 0;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissa = i;
    std::size_t separatorAt = std::string_view::npos;
    std::size_t digits = 0;
    // Decimal magnitude of the first significant digit, for telling overflow
    // from underflow: integer digits after leading zeros, fraction zeros.
    std::int64_t integerDigits = 0;
    std::int64_t fractionZeros = 0;
    bool significant = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            ++digits;
            if (separatorAt == std::string_view::npos) {
                if (significant || c != '0') {
                    significant = true;
                    ++integerDigits;
                }
            } else if (!significant) {
                if (c == '0')
                    ++fractionZeros;
                else
                    significant = true;
            }
        } else if (c == separator && separatorAt == std::string_view::npos) {
            separatorAt = i;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    std::int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool exponentNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            exponentNegative = text[i] == '-';
            ++i;
        }
        std::size_t exponentDigits = 0;
        for (; i < n && IsDigit(text[i]); ++i) {
            ++exponentDigits;
            exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), 1000000000);
        }
        if (exponentDigits == 0)
            return false;
        if (exponentNegative)
            exponent = -exponent;
    }
    if (i != n)
        return false;

    // std::from_chars knows only '.', and no leading '+'.
    const std::size_t from = negative ? mantissa - 1 : mantissa;
    const std::size_t length = n - from;
    char local[64];
    std::string heap;
    char* first = local;
    if (length > sizeof local) {
        heap.resize(length);
        first = heap.data();
    }
    std::memcpy(first, text.data() + from, length);
    if (separatorAt != std::string_view::npos)
        first[separatorAt - from] = '.';
    const char* last = first + length;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (end != last)
        return false;
    if (ec == std::errc::result_out_of_range) {
        const std::int64_t magnitude = integerDigits > 0 ? integerDigits - 1 : -(fractionZeros + 1);
        if (magnitude + exponent >= 0)
            return false;
        value = negative ? -0.0 : 0.0;
        return true;
    }
    return ec == std::errc();
}

} // namespace

TextKind ClassifyText(const char* bytes, std::size_t n)
{
    if (n >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                   (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
        return TextKind::Utf16;
    std::size_t zeros = 0, oddZeros = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] == 0) {
            ++zeros;
            oddZeros += i & 1;
        }
    if (zeros == 0)
        return TextKind::Text;
    // ASCII in UTF-16 has a zero in every other byte, all on one side.
    if (zeros * 3 >= n && (oddZeros == zeros || oddZeros == 0))
        return TextKind::Utf16;
    return TextKind::Binary;
}

bool NotText(std::string_view field)
{
    std::size_t i = 0;
    while (i < field.size()) {
        const auto c = static_cast<unsigned char>(field[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        std::size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2
                                        : (c & 0xF8) == 0xF0 ? 3 : 4;
        if (extra == 4 || (extra == 1 && c < 0xC2) || (extra > 0 && i + extra >= field.size()))
            return true;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(field[i + k]) & 0xC0) != 0x80)
                return true;
        i += extra + 1;
    }
    return false;
}

namespace {

// A field that holds no number; ReadValues says where it stands.
class NotAValueError : public Error {
public:
    explicit NotAValueError(std::string_view text) : Error(msg::NotAValue(text)), text_(text) {}
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

[[noreturn]] void ThrowNotAValue(std::string_view text)
{
    throw NotAValueError(text);
}

double Convert(std::string_view text, char& separator)
{
    double value = 0.0;
    if (TryConvert(text, separator, value))
        return value;
    // The other separator stays in force, so in a file written with it only
    // the first number needs the second attempt.
    separator = Toggled(separator);
    if (TryConvert(text, separator, value))
        return value;
    ThrowNotAValue(text);
}

// Convert() for the common case, straight from the file's bytes: with the
// point as separator, a field that std::from_chars reads whole as a finite
// number reads the same through Convert(). Anything else (a comma, a '+',
// an out-of-range or non-finite value, trailing text) takes the full path.
bool ConvertQuickly(const char* first, const char* last, char separator, double& value)
{
    // Fields longer than the limit fail on the full path, whatever the separator.
    if (separator != '.' || first == last || static_cast<std::size_t>(last - first) > kMaxFieldLength)
        return false;
    const char c = *first == '-' && last - first > 1 ? first[1] : *first;
    if (!(IsDigit(c) || c == '.'))
        return false;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    return ec == std::errc() && end == last && std::isfinite(value);
}

void ReportProgress(Notifier* notifier, bool synchronous, int percent)
{
    if (notifier == nullptr)
        return;
    if (synchronous)
        notifier->send(WM_READ_PROGRESS, 0, percent);
    else
        notifier->post(WM_READ_PROGRESS, 0, percent);
}

[[noreturn]] void ThrowPositioning()
{
    throw Error(msg::FilePositioningError);
}

} // namespace

double ConvertField(const std::string& text, char& separator)
{
    return Convert(text, separator);
}

struct FileReader::Impl {
    std::ifstream stream;
    // Offset of the first byte of every line, then the end of the file.
    std::vector<std::int64_t> offsets;
    bool synchronousProgress = false;
    // The job's cancellation (may be null) and the decimal separator this
    // file's numbers were last read with.
    const JobFeedback* cancel = nullptr;
    char separator = '.';

    void CheckCancel() const
    {
        if (cancel && cancel->isCancelled())
            throw Abort(msg::ReadingAborted);
    }

    // A cached stretch of the file: bytes [windowStart, windowStart + windowLength).
    std::vector<char> window;
    std::int64_t windowStart = 0;
    std::size_t windowLength = 0;

    // What the start of the file holds: text, UTF-16 text or other bytes.
    TextKind content = TextKind::Text;

    // Text of the field last read by TakeField, cut after kMaxFieldLength + 1
    // characters; fieldLength is its full length.
    std::string field;
    std::size_t fieldLength = 0;

    void Index(Notifier* progress);

    // Makes the window hold the byte at `position`; false when the file has
    // no byte there.
    bool Load(std::int64_t position)
    {
        if (position >= windowStart && position - windowStart < static_cast<std::int64_t>(windowLength))
            return true;
        if (window.empty())
            window.resize(kWindowSize);
        stream.clear();
        stream.seekg(position);
        if (stream.fail())
            ThrowPositioning();
        stream.read(window.data(), static_cast<std::streamsize>(window.size()));
        if (stream.bad())
            throw Error(msg::FileReadingError);
        windowStart = position;
        windowLength = static_cast<std::size_t>(stream.gcount());
        return windowLength > 0;
    }

    const char* At(std::int64_t position) const
    {
        return window.data() + (position - windowStart);
    }

    const char* WindowEnd() const
    {
        return window.data() + windowLength;
    }

    // Moves `position` to the next non-blank byte; false if none is left.
    bool SkipBlanks(std::int64_t& position)
    {
        for (;;) {
            if (!Load(position))
                return false;
            const char* p = At(position);
            const char* end = WindowEnd();
            while (p < end && IsBlank(*p))
                ++p;
            position = windowStart + (p - window.data());
            if (p < end)
                return true;
        }
    }

    // Reads the next field, moving `position` just past it; false if only
    // white space is left. Keeps the text when `keep`.
    bool TakeField(std::int64_t& position, bool keep)
    {
        if (!SkipBlanks(position))
            return false;
        field.clear();
        fieldLength = 0;
        for (;;) {
            if (!Load(position))
                return true;
            const char* start = At(position);
            const char* p = start;
            const char* end = WindowEnd();
            while (p < end && !IsBlank(*p))
                ++p;
            const auto length = static_cast<std::size_t>(p - start);
            if (keep && field.size() <= kMaxFieldLength)
                field.append(start, std::min(length, kMaxFieldLength + 1 - field.size()));
            fieldLength += length;
            position += static_cast<std::int64_t>(length);
            if (p < end)
                return true;
        }
    }

    double ConvertTakenField()
    {
        if (fieldLength > kMaxFieldLength)
            ThrowNotAValue(field.substr(0, kMaxFieldLength) + "...");
        return Convert(field, separator);
    }
};

void FileReader::Impl::Index(Notifier* progress)
{
    stream.seekg(0, std::ios::end);
    if (stream.fail())
        ThrowPositioning();
    const std::streamoff end = stream.tellg();
    if (end < 0)
        ThrowPositioning();
    const double size = static_cast<double>(end);
    stream.seekg(0, std::ios::beg);
    if (stream.fail())
        ThrowPositioning();

    int reported = 0;
    auto record = [&](std::int64_t position) {
        offsets.push_back(position);
        CheckCancel();
        if (size <= 0.0)
            return;
        const int percent = static_cast<int>(std::min(position / size * 100.0, 100.0));
        if (percent > reported) {
            ReportProgress(progress, synchronousProgress, percent);
            reported = percent;
        }
    };

    offsets.push_back(0);
    std::vector<char> block(kIndexBlockSize);
    std::int64_t blockStart = 0;
    for (;;) {
        stream.read(block.data(), static_cast<std::streamsize>(block.size()));
        if (stream.bad())
            throw Error(msg::FileReadingError);
        const auto got = static_cast<std::size_t>(stream.gcount());
        if (blockStart == 0) {
            // A UTF-8 byte order mark is no part of the first line.
            if (got >= 3 && std::memcmp(block.data(), "\xEF\xBB\xBF", 3) == 0)
                offsets[0] = 3;
            content = ClassifyText(block.data(), got);
        }
        const char* base = block.data();
        const char* p = base;
        const char* last = base + got;
        while (p < last) {
            const void* lineFeed = std::memchr(p, '\n', static_cast<std::size_t>(last - p));
            if (lineFeed == nullptr)
                break;
            p = static_cast<const char*>(lineFeed) + 1;
            record(blockStart + (p - base));
        }
        blockStart += static_cast<std::int64_t>(got);
        if (got < block.size())
            break;
    }
    // The final line ends at the end of the file; after a closing line feed
    // that is an empty line of its own.
    record(blockStart);
    stream.clear();
}

FileReader::FileReader(const std::string& fileName, Notifier* progress, bool synchronousProgress,
                       const JobFeedback* cancel)
    : impl_(nullptr)
{
    auto impl = std::make_unique<Impl>();
    impl->synchronousProgress = synchronousProgress;
    impl->cancel = cancel;
    // Names are UTF-8 on every platform.
    const std::filesystem::path path(std::u8string(fileName.begin(), fileName.end()));
    // Folders, FIFOs and devices are refused before open(), which would
    // block on a FIFO until a writer comes.
    CheckInputFile(path);
    errno = 0;
    impl->stream.open(path, std::ios::in | std::ios::binary);
    if (!impl->stream.is_open())
        throw FileError(msg::ImpossibleToOpen, path, SystemReason(errno ? errno : ENOENT));
    impl->Index(progress);
    impl_ = impl.release();
}

FileReader::~FileReader()
{
    delete impl_;
}

bool FileReader::Cancelled() const
{
    return impl_->cancel && impl_->cancel->isCancelled();
}

void FileReader::CheckCancel() const
{
    impl_->CheckCancel();
}

char FileReader::Separator() const
{
    return impl_->separator;
}

std::int64_t FileReader::LineCount() const
{
    return static_cast<std::int64_t>(impl_->offsets.size()) - 1;
}

void FileReader::ReadValues(std::int64_t lineIndex, int skippedFields, int valueCount, double* values)
{
    Impl& r = *impl_;
    const std::int64_t lineCount = LineCount();
    if (lineIndex < 0 || lineIndex >= lineCount)
        throw Error(msg::CantReadLine(lineIndex));

    std::int64_t position = r.offsets[static_cast<std::size_t>(lineIndex)];
    for (int i = 0; i < skippedFields; ++i) {
        if (!r.TakeField(position, false))
            throw LineError(msg::MissingField(lineIndex + 1, std::int64_t{i} + 1), lineIndex + 1);
    }
    for (int i = 0; i < valueCount; ++i) {
        const std::int64_t column = std::int64_t{i} + skippedFields + 1;
        // A field that ends inside the cached stretch converts in place.
        if (r.SkipBlanks(position)) {
            const char* start = r.At(position);
            const char* end = r.WindowEnd();
            const char* q = start;
            while (q < end && !IsBlank(*q))
                ++q;
            if (q < end && ConvertQuickly(start, q, r.separator, values[i])) {
                position += q - start;
                continue;
            }
        }
        if (!r.TakeField(position, true))
            throw LineError(msg::MissingField(lineIndex + 1, column), lineIndex + 1);
        try {
            values[i] = r.ConvertTakenField();
        } catch (const NotAValueError& e) {
            // Bytes that are no text are described, never shown.
            if (r.content == TextKind::Utf16)
                throw LineError(msg::Utf16TextAt(lineIndex + 1, column), lineIndex + 1);
            if (r.content == TextKind::Binary || NotText(r.field))
                throw LineError(msg::NotTextAt(lineIndex + 1, column), lineIndex + 1);
            // Say where the text stands, as for a missing value.
            throw LineError(msg::NotAValueAt(e.text(), lineIndex + 1, column), lineIndex + 1);
        }
    }
    // Fields are read across line breaks; ending at or past the next line's
    // start means some came from there.
    if (lineIndex + 1 < lineCount && position >= r.offsets[static_cast<std::size_t>(lineIndex) + 1])
        throw LineError(msg::LineTooShort(lineIndex + 1), lineIndex + 1);
}

std::string FileReader::GetPreview(Notifier* progress)
{
    Impl& r = *impl_;
    const std::int64_t lineCount = LineCount();
    const std::int64_t n = std::min(lineCount, kPreviewLineLimit);
    std::string preview;
    std::string text;
    int reported = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        r.CheckCancel();
        std::int64_t position = r.offsets[static_cast<std::size_t>(i)];
        // At most 127 characters, the line feed counting as one (and consumed).
        text.clear();
        std::size_t consumed = 0;
        while (consumed < kPreviewWidth && r.Load(position)) {
            const char c = *r.At(position);
            ++position;
            ++consumed;
            if (c == '\n')
                break;
            text += c;
        }
        char number[16];
        std::snprintf(number, sizeof number, "%3d | ", static_cast<int>(i + 1));
        preview += number;
        // Printed as a C string: a NUL byte ends the text.
        preview += text.c_str();
        if (consumed >= kPreviewWidth)
            preview += " [...]";
        preview += "\r\n";

        const auto percent = static_cast<int>((i * 100 + 100) / n);
        if (percent > reported) {
            ReportProgress(progress, r.synchronousProgress, percent);
            reported = percent;
        }
    }
    if (lineCount > kPreviewLineLimit)
        preview += "[...]\r\n";
    return preview;
}

std::int64_t FileReader::LastNonBlankLine()
{
    Impl& r = *impl_;
    const std::vector<std::int64_t>& offsets = r.offsets;
    // Scan backwards from the end in blocks: trailing blank lines are few.
    constexpr std::int64_t kBlock = 64 << 10;
    std::vector<char> block(static_cast<std::size_t>(kBlock));
    std::int64_t end = offsets.back();
    while (end > 0) {
        const std::int64_t start = std::max<std::int64_t>(0, end - kBlock);
        const auto length = static_cast<std::streamsize>(end - start);
        r.stream.clear();
        r.stream.seekg(start);
        if (r.stream.fail())
            ThrowPositioning();
        r.stream.read(block.data(), length);
        if (r.stream.gcount() != length)
            throw Error(msg::FileReadingError);
        for (std::int64_t k = end - start; k-- > 0;) {
            if (!IsBlank(block[static_cast<std::size_t>(k)])) {
                const auto line = std::upper_bound(offsets.begin(), offsets.end(), start + k) - offsets.begin() - 1;
                return line;
            }
        }
        end = start;
    }
    return -1;
}

} // namespace sundrel
