#include "platform/diagnostic_log.h"

#include <cstdarg>
#include <vector>

namespace tactra {

DiagnosticLog::~DiagnosticLog() { CloseFile(); }

DiagnosticLog& ProcessLog() {
    static DiagnosticLog log;
    return log;
}

bool DiagnosticLog::OpenFile(const std::string& path, LogLevel level, size_t bound) {
    CloseFile();
    file_ = std::fopen(path.c_str(), "ab");
    if (file_ == nullptr) return false;
    path_ = path;
    level_ = level;
    bound_ = bound < 2 ? 2 : bound;
    std::fseek(file_, 0, SEEK_END);
    const long size = std::ftell(file_);
    size_ = size > 0 ? static_cast<size_t>(size) : 0;
    if (size_ > bound_) DropOlderHalf();
    return file_ != nullptr;
}

void DiagnosticLog::CloseFile() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

void DiagnosticLog::Write(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return;
    std::string line(text);  // cut at the buffer: a log line is short
    line += "\r\n";
    if (debug_) debug_(line.c_str());
    if (file_ != nullptr) Append(line);
}

void DiagnosticLog::Append(const std::string& line) {
    if (size_ + line.size() > bound_) DropOlderHalf();
    if (file_ == nullptr) return;
    if (std::fwrite(line.data(), 1, line.size(), file_) == line.size()) size_ += line.size();
    std::fflush(file_);
}

// Keeps the newer half of the file, from the first line that starts in it.
void DiagnosticLog::DropOlderHalf() {
    std::fclose(file_);
    file_ = nullptr;
    std::vector<char> data;
    if (std::FILE* in = std::fopen(path_.c_str(), "rb")) {
        char chunk[16384];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0)
            data.insert(data.end(), chunk, chunk + n);
        std::fclose(in);
    }
    size_t keep = data.size() > bound_ / 2 ? data.size() - bound_ / 2 : 0;
    while (keep > 0 && keep < data.size() && data[keep - 1] != '\n') ++keep;
    file_ = std::fopen(path_.c_str(), "wb");
    if (file_ == nullptr) return;
    const size_t rest = data.size() - keep;
    size_ = rest > 0 ? std::fwrite(data.data() + keep, 1, rest, file_) : 0;
    std::fflush(file_);
}

}  // namespace tactra
