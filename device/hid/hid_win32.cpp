#include "device/hid/hid_win32.h"

#include <windows.h>
#include <setupapi.h>
// The HID headers of mingw-w64 declare their functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "device/screen/generic_screen.h"
#include "device/screen/report_descriptor.h"
#include "platform/diagnostic_log.h"

namespace tactra {

namespace {

// Why a device is not taken or a step on it fails, each worded here once.
constexpr char kDescriptorUnreadable[] = "its descriptor cannot be read";
constexpr char kNotPanelDescriptor[] = "not a panel's descriptor (short report or too few values)";
Result NoOpenPanel() { return Result::Failure("no open panel"); }
Result StartReportFailed(DWORD error) {
    return Result::Failure("the start report's write failed (error %lu)", error);
}

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

// The usages of a touch screen, as the HID parsing functions take them.
constexpr USAGE Low(uint32_t usage) { return static_cast<USAGE>(usage & 0xFFFF); }
constexpr USAGE Page(uint32_t usage) { return static_cast<USAGE>(usage >> 16); }

// One input or feature field as the capabilities describe it.
struct CapField {
    USAGE page = 0;
    USAGE usage = 0;
    USHORT link = 0;
    UCHAR reportId = 0;
    bool button = false;
    USHORT bitSize = 0;
    LONG logicalMin = 0;
    LONG logicalMax = 0;
};

// Each usage a capability covers, once (a range names several); a button is one bit
// of 0 or 1.
template <typename Caps>
void AddCaps(const std::vector<Caps>& caps, std::vector<CapField>& out) {
    constexpr bool kButton = std::is_same_v<Caps, HIDP_BUTTON_CAPS>;
    for (const Caps& c : caps) {
        const USAGE first = c.IsRange ? c.Range.UsageMin : c.NotRange.Usage;
        const USAGE last = c.IsRange ? c.Range.UsageMax : c.NotRange.Usage;
        for (unsigned u = first; u <= last && u - first < 64; ++u) {
            CapField f;
            f.page = c.UsagePage;
            f.usage = static_cast<USAGE>(u);
            f.link = c.LinkCollection;
            f.reportId = c.ReportID;
            f.button = kButton;
            if constexpr (kButton) {
                f.bitSize = 1;
                f.logicalMin = 0;
                f.logicalMax = 1;
            } else {
                f.bitSize = c.BitSize;
                f.logicalMin = c.LogicalMin;
                f.logicalMax = c.LogicalMax;
            }
            out.push_back(f);
        }
    }
}

// Sets the field in a report that holds only its report ID and finds the bits that
// changed: the field's position and size, counted from the report's first bit.
bool ProbeField(HIDP_REPORT_TYPE type, const CapField& f, PHIDP_PREPARSED_DATA preparsed,
                USHORT reportLength, uint32_t& bitPosition, uint8_t& bitSize) {
    if (reportLength < 2 || f.bitSize == 0 || f.bitSize > kMaxLayoutFieldBits) return false;
    std::vector<char> report(reportLength, 0);
    report[0] = static_cast<char>(f.reportId);
    NTSTATUS status;
    if (f.button) {
        USAGE usage = f.usage;
        ULONG count = 1;
        status = HidP_SetUsages(type, f.page, f.link, &usage, &count, preparsed, report.data(),
                                reportLength);
    } else {
        const ULONG all = f.bitSize >= 32 ? 0xFFFFFFFFul : ((1ul << f.bitSize) - 1);
        status = HidP_SetUsageValue(type, f.page, f.link, f.usage, all, preparsed, report.data(),
                                    reportLength);
    }
    if (status != HIDP_STATUS_SUCCESS) return false;
    uint32_t first = 0, last = 0, set = 0;
    for (uint32_t bit = 8; bit < static_cast<uint32_t>(reportLength) * 8; ++bit) {
        if ((static_cast<uint8_t>(report[bit / 8]) >> (bit % 8) & 1) == 0) continue;
        if (set == 0) first = bit;
        last = bit;
        ++set;
    }
    // One run of bits, as wide as the capability says.
    if (set == 0 || set != last - first + 1 || set != f.bitSize) return false;
    bitPosition = first;
    bitSize = static_cast<uint8_t>(set);
    return true;
}

LayoutField MakeLayoutField(const CapField& f, uint32_t bitPosition, uint8_t bitSize) {
    LayoutField out;
    out.bitPosition = bitPosition;
    out.bitSize = bitSize;
    out.logicalMin = f.logicalMin;
    // An unsigned field's maximum as the descriptor means it ("26 FF 00" is 255).
    out.logicalMax = f.logicalMin >= 0 && f.logicalMax < 0 && bitSize < 32
                         ? static_cast<int32_t>(f.logicalMax & ((1l << bitSize) - 1))
                         : f.logicalMax;
    out.isSigned = out.logicalMin < 0;
    return out;
}

// Contact Count Maximum (left as it is when absent) and the Device Mode feature.
void ReadFeatures(PHIDP_PREPARSED_DATA preparsed, const HIDP_CAPS& caps, int32_t& countMaximum,
                  DeviceModeFeature& mode) {
    std::vector<CapField> features;
    USHORT count = caps.NumberFeatureValueCaps;
    if (count > 0) {
        std::vector<HIDP_VALUE_CAPS> values(count);
        if (HidP_GetValueCaps(HidP_Feature, values.data(), &count, preparsed) ==
            HIDP_STATUS_SUCCESS) {
            values.resize(count);
            AddCaps(values, features);
        }
    }
    bool haveMax = false;
    for (const CapField& f : features) {
        const uint32_t usage = static_cast<uint32_t>(f.page) << 16 | f.usage;
        if (usage == kUsageContactCountMaximum && !haveMax && f.logicalMax > 0) {
            haveMax = true;
            countMaximum = f.logicalMax;
        } else if (usage == kUsageDeviceMode && !mode.present &&
                   caps.FeatureReportByteLength <= kMaxDeviceModeReportBytes) {
            uint32_t position = 0;
            uint8_t size = 0;
            if (!ProbeField(HidP_Feature, f, preparsed, caps.FeatureReportByteLength, position,
                            size)) {
                continue;
            }
            // Positions and length as the device sends the report, as for the input.
            mode.present = true;
            mode.reportId = f.reportId;
            mode.bitPosition = position - (f.reportId != 0 ? 0 : 8);
            mode.bitSize = size;
            mode.reportLength =
                static_cast<uint16_t>(caps.FeatureReportByteLength - (f.reportId != 0 ? 0 : 1));
        }
    }
}

// Writes the Device Mode report for `mode` to an open interface.
Result WriteDeviceMode(HANDLE handle, const DeviceModeFeature& mode) {
    ContactLayout carrier;
    carrier.deviceMode = mode;
    std::vector<uint8_t> report = MakeDeviceModeReport(carrier, kDeviceModeMultiInput);
    if (report.empty()) return Result::Failure("no Device Mode report can be made");
    // The system's feature report carries an ID byte even where the device uses none.
    if (mode.reportId == 0) report.insert(report.begin(), 0);
    if (!HidD_SetFeature(handle, report.data(), static_cast<ULONG>(report.size())))
        return Result::Failure("the Device Mode write failed (error %lu)", GetLastError());
    return Result::Success();
}

// The Device Mode of a Device Configuration top-level collection (0x0D/0x0E) at `path`
// that belongs to the same device as `attributes`; false when it is none.
bool SiblingDeviceMode(const std::string& path, const HidAttributes& attributes, HANDLE& handle,
                       DeviceModeFeature& mode) {
    handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    HIDD_ATTRIBUTES attr = {};
    attr.Size = sizeof attr;
    bool found = false;
    if (HidD_GetAttributes(handle, &attr) && attr.VendorID == attributes.vendorId &&
        attr.ProductID == attributes.productId && attr.VersionNumber == attributes.versionNumber) {
        PreparsedData preparsed(handle);
        HIDP_CAPS caps = {};
        if (preparsed.Ok() && HidP_GetCaps(preparsed.Get(), &caps) == HIDP_STATUS_SUCCESS &&
            caps.UsagePage == Page(kUsageDeviceConfiguration) &&
            caps.Usage == Low(kUsageDeviceConfiguration)) {
            int32_t ignored = 0;
            ReadFeatures(preparsed.Get(), caps, ignored, mode);
            found = mode.present;
        }
    }
    if (!found) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    return found;
}

}  // namespace

Result ReadContactLayout(void* handle, ContactLayout& layout) {
    PreparsedData preparsed(handle);
    if (!preparsed.Ok()) return Result::Failure("%s", kDescriptorUnreadable);
    HIDP_CAPS caps = {};
    if (HidP_GetCaps(preparsed.Get(), &caps) != HIDP_STATUS_SUCCESS)
        return Result::Failure("its capabilities cannot be read");
    if (caps.UsagePage != Page(kUsageTouchScreen) || caps.Usage != Low(kUsageTouchScreen)) {
        return Result::Failure("not a touch screen (usage page 0x%04X, usage 0x%04X)",
                               caps.UsagePage, caps.Usage);
    }
    if (caps.InputReportByteLength < 2)
        return Result::Failure("an input report of %u bytes", caps.InputReportByteLength);

    ULONG nodeCount = caps.NumberLinkCollectionNodes;
    std::vector<HIDP_LINK_COLLECTION_NODE> nodes(nodeCount);
    if (nodeCount == 0 || HidP_GetLinkCollectionNodes(nodes.data(), &nodeCount, preparsed.Get()) !=
                              HIDP_STATUS_SUCCESS) {
        return Result::Failure("its collections cannot be read");
    }
    nodes.resize(nodeCount);

    std::vector<CapField> inputs;
    USHORT count = caps.NumberInputValueCaps;
    if (count > 0) {
        std::vector<HIDP_VALUE_CAPS> values(count);
        if (HidP_GetValueCaps(HidP_Input, values.data(), &count, preparsed.Get()) ==
            HIDP_STATUS_SUCCESS) {
            values.resize(count);
            AddCaps(values, inputs);
        }
    }
    count = caps.NumberInputButtonCaps;
    if (count > 0) {
        std::vector<HIDP_BUTTON_CAPS> buttons(count);
        if (HidP_GetButtonCaps(HidP_Input, buttons.data(), &count, preparsed.Get()) ==
            HIDP_STATUS_SUCCESS) {
            buttons.resize(count);
            AddCaps(buttons, inputs);
        }
    }

    // The slots, by the same rule as a descriptor's (FindContactSlots): the link
    // collections are the collections, node 0 the Touch Screen itself.
    std::vector<SlotCollection> collections(nodes.size());
    for (size_t i = 1; i < nodes.size(); ++i) {
        collections[i].parent = nodes[i].Parent;
        collections[i].type = nodes[i].CollectionType;
    }
    collections[0].type = nodes[0].CollectionType;
    std::vector<SlotFieldUsage> usages;
    usages.reserve(inputs.size());
    for (const CapField& f : inputs) {
        usages.push_back(SlotFieldUsage{static_cast<int>(f.link),
                                        static_cast<uint32_t>(f.page) << 16 | f.usage, f.reportId});
    }
    const ContactSlots slots = FindContactSlots(collections, usages);
    if (!slots.found) {
        return Result::Failure(
            "a touch screen lacking a contact slot (a collection with X, Y and Tip Switch, In "
            "Range, Confidence or Contact Identifier)");
    }

    // Windows puts a report ID byte before every report, 0 where the device uses none.
    ContactLayout built;
    const UCHAR touchId = slots.reportId;
    const int32_t idBits = touchId != 0 ? 0 : 8;
    built.fingerCount = slots.slotCount;
    built.slotsIgnored = slots.slotsIgnored;
    uint32_t endBit = 0;  // the end of the touch report's last field we decode
    for (const CapField& f : inputs) {
        if (f.reportId != touchId) continue;
        const uint32_t usage = static_cast<uint32_t>(f.page) << 16 | f.usage;
        LayoutField* field = nullptr;
        if (usage == kUsageContactCount) {
            // The first Contact Count of the report, beside the slots or in one.
            if (!built.contactCount.Present()) field = &built.contactCount;
        } else if (f.link < slots.slotOf.size() && slots.slotOf[f.link] >= 0) {
            field = built.fingers[slots.slotOf[f.link]].FieldOf(usage);
        }
        if (field == nullptr || field->Present()) continue;
        uint32_t position = 0;
        uint8_t size = 0;
        if (!ProbeField(HidP_Input, f, preparsed.Get(), caps.InputReportByteLength, position, size))
            continue;
        *field = MakeLayoutField(f, position, size);
        field->Shift(-idBits);
        endBit = std::max(endBit, field->bitPosition + field->bitSize);
    }
    built.reportId = touchId;
    built.inputReportLength =
        static_cast<uint16_t>(caps.InputReportByteLength - (touchId != 0 ? 0 : 1));
    // A collection whose longest report is not the touch report: what is decoded of
    // the touch report is what counts.
    if (built.inputReportLength > kMaxLayoutReportBytes)
        built.inputReportLength = static_cast<uint16_t>((endBit + 7) / 8);

    // Contact Count Maximum and Device Mode are features.
    built.contactCountMaximum = built.fingerCount;
    ReadFeatures(preparsed.Get(), caps, built.contactCountMaximum, built.deviceMode);

    std::string missing;
    if (!LayoutHasRequiredUsages(built, missing))
        return Result::Failure("a touch screen lacking %s", missing.c_str());
    std::string reason;
    if (!CheckContactLayout(built, reason))
        return Result::Failure("an unusable contact layout: %s", reason.c_str());
    layout = built;
    return Result::Success();
}

Result SetDeviceMode(const PanelDevice& device) {
    if (!device.touchScreen) return Result::Success();
    if (device.layout.deviceMode.present)
        return WriteDeviceMode(device.handle, device.layout.deviceMode);
    // The system makes each top-level collection an interface of its own: a screen's
    // Device Mode usually lies in its Device Configuration collection beside it.
    std::string path;
    for (int i = 0; GetInterfacePath(i, path); ++i) {
        if (path == device.path) continue;
        HANDLE handle = INVALID_HANDLE_VALUE;
        DeviceModeFeature mode;
        if (!SiblingDeviceMode(path, device.attributes, handle, mode)) continue;
        Result written = WriteDeviceMode(handle, mode);
        CloseHandle(handle);
        if (written) ProcessLog().Write("device mode set through %s", path.c_str());
        return written;
    }
    return Result::Success();  // a screen without the feature
}

void SetDeviceModeOrLog(const PanelDevice& device) {
    if (Result mode = SetDeviceMode(device); !mode)
        ProcessLog().Write("device mode: %s", mode.ReasonText());
}

Result NoPanelFound(uint16_t vendorId) {
    return Result::Failure("no panel of vendor 0x%04X found", vendorId);
}

namespace {}  // namespace

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

void* OpenPanel(const char* path, const PanelOpenOptions& options, HidAttributes* attributes,
                ContactLayout* screen) {
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
    const bool haveAttributes = HidD_GetAttributes(handle, &attr) != FALSE;
    if (!haveAttributes)
        whyNot = "no attributes";
    else if (attr.VendorID != options.vendorId)
        whyNot = "another vendor";
    if (whyNot == nullptr && options.requirePanelDescriptor) {
        PanelDescriptor descriptor;
        const Query query = QueryDescriptor(handle, descriptor);
        if (query == Query::kNoDescriptor)
            whyNot = kDescriptorUnreadable;
        else if (query == Query::kRefused)
            whyNot = kNotPanelDescriptor;
    }
    if (screen != nullptr) screen->fingerCount = 0;
    Result asScreen = Result::Failure("not looked at");
    if (whyNot != nullptr && haveAttributes && options.acceptTouchScreens) {
        ContactLayout layout;
        asScreen = ReadContactLayout(handle, layout);
        if (asScreen) {
            whyNot = nullptr;
            if (screen != nullptr) *screen = layout;
        }
    }
    if (whyNot != nullptr) {
        if (options.acceptTouchScreens && haveAttributes) {
            ProcessLog().Write("HID %s: vendor 0x%04X product 0x%04X skipped: %s; %s", path,
                               attr.VendorID, attr.ProductID, whyNot, asScreen.ReasonText());
        } else {
            ProcessLog().Write("HID %s: vendor 0x%04X product 0x%04X skipped: %s", path,
                               attr.VendorID, attr.ProductID, whyNot);
        }
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

namespace {

void StoreReportLengths(HANDLE handle, PanelDevice& device) {
    PreparsedData preparsed(handle);
    HIDP_CAPS caps = {};
    if (preparsed.Ok() && HidP_GetCaps(preparsed.Get(), &caps) == HIDP_STATUS_SUCCESS) {
        if (caps.InputReportByteLength != 0) device.inputReportLength = caps.InputReportByteLength;
        if (caps.OutputReportByteLength != 0) {
            device.outputReportLength = caps.OutputReportByteLength;
        }
        if (caps.FeatureReportByteLength != 0) {
            device.featureReportLength = caps.FeatureReportByteLength;
        }
    }
}

}  // namespace

Result OpenFirstPanel(PanelDevice& device, const PanelOpenOptions& options,
                      HidAttributes* lastMatch) {
    bool kept = false;
    // The first touch screen, held until the enumeration has found no panel.
    HANDLE screenHandle = INVALID_HANDLE_VALUE;
    std::string screenPath;
    HidAttributes screenAttributes;
    auto screenLayout = std::make_unique<ContactLayout>();
    auto layout = std::make_unique<ContactLayout>();
    std::string path;
    for (int i = 0; GetInterfacePath(i, path); ++i) {
        HidAttributes attributes;
        HANDLE handle = OpenPanel(path.c_str(), options, &attributes, layout.get());
        if (handle == INVALID_HANDLE_VALUE) continue;
        if (layout->fingerCount > 0) {
            if (kept || screenHandle != INVALID_HANDLE_VALUE) {
                ProcessLog().Write("HID %s: a further touch screen, closed", path.c_str());
                CloseHandle(handle);
            } else {
                screenHandle = handle;
                screenPath = path;
                screenAttributes = attributes;
                *screenLayout = *layout;
            }
            continue;
        }
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
        device.openFlag = true;
        device.handle = handle;
        device.attributes = attributes;
        device.path = path;
        StoreReportLengths(handle, device);
    }
    if (screenHandle != INVALID_HANDLE_VALUE) {
        if (kept) {
            ProcessLog().Write("HID %s: a touch screen beside the panel, closed",
                               screenPath.c_str());
            CloseHandle(screenHandle);
        } else {
            ProcessLog().Write(
                "touch screen opened: %s, vendor 0x%04X product 0x%04X version 0x%04X, %d "
                "finger(s)",
                screenPath.c_str(), screenAttributes.vendorId, screenAttributes.productId,
                screenAttributes.versionNumber, screenLayout->fingerCount);
            kept = true;
            if (lastMatch != nullptr) *lastMatch = screenAttributes;
            device.openFlag = true;
            device.handle = screenHandle;
            device.attributes = screenAttributes;
            device.touchScreen = true;
            device.layout = *screenLayout;
            device.path = screenPath;
            StoreReportLengths(screenHandle, device);
        }
    }
    // The same words whether touch screens were looked for or not: the log's readers
    // know them.
    if (!kept) return NoPanelFound(options.vendorId);
    return Result::Success();
}

void ListTouchDevices(const PanelOpenOptions& options, const std::vector<std::string>& skip,
                      std::vector<FoundTouchDevice>& found) {
    found.clear();
    auto layout = std::make_unique<ContactLayout>();
    std::string path;
    for (int i = 0; GetInterfacePath(i, path); ++i) {
        if (std::find(skip.begin(), skip.end(), path) != skip.end()) continue;
        FoundTouchDevice d;
        layout->fingerCount = 0;
        HANDLE handle = OpenPanel(path.c_str(), options, &d.attributes, layout.get());
        if (handle == INVALID_HANDLE_VALUE) continue;
        CloseHandle(handle);
        d.path = path;
        d.touchScreen = layout->fingerCount > 0;
        found.push_back(d);
    }
    std::vector<std::string> notes;
    ArrangeTouchDevices(found, notes);
    for (const std::string& note : notes) ProcessLog().Write("%s", note.c_str());
}

Result OpenPanelAt(PanelDevice& device, const std::string& path, const PanelOpenOptions& options) {
    auto layout = std::make_unique<ContactLayout>();
    HidAttributes attributes;
    HANDLE handle = OpenPanel(path.c_str(), options, &attributes, layout.get());
    if (handle == INVALID_HANDLE_VALUE)
        return Result::Failure("the device %s cannot be opened as a touch device", path.c_str());
    const bool screen = layout->fingerCount > 0;
    ProcessLog().Write("%s opened: %s, vendor 0x%04X product 0x%04X version 0x%04X",
                       screen ? "touch screen" : "panel", path.c_str(), attributes.vendorId,
                       attributes.productId, attributes.versionNumber);
    device.openFlag = true;
    device.handle = handle;
    device.attributes = attributes;
    device.path = path;
    device.touchScreen = screen;
    if (screen) device.layout = *layout;
    StoreReportLengths(handle, device);
    return Result::Success();
}

std::string RawInputDeviceName(void* rawDevice) {
    HANDLE device = static_cast<HANDLE>(rawDevice);
    UINT size = 0;
    if (GetRawInputDeviceInfoA(device, RIDI_DEVICENAME, nullptr, &size) != 0 || size == 0)
        return std::string();
    std::string name(size, '\0');
    const UINT got = GetRawInputDeviceInfoA(device, RIDI_DEVICENAME, &name[0], &size);
    if (got == static_cast<UINT>(-1)) return std::string();
    name.resize(std::strlen(name.c_str()));
    return name;
}

Result ReadValueRanges(PanelDevice& device) {
    if (device.handle == nullptr || device.handle == INVALID_HANDLE_VALUE) return NoOpenPanel();
    if (device.touchScreen) {
        // A screen's positions reach the reader already scaled to the panel range.
        device.logicalMaxX = kGenericPanelMax;
        device.logicalMaxY = kGenericPanelMax;
        ProcessLog().Write("touch screen layout: %s", FormatContactLayout(device.layout).c_str());
        return Result::Success();
    }
    PanelDescriptor descriptor;
    switch (QueryDescriptor(device.handle, descriptor)) {
        case Query::kOk:
            break;
        case Query::kNoDescriptor:
            return Result::Failure("the panel's descriptor cannot be read");
        default:
            return Result::Failure("%s", kNotPanelDescriptor);
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
    if (device.handle == nullptr || device.handle == INVALID_HANDLE_VALUE) return NoOpenPanel();
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
            result = StartReportFailed(error);
        } else if (WaitForSingleObject(done, kStartReportWaitMs) != WAIT_OBJECT_0) {
            CancelIo(device.handle);
            result = Result::Failure("the panel did not take the start report within %u ms",
                                     static_cast<unsigned>(kStartReportWaitMs));
        }
    }
    // Also waits for a cancelled write to be over before its buffers go.
    if (!GetOverlappedResult(device.handle, &overlapped, &written, TRUE) && result.Ok())
        result = StartReportFailed(GetLastError());
    CloseHandle(done);
    return result;
}

}  // namespace tactra
