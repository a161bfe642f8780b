// hid.dll of the panel simulator: a handle opened on a simulated interface's pipe is
// that device; its attributes and capabilities come from the device list named by
// TACTRA_SIMULATED_HID (simulated_hid.h). Only the functions that Tactra.exe and
// tpinput.dll import are provided.
//
// Only Wine runs the simulator, and it has GetFileInformationByHandleEx whatever
// Windows version it reports.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "simulated_hid.h"

namespace {

using tactra::sim::SimulatedDevice;

const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

constexpr DWORD kPreparsedMagic = 0x53494D50;  // "SIMP"
constexpr USAGE kDigitizerPage = 0x0D;
constexpr USAGE kTouchScreen = 0x04;

struct Preparsed {
    DWORD magic = kPreparsedMagic;
    SimulatedDevice device;
};

Preparsed* FromPreparsed(PHIDP_PREPARSED_DATA data) {
    Preparsed* p = reinterpret_cast<Preparsed*>(data);
    return p != nullptr && p->magic == kPreparsedMagic ? p : nullptr;
}

bool SamePipeName(const std::string& path, const wchar_t* name, size_t nameLength) {
    // The system names the pipe "\NAME"; the path is "\\.\pipe\NAME".
    const std::string expected = path.substr(std::strlen(tactra::sim::kPipePrefix) - 1);
    if (expected.size() != nameLength) return false;
    for (size_t i = 0; i < nameLength; ++i) {
        const wchar_t a = static_cast<wchar_t>(towlower(static_cast<unsigned char>(expected[i])));
        if (a != towlower(name[i])) return false;
    }
    return true;
}

// The described device whose pipe `handle` is connected to.
bool DeviceOf(HANDLE handle, SimulatedDevice& device) {
    union {
        FILE_NAME_INFO info;
        char bytes[sizeof(FILE_NAME_INFO) + 1024 * sizeof(wchar_t)];
    } name;
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, &name, sizeof name)) return false;
    char file[MAX_PATH] = {};
    GetEnvironmentVariableA(tactra::sim::kDeviceListVariable, file, sizeof file);
    std::vector<SimulatedDevice> devices;
    std::string error;
    if (!tactra::sim::ReadDeviceList(file, devices, error)) {
        OutputDebugStringA(("simulated hid: " + error).c_str());
        return false;
    }
    for (const SimulatedDevice& d : devices) {
        if (SamePipeName(d.path, name.info.FileName, name.info.FileNameLength / sizeof(wchar_t))) {
            device = d;
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" {

void NTAPI HidD_GetHidGuid(LPGUID guid) {
    if (guid != nullptr) *guid = kHidInterfaceClass;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
    SimulatedDevice device;
    if (attributes == nullptr || !DeviceOf(handle, device)) return FALSE;
    // A HID read returns exactly one report: read the pipe a message at a time.
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(handle, &mode, nullptr, nullptr);
    attributes->Size = sizeof(HIDD_ATTRIBUTES);
    attributes->VendorID = device.vendorId;
    attributes->ProductID = device.productId;
    attributes->VersionNumber = device.versionNumber;
    return TRUE;
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data) {
    SimulatedDevice device;
    if (data == nullptr || !DeviceOf(handle, device)) return FALSE;
    Preparsed* p = new Preparsed;
    p->device = device;
    *data = reinterpret_cast<PHIDP_PREPARSED_DATA>(p);
    return TRUE;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) {
    Preparsed* p = FromPreparsed(data);
    if (p == nullptr) return FALSE;
    p->magic = 0;
    delete p;
    return TRUE;
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
    const Preparsed* p = FromPreparsed(data);
    if (p == nullptr || caps == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    std::memset(caps, 0, sizeof *caps);
    caps->Usage = kTouchScreen;
    caps->UsagePage = kDigitizerPage;
    caps->InputReportByteLength = p->device.inputReportLength;
    caps->OutputReportByteLength = p->device.outputReportLength;
    caps->FeatureReportByteLength = p->device.featureReportLength;
    caps->NumberInputValueCaps = static_cast<USHORT>(p->device.valueCapsLogicalMax.size());
    return HIDP_STATUS_SUCCESS;
}

NTSTATUS NTAPI HidP_GetValueCaps(HIDP_REPORT_TYPE type, PHIDP_VALUE_CAPS caps, PUSHORT length,
                                 PHIDP_PREPARSED_DATA data) {
    const Preparsed* p = FromPreparsed(data);
    if (p == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    if (length == nullptr) return HIDP_STATUS_NULL;
    if (type != HidP_Input) {
        *length = 0;
        return HIDP_STATUS_SUCCESS;
    }
    const std::vector<int32_t>& maxima = p->device.valueCapsLogicalMax;
    const size_t room = caps == nullptr ? 0 : *length;
    const size_t count = maxima.size() < room ? maxima.size() : room;
    // Contact identifier, X, Y, then whatever else the device list gives.
    const USAGE usages[] = {0x51, 0x30, 0x31};
    for (size_t i = 0; i < count; ++i) {
        HIDP_VALUE_CAPS& c = caps[i];
        std::memset(&c, 0, sizeof c);
        c.UsagePage = i == 0 ? kDigitizerPage : 0x01;
        c.ReportID = 1;
        c.IsAbsolute = TRUE;
        c.BitSize = 16;
        c.ReportCount = 1;
        c.LogicalMin = 0;
        c.LogicalMax = maxima[i];
        c.NotRange.Usage = i < 3 ? usages[i] : 0;
    }
    *length = static_cast<USHORT>(count);
    return count < maxima.size() ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
}

}  // extern "C"
