// The one exception type of the program: a message meant for the user.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace platform {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, DWORD systemCode = 0)
        : std::runtime_error(message), systemCode_(systemCode) {}
    // The system's error code behind the failure, where one is known (0: none).
    DWORD SystemCode() const { return systemCode_; }

private:
    DWORD systemCode_;
};

// printf-style formatting into a std::string (the user-visible texts carry %s/%d).
std::string Format(const char* fmt, ...);

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

// Error for the calling thread's last system error, worded as
// "System Error.  Code: <n>.\r\n<system text>".
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(DWORD code);

}  // namespace platform
