// The line-indexed text reader on arbitrary files. The whole input is the
// file; its first two bytes also choose how many fields ReadValues skips and
// converts, and whether progress is sent or posted. sundrel::Error and
// sundrel::Abort are expected answers; anything else is a finding.

#include "ScratchFile.h"

#include "common/Errors.h"
#include "common/Notifier.h"
#include "import/FileReader.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

bool IsBlank(std::uint8_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Progress is a percentage in a WM_READ_PROGRESS message.
class ProgressCheck : public sundrel::Notifier {
public:
    void post(int message, std::intptr_t wParam, std::intptr_t lParam) override
    {
        if (message != sundrel::WM_READ_PROGRESS || wParam != 0 || lParam < 0 || lParam > 100)
            __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static sundrel::fuzz::ScratchFile file("sundrel-fuzz-file-reader");
    // Every reader starts with the point as separator and no cancellation.
    file.Write(data, size);

    const int skipped = size > 0 ? data[0] % 4 : 0;
    const bool synchronous = size > 0 && (data[0] & 4) != 0;
    const int count = size > 1 ? data[1] % 6 + 1 : 2;
    ProgressCheck progress;

    try {
        sundrel::FileReader reader(file.path().string(), &progress, synchronous);

        // One line more than there are line feeds; the last non-blank line is
        // the one holding the last byte that is not white space, a leading
        // UTF-8 byte order mark being no part of any line.
        const std::int64_t lines = reader.LineCount();
        if (lines != std::count(data, data + size, '\n') + 1)
            __builtin_trap();
        const std::size_t firstByte =
            size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
        std::int64_t expectedLast = -1;
        for (std::size_t k = size; k-- > firstByte;) {
            if (!IsBlank(data[k])) {
                expectedLast = std::count(data, data + k, '\n');
                break;
            }
        }

        const std::string preview = reader.GetPreview(nullptr);
        if (size > 2 && (data[2] & 1) != 0 && reader.GetPreview(&progress) != preview)
            __builtin_trap();
        const std::int64_t last = reader.LastNonBlankLine();
        if (last != expectedLast)
            __builtin_trap();

        std::vector<double> values(static_cast<std::size_t>(count));
        for (const std::int64_t line : {std::int64_t{0}, std::int64_t{1}, lines / 2, last,
                                        lines - 1, lines, std::int64_t{-1}}) {
            try {
                reader.ReadValues(line, skipped, count, values.data());
                // Too large a value fails to convert; no infinity, no NaN.
                for (const double v : values)
                    if (!std::isfinite(v))
                        __builtin_trap();
            } catch (const sundrel::Error&) {
            }
        }
    } catch (const sundrel::Error&) {
    } catch (const sundrel::Abort&) {
    }
    file.Remove();
    return 0;
}
