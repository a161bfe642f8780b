#include "device/hid/latency.h"

#include <algorithm>
#include <cstdio>

namespace tactra {

LatencyStats::LatencyStats() = default;

void LatencyStats::Add(uint32_t microseconds) {
    // The room is taken once, at the first sample: a reading that is never measured
    // takes none.
    if (samples_.capacity() == 0) samples_.reserve(kLatencySamplesKept);
    ++batches_;
    max_ = std::max(max_, microseconds);
    if (samples_.size() < kLatencySamplesKept) samples_.push_back(microseconds);
}

LatencySummary LatencyStats::TakeSummary() {
    LatencySummary summary;
    summary.batches = batches_;
    summary.maxUs = max_;
    if (!samples_.empty()) {
        // Nearest rank: the smallest sample with at least that share at or below it.
        const auto rank = [this](size_t percent) {
            const size_t n = samples_.size();
            const size_t index = (n * percent + 99) / 100;
            return index == 0 ? 0 : index - 1;
        };
        const size_t median = rank(50);
        const size_t p99 = rank(99);
        std::nth_element(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(p99),
                         samples_.end());
        summary.p99Us = samples_[p99];
        std::nth_element(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(median),
                         samples_.begin() + static_cast<std::ptrdiff_t>(p99));
        summary.medianUs = median == p99 ? summary.p99Us : samples_[median];
    }
    samples_.clear();
    batches_ = 0;
    max_ = 0;
    return summary;
}

std::string FormatLatencyLine(const std::string& device, const LatencySummary& summary) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "touch latency %s: %llu batches, median %u us, p99 %u us, max %u us",
                  device.c_str(), static_cast<unsigned long long>(summary.batches),
                  static_cast<unsigned>(summary.medianUs), static_cast<unsigned>(summary.p99Us),
                  static_cast<unsigned>(summary.maxUs));
    return text;
}

}  // namespace tactra
