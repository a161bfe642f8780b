// Tactra's diagnostic log: why no panel could be found or opened, which panel was
// opened, reading errors and restarts. Every line goes to the debugger output;
// with --log also to a file ("Tactra.log" beside the profile file) that never
// grows past its bound: when a line would take it past the bound, the older half
// of the file is dropped. Lines about single reports are written only at the
// verbose level (--log verbose), so the per-report path stays quiet.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace tactra {

enum class LogLevel { kNormal, kVerbose };

class DiagnosticLog {
public:
    // The debugger output (OutputDebugStringA on Windows); called with each line,
    // its line end included.
    using DebugOutput = std::function<void(const char*)>;

    static constexpr size_t kDefaultFileBound = size_t{256} * 1024;  // bytes

    DiagnosticLog() = default;
    ~DiagnosticLog();
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    void SetDebugOutput(DebugOutput output) { debug_ = std::move(output); }
    // Appends to `path` from now on (creating it); false when it cannot be opened,
    // and the log then writes to the debugger output only.
    bool OpenFile(const std::string& path, LogLevel level, size_t bound = kDefaultFileBound);
    void CloseFile();

    // Whether verbose lines are written anywhere (the file at the verbose level).
    bool Verbose() const { return file_ != nullptr && level_ == LogLevel::kVerbose; }

    // One line, printf-style, without its line end.
    void Write(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

private:
    void Append(const std::string& line);
    void DropOlderHalf();

    DebugOutput debug_;
    std::FILE* file_ = nullptr;
    std::string path_;
    LogLevel level_ = LogLevel::kNormal;
    size_t bound_ = kDefaultFileBound;
    size_t size_ = 0;
};

// The program's log, shared by its parts (the panel search, the reading thread):
// silent until the program gives it a debugger output or a file.
DiagnosticLog& ProcessLog();

}  // namespace tactra
