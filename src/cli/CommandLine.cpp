#include "cli/CommandLine.h"

#include "cli/Messages.h"
#include "common/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <cmath>
#include <cstdio>

namespace sundrel::cli {

Arguments::Arguments(int argc, char** argv, int first)
{
    for (int i = first; i < argc; ++i)
        args_.emplace_back(argv[i]);
}

std::string Arguments::Next()
{
    return args_[pos_++];
}

bool Arguments::Take(const std::string& name)
{
    if (!Done() && args_[pos_] == name) {
        ++pos_;
        return true;
    }
    return false;
}

std::string Arguments::Value(const std::string& option)
{
    if (Done())
        throw UsageError("option " + option + " needs a value");
    return Next();
}

bool Arguments::IsOption() const
{
    return !Done() && args_[pos_].size() > 1 && args_[pos_][0] == '-' &&
           !(args_[pos_][1] >= '0' && args_[pos_][1] <= '9') && args_[pos_][1] != '.';
}

void Arguments::TakeOperand(std::string& operand)
{
    if (IsOption())
        throw UsageError("unknown option " + Next());
    if (!operand.empty())
        throw UsageError("unexpected argument " + Next());
    operand = Next();
}

void CheckOutput(const std::string& file, const char* kind, const char* extension)
{
    if (extension) {
        std::string actual = std::filesystem::path(file).extension().string();
        std::transform(actual.begin(), actual.end(), actual.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (actual != extension)
            throw UsageError(msg::WrongExtension(file, kind, extension));
    }
    CheckOutputTarget(file);
}

std::int64_t ParseInteger(const std::string& text, const std::string& what, std::int64_t min,
                          std::int64_t max)
{
    std::int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end || v < min || v > max)
        throw UsageError(what + " must be a whole number from " + std::to_string(min) +
                         (max == INT64_MAX ? std::string(" up") : " to " + std::to_string(max)) +
                         ", not '" + text + "'");
    return v;
}

double ParseDouble(const std::string& text, const std::string& what)
{
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end || !std::isfinite(v))
        throw UsageError(what + " must be a number, not '" + text + "'");
    return v;
}

std::string FormatDouble(double v)
{
    char buf[64];
    const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, p) : std::string("nan");
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

} // namespace sundrel::cli
