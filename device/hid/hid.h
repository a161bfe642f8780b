// Finding the panel among the HID devices: the device state that discovery fills
// in, and the checks on a device's descriptor that decide whether it can be used as
// the panel (the panel's vendor ID and report layout are in device/panel/panel.h). The
// Win32 calls are in hid_win32.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/screen/contact_layout.h"
#include "device/panel/panel.h"

namespace tactra {

// Interfaces from this index on are never examined.
constexpr int kMaxHidInterfaces = 64;

// The HID attributes of a device.
struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
};

// Device state of one deliverable (Tactra's reader, the library's state).
// `handle` is the platform's file handle.
struct PanelDevice {
    void* handle = nullptr;
    bool openFlag = false;
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;
    int32_t logicalMaxX = 0;
    int32_t logicalMaxY = 0;
    HidAttributes attributes;
    // A touch screen other than the panel, read through its contact layout; its
    // positions reach the reader scaled to 0..kGenericPanelMax, as the maxima say.
    bool touchScreen = false;
    ContactLayout layout;
    std::string path;  // the opened device's path
};

// What a device's descriptor says, as far as the panel needs it.
struct PanelDescriptor {
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;
    int32_t logicalMaxX = 0;
    int32_t logicalMaxY = 0;
};

enum class DescriptorCheck {
    kOk,
    kShortInputReport,  // an input report too short to hold both contacts
    kTooFewValueCaps,   // fewer than three input value capabilities
    kValueCapsFailed,   // the value capabilities could not be read
};

// The platform's invalid-handle value (all bits set).
inline void* InvalidPanelHandle() {
    // The value is the point: no object lives there.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<void*>(~static_cast<uintptr_t>(0));
}

// Handle := the invalid-handle value, not open, the three report lengths := 0, not a
// touch screen. The maxima, attributes and path keep their values.
void ResetPanelDevice(PanelDevice& device);

// A report length is usable when a whole panel report fits in it.
bool InputReportLengthUsable(uint16_t inputReportLength);

// Checks the capabilities read from a device and, when usable, takes the logical
// maxima from the second and third input value capability. `logicalMaxima` holds
// the LogicalMax of each capability the device returned, in order.
DescriptorCheck CheckPanelDescriptor(uint16_t inputReportLength, bool valueCapsRead,
                                     const std::vector<int32_t>& logicalMaxima,
                                     PanelDescriptor& descriptor);

// Room for the device path inside an interface detail record of `detailSize` bytes
// whose path starts at `pathOffset`; 0 when the record has no room for a path.
size_t DevicePathCapacity(size_t detailSize, size_t pathOffset);

// Copies a device path that lies in a record with room for `sourceCapacity` bytes
// into `buffer` of `bufferSize` bytes, terminator included. Fails, leaving an empty
// string when the buffer has room, when the path has no terminator within the
// record or does not fit the buffer.
bool CopyDevicePath(const char* source, size_t sourceCapacity, char* buffer, size_t bufferSize);

// A usable touch device that discovery found (and closed again).
struct FoundTouchDevice {
    std::string path;
    HidAttributes attributes;
    bool touchScreen = false;
    std::string identity;    // DeviceIdentity (device/mapping/device_sections.h)
    bool ambiguous = false;  // a device found before it has the same identity
    size_t order = 0;        // its place among the finds before they were arranged
};

// Puts discovery's finds in the order they are served (every panel, then every touch
// screen, each in enumeration order), gives each its identity, marks a device whose
// identity an earlier one has, and keeps the first kMaxTouchDevices. One line for the
// log per device marked or dropped goes to `notes`.
void ArrangeTouchDevices(std::vector<FoundTouchDevice>& found, std::vector<std::string>& notes);

// Whether two device paths name one device: raw input and discovery differ in the
// first characters ("\\??\" or "\\?\") and in letter case.
bool SameDevicePath(const std::string& a, const std::string& b);

// "0EEF:0001 panel", "6615:0070 touch screen": a device as the main dialog lists it.
std::string TouchDeviceName(const FoundTouchDevice& device);

// The start report for a panel whose output reports are `outputReportLength`
// bytes long; empty when the panel has no output report that can hold it.
std::vector<uint8_t> MakeStartReport(uint16_t outputReportLength);

}  // namespace tactra
