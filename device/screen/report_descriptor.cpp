#include "device/screen/report_descriptor.h"

#include <vector>

namespace tactra {

namespace {

enum MainTag : uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC,
};

constexpr uint8_t kCollectionApplication = 1;

// The most usages (or usage ranges) a main item may carry; the rest are ignored.
constexpr size_t kMaxLocalUsages = 256;

struct GlobalState {
    uint32_t usagePage = 0;
    uint32_t logicalMinRaw = 0;
    uint8_t logicalMinSize = 0;
    uint32_t logicalMaxRaw = 0;
    uint8_t logicalMaxSize = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

struct UsageRange {
    uint32_t first = 0;
    uint32_t last = 0;
};

struct Collection {
    uint8_t type = 0;
    uint32_t usage = 0;
    int node = -1;  // its index among the Touch Screen's collections being read (-1: none)
};

// A field of the Touch Screen being read that a contact or the frame is made of.
struct TouchField {
    SlotFieldUsage where;
    LayoutField field;  // positions without the report ID byte
};

// The most such fields kept of one Touch Screen collection.
constexpr size_t kMaxTouchFields = 4096;

int64_t SignExtend(uint32_t raw, uint8_t size) {
    if (size == 1) return static_cast<int8_t>(raw);
    if (size == 2) return static_cast<int16_t>(raw);
    return static_cast<int32_t>(raw);
}

int32_t Clamp32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

class DescriptorParser {
public:
    DescriptorParser(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Run(ContactLayout& layout, std::string& reason) {
        if (size_ > kMaxDescriptorBytes) {
            return Fail("a descriptor of " + std::to_string(size_) + " bytes (at most " +
                            std::to_string(kMaxDescriptorBytes) + ")",
                        reason);
        }
        while (at_ < size_) {
            if (!Item(reason)) return false;
        }
        if (!collections_.empty()) return Fail("a collection is not closed at the end", reason);
        return Build(layout, reason);
    }

private:
    bool Fail(const std::string& what, std::string& reason) {
        reason = what;
        return false;
    }

    bool FailAt(size_t offset, const std::string& what, std::string& reason) {
        return Fail(what + " (descriptor byte " + std::to_string(offset) + ")", reason);
    }

    bool Item(std::string& reason) {
        const size_t start = at_;
        const uint8_t prefix = data_[at_++];
        if (prefix == 0xFE) {  // a long item: skipped whole
            if (size_ - at_ < 2) return FailAt(start, "a long item is cut short", reason);
            const size_t length = data_[at_];
            at_ += 2;
            if (size_ - at_ < length) return FailAt(start, "a long item is cut short", reason);
            at_ += length;
            return true;
        }
        const uint8_t sizeCode = prefix & 3;
        const uint8_t size = sizeCode == 3 ? 4 : sizeCode;
        if (size_ - at_ < size) return FailAt(start, "an item is cut short", reason);
        uint32_t value = 0;
        for (uint8_t i = 0; i < size; ++i)
            value |= static_cast<uint32_t>(data_[at_ + i]) << (8 * i);
        at_ += size;
        const uint8_t type = (prefix >> 2) & 3;
        const uint8_t tag = prefix >> 4;
        switch (type) {
            case 0:
                return Main(start, tag, value, reason);
            case 1:
                return Global(start, tag, value, size, reason);
            case 2:
                Local(tag, value, size);
                return true;
            default:
                return true;  // reserved items carry nothing we use
        }
    }

    bool Global(size_t start, uint8_t tag, uint32_t value, uint8_t size, std::string& reason) {
        switch (tag) {
            case 0x0:
                global_.usagePage = value & 0xFFFF;
                break;
            case 0x1:
                global_.logicalMinRaw = value;
                global_.logicalMinSize = size;
                break;
            case 0x2:
                global_.logicalMaxRaw = value;
                global_.logicalMaxSize = size;
                break;
            case 0x7:
                global_.reportSize = value;
                break;
            case 0x8:
                if (value == 0 || value > 255) {
                    return FailAt(start, "report ID " + std::to_string(value), reason);
                }
                global_.reportId = static_cast<uint8_t>(value);
                usesIds_ = true;
                break;
            case 0x9:
                global_.reportCount = value;
                break;
            case 0xA:
                if (stack_.size() >= static_cast<size_t>(kMaxGlobalStackDepth)) {
                    return FailAt(start,
                                  "Push nested deeper than " + std::to_string(kMaxGlobalStackDepth),
                                  reason);
                }
                stack_.push_back(global_);
                break;
            case 0xB:
                if (stack_.empty()) return FailAt(start, "Pop without Push", reason);
                global_ = stack_.back();
                stack_.pop_back();
                break;
            default:
                break;  // physical range, unit: not used
        }
        return true;
    }

    uint32_t FullUsage(uint32_t value, uint8_t size) const {
        return size == 4 ? value : (global_.usagePage << 16) | (value & 0xFFFF);
    }

    void Local(uint8_t tag, uint32_t value, uint8_t size) {
        if (tag == 0x0) {
            if (usages_.size() < kMaxLocalUsages) {
                const uint32_t u = FullUsage(value, size);
                usages_.push_back({u, u});
            }
        } else if (tag == 0x1) {
            pendingMin_ = FullUsage(value, size);
            havePendingMin_ = true;
        } else if (tag == 0x2 && havePendingMin_) {
            uint32_t last = FullUsage(value, size);
            if (last < pendingMin_) last = pendingMin_;
            if (usages_.size() < kMaxLocalUsages) usages_.push_back({pendingMin_, last});
            havePendingMin_ = false;
        }
    }

    void ClearLocals() {
        usages_.clear();
        havePendingMin_ = false;
    }

    // How many fields of a variable item its usages name, one each (saturating).
    uint64_t NamedFields() const {
        uint64_t n = 0;
        for (const UsageRange& r : usages_) n += static_cast<uint64_t>(r.last - r.first) + 1;
        return n;
    }

    // The usage of field `index` of a variable item: the last one repeats.
    uint32_t UsageAt(uint32_t index) const {
        if (usages_.empty()) return 0;
        uint64_t left = index;
        for (const UsageRange& r : usages_) {
            const uint64_t n = static_cast<uint64_t>(r.last - r.first) + 1;
            if (left < n) return r.first + static_cast<uint32_t>(left);
            left -= n;
        }
        return usages_.back().last;
    }

    bool Main(size_t start, uint8_t tag, uint32_t value, std::string& reason) {
        bool ok = true;
        switch (tag) {
            case kCollection:
                ok = OpenCollection(start, static_cast<uint8_t>(value & 0xFF), reason);
                break;
            case kEndCollection:
                ok = CloseCollection(start, reason);
                break;
            case kInput:
            case kOutput:
            case kFeature:
                ok = Field(start, tag, value, reason);
                break;
            default:
                break;
        }
        ClearLocals();
        return ok;
    }

    bool OpenCollection(size_t start, uint8_t type, std::string& reason) {
        if (collections_.size() >= static_cast<size_t>(kMaxCollectionDepth)) {
            return FailAt(start,
                          "collections nested deeper than " + std::to_string(kMaxCollectionDepth),
                          reason);
        }
        Collection c;
        c.type = type;
        c.usage = usages_.empty() ? 0 : usages_.front().first;
        const Collection* parent = collections_.empty() ? nullptr : &collections_.back();
        if (found_) {
            // The screen has been read; the rest of the descriptor is skipped.
        } else if (type == kCollectionApplication && c.usage == kUsageTouchScreen &&
                   (parent == nullptr || parent->node < 0)) {
            nodes_.assign(1, SlotCollection{-1, type});
            fields_.clear();
            c.node = 0;
        } else if (parent != nullptr && parent->node >= 0) {
            c.node = static_cast<int>(nodes_.size());
            nodes_.push_back(SlotCollection{parent->node, type});
        }
        collections_.push_back(c);
        return true;
    }

    bool CloseCollection(size_t start, std::string& reason) {
        if (collections_.empty())
            return FailAt(start, "End Collection without a Collection", reason);
        const Collection c = collections_.back();
        collections_.pop_back();
        if (c.node == 0 && !found_) {
            // This Touch Screen is the screen when its touch report holds a slot.
            std::vector<SlotFieldUsage> usages;
            usages.reserve(fields_.size());
            for (const TouchField& f : fields_) usages.push_back(f.where);
            slots_ = FindContactSlots(nodes_, usages);
            found_ = slots_.found;
        }
        return true;
    }

    LayoutField MakeField(uint64_t bitPosition) const {
        LayoutField f;
        f.bitPosition = static_cast<uint32_t>(bitPosition);
        f.bitSize = static_cast<uint8_t>(global_.reportSize);
        const int64_t min = SignExtend(global_.logicalMinRaw, global_.logicalMinSize);
        // A maximum is read as signed only beside a negative minimum: "26 FF 00" is 255.
        const int64_t max = min < 0 ? SignExtend(global_.logicalMaxRaw, global_.logicalMaxSize)
                                    : static_cast<int64_t>(global_.logicalMaxRaw);
        f.logicalMin = Clamp32(min);
        f.logicalMax = Clamp32(max);
        f.isSigned = f.logicalMin < 0;
        return f;
    }

    bool Field(size_t start, uint8_t tag, uint32_t flags, std::string& reason) {
        const uint64_t count = global_.reportCount;
        const uint64_t bits = static_cast<uint64_t>(global_.reportSize) * count;
        // A field wider than 32 bits (a pen's serial number, a vendor's blob) is
        // skipped; only one that a contact would be read from refuses the screen.
        const bool wide = global_.reportSize > static_cast<uint32_t>(kMaxLayoutFieldBits);
        const uint8_t id = global_.reportId;
        uint64_t& counter = tag == kInput     ? inputBits_[id]
                            : tag == kFeature ? featureBits_[id]
                                              : outputBits_[id];
        const uint64_t base = counter;
        // Saturating: a count of 2^32 fields cannot wrap the position. A report's
        // length matters only for the touch report (Build).
        counter = base + bits > (1ull << 40) ? (1ull << 40) : base + bits;
        const bool constant = (flags & 1) != 0;
        const bool variable = (flags & 2) != 0;
        if (constant || !variable || count == 0 || global_.reportSize == 0) return true;
        const Collection* c = collections_.empty() ? nullptr : &collections_.back();
        const uint32_t n = count < kMaxLocalUsages ? static_cast<uint32_t>(count)
                                                   : static_cast<uint32_t>(kMaxLocalUsages);
        // Fields past the item's usages repeat its last usage (an X with a Report
        // Count of 2): the first of them is the one a contact is read from.
        const uint64_t named = NamedFields();
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t usage = UsageAt(i);
            const uint64_t position = base + static_cast<uint64_t>(i) * global_.reportSize;
            if (tag == kFeature) {
                if (wide) continue;
                if (usage == kUsageDeviceMode && !deviceMode_.present) {
                    deviceMode_.present = true;
                    deviceMode_.reportId = id;
                    deviceMode_.bitPosition = static_cast<uint32_t>(position);
                    deviceMode_.bitSize = static_cast<uint8_t>(global_.reportSize);
                }
                if (usage == kUsageContactCountMaximum && c != nullptr && c->node >= 0 && !found_ &&
                    !haveCountMax_) {
                    countMax_ = MakeField(position).logicalMax;
                    haveCountMax_ = true;
                }
                continue;
            }
            if (tag != kInput || c == nullptr || c->node < 0 || found_) continue;
            const bool wanted = usage == kUsageTipSwitch || usage == kUsageInRange ||
                                usage == kUsageConfidence || usage == kUsageContactId ||
                                usage == kUsageX || usage == kUsageY || usage == kUsageContactCount;
            if (!wanted || i >= named) continue;
            if (wide) {
                return FailAt(start,
                              "a field of " + std::to_string(global_.reportSize) +
                                  " bits is wider than " + std::to_string(kMaxLayoutFieldBits),
                              reason);
            }
            // Positions beyond a touch report's longest are never decoded (Build refuses).
            if (fields_.size() == kMaxTouchFields ||
                position >= static_cast<uint64_t>(kMaxLayoutReportBytes) * 8) {
                continue;
            }
            fields_.push_back(TouchField{SlotFieldUsage{c->node, usage, id}, MakeField(position)});
        }
        return true;
    }

    bool Build(ContactLayout& layout, std::string& reason) {
        if (!found_) {
            return Fail(
                "no contact slot (a collection with X, Y and Tip Switch, In Range, Confidence "
                "or Contact Identifier) in a Touch Screen collection",
                reason);
        }
        ContactLayout built;
        const uint8_t id = slots_.reportId;
        built.reportId = usesIds_ ? id : 0;
        const int32_t idBits = usesIds_ ? 8 : 0;
        const uint64_t length = (inputBits_[id] + 7) / 8 + (usesIds_ ? 1 : 0);
        if (length > kMaxLayoutReportBytes) {
            return Fail("the touch report " + std::to_string(id) + " is longer than " +
                            std::to_string(kMaxLayoutReportBytes) + " bytes",
                        reason);
        }
        built.inputReportLength = static_cast<uint16_t>(length);
        built.fingerCount = slots_.slotCount;
        built.slotsIgnored = slots_.slotsIgnored;
        for (const TouchField& f : fields_) {
            if (f.where.reportId != id) continue;
            if (f.where.usage == kUsageContactCount) {
                // The first Contact Count of the report, beside the slots or in one.
                if (!built.contactCount.Present()) built.contactCount = f.field;
                continue;
            }
            const int slot = slots_.slotOf[static_cast<size_t>(f.where.collection)];
            if (slot < 0) continue;
            LayoutField* field = built.fingers[slot].FieldOf(f.where.usage);
            if (field != nullptr && !field->Present()) *field = f.field;
        }
        for (int i = 0; i < built.fingerCount; ++i) built.fingers[i].Shift(idBits);
        built.contactCount.Shift(idBits);
        built.contactCountMaximum = haveCountMax_ && countMax_ > 0 ? countMax_ : built.fingerCount;
        if (deviceMode_.present) {
            const uint8_t modeId = deviceMode_.reportId;
            const uint64_t modeLength = (featureBits_[modeId] + 7) / 8 + (usesIds_ ? 1 : 0);
            // A Device Mode in a report too long to write is left alone: the screen
            // may still report its contacts.
            if (modeLength <= kMaxDeviceModeReportBytes) {
                built.deviceMode = deviceMode_;
                built.deviceMode.reportId = usesIds_ ? modeId : 0;
                built.deviceMode.bitPosition += static_cast<uint32_t>(idBits);
                built.deviceMode.reportLength = static_cast<uint16_t>(modeLength);
            }
        }
        if (!CheckContactLayout(built, reason)) return false;
        layout = built;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    GlobalState global_;
    std::vector<GlobalState> stack_;
    std::vector<UsageRange> usages_;
    uint32_t pendingMin_ = 0;
    bool havePendingMin_ = false;
    std::vector<Collection> collections_;
    bool usesIds_ = false;
    uint64_t inputBits_[256] = {};
    uint64_t outputBits_[256] = {};
    uint64_t featureBits_[256] = {};

    bool found_ = false;                 // a Touch Screen with slots has been read whole
    std::vector<SlotCollection> nodes_;  // the Touch Screen's collections, itself first
    std::vector<TouchField> fields_;
    ContactSlots slots_;
    bool haveCountMax_ = false;
    int32_t countMax_ = 0;
    DeviceModeFeature deviceMode_;
};

}  // namespace

bool ParseReportDescriptor(const uint8_t* data, size_t size, ContactLayout& layout,
                           std::string& reason) {
    if (data == nullptr && size != 0) {
        reason = "no descriptor";
        return false;
    }
    return DescriptorParser(data, size).Run(layout, reason);
}

}  // namespace tactra
