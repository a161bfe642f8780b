// The Win32 layer's one way to report an outcome: success, or failure with its
// reason in words (what failed, with the system's error code where there is one).
// The adapter that fails writes the reason; its caller decides what to do with it
// (log it, try again later, show it). Ports whose answers are values (a display
// mode, a key state) keep returning them; Result is for steps that can fail.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tactra {

class [[nodiscard]] Result {
public:
    static Result Success() { return Result(); }
    // A failure; `format` is printf-style.
    static Result Failure(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 1, 2)))
#endif
    {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        Result r;
        r.ok_ = false;
        r.reason_ = text;
        return r;
    }

    bool Ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // Empty for a success.
    const std::string& Reason() const { return reason_; }
    const char* ReasonText() const { return reason_.c_str(); }

private:
    bool ok_ = true;
    std::string reason_;
};

}  // namespace tactra
