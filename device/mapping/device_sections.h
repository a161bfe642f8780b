// Which section of "Calibrate.ini" belongs to which touch device. With one device
// the file is the old one: [Config] holds its calibration and monitor. With several,
// [Config] belongs to the device its `Device=` key names (without the key, to the
// first device found) and every other device has a section [Device IDENTITY] with
// the same keys.
#pragma once

#include <cstdint>
#include <string>

#include "profiles/ini.h"

namespace tactra {

// The most touch devices served at once; a further one is skipped.
constexpr int kMaxTouchDevices = 8;

// [Config]'s owner: the identity of the device whose calibration it holds.
constexpr const char kConfigDeviceKey[] = "Device";
constexpr const char kDeviceSectionPrefix[] = "Device ";

// "VVVV:PPPP INSTANCE": the IDs in upper-case hex and the instance part of the HID
// interface path (its third part between '#' signs, upper-cased), which the system
// derives from the port the device hangs on. A path without one gives "VVVV:PPPP".
std::string DeviceIdentity(uint16_t vendorId, uint16_t productId, const std::string& path);

// "Device " + identity.
std::string DeviceSectionName(const std::string& identity);

// The section that holds the calibration and monitor of the device `identity`:
// [Config] when its `Device=` names the device, or names none and the device is the
// first found; otherwise the device's own section (which may not exist yet: then
// the device has the defaults).
std::string CalibrationSectionFor(const CIni& ini, const std::string& identity, bool firstFound);

// Writes `Device=` into [Config] naming `identity`, when [Config] has keys and no
// owner yet: from then on [Config] stays that device's whatever order the devices
// are found in. Returns whether it wrote.
bool PinConfigOwner(const CIni& ini, const std::string& identity);

}  // namespace tactra
