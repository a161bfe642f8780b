#include "platform/number_text.h"

namespace tactra {

namespace {

// Values this large are past every range asked for; the scan stops growing there.
constexpr uint64_t kPastEveryRange = UINT64_C(1) << 40;

// The lenient rules' common part: leading blanks, one sign, then the digits up to
// the first other character, their value capped at kPastEveryRange.
struct LenientScan {
    bool negative = false;
    uint64_t magnitude = 0;
};

LenientScan ScanLenient(std::string_view text) {
    LenientScan scan;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) scan.negative = text[i++] == '-';
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (scan.magnitude < kPastEveryRange)
            scan.magnitude = scan.magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    return scan;
}

}  // namespace

uint32_t ProfileNumber(std::string_view text) {
    const LenientScan scan = ScanLenient(text);
    if (scan.magnitude > UINT32_MAX) return UINT32_MAX;
    const uint32_t value = static_cast<uint32_t>(scan.magnitude);
    return scan.negative ? 0u - value : value;
}

int32_t AtoiNumber(std::string_view text) {
    const LenientScan scan = ScanLenient(text);
    const int64_t value = scan.negative ? -static_cast<int64_t>(scan.magnitude)
                                        : static_cast<int64_t>(scan.magnitude);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool ParseStrictNumber(std::string_view text, int64_t low, int64_t high, int64_t& value) {
    std::string_view s = text;
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    int64_t v = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        if (v > static_cast<int64_t>(kPastEveryRange)) return false;
        v = v * base + digit;
    }
    value = negative ? -v : v;
    return value >= low && value <= high;
}

}  // namespace tactra
