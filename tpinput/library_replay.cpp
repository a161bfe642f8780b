#include "tpinput/library_replay.h"

#include <utility>

namespace tactra {

bool LibraryReplay::Load(const std::string& path, std::string& message) {
    TraceOptions options;
    options.library = true;
    ReplayScript script;
    if (!LoadReplayScript(path, options, script, message)) return false;
    script_ = std::move(script);
    loaded_ = true;
    started_ = false;
    next_ = 0;
    return true;
}

int32_t LibraryReplay::LogicalMaxX() const {
    return script_.reports.empty() ? kDefaultTraceLogicalMax : script_.reports[0].logicalMaxX;
}

int32_t LibraryReplay::LogicalMaxY() const {
    return script_.reports.empty() ? kDefaultTraceLogicalMax : script_.reports[0].logicalMaxY;
}

void LibraryReplay::Start(uint32_t now) {
    if (started_) return;
    start_ = now;
    started_ = true;
}

const ReplayReport* LibraryReplay::TakeDue(uint32_t now) {
    if (!started_) return nullptr;
    const uint32_t elapsed = now - start_;
    size_t i = next_.load();
    while (i < script_.reports.size() && script_.reports[i].tick <= elapsed) {
        // Another thread may have taken it meanwhile: then `i` is reloaded.
        if (next_.compare_exchange_weak(i, i + 1)) return &script_.reports[i];
    }
    return nullptr;
}

bool LibraryReplay::NextDelay(uint32_t now, uint32_t& delay) const {
    const size_t i = next_.load();
    if (!started_ || i >= script_.reports.size()) return false;
    const uint32_t elapsed = now - start_;
    const uint32_t tick = script_.reports[i].tick;
    delay = tick > elapsed ? tick - elapsed : 0;
    return true;
}

}  // namespace tactra
