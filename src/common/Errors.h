#pragma once
// The three kinds of failure of the core: a general error whose message is
// shown to the user, a range error (only for running out of sundrel start
// segments) and a silent abort used for cancelling, which is never shown.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace sundrel {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// General error: its message is the system's own text, shown as is.
class Error : public Exception {
public:
    using Exception::Exception;
};

// A general error about one file: its message is the system's own text (what
// the window shows); the file and the system's reason ("No such file or
// directory") travel with it for callers that name them.
class FileError : public Error {
public:
    FileError(const char* message, std::filesystem::path file, std::string reason)
        : Error(message), file_(std::move(file)), reason_(std::move(reason))
    {
    }
    const std::filesystem::path& file() const { return file_; }
    const std::string& reason() const { return reason_; }

private:
    std::filesystem::path file_;
    std::string reason_;
};

// The system's text for an errno value ("Permission denied").
std::string SystemReason(int errorNumber);

// Range error: raised only when no further sundrel can be constructed.
class RangeError : public Exception {
public:
    using Exception::Exception;
};

// Silent abort: ends a cancelled job; callers never show it.
class Abort : public Exception {
public:
    using Exception::Exception;
};

} // namespace sundrel
