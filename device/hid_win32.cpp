#include "device/hid_win32.h"

#include <windows.h>
#include <setupapi.h>
// The HID headers of mingw-w64 declare their functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <cstddef>
#include <new>
#include <vector>

#include "platform/diagnostic_log.h"

namespace tactra {

namespace {

// Releases a device information set when the lookup of one index is done.
class DeviceInfoSet {
public:
    explicit DeviceInfoSet(const GUID& guid)
        : set_(SetupDiGetClassDevsA(&guid, nullptr, nullptr,
                                    DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~DeviceInfoSet() {
        if (Valid()) SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO Get() const { return set_; }

private:
    HDEVINFO set_;
};

// Frees the preparsed data of one query.
class PreparsedData {
public:
    explicit PreparsedData(HANDLE handle) { ok_ = HidD_GetPreparsedData(handle, &data_) != FALSE; }
    ~PreparsedData() {
        if (ok_) HidD_FreePreparsedData(data_);
    }
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;
    bool Ok() const { return ok_; }
    PHIDP_PREPARSED_DATA Get() const { return data_; }

private:
    PHIDP_PREPARSED_DATA data_ = nullptr;
    bool ok_ = false;
};

// Reads the path of interface `index` into `path`. The detail record is sized by
// the system's answer, so a path of any length fits.
bool ReadInterfacePath(int index, std::string& path) {
    if (index < 0 || index >= kMaxHidInterfaces) return false;
    GUID guid;
    HidD_GetHidGuid(&guid);
    DeviceInfoSet set(guid);
    if (!set.Valid()) return false;

    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &guid, static_cast<DWORD>(index), &data)) {
        return false;
    }
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set.Get(), &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        required = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    }
    // DWORD elements keep the record aligned for its cbSize field.
    std::vector<DWORD> storage;
    try {
        storage.resize((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    // The size of the fixed part of the record, as this build lays it out.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set.Get(), &data, detail, required, nullptr, nullptr)) {
        return false;
    }
    const size_t capacity =
        DevicePathCapacity(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath));
    std::vector<char> copy(capacity + 1);
    if (!CopyDevicePath(detail->DevicePath, capacity, copy.data(), copy.size())) return false;
    path.assign(copy.data());
    return true;
}

enum class Query { kOk, kNoDescriptor, kRefused };

// Reads the report lengths and the coordinate ranges of an open device.
Query QueryDescriptor(HANDLE handle, PanelDescriptor& descriptor) {
    PreparsedData preparsed(handle);
    if (!preparsed.Ok()) return Query::kNoDescriptor;
    HIDP_CAPS caps = {};
    if (HidP_GetCaps(preparsed.Get(), &caps) != HIDP_STATUS_SUCCESS) return Query::kNoDescriptor;

    // Room for every input value capability the device declares.
    std::vector<HIDP_VALUE_CAPS> valueCaps(caps.NumberInputValueCaps);
    USHORT count = caps.NumberInputValueCaps;
    bool read = false;
    if (count > 0) {
        read = HidP_GetValueCaps(HidP_Input, valueCaps.data(), &count, preparsed.Get()) ==
               HIDP_STATUS_SUCCESS;
    } else {
        read = true;
    }
    std::vector<int32_t> maxima;
    if (read) {
        for (USHORT i = 0; i < count && i < valueCaps.size(); ++i) {
            maxima.push_back(valueCaps[i].LogicalMax);
        }
    }
    PanelDescriptor checked;
    if (CheckPanelDescriptor(caps.InputReportByteLength, read, maxima, checked) !=
        DescriptorCheck::kOk) {
        return Query::kRefused;
    }
    descriptor = checked;
    descriptor.outputReportLength = caps.OutputReportByteLength;
    descriptor.featureReportLength = caps.FeatureReportByteLength;
    return Query::kOk;
}

}  // namespace

void* InvalidPanelHandle() { return INVALID_HANDLE_VALUE; }

void ClosePanelHandle(void* handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

int GetInterfacePath(int index, char* buffer, size_t bufferSize) {
    if (buffer == nullptr || bufferSize == 0) return 0;
    buffer[0] = '\0';
    std::string path;
    if (!ReadInterfacePath(index, path)) return 0;
    return CopyDevicePath(path.c_str(), path.size() + 1, buffer, bufferSize) ? 1 : 0;
}

bool GetInterfacePath(int index, std::string& path) { return ReadInterfacePath(index, path); }

void* OpenPanel(const char* path, const PanelOpenOptions& options, HidAttributes* attributes) {
    if (path == nullptr) return INVALID_HANDLE_VALUE;
    HANDLE handle =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, options.overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ProcessLog().Write("HID %s: cannot be opened (error %lu)", path, GetLastError());
        return INVALID_HANDLE_VALUE;
    }

    HIDD_ATTRIBUTES attr = {};
    attr.Size = sizeof attr;
    const char* whyNot = nullptr;
    if (!HidD_GetAttributes(handle, &attr))
        whyNot = "no attributes";
    else if (attr.VendorID != options.vendorId)
        whyNot = "another vendor";
    if (whyNot == nullptr && options.requirePanelDescriptor) {
        PanelDescriptor descriptor;
        const Query query = QueryDescriptor(handle, descriptor);
        if (query == Query::kNoDescriptor)
            whyNot = "its descriptor cannot be read";
        else if (query == Query::kRefused)
            whyNot = "not a panel's descriptor (short report or too few values)";
    }
    if (whyNot != nullptr) {
        ProcessLog().Write("HID %s: vendor 0x%04X product 0x%04X skipped: %s", path, attr.VendorID,
                           attr.ProductID, whyNot);
        CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    if (attributes != nullptr) {
        attributes->vendorId = attr.VendorID;
        attributes->productId = attr.ProductID;
        attributes->versionNumber = attr.VersionNumber;
    }
    return handle;
}

int CountPanels(const PanelOpenOptions& options, HidAttributes* lastMatch) {
    int count = 0;
    std::string path;
    for (int i = 0; GetInterfacePath(i, path); ++i) {
        HANDLE handle = OpenPanel(path.c_str(), options, lastMatch);
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            ++count;
        }
    }
    return count;
}

void ResetPanelDevice(PanelDevice& device) {
    device.handle = INVALID_HANDLE_VALUE;
    device.openFlag = 0;
    device.inputReportLength = 0;
    device.outputReportLength = 0;
    device.featureReportLength = 0;
}

Result OpenFirstPanel(PanelDevice& device, const PanelOpenOptions& options,
                      HidAttributes* lastMatch) {
    bool kept = false;
    std::string path;
    for (int i = 0; GetInterfacePath(i, path); ++i) {
        HidAttributes attributes;
        HANDLE handle = OpenPanel(path.c_str(), options, &attributes);
        if (handle == INVALID_HANDLE_VALUE) continue;
        if (lastMatch != nullptr) *lastMatch = attributes;
        if (kept) {
            ProcessLog().Write("HID %s: a further panel, closed", path.c_str());
            CloseHandle(handle);
            continue;
        }
        ProcessLog().Write("panel opened: %s, vendor 0x%04X product 0x%04X version 0x%04X",
                           path.c_str(), attributes.vendorId, attributes.productId,
                           attributes.versionNumber);
        kept = true;
        device.openFlag = 1;
        device.handle = handle;
        device.attributes = attributes;
        PreparsedData preparsed(handle);
        HIDP_CAPS caps = {};
        if (preparsed.Ok() && HidP_GetCaps(preparsed.Get(), &caps) == HIDP_STATUS_SUCCESS) {
            if (caps.InputReportByteLength != 0)
                device.inputReportLength = caps.InputReportByteLength;
            if (caps.OutputReportByteLength != 0) {
                device.outputReportLength = caps.OutputReportByteLength;
            }
            if (caps.FeatureReportByteLength != 0) {
                device.featureReportLength = caps.FeatureReportByteLength;
            }
        }
    }
    if (!kept) return Result::Failure("no panel of vendor 0x%04X found", options.vendorId);
    return Result::Success();
}

Result ReadValueRanges(PanelDevice& device) {
    if (device.handle == nullptr || device.handle == INVALID_HANDLE_VALUE)
        return Result::Failure("no open panel");
    PanelDescriptor descriptor;
    switch (QueryDescriptor(device.handle, descriptor)) {
        case Query::kOk:
            break;
        case Query::kNoDescriptor:
            return Result::Failure("the panel's descriptor cannot be read");
        default:
            return Result::Failure("not a panel's descriptor (short report or too few values)");
    }
    device.inputReportLength = descriptor.inputReportLength;
    device.logicalMaxX = descriptor.logicalMaxX;
    device.logicalMaxY = descriptor.logicalMaxY;
    ProcessLog().Write("panel ranges: X 0..%ld, Y 0..%ld, input report %u bytes",
                       static_cast<long>(device.logicalMaxX), static_cast<long>(device.logicalMaxY),
                       static_cast<unsigned>(device.inputReportLength));
    return Result::Success();
}

Result SendStartReport(const PanelDevice& device) {
    if (device.handle == nullptr || device.handle == INVALID_HANDLE_VALUE)
        return Result::Failure("no open panel");
    std::vector<uint8_t> report = MakeStartReport(device.outputReportLength);
    if (report.empty()) {
        return Result::Failure("the panel's output report (%u bytes) cannot hold the start report",
                               static_cast<unsigned>(device.outputReportLength));
    }
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) return Result::Failure("no event to wait on (error %lu)", GetLastError());
    // The handle may be open for overlapped I/O: the write is waited for here, and a
    // panel that does not take it within the time is given up (the cancel works from
    // this thread, which issued the write).
    OVERLAPPED overlapped = {};
    overlapped.hEvent = done;
    DWORD written = 0;
    Result result = Result::Success();
    if (!WriteFile(device.handle, report.data(), static_cast<DWORD>(report.size()), nullptr,
                   &overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            result = Result::Failure("the start report's write failed (error %lu)", error);
        } else if (WaitForSingleObject(done, kStartReportWaitMs) != WAIT_OBJECT_0) {
            CancelIo(device.handle);
            result = Result::Failure("the panel did not take the start report within %u ms",
                                     static_cast<unsigned>(kStartReportWaitMs));
        }
    }
    // Also waits for a cancelled write to be over before its buffers go.
    if (!GetOverlappedResult(device.handle, &overlapped, &written, TRUE) && result.Ok())
        result = Result::Failure("the start report's write failed (error %lu)", GetLastError());
    CloseHandle(done);
    return result;
}

}  // namespace tactra
