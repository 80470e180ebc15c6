#pragma once
// The three kinds of failure of the core: a general error whose message is
// shown to the user, a range error (only for running out of sundrel start
// segments) and a silent abort used for cancelling, which is never shown.

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
