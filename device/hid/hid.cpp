#include "device/hid/hid.h"

#include <cctype>
#include <cstring>

#include "device/mapping/device_sections.h"
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

void ArrangeTouchDevices(std::vector<FoundTouchDevice>& found, std::vector<std::string>& notes) {
    // Every panel, then every screen, each kind in the order found.
    std::vector<FoundTouchDevice> ordered;
    ordered.reserve(found.size());
    for (int screens = 0; screens < 2; ++screens) {
        for (size_t i = 0; i < found.size(); ++i) {
            if (found[i].touchScreen != (screens == 1)) continue;
            ordered.push_back(found[i]);
            ordered.back().order = i;
        }
    }
    found.swap(ordered);
    for (size_t i = 0; i < found.size(); ++i) {
        FoundTouchDevice& d = found[i];
        d.identity = DeviceIdentity(d.attributes.vendorId, d.attributes.productId, d.path);
        d.ambiguous = false;
        for (size_t j = 0; j < i; ++j) d.ambiguous = d.ambiguous || found[j].identity == d.identity;
        if (d.ambiguous) {
            notes.push_back("HID " + d.path + ": the same identity as another device (" +
                            d.identity + "): read with the defaults");
        }
    }
    if (found.size() > static_cast<size_t>(kMaxTouchDevices)) {
        for (size_t i = kMaxTouchDevices; i < found.size(); ++i) {
            notes.push_back("HID " + found[i].path + ": skipped, more than " +
                            std::to_string(kMaxTouchDevices) + " touch devices");
        }
        found.resize(kMaxTouchDevices);
    }
}

bool SameDevicePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.size() < 4) return false;
    for (size_t i = 4; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string TouchDeviceName(const FoundTouchDevice& device) {
    return device.identity.substr(0, 9) + (device.touchScreen ? " touch screen" : " panel");
}

}  // namespace tactra
