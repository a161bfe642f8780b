// Finding the panel among the HID devices: the panel's vendor IDs, the device state
// that discovery fills in, and the checks on a device's descriptor that decide
// whether it can be used as the panel. The Win32 calls are in hid_win32.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/contact_layout.h"

namespace tactra {

// The USB vendor ID that identifies the panel (the product ID plays no part).
constexpr uint16_t kPanelVendorId = 0x0EEF;
// The second vendor ID whose raw input the library accepts (3823). It is the same
// vendor as the panel's; the two names are kept so that either can change alone.
constexpr uint16_t kAltPanelVendorId = 0x0EEF;

// Interfaces from this index on are never examined.
constexpr int kMaxHidInterfaces = 64;

// X and Y are the second and third input value capabilities.
constexpr size_t kMinInputValueCaps = 3;

// Bytes 0 and 1 of the start report; the rest of the report is zero.
constexpr uint8_t kStartReportId = 0;
constexpr uint8_t kStartReportValue = 1;

// The HID attributes of an opened panel (stored by the library).
struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
};

// Device state of one deliverable. `handle` is the platform's file handle.
struct PanelDevice {
    void* handle = nullptr;
    int32_t openFlag = 0;
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

// The start report for a panel whose output reports are `outputReportLength`
// bytes long; empty when the panel has no output report that can hold it.
std::vector<uint8_t> MakeStartReport(uint16_t outputReportLength);

}  // namespace tactra
