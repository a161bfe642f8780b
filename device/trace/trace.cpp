#include "device/trace/trace.h"

#include <cstdio>
#include <initializer_list>

#include "device/screen/contact_layout.h"
#include "device/screen/report_descriptor.h"
#include "device/mapping/monitor.h"
#include "device/panel/panel.h"
#include "device/panel/touch_report.h"
#include "platform/number_text.h"

namespace tactra {

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words and double-quoted strings; '#' outside quotes ends it.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& reason) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t;
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size() || (line[i] != '"' && line[i] != '\\')) {
                        reason = "bad escape in string (only \\\" and \\\\)";
                        return false;
                    }
                    t.text.push_back(line[i++]);
                    continue;
                }
                t.text.push_back(d);
            }
            if (!closed) {
                reason = "unterminated string";
                return false;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '#') {
                reason = "text directly after a string";
                return false;
            }
            tokens.push_back(std::move(t));
        } else {
            Token t;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '#') {
                if (line[i] == '"') {
                    reason = "quote inside a word";
                    return false;
                }
                t.text.push_back(line[i++]);
            }
            tokens.push_back(std::move(t));
        }
    }
    return true;
}

bool ParseNumber(const Token& token, int64_t low, int64_t high, int64_t& value) {
    return !token.quoted && ParseStrictNumber(token.text, low, high, value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A file name for `file` and `remove`: a plain name inside the working directory.
bool ValidName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == ':' || c == '\0') return false;
    }
    return true;
}

class Parser {
public:
    Parser(std::string_view text, const TraceOptions& options, std::vector<TraceStep>& steps,
           TraceError& error)
        : text_(text), options_(options), steps_(steps), error_(error) {}

    bool Run() {
        steps_.clear();
        while (NextLine()) {
            if (!ParseLine()) return false;
        }
        return true;
    }

private:
    bool NextLine() {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line_ = text_.substr(pos_, end - pos_);
        if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
        pos_ = end + 1;
        ++lineNumber_;
        return true;
    }

    bool Fail(const std::string& reason) {
        error_.line = lineNumber_;
        error_.reason = reason;
        return false;
    }

    bool Number(size_t index, int64_t low, int64_t high, const char* what, int64_t& value) {
        if (index >= tokens_.size()) return Fail(std::string("missing ") + what);
        if (!ParseNumber(tokens_[index], low, high, value)) {
            return Fail(std::string("bad ") + what + " '" + tokens_[index].text + "' (expected " +
                        std::to_string(low) + " to " + std::to_string(high) + ")");
        }
        return true;
    }

    bool Count(size_t expected) {
        if (tokens_.size() - first_ != expected) {
            return Fail("'" + tokens_[first_].text + "' takes " + std::to_string(expected - 1) +
                        " argument" + (expected == 2 ? "" : "s"));
        }
        return true;
    }

    bool LibraryOnly() {
        if (!options_.library) return Fail("'" + tokens_[first_].text + "' needs --library");
        return true;
    }

    bool ParseLine() {
        tokens_.clear();
        std::string reason;
        if (!Tokenize(line_, tokens_, reason)) return Fail(reason);
        if (tokens_.empty()) return true;
        first_ = 0;
        if (!tokens_[0].quoted && tokens_[0].text == "at") {
            int64_t t = 0;
            if (!Number(1, 0, UINT32_MAX, "tick", t)) return false;
            if (static_cast<uint32_t>(t) < tick_) {
                return Fail("tick " + std::to_string(t) + " is before the current tick " +
                            std::to_string(tick_));
            }
            tick_ = static_cast<uint32_t>(t);
            first_ = 2;
            if (tokens_.size() == 2) return Fail("'at' without a directive");
        }
        if (tokens_[first_].quoted) return Fail("a directive is expected, not a string");
        step_ = TraceStep();
        step_.line = lineNumber_;
        step_.tick = tick_;
        if (!ParseDirective(tokens_[first_].text)) return false;
        steps_.push_back(std::move(step_));
        return true;
    }

    bool Numbers(std::initializer_list<std::pair<int64_t, int64_t>> ranges,
                 std::initializer_list<const char*> names) {
        if (!Count(ranges.size() + 1)) return false;
        size_t i = first_ + 1;
        auto name = names.begin();
        for (auto range : ranges) {
            int64_t v = 0;
            if (!Number(i++, range.first, range.second, *name++, v)) return false;
            step_.args.push_back(v);
        }
        return true;
    }

    bool ParseDirective(const std::string& word) {
        const size_t a = first_ + 1;
        if (word == "os") {
            step_.op = TraceOp::kOs;
            return Numbers({{0, 255}}, {"major version"});
        }
        if (word == "lang") {
            step_.op = TraceOp::kLang;
            return Numbers({{0, 0xFFFF}}, {"language identifier"});
        }
        if (word == "mode") {
            step_.op = TraceOp::kMode;
            return Numbers({{kMouseModeOsPointer, kMouseModeEmulate}}, {"mouse mode"});
        }
        if (word == "display") {
            if (tokens_.size() == a + 1 && !tokens_[a].quoted && tokens_[a].text == "fail") {
                step_.op = TraceOp::kDisplayFail;
                return true;
            }
            step_.op = TraceOp::kDisplay;
            return Numbers({{0, 65535}, {0, 65535}, {0, 3}}, {"width", "height", "orientation"});
        }
        if (word == "adapter") {
            step_.op = TraceOp::kAdapter;
            if (!Count(2)) return false;
            step_.texts.push_back(tokens_[a].text);
            return true;
        }
        if (word == "panel") {
            step_.op = TraceOp::kPanel;
            // Whatever a real panel declares (a signed 32-bit value), so that every
            // recorded session can be replayed.
            return Numbers({{INT32_MIN, INT32_MAX}, {INT32_MIN, INT32_MAX}},
                           {"logical maximum X", "logical maximum Y"});
        }
        if (word == "foreground") {
            step_.op = TraceOp::kForeground;
            if (!Count(3)) return false;
            step_.texts.push_back(tokens_[a].text);
            step_.texts.push_back(tokens_[a + 1].text);
            return true;
        }
        if (word == "keyboard") {
            step_.op = TraceOp::kKeyboard;
            if (!Count(3)) return false;
            int64_t vk = 0;
            if (!Number(a, 1, 255, "virtual key", vk)) return false;
            const std::string& how = tokens_[a + 1].text;
            if (tokens_[a + 1].quoted || (how != "down" && how != "up")) {
                return Fail("keyboard state must be 'down' or 'up'");
            }
            step_.args = {vk, how == "down" ? 1 : 0};
            return true;
        }
        if (word == "file") return ParseFile(a);
        if (word == "remove") {
            step_.op = TraceOp::kRemove;
            if (!Count(2)) return false;
            if (!ValidName(tokens_[a].text)) return Fail("bad file name '" + tokens_[a].text + "'");
            step_.texts.push_back(tokens_[a].text);
            return true;
        }
        if (word == "folder") {
            step_.op = TraceOp::kFolder;
            if (!Count(2)) return false;
            const std::string& how = tokens_[a].text;
            if (tokens_[a].quoted || (how != "readonly" && how != "writable")) {
                return Fail("folder state must be 'readonly' or 'writable'");
            }
            step_.args = {how == "readonly" ? 1 : 0};
            return true;
        }
        if (word == "reopen") {
            step_.op = TraceOp::kReopen;
            return Count(1);
        }
        if (word == "report") return ParseReport(a);
        if (word == "descriptor") return ParseDescriptor(a);
        if (word == "layout") return ParseLayout(a);
        if (word == "ids") {
            step_.op = TraceOp::kIds;
            return Numbers({{0, 0xFFFF}, {0, 0xFFFF}}, {"vendor ID", "product ID"});
        }
        if (word == "input") {
            step_.op = TraceOp::kInput;
            if (!screen_) return Fail("'input' needs a 'descriptor' or 'layout' before it");
            if (!HexBytes(a)) return false;
            if (step_.bytes.empty()) return Fail("'input' needs the report's bytes");
            return true;
        }
        if (word == "touch") return ParseTouch(a);
        if (word == "monitor") return ParseMonitor(a);
        if (word == "unplug-monitor") {
            step_.op = TraceOp::kUnplugMonitor;
            if (!Count(2)) return false;
            if (!UnplugMonitor(tokens_[a].text))
                return Fail("no monitor '" + tokens_[a].text + "' is attached");
            step_.texts.push_back(tokens_[a].text);
            return true;
        }
        if (word == "device") return ParseDevice(a);
        if (word == "unplug") {
            step_.op = TraceOp::kUnplug;
            return Count(1);
        }
        if (word == "touch-enabled") {
            step_.op = TraceOp::kTouchEnabled;
            return Numbers({{0, 1}}, {"touch switch"});
        }
        if (word == "register") {
            step_.op = TraceOp::kRegister;
            return LibraryOnly() && Numbers({{INT32_MIN, INT32_MAX}}, {"registration mode"});
        }
        if (word == "calibrate") {
            if (!LibraryOnly()) return false;
            if (tokens_.size() == a + 1 && tokens_[a].text == "start") {
                step_.op = TraceOp::kCalibrateStart;
                return true;
            }
            if (tokens_.size() == a + 1 && tokens_[a].text == "finish") {
                step_.op = TraceOp::kCalibrateFinish;
                return true;
            }
            step_.op = TraceOp::kCalibrateEvent;
            if (tokens_.size() != a + 2) {
                return Fail("'calibrate' takes 'start', 'finish' or an event type and a point");
            }
            return Numbers({{INT32_MIN, INT32_MAX}, {INT32_MIN, INT32_MAX}},
                           {"event type", "point number"});
        }
        return Fail("unknown directive '" + word + "'");
    }

    bool ParseFile(size_t a) {
        step_.op = TraceOp::kFile;
        if (!Count(3)) return false;
        const std::string& name = tokens_[a].text;
        if (!ValidName(name)) return Fail("bad file name '" + name + "'");
        const Token& tagToken = tokens_[a + 1];
        if (tagToken.quoted || tagToken.text.size() < 3 || tagToken.text.compare(0, 2, "<<") != 0) {
            return Fail("'file' needs a terminator written as <<TAG");
        }
        const std::string tag = tagToken.text.substr(2);
        const int fileLine = lineNumber_;
        std::string content;
        while (NextLine()) {
            if (line_ == tag) {
                step_.texts = {name, content};
                return true;
            }
            content.append(line_.data(), line_.size());
            content += "\r\n";
        }
        lineNumber_ = fileLine;
        return Fail("no line '" + tag + "' ends the file text");
    }

    // monitor NAME X Y W H O [primary]
    bool ParseMonitor(size_t a) {
        step_.op = TraceOp::kMonitor;
        const size_t n = tokens_.size() - first_;
        const bool primary = n == 8;
        if (n != 7 && !(primary && !tokens_[a + 6].quoted && tokens_[a + 6].text == "primary")) {
            return Fail(
                "'monitor' takes a name, X, Y, width, height, orientation and "
                "optionally 'primary'");
        }
        const std::string& name = tokens_[a].text;
        if (name.empty()) return Fail("a monitor needs a name");
        const std::pair<int64_t, int64_t> ranges[5] = {
            {-65535, 65535}, {-65535, 65535}, {1, 65535}, {1, 65535}, {0, 3}};
        const char* names[5] = {"X", "Y", "width", "height", "orientation"};
        for (size_t i = 0; i < 5; ++i) {
            int64_t v = 0;
            if (!Number(a + 1 + i, ranges[i].first, ranges[i].second, names[i], v)) return false;
            step_.args.push_back(v);
        }
        // The system puts the primary monitor's top left corner at the desktop's origin.
        if (primary && (step_.args[0] != 0 || step_.args[1] != 0))
            return Fail("the primary monitor lies at 0 0");
        step_.args.push_back(primary ? 1 : 0);
        step_.texts.push_back(name);
        bool known = false;
        for (const std::string& m : monitors_) known = known || SameMonitorName(m, name);
        if (!known) monitors_.push_back(name);
        return true;
    }

    // device NAME "PATH" | device NAME
    bool ParseDevice(size_t a) {
        step_.op = TraceOp::kDevice;
        const size_t n = tokens_.size() - first_;
        if (n != 2 && n != 3) return Fail("'device' takes a name and, the first time, its path");
        const std::string& name = tokens_[a].text;
        bool plain = !name.empty() && !tokens_[a].quoted;
        for (char c : name) {
            plain = plain && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9') || c == '_' || c == '-');
        }
        if (!plain) return Fail("a device's name is a word of letters, digits, '_' and '-'");
        size_t known = devices_.size();
        for (size_t i = 0; i < devices_.size(); ++i) {
            if (devices_[i] == name) known = i;
        }
        const bool declare = n == 3;
        if (declare && known < devices_.size())
            return Fail("device '" + name + "' is declared already");
        if (!declare && known == devices_.size())
            return Fail("no device '" + name + "' is declared (give its path)");
        if (declare && devices_.size() >= static_cast<size_t>(kMaxTraceDevices))
            return Fail("more than " + std::to_string(kMaxTraceDevices) + " devices");
        if (current_ < screens_.size()) screens_[current_] = screen_;
        if (declare) {
            // The lines before the first `device` are the first device's.
            screens_.push_back(devices_.empty() && screen_);
            devices_.push_back(name);
        }
        current_ = known;
        screen_ = screens_[current_];
        step_.texts = {name, declare ? tokens_[a + 1].text : std::string()};
        step_.args = {declare ? 1 : 0};
        return true;
    }

    bool UnplugMonitor(const std::string& name) {
        for (size_t i = 0; i < monitors_.size(); ++i) {
            if (SameMonitorName(monitors_[i], name)) {
                monitors_.erase(monitors_.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }

    bool HexBytes(size_t a) {
        for (size_t i = a; i < tokens_.size(); ++i) {
            const std::string& t = tokens_[i].text;
            if (tokens_[i].quoted || t.size() != 2 || HexDigit(t[0]) < 0 || HexDigit(t[1]) < 0) {
                return Fail("bad report byte '" + t + "' (two hex digits each)");
            }
            step_.bytes.push_back(static_cast<uint8_t>(HexDigit(t[0]) * 16 + HexDigit(t[1])));
        }
        return true;
    }

    bool ParseDescriptor(size_t a) {
        step_.op = TraceOp::kDescriptor;
        if (!HexBytes(a)) return false;
        ContactLayout layout;
        std::string reason;
        if (!ParseReportDescriptor(step_.bytes.data(), step_.bytes.size(), layout, reason)) {
            return Fail("unusable descriptor: " + reason);
        }
        screen_ = true;
        return true;
    }

    bool ParseLayout(size_t a) {
        step_.op = TraceOp::kLayout;
        std::string text;
        for (size_t i = a; i < tokens_.size(); ++i) {
            if (tokens_[i].quoted) return Fail("a layout has no strings");
            if (!text.empty()) text += ' ';
            text += tokens_[i].text;
        }
        ContactLayout layout;
        std::string reason;
        if (!ParseContactLayout(text, layout, reason)) return Fail("unusable layout: " + reason);
        step_.texts.push_back(text);
        screen_ = true;
        return true;
    }

    bool ParseReport(size_t a) {
        step_.op = TraceOp::kReport;
        if (!HexBytes(a)) return false;
        PanelInputReport report;
        if (DecodePanelReport(step_.bytes.data(), step_.bytes.size(), report) !=
            DecodeResult::kOk) {
            return Fail("a report needs at least " + std::to_string(kPanelReportMinLength) +
                        " bytes, this one has " + std::to_string(step_.bytes.size()));
        }
        // The raw positions a later `touch ... -` keeps.
        last_[0] = {report.contact1.x, report.contact1.y};
        last_[1] = {report.contact2.x, report.contact2.y};
        return true;
    }

    bool ParseContact(const Token& token, int slot, bool& touching) {
        if (!token.quoted && token.text == "-") {
            touching = false;
            return true;
        }
        const size_t comma = token.text.find(',');
        if (token.quoted || comma == std::string::npos) {
            return Fail("a contact is X,Y or - (got '" + token.text + "')");
        }
        Token x{token.text.substr(0, comma), false};
        Token y{token.text.substr(comma + 1), false};
        int64_t vx = 0, vy = 0;
        if (!ParseNumber(x, 0, 65535, vx) || !ParseNumber(y, 0, 65535, vy)) {
            return Fail("bad contact position '" + token.text + "' (0 to 65535 each)");
        }
        last_[slot] = {uint16_t(vx), uint16_t(vy)};
        touching = true;
        return true;
    }

    bool ParseTouch(size_t a) {
        step_.op = TraceOp::kReport;
        if (!Count(3)) return false;
        bool t1 = false, t2 = false;
        if (!ParseContact(tokens_[a], 0, t1) || !ParseContact(tokens_[a + 1], 1, t2)) return false;
        step_.bytes = MakeTouchReport(t1, last_[0].x, last_[0].y, t2, last_[1].x, last_[1].y);
        return true;
    }

    struct Raw {
        uint16_t x = 0, y = 0;
    };

    std::string_view text_;
    const TraceOptions& options_;
    std::vector<TraceStep>& steps_;
    TraceError& error_;
    size_t pos_ = 0;
    int lineNumber_ = 0;
    std::string_view line_;
    std::vector<Token> tokens_;
    size_t first_ = 0;
    uint32_t tick_ = 0;
    TraceStep step_;
    Raw last_[2];
    bool screen_ = false;                // a descriptor or layout has described a touch screen
    std::vector<std::string> monitors_;  // attached at this line, for `unplug-monitor`
    // The declared devices, whether each has described a touch screen, the current one.
    std::vector<std::string> devices_;
    std::vector<bool> screens_;
    size_t current_ = 0;
};

}  // namespace

MonitorInfo TraceMonitor(const TraceStep& step) {
    MonitorInfo monitor;
    monitor.name = step.texts[0];
    monitor.rect.left = static_cast<int32_t>(step.args[0]);
    monitor.rect.top = static_cast<int32_t>(step.args[1]);
    monitor.rect.width = static_cast<uint32_t>(step.args[2]);
    monitor.rect.height = static_cast<uint32_t>(step.args[3]);
    monitor.orientation = static_cast<int32_t>(step.args[4]);
    monitor.primary = step.args[5] != 0;
    return monitor;
}

bool ParseTrace(std::string_view text, const TraceOptions& options, std::vector<TraceStep>& steps,
                TraceError& error) {
    return Parser(text, options, steps, error).Run();
}

bool LoadTraceFile(const std::string& path, const TraceOptions& options,
                   std::vector<TraceStep>& steps, TraceError& error) {
    // The C runtime's files: iostreams would bring their locale machinery into
    // every program that replays a trace.
    std::FILE* in = std::fopen(path.c_str(), "rb");
    std::string text;
    bool readable = in != nullptr;
    if (readable) {
        char chunk[16384];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) text.append(chunk, n);
        readable = !std::ferror(in);
        std::fclose(in);
    }
    if (!readable) {
        error.line = 0;
        error.reason = "cannot read the file";
        return false;
    }
    return ParseTrace(text, options, steps, error);
}

std::string FormatPanelLine(int32_t maxX, int32_t maxY) {
    return "panel " + std::to_string(maxX) + " " + std::to_string(maxY);
}

namespace {

// "at T WORD HH HH ...": a directive of raw report bytes.
std::string FormatBytesLine(uint32_t tick, const char* word, const uint8_t* data, size_t length) {
    std::string line = "at " + std::to_string(tick) + " " + word;
    char hex[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", data[i]);
        line += hex;
    }
    return line;
}

}  // namespace

std::string FormatReportLine(uint32_t tick, const uint8_t* data, size_t length) {
    return FormatBytesLine(tick, "report", data, length);
}

std::string FormatLayoutLine(uint32_t tick, const std::string& layoutText) {
    return "at " + std::to_string(tick) + " layout " + layoutText;
}

std::string FormatIdsLine(uint32_t tick, uint16_t vendorId, uint16_t productId) {
    char text[48];
    std::snprintf(text, sizeof text, "at %u ids 0x%04X 0x%04X", static_cast<unsigned>(tick),
                  static_cast<unsigned>(vendorId), static_cast<unsigned>(productId));
    return text;
}

std::string FormatInputLine(uint32_t tick, const uint8_t* data, size_t length) {
    return FormatBytesLine(tick, "input", data, length);
}

std::string FormatDeviceLine(uint32_t tick, const std::string& name, const std::string& path,
                             bool declare) {
    std::string line = "at " + std::to_string(tick) + " device " + name;
    if (!declare) return line;
    line += " \"";
    for (char c : path) {
        if (c == '"' || c == '\\') line += '\\';
        line += c;
    }
    return line + '"';
}

std::vector<uint8_t> MakeTouchReport(bool touching1, uint16_t x1, uint16_t y1, bool touching2,
                                     uint16_t x2, uint16_t y2) {
    PanelInputReport report;
    report.reportId = kPanelReportId;
    report.contact1 = {uint8_t(touching1 ? 1 : 0), 0, x1, y1};
    report.contact2 = {uint8_t(touching2 ? 1 : 0), 1, x2, y2};
    uint8_t bytes[kPanelReportMinLength];
    EncodePanelReport(report, bytes);
    return std::vector<uint8_t>(bytes, bytes + kPanelReportMinLength);
}

}  // namespace tactra
