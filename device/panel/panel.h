// The facts of the panel and of the system around it, each written once: who the
// panel is, the layout of its report, the start report, the touch event bits, the
// display adapter quirk and the mouse modes. Tactra, the library and the trace
// parser take them from here; tpinput/tpinput.h repeats the ones its clients need
// (a standalone C header), tied to these by static_assert in tpinput_win32.cpp.
// How each reader treats a report (ReaderRule) is not here: it is a rule of the two
// deliverables, kept with the batch builder that applies it (device/panel/touch_report.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tactra {

// --- Who the panel is ---

// The USB vendor ID that identifies the panel (the product ID plays no part); also
// the only vendor whose raw input the library takes as the panel's (kTpinputPanelVendorId).
constexpr uint16_t kPanelVendorId = 0x0EEF;

// --- Its descriptor and report ---

// X and Y are the second and third input value capabilities.
constexpr size_t kMinInputValueCaps = 3;
// Only the first 13 bytes of a report are decoded; a shorter one is refused.
constexpr size_t kPanelReportMinLength = 13;
// The ID of the panel's touch report (byte 0).
constexpr uint8_t kPanelReportId = 1;

// Bytes 0 and 1 of the start report, written once the panel is opened (MakeStartReport,
// device/hid/hid.h); the rest of the report is zero.
constexpr uint8_t kStartReportId = 0;
constexpr uint8_t kStartReportValue = 1;

// --- Touch event bits of a record's dwFlags ---

// The values of the platform's TOUCHEVENTF_ flags (kTpinputEvent* in tpinput.h;
// the library's CalibrateEvent types kCalibrateMove/Down/Up are the first three).
constexpr uint32_t kTouchEventMove = 0x01;
constexpr uint32_t kTouchEventDown = 0x02;
constexpr uint32_t kTouchEventUp = 0x04;
constexpr uint32_t kTouchEventInRange = 0x08;
constexpr uint32_t kTouchEventPrimary = 0x10;

// --- The display adapter quirk ---

// The provider whose driver reports orientations 1 and 3 swapped; matched exactly
// (device/mapping/rotation.h corrects it).
constexpr const char kSwappedOrientationProvider[] = "ATI Technologies Inc.";

// --- Mouse modes ---

// Tactra's mouse modes (GestureState::mouseMode; a trace's `mode` directive takes
// kMouseModeOsPointer .. kMouseModeEmulate).
constexpr int32_t kMouseModeOsPointer = 96;      // the system drives the pointer
constexpr int32_t kMouseModeTabletService = 97;  // the tablet service drives it
constexpr int32_t kMouseModeEmulate = 98;        // Tactra emulates the mouse

// The library's registration mode that switches single-finger mouse emulation on
// (kTpinputMouseEmulationMode).
constexpr int32_t kMouseEmulationMode = 99;
// Mouse input is produced only on this major version of the system (Windows XP).
constexpr uint32_t kMouseEmulationOsMajor = 5;

}  // namespace tactra
