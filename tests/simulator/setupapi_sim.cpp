// setupapi.dll of the panel simulator: the HID device interfaces are the devices of
// the device list named by TACTRA_SIMULATED_HID (simulated_hid.h), in its order. Only
// the functions that Tactra.exe and tpinput.dll import are provided.
#define _SETUPAPI_
#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "simulated_hid.h"

namespace {

// The HID interface class.
const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

constexpr DWORD kSetMagic = 0x53494D44;  // "SIMD"

// A device information set: the interface paths as they were when it was built.
struct DeviceSet {
    DWORD magic = kSetMagic;
    std::vector<std::string> paths;
};

DeviceSet* FromHandle(HDEVINFO set) {
    DeviceSet* devices = static_cast<DeviceSet*>(set);
    if (set == nullptr || set == INVALID_HANDLE_VALUE || devices->magic != kSetMagic) {
        return nullptr;
    }
    return devices;
}

std::vector<std::string> DescribedPaths() {
    char file[MAX_PATH] = {};
    GetEnvironmentVariableA(tactra::sim::kDeviceListVariable, file, sizeof file);
    std::vector<tactra::sim::SimulatedDevice> devices;
    std::string error;
    if (!tactra::sim::ReadDeviceList(file, devices, error)) {
        OutputDebugStringA(("simulated setupapi: " + error).c_str());
    }
    std::vector<std::string> paths;
    for (const auto& d : devices) paths.push_back(d.path);
    return paths;
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR, HWND, DWORD flags) {
    DeviceSet* set = new DeviceSet;
    if (classGuid != nullptr && (flags & DIGCF_DEVICEINTERFACE) != 0 &&
        std::memcmp(classGuid, &kHidInterfaceClass, sizeof(GUID)) == 0) {
        set->paths = DescribedPaths();
    }
    return set;
}

WINBOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
    DeviceSet* set = FromHandle(handle);
    if (set == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    set->magic = 0;
    delete set;
    return TRUE;
}

WINBOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA, const GUID* classGuid,
                                           DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    DeviceSet* set = FromHandle(handle);
    if (set == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (classGuid == nullptr || std::memcmp(classGuid, &kHidInterfaceClass, sizeof(GUID)) != 0 ||
        index >= set->paths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->InterfaceClassGuid = kHidInterfaceClass;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = index;
    return TRUE;
}

WINBOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data,
                                                PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                DWORD detailSize, PDWORD requiredSize,
                                                PSP_DEVINFO_DATA) {
    DeviceSet* set = FromHandle(handle);
    if (set == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (data == nullptr || data->Reserved >= set->paths.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& path = set->paths[data->Reserved];
    const DWORD required = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize != nullptr) *requiredSize = required;
    if (detail == nullptr || detailSize < required) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // The system checks that the caller set the size of the record's fixed part.
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

}  // extern "C"
