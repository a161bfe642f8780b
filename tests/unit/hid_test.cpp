// The checks that decide whether a HID device can serve as the panel, and the
// bounded handling of device paths and the start report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/hid/hid.h"
#include "device/hid/latency.h"

namespace tactra {
namespace {

TEST(PanelDescriptorTest, TakesMaximaFromSecondAndThirdValueCapability) {
    PanelDescriptor d;
    ASSERT_EQ(CheckPanelDescriptor(14, true, {255, 4095, 2047, 7}, d), DescriptorCheck::kOk);
    EXPECT_EQ(d.logicalMaxX, 4095);
    EXPECT_EQ(d.logicalMaxY, 2047);
    EXPECT_EQ(d.inputReportLength, 14);
}

TEST(PanelDescriptorTest, RefusesDescriptorsThatCannotCarryThePanelReport) {
    PanelDescriptor d;
    d.logicalMaxX = 11;
    d.logicalMaxY = 22;
    EXPECT_EQ(CheckPanelDescriptor(12, true, {1, 2, 3}, d), DescriptorCheck::kShortInputReport);
    EXPECT_EQ(CheckPanelDescriptor(0, true, {1, 2, 3}, d), DescriptorCheck::kShortInputReport);
    EXPECT_EQ(CheckPanelDescriptor(13, true, {1, 2}, d), DescriptorCheck::kTooFewValueCaps);
    EXPECT_EQ(CheckPanelDescriptor(13, true, {}, d), DescriptorCheck::kTooFewValueCaps);
    EXPECT_EQ(CheckPanelDescriptor(13, false, {1, 2, 3}, d), DescriptorCheck::kValueCapsFailed);
    // A refused descriptor leaves what the caller had.
    EXPECT_EQ(d.logicalMaxX, 11);
    EXPECT_EQ(d.logicalMaxY, 22);
    EXPECT_EQ(CheckPanelDescriptor(13, true, {0, 1, 2}, d), DescriptorCheck::kOk);
    EXPECT_TRUE(InputReportLengthUsable(13));
    EXPECT_FALSE(InputReportLengthUsable(12));
}

TEST(DevicePathTest, CopyIsBoundedByTheRecordAndTheBuffer) {
    const char record[] = "\\\\?\\hid#vid_0eef&pid_0001#1";  // with its terminator
    char buffer[64];
    ASSERT_TRUE(CopyDevicePath(record, sizeof record, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, record);

    // Exactly fitting, one byte short.
    std::vector<char> exact(sizeof record, 'x');
    EXPECT_TRUE(CopyDevicePath(record, sizeof record, exact.data(), exact.size()));
    EXPECT_STREQ(exact.data(), record);
    std::vector<char> shorter(sizeof record - 1, 'x');
    EXPECT_FALSE(CopyDevicePath(record, sizeof record, shorter.data(), shorter.size()));
    EXPECT_EQ(shorter[0], '\0');
    EXPECT_EQ(shorter.back(), 'x');  // nothing written past the start

    // A path without a terminator inside its record is not read past the record.
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(CopyDevicePath(unterminated, sizeof unterminated, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(CopyDevicePath(record, sizeof record, buffer, 0));
    EXPECT_FALSE(CopyDevicePath(nullptr, 10, buffer, sizeof buffer));
}

TEST(DevicePathTest, CapacityComesFromTheDetailRecordSize) {
    EXPECT_EQ(DevicePathCapacity(100, 4), 96u);
    EXPECT_EQ(DevicePathCapacity(4, 4), 0u);
    EXPECT_EQ(DevicePathCapacity(2, 4), 0u);
}

TEST(StartReportTest, ReportIdZeroThenOneThenZeros) {
    EXPECT_EQ(MakeStartReport(2), (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(MakeStartReport(5), (std::vector<uint8_t>{0, 1, 0, 0, 0}));
    // No output report, or one too short for the command: nothing is written.
    EXPECT_TRUE(MakeStartReport(0).empty());
    EXPECT_TRUE(MakeStartReport(1).empty());
}

// Nearest-rank percentiles over the period's samples; a full period still counts the
// batches and the maximum it could not keep.
TEST(LatencyStats, MedianP99AndMaximumPerPeriod) {
    LatencyStats stats;
    EXPECT_EQ(FormatLatencyLine("A", stats.TakeSummary()),
              "touch latency A: 0 batches, median 0 us, p99 0 us, max 0 us");
    for (uint32_t us = 200; us >= 1; --us) stats.Add(us);
    LatencySummary s = stats.TakeSummary();
    EXPECT_EQ(s.batches, 200u);
    EXPECT_EQ(s.medianUs, 100u);
    EXPECT_EQ(s.p99Us, 198u);
    EXPECT_EQ(s.maxUs, 200u);
    stats.Add(7);
    s = stats.TakeSummary();
    EXPECT_EQ(s.medianUs, 7u);
    EXPECT_EQ(s.p99Us, 7u);
    for (size_t i = 0; i < kLatencySamplesKept; ++i) stats.Add(10);
    stats.Add(5000);
    s = stats.TakeSummary();
    EXPECT_EQ(s.batches, kLatencySamplesKept + 1);
    EXPECT_EQ(s.p99Us, 10u);
    EXPECT_EQ(s.maxUs, 5000u);
}

}  // namespace
}  // namespace tactra
