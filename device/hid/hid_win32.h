// HID discovery on Windows: enumerating the HID interfaces, opening and counting
// panels, reading a panel's report lengths and coordinate ranges, and the start
// report. Shared by Tactra (start report) and the library (vendor ID as a parameter,
// attributes stored); both open the panel for overlapped I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/hid/hid.h"
#include "platform/result.h"

namespace tactra {

struct PanelOpenOptions {
    uint16_t vendorId = kPanelVendorId;
    bool overlapped = false;  // opened with FILE_FLAG_OVERLAPPED
    // Refuse a device whose descriptor cannot carry the panel report (input report
    // shorter than 13 bytes, fewer than three input value capabilities, value
    // capabilities that cannot be read). Only a caller that counts devices of
    // another vendor has reason to switch it off.
    bool requirePanelDescriptor = true;
    // Also take a HID touch screen of any vendor whose capabilities give a usable
    // contact layout (device/screen/contact_layout.h); a panel of `vendorId` is preferred.
    bool acceptTouchScreens = false;
};

// Reads the contact layout of an open device from its HID capabilities: a Digitizers
// / Touch Screen top-level collection whose contact slots (found over its link
// collections by FindContactSlots) hold, the first of them, Tip Switch, Contact
// Identifier, X and Y. Each field's bits are found by setting it in a zeroed report,
// since the capabilities give no offsets. Fails with what the device lacked.
Result ReadContactLayout(void* handle, ContactLayout& layout);

// Sets an open touch screen's Device Mode feature to multi-input. Succeeds at once
// for a screen without the feature.
Result SetDeviceMode(const PanelDevice& device);
// The same, with a failure written to the log; the screen is read either way.
void SetDeviceModeOrLog(const PanelDevice& device);

// The device path of the `index`-th present HID interface, copied with its
// terminator into `buffer`. Returns 1, or 0 when there is no such interface, the
// index is 64 or more, or the path does not fit the buffer.
int GetInterfacePath(int index, char* buffer, size_t bufferSize);
// The same, with the path sized from the interface detail record.
bool GetInterfacePath(int index, std::string& path);

// Opens the device at `path` and returns its handle when it is a panel (vendor ID
// and, unless switched off, its descriptor) or, with `acceptTouchScreens`, a usable
// touch screen; otherwise the invalid-handle value, with any handle opened for the
// test closed again. On success the device's attributes go to `attributes` when
// given, and a touch screen's layout to `screen` (its fingerCount stays 0 for a
// panel).
void* OpenPanel(const char* path, const PanelOpenOptions& options = PanelOpenOptions(),
                HidAttributes* attributes = nullptr, ContactLayout* screen = nullptr);

// Number of interfaces, from index 0 up to the first that yields no path, that
// open as a panel. Each match's attributes go to `lastMatch` when given (the last
// match wins).
int CountPanels(const PanelOpenOptions& options = PanelOpenOptions(),
                HidAttributes* lastMatch = nullptr);

// Keeps the first panel in enumeration order open in `device`, with its report
// lengths and attributes; without a panel, the first touch screen (with
// `acceptTouchScreens`; `device.touchScreen` and its layout set). Every other device
// found is closed again. Each panel found
// also leaves its attributes in `lastMatch` when given (the last one wins). Fails
// when no panel was found (each interface skipped is logged with its reason).
Result OpenFirstPanel(PanelDevice& device, const PanelOpenOptions& options = PanelOpenOptions(),
                      HidAttributes* lastMatch = nullptr);
// Every usable panel and touch screen, each opened to be checked and closed again, in
// the order ArrangeTouchDevices gives (its notes go to the log). The interfaces named
// in `skip` (devices being read) are not opened and not listed.
void ListTouchDevices(const PanelOpenOptions& options, const std::vector<std::string>& skip,
                      std::vector<FoundTouchDevice>& found);

// Opens the device at `path` into `device` as OpenFirstPanel keeps its find: handle,
// report lengths, attributes and, for a touch screen, its layout. Fails when the
// device is gone or no longer usable.
Result OpenPanelAt(PanelDevice& device, const std::string& path, const PanelOpenOptions& options);

// The device path of a raw-input device handle; empty when it cannot be read.
std::string RawInputDeviceName(void* rawDevice);

// The failure of finding no panel of `vendorId`, in the words the log's readers know
// whether touch screens were looked for or not.
Result NoPanelFound(uint16_t vendorId);

// Reads the logical maxima of X and Y (and the input report length again) from the
// open panel. Fails, with the maxima unchanged, when the descriptor cannot be read
// or is not a panel's.
Result ReadValueRanges(PanelDevice& device);

// How long the start report may take to reach the panel.
constexpr uint32_t kStartReportWaitMs = 1000;

// Writes the start report to the open panel (a synchronous or an overlapped handle)
// and waits for the write. Fails when the panel has no output report that can hold
// it, or the write fails or does not complete in time; the start goes on either way.
Result SendStartReport(const PanelDevice& device);

// Closes a handle that is neither 0 nor the invalid-handle value.
void ClosePanelHandle(void* handle);

}  // namespace tactra
