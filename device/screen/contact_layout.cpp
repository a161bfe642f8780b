#include "device/screen/contact_layout.h"

#include <utility>
#include <vector>

#include "platform/number_text.h"

namespace tactra {

namespace {

bool FieldFits(const LayoutField& f, size_t reportBytes) {
    return f.bitSize >= 1 && f.bitSize <= kMaxLayoutFieldBits &&
           static_cast<uint64_t>(f.bitPosition) + f.bitSize <= reportBytes * 8;
}

bool CheckField(const LayoutField& f, const char* name, int finger, size_t reportBytes,
                std::string& reason) {
    if (!f.Present()) return true;
    if (!FieldFits(f, reportBytes)) {
        reason = std::string(name) + " of finger " + std::to_string(finger + 1) +
                 " is not 1 to 32 bits inside the report";
        return false;
    }
    if (f.isSigned != (f.logicalMin < 0)) {
        reason = std::string(name) + " of finger " + std::to_string(finger + 1) +
                 " has a sign that its logical minimum does not give";
        return false;
    }
    return true;
}

void AppendField(std::string& text, const char* name, const LayoutField& f) {
    if (!f.Present()) return;
    text += ' ';
    text += name;
    text += '=' + std::to_string(f.bitPosition) + ':' + std::to_string(f.bitSize) + ':' +
            std::to_string(f.logicalMin) + ':' + std::to_string(f.logicalMax);
}

std::vector<std::string> SplitWords(const std::string& text, char separator) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        const bool blank = separator == ' ' ? (c == ' ' || c == '\t') : c == separator;
        if (blank) {
            if (!word.empty() || separator != ' ') words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty() || (separator != ' ' && !text.empty())) words.push_back(word);
    return words;
}

bool ParseNumbers(const std::string& value, size_t count, const int64_t (*ranges)[2],
                  int64_t* out) {
    const std::vector<std::string> parts = SplitWords(value, ':');
    if (parts.size() != count) return false;
    for (size_t i = 0; i < count; ++i) {
        if (!ParseStrictNumber(parts[i], ranges[i][0], ranges[i][1], out[i])) return false;
    }
    return true;
}

bool ParseField(const std::string& value, LayoutField& f) {
    static const int64_t kRanges[4][2] = {{0, kMaxLayoutReportBytes * 8},
                                          {1, kMaxLayoutFieldBits},
                                          {INT32_MIN, INT32_MAX},
                                          {INT32_MIN, INT32_MAX}};
    int64_t v[4];
    if (!ParseNumbers(value, 4, kRanges, v)) return false;
    f.bitPosition = static_cast<uint32_t>(v[0]);
    f.bitSize = static_cast<uint8_t>(v[1]);
    f.logicalMin = static_cast<int32_t>(v[2]);
    f.logicalMax = static_cast<int32_t>(v[3]);
    f.isSigned = f.logicalMin < 0;
    return true;
}

}  // namespace

bool ContactLayout::operator==(const ContactLayout& o) const {
    if (reportId != o.reportId || inputReportLength != o.inputReportLength ||
        !(contactCount == o.contactCount) || contactCountMaximum != o.contactCountMaximum ||
        fingerCount != o.fingerCount || !(deviceMode == o.deviceMode)) {
        return false;
    }
    for (int i = 0; i < fingerCount && i < kMaxContacts; ++i) {
        if (!(fingers[i] == o.fingers[i])) return false;
    }
    return true;
}

LayoutField* FingerLayout::FieldOf(uint32_t usage) {
    switch (usage) {
        case kUsageTipSwitch:
            return &tipSwitch;
        case kUsageInRange:
            return &inRange;
        case kUsageConfidence:
            return &confidence;
        case kUsageContactId:
            return &contactId;
        case kUsageX:
            return &x;
        case kUsageY:
            return &y;
        default:
            return nullptr;
    }
}

ContactSlots FindContactSlots(const std::vector<SlotCollection>& collections,
                              const std::vector<SlotFieldUsage>& fields) {
    ContactSlots out;
    const int n = static_cast<int>(collections.size());
    out.slotOf.assign(collections.size(), -1);
    const auto inside = [&](int c) {  // a collection below the application, by index
        return c > 0 && c < n && collections[c].parent >= 0 && collections[c].parent < c &&
               collections[c].type != 1;
    };
    bool haveReport = false;
    for (const SlotFieldUsage& f : fields) {
        if (f.usage == kUsageX && inside(f.collection)) {
            haveReport = true;
            out.reportId = f.reportId;
            break;
        }
    }
    if (!haveReport) return out;

    // How many X each collection holds, itself and below it.
    std::vector<int> xCount(collections.size(), 0);
    for (const SlotFieldUsage& f : fields) {
        if (f.usage != kUsageX || f.reportId != out.reportId) continue;
        for (int c = f.collection; inside(c); c = collections[c].parent) ++xCount[c];
    }
    // The slot a collection lies in: the outermost one on its way up with one X.
    std::vector<int> root(collections.size(), -1);
    for (int c = 1; c < n; ++c) {
        for (int up = c; inside(up); up = collections[up].parent) {
            if (xCount[up] == 1) root[c] = up;
        }
    }
    enum : unsigned { kHasX = 1, kHasY = 2, kHasFlag = 4 };
    std::vector<unsigned> has(collections.size(), 0);
    for (const SlotFieldUsage& f : fields) {
        if (f.reportId != out.reportId || f.collection < 0 || f.collection >= n) continue;
        const int r = root[f.collection];
        if (r < 0) continue;
        if (f.usage == kUsageX) has[r] |= kHasX;
        if (f.usage == kUsageY) has[r] |= kHasY;
        if (f.usage == kUsageTipSwitch || f.usage == kUsageInRange || f.usage == kUsageConfidence ||
            f.usage == kUsageContactId) {
            has[r] |= kHasFlag;
        }
    }
    std::vector<int> slotOfRoot(collections.size(), -1);
    for (int c = 1; c < n; ++c) {
        if (root[c] != c || has[c] != (kHasX | kHasY | kHasFlag)) continue;
        if (out.slotCount == kMaxContacts) {
            ++out.slotsIgnored;
            continue;
        }
        slotOfRoot[c] = out.slotCount++;
    }
    for (int c = 1; c < n; ++c) {
        if (root[c] >= 0) out.slotOf[c] = slotOfRoot[root[c]];
    }
    out.found = out.slotCount > 0;
    return out;
}

bool CheckContactLayout(const ContactLayout& layout, std::string& reason) {
    if (layout.fingerCount < 1 || layout.fingerCount > kMaxContacts) {
        reason = "a touch screen needs 1 to " + std::to_string(kMaxContacts) +
                 " contact slots, this one has " + std::to_string(layout.fingerCount);
        return false;
    }
    const size_t bytes = layout.inputReportLength;
    const size_t idBytes = layout.reportId != 0 ? 1 : 0;
    if (bytes <= idBytes || bytes > kMaxLayoutReportBytes) {
        reason = "a touch report of " + std::to_string(bytes) + " bytes (1 to " +
                 std::to_string(kMaxLayoutReportBytes) + " after its ID)";
        return false;
    }
    for (int i = 0; i < layout.fingerCount; ++i) {
        const FingerLayout& f = layout.fingers[i];
        if (!f.x.Present() || !f.y.Present()) {
            reason = "finger " + std::to_string(i + 1) + " has no X or no Y";
            return false;
        }
        if (f.x.logicalMin >= f.x.logicalMax || f.y.logicalMin >= f.y.logicalMax) {
            reason = "finger " + std::to_string(i + 1) + " has an empty X or Y range";
            return false;
        }
        if (!CheckField(f.tipSwitch, "Tip Switch", i, bytes, reason) ||
            !CheckField(f.inRange, "In Range", i, bytes, reason) ||
            !CheckField(f.confidence, "Confidence", i, bytes, reason) ||
            !CheckField(f.contactId, "Contact Identifier", i, bytes, reason) ||
            !CheckField(f.x, "X", i, bytes, reason) || !CheckField(f.y, "Y", i, bytes, reason)) {
            return false;
        }
    }
    if (layout.contactCount.Present() && !FieldFits(layout.contactCount, bytes)) {
        reason = "the Contact Count is not 1 to 32 bits inside the report";
        return false;
    }
    const DeviceModeFeature& m = layout.deviceMode;
    if (m.present && (m.reportLength == 0 || m.reportLength > kMaxDeviceModeReportBytes ||
                      m.bitSize < 1 || m.bitSize > kMaxLayoutFieldBits ||
                      static_cast<uint64_t>(m.bitPosition) + m.bitSize >
                          static_cast<uint64_t>(m.reportLength) * 8)) {
        reason = "the Device Mode is not 1 to 32 bits inside its feature report";
        return false;
    }
    return true;
}

bool LayoutHasRequiredUsages(const ContactLayout& layout, std::string& missing) {
    missing.clear();
    if (layout.fingerCount < 1) {
        missing = "a contact slot";
        return false;
    }
    const FingerLayout& f = layout.fingers[0];
    const std::pair<const LayoutField*, const char*> required[] = {
        {&f.tipSwitch, "Tip Switch"},
        {&f.contactId, "Contact Identifier"},
        {&f.x, "X"},
        {&f.y, "Y"}};
    for (const auto& r : required) {
        if (r.first->Present()) continue;
        if (!missing.empty()) missing += ", ";
        missing += r.second;
    }
    return missing.empty();
}

std::vector<uint8_t> MakeDeviceModeReport(const ContactLayout& layout, int32_t value) {
    const DeviceModeFeature& m = layout.deviceMode;
    if (!m.present || m.reportLength == 0 || m.bitSize == 0 ||
        static_cast<uint64_t>(m.bitPosition) + m.bitSize >
            static_cast<uint64_t>(m.reportLength) * 8) {
        return {};
    }
    std::vector<uint8_t> report(m.reportLength, 0);
    if (m.reportId != 0) report[0] = m.reportId;
    const uint64_t bits = static_cast<uint32_t>(value);
    for (uint8_t b = 0; b < m.bitSize && b < 32; ++b) {
        if ((bits >> b) & 1) {
            const uint32_t at = m.bitPosition + b;
            report[at / 8] = static_cast<uint8_t>(report[at / 8] | (1u << (at % 8)));
        }
    }
    return report;
}

std::string FormatContactLayout(const ContactLayout& layout) {
    std::string text = "id=" + std::to_string(layout.reportId) +
                       " bytes=" + std::to_string(layout.inputReportLength);
    AppendField(text, "count", layout.contactCount);
    text += " max=" + std::to_string(layout.contactCountMaximum);
    const DeviceModeFeature& m = layout.deviceMode;
    if (m.present) {
        text += " mode=" + std::to_string(m.reportId) + ':' + std::to_string(m.bitPosition) + ':' +
                std::to_string(m.bitSize) + ':' + std::to_string(m.reportLength);
    }
    for (int i = 0; i < layout.fingerCount && i < kMaxContacts; ++i) {
        const FingerLayout& f = layout.fingers[i];
        text += " finger";
        AppendField(text, "tip", f.tipSwitch);
        AppendField(text, "range", f.inRange);
        AppendField(text, "conf", f.confidence);
        AppendField(text, "cid", f.contactId);
        AppendField(text, "x", f.x);
        AppendField(text, "y", f.y);
    }
    return text;
}

bool ParseContactLayout(const std::string& text, ContactLayout& layout, std::string& reason) {
    ContactLayout read;
    bool haveId = false, haveBytes = false;
    FingerLayout* finger = nullptr;
    for (const std::string& word : SplitWords(text, ' ')) {
        if (word == "finger") {
            if (read.fingerCount == kMaxContacts) {
                reason = "more than " + std::to_string(kMaxContacts) + " fingers";
                return false;
            }
            finger = &read.fingers[read.fingerCount++];
            continue;
        }
        const size_t eq = word.find('=');
        if (eq == std::string::npos) {
            reason = "'" + word + "' is not NAME=VALUE or 'finger'";
            return false;
        }
        const std::string name = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        bool ok = true;
        if (finger != nullptr) {
            LayoutField* field = name == "tip"     ? &finger->tipSwitch
                                 : name == "range" ? &finger->inRange
                                 : name == "conf"  ? &finger->confidence
                                 : name == "cid"   ? &finger->contactId
                                 : name == "x"     ? &finger->x
                                 : name == "y"     ? &finger->y
                                                   : nullptr;
            if (field == nullptr) {
                reason = "unknown finger field '" + name + "'";
                return false;
            }
            ok = ParseField(value, *field);
        } else if (name == "id") {
            int64_t v = 0;
            ok = ParseStrictNumber(value, 0, 255, v);
            read.reportId = static_cast<uint8_t>(v);
            haveId = true;
        } else if (name == "bytes") {
            int64_t v = 0;
            ok = ParseStrictNumber(value, 1, kMaxLayoutReportBytes, v);
            read.inputReportLength = static_cast<uint16_t>(v);
            haveBytes = true;
        } else if (name == "count") {
            ok = ParseField(value, read.contactCount);
        } else if (name == "max") {
            int64_t v = 0;
            ok = ParseStrictNumber(value, 0, INT32_MAX, v);
            read.contactCountMaximum = static_cast<int32_t>(v);
        } else if (name == "mode") {
            static const int64_t kRanges[4][2] = {{0, 255},
                                                  {0, kMaxDeviceModeReportBytes * 8},
                                                  {1, kMaxLayoutFieldBits},
                                                  {1, kMaxDeviceModeReportBytes}};
            int64_t v[4];
            ok = ParseNumbers(value, 4, kRanges, v);
            if (ok) {
                read.deviceMode.present = true;
                read.deviceMode.reportId = static_cast<uint8_t>(v[0]);
                read.deviceMode.bitPosition = static_cast<uint32_t>(v[1]);
                read.deviceMode.bitSize = static_cast<uint8_t>(v[2]);
                read.deviceMode.reportLength = static_cast<uint16_t>(v[3]);
            }
        } else {
            reason = "unknown layout word '" + name + "'";
            return false;
        }
        if (!ok) {
            reason = "bad value in '" + word + "'";
            return false;
        }
    }
    if (!haveId || !haveBytes) {
        reason = "a layout needs id= and bytes=";
        return false;
    }
    if (!CheckContactLayout(read, reason)) return false;
    layout = read;
    return true;
}

int64_t ExtractField(const uint8_t* data, uint32_t bitPosition, uint8_t bitSize, bool isSigned) {
    // At most 32 bits starting anywhere in a byte span at most five bytes.
    const uint32_t first = bitPosition / 8;
    const uint32_t last = (bitPosition + bitSize - 1) / 8;
    uint64_t raw = 0;
    for (uint32_t i = last + 1; i-- > first;) raw = (raw << 8) | data[i];
    raw >>= bitPosition % 8;
    const uint64_t mask = bitSize >= 64 ? ~0ull : ((1ull << bitSize) - 1);
    raw &= mask;
    if (isSigned && bitSize > 0 && (raw >> (bitSize - 1)) != 0) {
        return static_cast<int64_t>(raw) - static_cast<int64_t>(1ull << bitSize);
    }
    return static_cast<int64_t>(raw);
}

namespace {

inline int32_t Value(const uint8_t* data, const LayoutField& f) {
    return static_cast<int32_t>(ExtractField(data, f.bitPosition, f.bitSize, f.isSigned));
}

inline bool Flag(const uint8_t* data, const LayoutField& f) {
    return f.Present() && ExtractField(data, f.bitPosition, f.bitSize, false) != 0;
}

}  // namespace

LayoutDecodeResult DecodeContactReport(const ContactLayout& layout, const uint8_t* data,
                                       size_t length, DecodedReport& out) {
    if (data == nullptr || length == 0) return LayoutDecodeResult::kTooShort;
    if (layout.reportId != 0 && data[0] != layout.reportId) {
        return LayoutDecodeResult::kUnknownReportId;
    }
    if (length < layout.inputReportLength) return LayoutDecodeResult::kTooShort;
    out.hasCount = layout.contactCount.Present();
    out.contactCount = out.hasCount ? Value(data, layout.contactCount) : 0;
    const int slots = layout.fingerCount < kMaxContacts ? layout.fingerCount : kMaxContacts;
    out.slotCount = slots;
    for (int i = 0; i < slots; ++i) {
        const FingerLayout& f = layout.fingers[i];
        DecodedContact& c = out.slots[i];
        c.hasTipSwitch = f.tipSwitch.Present();
        c.tipSwitch = Flag(data, f.tipSwitch);
        c.hasInRange = f.inRange.Present();
        c.inRange = Flag(data, f.inRange);
        c.hasConfidence = f.confidence.Present();
        c.confidence = Flag(data, f.confidence);
        c.hasId = f.contactId.Present();
        c.id = c.hasId ? static_cast<uint32_t>(ExtractField(data, f.contactId.bitPosition,
                                                            f.contactId.bitSize, false))
                       : 0;
        c.x = Value(data, f.x);
        c.y = Value(data, f.y);
    }
    return LayoutDecodeResult::kOk;
}

}  // namespace tactra
