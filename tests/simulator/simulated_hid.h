// The list of the simulated HID device interfaces, shared by the simulator's
// hid.dll and setupapi.dll and by the tests that write it.
//
// A text file, one interface per line in enumeration order (blank lines and lines
// starting with '#' are ignored): the interface's device path, which is the named
// pipe that serves the device, then any of these keys (numbers decimal or 0x hex):
//
//   \\.\pipe\NAME vendor=0x0EEF product=0x0001 version=0x0100 input=13 output=2
//                 feature=0 values=1,4095,4095
//
// vendor, product, version: the HID attributes; input, output, feature: the report
// lengths of the capabilities; values: the LogicalMax of each input value capability,
// in order (none: `values=`). A key left out keeps the default shown above, which
// describes a panel. `descriptor=HEX` (the bytes as hex digits, no blanks) makes the
// device a touch screen described by that report descriptor: its capabilities then
// come from the layout our own parser reads from it (input, feature and values are
// ignored), and a feature report written to it goes to its pipe like an output report.
// `collection=touch` or `collection=config` makes it one of the two interfaces the
// system makes of such a device: its Touch Screen collection without the Device Mode,
// or its Device Configuration collection (0x0D/0x0E) with only the Device Mode
// (default `all`: both in one). `links=nested` describes its link collections as
// screens nest them: each slot a logical collection named 0x01/0x22 (Generic Desktop)
// holding its flags and Contact Count (the first slot), with X and Y in a physical
// collection inside it (default `flat`: each slot one Finger collection, Contact
// Count in the Touch Screen itself). The file is
// named by the environment variable TACTRA_SIMULATED_HID; it is read again at every enumeration and
// every query, so a test may change it between two of them.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tactra {
namespace sim {

constexpr char kDeviceListVariable[] = "TACTRA_SIMULATED_HID";
constexpr char kPipePrefix[] = "\\\\.\\pipe\\";

struct SimulatedDevice {
    std::string path;  // \\.\pipe\NAME
    uint16_t vendorId = 0x0EEF;
    uint16_t productId = 0x0001;
    uint16_t versionNumber = 0x0100;
    uint16_t inputReportLength = 13;
    uint16_t outputReportLength = 2;
    uint16_t featureReportLength = 0;
    std::vector<int32_t> valueCapsLogicalMax{1, 4095, 4095};
    std::vector<uint8_t> descriptor;  // empty: a device without one (a panel)
    std::string collection = "all";   // all, touch or config (with a descriptor)
    std::string links = "flat";       // flat or nested (with a descriptor)
};

inline std::string FormatDevice(const SimulatedDevice& d) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  " vendor=0x%04X product=0x%04X version=0x%04X input=%u output=%u feature=%u "
                  "values=",
                  d.vendorId, d.productId, d.versionNumber, d.inputReportLength,
                  d.outputReportLength, d.featureReportLength);
    std::string line = d.path + numbers;
    for (size_t i = 0; i < d.valueCapsLogicalMax.size(); ++i) {
        if (i > 0) line += ',';
        line += std::to_string(d.valueCapsLogicalMax[i]);
    }
    if (!d.descriptor.empty()) {
        line += " descriptor=";
        char hex[3];
        for (uint8_t b : d.descriptor) {
            std::snprintf(hex, sizeof hex, "%02X", b);
            line += hex;
        }
        if (d.collection != "all") line += " collection=" + d.collection;
        if (d.links != "flat") line += " links=" + d.links;
    }
    return line;
}

inline std::string FormatDeviceList(const std::vector<SimulatedDevice>& devices) {
    std::string text = "# simulated HID interfaces, in enumeration order\n";
    for (const SimulatedDevice& d : devices) text += FormatDevice(d) + "\n";
    return text;
}

namespace detail {

inline bool ParseNumber(const char* text, long min, long max, long& value) {
    if (*text == '\0') return false;
    char* end = nullptr;
    value = std::strtol(text, &end, 0);
    return *end == '\0' && value >= min && value <= max;
}

inline bool ParseWord(const char* text, uint16_t& value) {
    long v = 0;
    if (!ParseNumber(text, 0, 0xFFFF, v)) return false;
    value = static_cast<uint16_t>(v);
    return true;
}

}  // namespace detail

// One line of the file. False for a line that is not a device; `error` says why when
// the line is not blank or a comment either.
inline bool ParseDevice(const std::string& line, SimulatedDevice& device, std::string& error) {
    error.clear();
    std::vector<std::string> words;
    std::string word;
    for (char c : line + " ") {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (words.empty() || words[0][0] == '#') return false;
    device = SimulatedDevice();
    device.path = words[0];
    if (device.path.compare(0, std::strlen(kPipePrefix), kPipePrefix) != 0 ||
        device.path.size() == std::strlen(kPipePrefix)) {
        error = "not a pipe path: " + device.path;
        return false;
    }
    for (size_t i = 1; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        const std::string key = words[i].substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : words[i].substr(eq + 1);
        bool ok = eq != std::string::npos;
        if (!ok) {
        } else if (key == "vendor") {
            ok = detail::ParseWord(value.c_str(), device.vendorId);
        } else if (key == "product") {
            ok = detail::ParseWord(value.c_str(), device.productId);
        } else if (key == "version") {
            ok = detail::ParseWord(value.c_str(), device.versionNumber);
        } else if (key == "input") {
            ok = detail::ParseWord(value.c_str(), device.inputReportLength);
        } else if (key == "output") {
            ok = detail::ParseWord(value.c_str(), device.outputReportLength);
        } else if (key == "feature") {
            ok = detail::ParseWord(value.c_str(), device.featureReportLength);
        } else if (key == "collection") {
            ok = value == "all" || value == "touch" || value == "config";
            device.collection = value;
        } else if (key == "links") {
            ok = value == "flat" || value == "nested";
            device.links = value;
        } else if (key == "descriptor") {
            ok = !value.empty() && value.size() % 2 == 0;
            device.descriptor.clear();
            for (size_t at = 0; ok && at < value.size(); at += 2) {
                long v = 0;
                ok = detail::ParseNumber(("0x" + value.substr(at, 2)).c_str(), 0, 0xFF, v) &&
                     std::isxdigit(static_cast<unsigned char>(value[at])) &&
                     std::isxdigit(static_cast<unsigned char>(value[at + 1]));
                device.descriptor.push_back(static_cast<uint8_t>(v));
            }
        } else if (key == "values") {
            device.valueCapsLogicalMax.clear();
            size_t start = 0;
            while (ok && start < value.size()) {
                size_t comma = value.find(',', start);
                if (comma == std::string::npos) comma = value.size();
                long v = 0;
                ok = detail::ParseNumber(value.substr(start, comma - start).c_str(), INT32_MIN,
                                         INT32_MAX, v);
                device.valueCapsLogicalMax.push_back(static_cast<int32_t>(v));
                start = comma + 1;
            }
        } else {
            ok = false;
        }
        if (!ok) {
            error = "bad setting '" + words[i] + "' of " + device.path;
            return false;
        }
    }
    return true;
}

// The devices described in `file`, in order. A file that cannot be read describes
// none; a malformed line makes the whole list invalid (false, `error` set),
// so that a mistake in a test never silently drops a device.
inline bool ReadDeviceList(const char* file, std::vector<SimulatedDevice>& devices,
                           std::string& error) {
    devices.clear();
    error.clear();
    if (file == nullptr || *file == '\0') return true;
    FILE* in = std::fopen(file, "rb");
    if (in == nullptr) return true;
    std::string line;
    int c = 0;
    bool ok = true;
    do {
        c = std::fgetc(in);
        if (c != EOF && c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        SimulatedDevice device;
        std::string lineError;
        if (ParseDevice(line, device, lineError)) {
            devices.push_back(device);
        } else if (!lineError.empty()) {
            error = lineError;
            ok = false;
        }
        line.clear();
    } while (ok && c != EOF);
    std::fclose(in);
    if (!ok) devices.clear();
    return ok;
}

}  // namespace sim
}  // namespace tactra
