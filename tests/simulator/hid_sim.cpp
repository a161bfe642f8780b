// hid.dll of the panel simulator: a handle opened on a simulated interface's pipe is
// that device; its attributes and capabilities come from the device list named by
// TACTRA_SIMULATED_HID (simulated_hid.h). Only the functions that Tactra.exe and
// tpinput.dll import are provided. A device with a descriptor is a touch screen whose
// capabilities come from the contact layout our own parser reads from it: link
// collection 0 is the Touch Screen, 1..N its fingers; X, Y and Contact Identifier are
// value capabilities of each finger, Contact Count one of the Touch Screen, Tip
// Switch, In Range and Confidence buttons (values where wider than a bit), Device
// Mode and Contact Count Maximum feature values. Setting a usage writes its bits at
// the layout's position.
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

#include "device/screen/contact_layout.h"
#include "device/screen/report_descriptor.h"
#include "simulated_hid.h"

namespace {

using tactra::ContactLayout;
using tactra::LayoutField;
using tactra::sim::SimulatedDevice;

const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

constexpr DWORD kPreparsedMagic = 0x53494D50;  // "SIMP"
constexpr USAGE kDigitizerPage = 0x0D;
constexpr USAGE kTouchScreen = 0x04;

struct Preparsed {
    DWORD magic = kPreparsedMagic;
    SimulatedDevice device;
    bool screen = false;
    ContactLayout layout;

    // Report lengths as the system gives them: an ID byte first, 0 where none is used.
    USHORT InputLength() const {
        return static_cast<USHORT>(layout.inputReportLength + (layout.reportId == 0 ? 1 : 0));
    }
    USHORT FeatureLength() const {
        const auto& m = layout.deviceMode;
        return m.present && HasMode()
                   ? static_cast<USHORT>(m.reportLength + (m.reportId == 0 ? 1 : 0))
                   : device.featureReportLength;
    }
    bool HasMode() const { return device.collection != "touch"; }
    bool Config() const { return device.collection == "config"; }
    bool Nested() const { return device.links == "nested"; }
    // Link collections: the Touch Screen (0), then one per slot, or two when nested.
    ULONG LinkCount() const {
        if (!screen || Config()) return 1;
        return 1 + static_cast<ULONG>(layout.fingerCount) * (Nested() ? 2 : 1);
    }
};

// One field of a screen's layout as a capability.
struct SimField {
    HIDP_REPORT_TYPE type;
    USAGE page;
    USAGE usage;
    USHORT link;
    UCHAR reportId;
    uint32_t bitPosition;  // in the system's report, ID byte included
    uint8_t bitSize;       // 0: no bits (Contact Count Maximum is a value only)
    int32_t logicalMin;
    int32_t logicalMax;
    bool Button() const { return bitSize == 1 && logicalMin == 0 && logicalMax == 1; }
};

std::vector<SimField> ScreenFields(const Preparsed& p) {
    std::vector<SimField> fields;
    const ContactLayout& l = p.layout;
    const auto& m = l.deviceMode;
    if (p.Config()) {
        if (m.present) {
            fields.push_back({HidP_Feature, kDigitizerPage, 0x52, 0, m.reportId,
                              m.bitPosition + (m.reportId == 0 ? 8 : 0), m.bitSize, 0, 10});
        }
        return fields;
    }
    const uint32_t idBits = l.reportId == 0 ? 8 : 0;
    auto add = [&](USAGE page, USAGE usage, USHORT link, const LayoutField& f) {
        if (!f.Present()) return;
        fields.push_back({HidP_Input, page, usage, link, l.reportId, f.bitPosition + idBits,
                          f.bitSize, f.logicalMin, f.logicalMax});
    };
    for (int i = 0; i < l.fingerCount; ++i) {
        const auto& f = l.fingers[i];
        const USHORT link = static_cast<USHORT>(p.Nested() ? 1 + 2 * i : i + 1);
        const USHORT position = static_cast<USHORT>(p.Nested() ? link + 1 : link);
        add(kDigitizerPage, 0x42, link, f.tipSwitch);
        add(kDigitizerPage, 0x32, link, f.inRange);
        add(kDigitizerPage, 0x47, link, f.confidence);
        add(kDigitizerPage, 0x51, link, f.contactId);
        add(0x01, 0x30, position, f.x);
        add(0x01, 0x31, position, f.y);
    }
    add(kDigitizerPage, 0x54, p.Nested() ? 1 : 0, l.contactCount);
    if (m.present && p.HasMode()) {
        fields.push_back({HidP_Feature, kDigitizerPage, 0x52, 0, m.reportId,
                          m.bitPosition + (m.reportId == 0 ? 8 : 0), m.bitSize, 0, 10});
    }
    fields.push_back(
        {HidP_Feature, kDigitizerPage, 0x55, 0, m.reportId, 0, 0, 0, l.contactCountMaximum});
    return fields;
}

template <typename Caps>
void FillCommon(Caps& c, const SimField& f) {
    std::memset(&c, 0, sizeof c);
    c.UsagePage = f.page;
    c.ReportID = f.reportId;
    c.LinkCollection = f.link;
    c.IsAbsolute = TRUE;
    c.NotRange.Usage = f.usage;
}

// Writes `value` into the field's bits of `report`, as the system's parser does.
NTSTATUS SetField(const Preparsed& p, HIDP_REPORT_TYPE type, USAGE page, USHORT link, USAGE usage,
                  ULONG value, bool button, PCHAR report, ULONG length) {
    if (report == nullptr) return HIDP_STATUS_NULL;
    const ULONG expected = type == HidP_Feature ? p.FeatureLength() : p.InputLength();
    if (length != expected) return HIDP_STATUS_INVALID_REPORT_LENGTH;
    for (const SimField& f : ScreenFields(p)) {
        if (f.type != type || f.page != page || f.usage != usage || f.link != link ||
            f.bitSize == 0 || f.Button() != button) {
            continue;
        }
        if (report[0] != 0 && static_cast<UCHAR>(report[0]) != f.reportId)
            return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
        report[0] = static_cast<char>(f.reportId);
        for (uint8_t b = 0; b < f.bitSize; ++b) {
            const uint32_t at = f.bitPosition + b;
            if (at / 8 >= length) return HIDP_STATUS_INVALID_REPORT_LENGTH;
            const char bit = static_cast<char>(1 << (at % 8));
            if (((value >> b) & 1) != 0)
                report[at / 8] = static_cast<char>(report[at / 8] | bit);
            else
                report[at / 8] = static_cast<char>(report[at / 8] & ~bit);
        }
        return HIDP_STATUS_SUCCESS;
    }
    return HIDP_STATUS_USAGE_NOT_FOUND;
}

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
    if (!device.descriptor.empty()) {
        std::string reason;
        if (!tactra::ParseReportDescriptor(device.descriptor.data(), device.descriptor.size(),
                                           p->layout, reason)) {
            OutputDebugStringA(("simulated hid: " + device.path + ": " + reason).c_str());
            delete p;
            return FALSE;
        }
        p->screen = true;
    }
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
    caps->NumberLinkCollectionNodes = 1;
    if (p->screen) {
        caps->InputReportByteLength = p->InputLength();
        caps->FeatureReportByteLength = p->FeatureLength();
        caps->NumberLinkCollectionNodes = static_cast<USHORT>(p->LinkCount());
        if (p->Config()) {
            caps->Usage = 0x0E;  // Device Configuration
            caps->InputReportByteLength = 0;
        }
        caps->NumberInputValueCaps = 0;
        for (const SimField& f : ScreenFields(*p)) {
            if (f.type == HidP_Feature)
                ++caps->NumberFeatureValueCaps;
            else if (f.Button())
                ++caps->NumberInputButtonCaps;
            else
                ++caps->NumberInputValueCaps;
        }
    }
    return HIDP_STATUS_SUCCESS;
}

NTSTATUS NTAPI HidP_GetLinkCollectionNodes(PHIDP_LINK_COLLECTION_NODE nodes, PULONG length,
                                           PHIDP_PREPARSED_DATA data) {
    const Preparsed* p = FromPreparsed(data);
    if (p == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    if (length == nullptr) return HIDP_STATUS_NULL;
    const ULONG count = p->LinkCount();
    if (nodes == nullptr || *length < count) {
        *length = count;
        return HIDP_STATUS_BUFFER_TOO_SMALL;
    }
    // Flat: 1..N the slots' Finger collections. Nested: 2k+1 slot k's logical
    // collection (0x01/0x22), 2k+2 the physical collection inside it.
    const ULONG step = p->Nested() ? 2 : 1;
    for (ULONG i = 0; i < count; ++i) {
        HIDP_LINK_COLLECTION_NODE& n = nodes[i];
        std::memset(&n, 0, sizeof n);
        const bool inner = p->Nested() && i > 0 && i % 2 == 0;
        n.LinkUsagePage = i > 0 && p->Nested() ? 0x01 : kDigitizerPage;
        n.LinkUsage = i == 0 ? (p->Config() ? 0x0E : kTouchScreen) : inner ? 0 : 0x22;
        n.Parent = static_cast<USHORT>(inner ? i - 1 : 0);
        n.CollectionType = i == 0 ? 1 : inner ? 0 : 2;  // application, logical, physical
        n.NumberOfChildren = static_cast<USHORT>(i == 0  ? (count - 1) / step
                                                 : inner ? 0
                                                         : step - 1);
        n.FirstChild = static_cast<USHORT>(i == 0                ? (count > 1 ? 1 : 0)
                                           : !inner && step == 2 ? i + 1
                                                                 : 0);
        n.NextSibling = static_cast<USHORT>(i > 0 && !inner && i + step < count ? i + step : 0);
    }
    *length = count;
    return HIDP_STATUS_SUCCESS;
}

NTSTATUS NTAPI HidP_GetButtonCaps(HIDP_REPORT_TYPE type, PHIDP_BUTTON_CAPS caps, PUSHORT length,
                                  PHIDP_PREPARSED_DATA data) {
    const Preparsed* p = FromPreparsed(data);
    if (p == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    if (length == nullptr) return HIDP_STATUS_NULL;
    std::vector<SimField> buttons;
    if (p->screen) {
        for (const SimField& f : ScreenFields(*p)) {
            if (f.type == type && f.Button()) buttons.push_back(f);
        }
    }
    const size_t room = caps == nullptr ? 0 : *length;
    const size_t count = buttons.size() < room ? buttons.size() : room;
    for (size_t i = 0; i < count; ++i) FillCommon(caps[i], buttons[i]);
    *length = static_cast<USHORT>(count);
    return count < buttons.size() ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
}

NTSTATUS NTAPI HidP_SetUsageValue(HIDP_REPORT_TYPE type, USAGE page, USHORT link, USAGE usage,
                                  ULONG value, PHIDP_PREPARSED_DATA data, PCHAR report,
                                  ULONG length) {
    const Preparsed* p = FromPreparsed(data);
    if (p == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    if (!p->screen) return HIDP_STATUS_USAGE_NOT_FOUND;
    return SetField(*p, type, page, link, usage, value, false, report, length);
}

NTSTATUS NTAPI HidP_SetUsages(HIDP_REPORT_TYPE type, USAGE page, USHORT link, PUSAGE usages,
                              PULONG count, PHIDP_PREPARSED_DATA data, PCHAR report, ULONG length) {
    const Preparsed* p = FromPreparsed(data);
    if (p == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    if (usages == nullptr || count == nullptr) return HIDP_STATUS_NULL;
    if (!p->screen) return HIDP_STATUS_USAGE_NOT_FOUND;
    for (ULONG i = 0; i < *count; ++i) {
        const NTSTATUS status = SetField(*p, type, page, link, usages[i], 1, true, report, length);
        if (status != HIDP_STATUS_SUCCESS) {
            *count = i;
            return status;
        }
    }
    return HIDP_STATUS_SUCCESS;
}

// The feature report goes to the device's pipe, where the test reads it back as it
// reads the start report.
BOOLEAN NTAPI HidD_SetFeature(HANDLE handle, PVOID report, ULONG length) {
    SimulatedDevice device;
    if (report == nullptr || !DeviceOf(handle, device)) return FALSE;
    Preparsed p;
    p.device = device;
    std::string reason;
    if (device.descriptor.empty() ||
        !tactra::ParseReportDescriptor(device.descriptor.data(), device.descriptor.size(), p.layout,
                                       reason) ||
        !p.HasMode() || length != p.FeatureLength()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    BOOL done = WriteFile(handle, report, length, nullptr, &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(overlapped.hEvent, 2000) != WAIT_OBJECT_0) CancelIo(handle);
        done = TRUE;
    }
    const bool ok =
        done && GetOverlappedResult(handle, &overlapped, &written, TRUE) && written == length;
    CloseHandle(overlapped.hEvent);
    return ok ? TRUE : FALSE;
}

NTSTATUS NTAPI HidP_GetValueCaps(HIDP_REPORT_TYPE type, PHIDP_VALUE_CAPS caps, PUSHORT length,
                                 PHIDP_PREPARSED_DATA data) {
    const Preparsed* p = FromPreparsed(data);
    if (p == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    if (length == nullptr) return HIDP_STATUS_NULL;
    if (p->screen) {
        std::vector<SimField> values;
        for (const SimField& f : ScreenFields(*p)) {
            if (f.type == type && !f.Button()) values.push_back(f);
        }
        const size_t room = caps == nullptr ? 0 : *length;
        const size_t count = values.size() < room ? values.size() : room;
        for (size_t i = 0; i < count; ++i) {
            HIDP_VALUE_CAPS& c = caps[i];
            FillCommon(c, values[i]);
            c.BitSize = values[i].bitSize;
            c.ReportCount = 1;
            c.LogicalMin = values[i].logicalMin;
            c.LogicalMax = values[i].logicalMax;
        }
        *length = static_cast<USHORT>(count);
        return count < values.size() ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
    }
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
