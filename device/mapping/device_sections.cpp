#include "device/mapping/device_sections.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "device/mapping/calibration.h"

namespace tactra {

namespace {

// The keys a device's calibration consists of; [Config] with any of them has an owner
// worth keeping.
bool HasCalibrationKeys(const CIni& ini) {
    static const char* const kKeys[] = {"MinX", "MaxX", "MinY", "MaxY", "Point1X", kMonitorKey};
    for (const char* key : kKeys) {
        if (ini.HasKey(kCalibrationSection, key)) return true;
    }
    return false;
}

}  // namespace

std::string DeviceIdentity(uint16_t vendorId, uint16_t productId, const std::string& path) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04X:%04X", static_cast<unsigned>(vendorId),
                  static_cast<unsigned>(productId));
    std::string identity = ids;
    // \\?\hid#vid_0eef&pid_0001#7&1a2b3c4d&0&0000#{guid}: the third part.
    const size_t first = path.find('#');
    const size_t second = first == std::string::npos ? first : path.find('#', first + 1);
    if (second == std::string::npos) return identity;
    const size_t end = path.find('#', second + 1);
    std::string instance =
        path.substr(second + 1, end == std::string::npos ? end : end - second - 1);
    // A section name cannot hold ']' nor a line end; the system's instances never do.
    for (char& c : instance) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c == ']' || c == '[' || c == '\r' || c == '\n' || c == ' ') c = '_';
    }
    if (!instance.empty()) identity += " " + instance;
    return identity;
}

std::string DeviceSectionName(const std::string& identity) {
    return kDeviceSectionPrefix + identity;
}

std::string CalibrationSectionFor(const CIni& ini, const std::string& identity, bool firstFound) {
    const std::string owner = ini.ReadText(kCalibrationSection, kConfigDeviceKey, "");
    if (owner.empty() ? firstFound : owner == identity) return kCalibrationSection;
    return DeviceSectionName(identity);
}

bool PinConfigOwner(const CIni& ini, const std::string& identity) {
    if (identity.empty() || ini.HasKey(kCalibrationSection, kConfigDeviceKey) ||
        !HasCalibrationKeys(ini))
        return false;
    return ini.WriteText(kCalibrationSection, kConfigDeviceKey, identity.c_str()) != 0;
}

}  // namespace tactra
