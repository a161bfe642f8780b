// How long a touch takes: for each batch of a device, the time from its read's
// completion to the last input event sent for it. The samples of the current
// period are kept (room reserved at the first, so that a sample costs no allocation) and
// summed up as batches, median, 99th percentile and maximum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tactra {

// How often the verbose log gets the figures.
constexpr uint32_t kLatencyReportPeriodMs = 60000;
// Samples kept per period; beyond it every further sample is counted in the maximum
// and the count but not in the percentiles (1,000 reports/s for a minute fit).
constexpr size_t kLatencySamplesKept = 65536;

struct LatencySummary {
    uint64_t batches = 0;
    uint32_t medianUs = 0;
    uint32_t p99Us = 0;
    uint32_t maxUs = 0;
};

class LatencyStats {
public:
    LatencyStats();
    void Add(uint32_t microseconds);
    // The period's figures (all 0 without a batch); the next period starts empty.
    LatencySummary TakeSummary();

private:
    std::vector<uint32_t> samples_;
    uint64_t batches_ = 0;
    uint32_t max_ = 0;
};

// "touch latency DEVICE: N batches, median M us, p99 P us, max X us".
std::string FormatLatencyLine(const std::string& device, const LatencySummary& summary);

}  // namespace tactra
