#include "device/hid/hid.h"

#include <cstring>

#include "device/panel/touch_report.h"

namespace tactra {

bool InputReportLengthUsable(uint16_t inputReportLength) {
    return inputReportLength >= kPanelReportMinLength;
}

DescriptorCheck CheckPanelDescriptor(uint16_t inputReportLength, bool valueCapsRead,
                                     const std::vector<int32_t>& logicalMaxima,
                                     PanelDescriptor& descriptor) {
    if (!InputReportLengthUsable(inputReportLength)) return DescriptorCheck::kShortInputReport;
    if (!valueCapsRead) return DescriptorCheck::kValueCapsFailed;
    if (logicalMaxima.size() < kMinInputValueCaps) return DescriptorCheck::kTooFewValueCaps;
    descriptor.inputReportLength = inputReportLength;
    descriptor.logicalMaxX = logicalMaxima[1];
    descriptor.logicalMaxY = logicalMaxima[2];
    return DescriptorCheck::kOk;
}

size_t DevicePathCapacity(size_t detailSize, size_t pathOffset) {
    return detailSize > pathOffset ? detailSize - pathOffset : 0;
}

bool CopyDevicePath(const char* source, size_t sourceCapacity, char* buffer, size_t bufferSize) {
    if (buffer == nullptr || bufferSize == 0) return false;
    buffer[0] = '\0';
    if (source == nullptr) return false;
    const void* end = std::memchr(source, '\0', sourceCapacity);
    if (end == nullptr) return false;
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - source);
    if (length + 1 > bufferSize) return false;
    std::memcpy(buffer, source, length + 1);
    return true;
}

void ResetPanelDevice(PanelDevice& device) {
    device.handle = InvalidPanelHandle();
    device.openFlag = false;
    device.inputReportLength = 0;
    device.outputReportLength = 0;
    device.featureReportLength = 0;
    device.touchScreen = false;
    device.layout.fingerCount = 0;
}

std::vector<uint8_t> MakeStartReport(uint16_t outputReportLength) {
    if (outputReportLength < 2) return {};
    std::vector<uint8_t> report(outputReportLength, 0);
    report[0] = kStartReportId;
    report[1] = kStartReportValue;
    return report;
}

}  // namespace tactra
