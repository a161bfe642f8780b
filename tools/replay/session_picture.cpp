#include "tools/replay/session_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <utility>

#include "platform/input_sink.h"
#include "profiles/key_table.h"

namespace tactra {

namespace {

// Everything is laid out in output pixels, whatever the screen's size, so that
// text and marks keep their size on a small and on a very large screen.
constexpr double kCanvasWidth = 1080;
constexpr double kMargin = 16;
constexpr double kAreaMaxWidth = 780;  // the screen is scaled to fit this box
constexpr double kAreaMaxHeight = 540;
constexpr double kAreaMinWidth = 260;  // room for labels on a narrow screen
constexpr double kAreaMinHeight = 180;
constexpr double kLegendLeft = kMargin + kAreaMaxWidth + 20;
constexpr double kLegendGlyphWidth = 40;
constexpr double kLaneLabelWidth = 92;
constexpr double kBandShare = 0.08;  // of the screen's larger side, around it
constexpr size_t kLabelLineChars = 30;
constexpr size_t kLabelMaxActionLines = 3;
constexpr size_t kTitleMaxChars = 100;
constexpr int kTimelineGestureRows = 3;

constexpr const char* kContactColour[2] = {"#1f6fb4", "#d95f02"};
constexpr const char kGestureColour[] = "#b2182b";
constexpr const char kActionColour[] = "#333333";
constexpr const char kKeyColour[] = "#6a3d9a";
constexpr const char kLeftColour[] = "#222222";
constexpr const char kRightColour[] = "#c51b7d";
constexpr const char kWheelColour[] = "#1b9e77";
constexpr const char kMoveColour[] = "#888888";
constexpr const char kContact2Dashes[] = "7 4";

constexpr uint32_t kMouseButtonBits[] = {kMouseEventMove,    kMouseEventLeftDown,
                                         kMouseEventLeftUp,  kMouseEventRightDown,
                                         kMouseEventRightUp, kMouseEventWheel};
constexpr uint32_t kKnownMouseBits = kMouseEventMove | kMouseEventLeftDown | kMouseEventLeftUp |
                                     kMouseEventRightDown | kMouseEventRightUp | kMouseEventWheel |
                                     kMouseEventAbsolute | kMouseEventVirtualDesk;

std::string Num(double v) {
    if (std::fabs(v) < 0.05) v = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

// Length of valid UTF-8 sequence at `s[i]`, or 0 when the bytes there are not one.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    size_t n;
    uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    if (cp == 0xFFFE || cp == 0xFFFF) return 0;  // not characters in XML
    return n;
}

// Text for XML content and attribute values: markup escaped, and whatever XML
// cannot carry (control characters, bytes that are not UTF-8) replaced.
std::string Xml(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceLength(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        const char c = s[i++];
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                    out += '?';
                } else {
                    out += c;
                }
        }
    }
    return out;
}

size_t CharCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

// A generous estimate of a text's width in the sans-serif faces the viewers use.
double TextWidth(const std::string& s, double size, bool bold = false) {
    return static_cast<double>(CharCount(s)) * size * (bold ? 0.74 : 0.64);
}

// The first `chars` characters, with an ellipsis when something was cut.
std::string Shorten(const std::string& s, size_t chars) {
    if (CharCount(s) <= chars) return s;
    size_t kept = 0, i = 0;
    while (i < s.size() && kept + 1 < chars) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        ++kept;
    }
    return s.substr(0, i) + "\xE2\x80\xA6";
}

const char* OrientationName(int32_t orientation) {
    switch (orientation) {
        case 0:
            return "landscape";
        case 1:
            return "portrait";
        case 2:
            return "landscape, flipped";
        case 3:
            return "portrait, flipped";
        default:
            return "unknown";
    }
}

std::string KeyName(uint8_t vk) {
    switch (vk) {
        case 0x10:
        case 0xA0:
        case 0xA1:
            return "Shift";
        case 0x11:
        case 0xA2:
        case 0xA3:
            return "Ctrl";
        case 0x12:
        case 0xA4:
        case 0xA5:
            return "Alt";
        default:
            break;
    }
    // Codes 1 and 2 are wheel choices in the table, not keys.
    if (vk > 2) {
        const std::string& name = DefaultKeyNames()[vk];
        if (!name.empty()) return name;
    }
    return "VK " + std::to_string(vk);
}

std::string WheelText(int32_t data) {
    char text[48];
    if (data % kWheelDelta == 0) {
        std::snprintf(text, sizeof text, "wheel %+d", static_cast<int>(data / kWheelDelta));
    } else {
        std::snprintf(text, sizeof text, "wheel data %d", static_cast<int>(data));
    }
    return text;
}

std::string KeyLine(uint32_t tick, uint8_t vk, bool up) {
    return std::to_string(tick) + (up ? " key up " : " key down ") + std::to_string(vk) + " (" +
           KeyName(vk) + ")";
}

std::string MouseLine(uint32_t tick, uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
    char text[96];
    std::snprintf(text, sizeof text, "%u mouse 0x%04X %d %d %d", static_cast<unsigned>(tick),
                  static_cast<unsigned>(flags), static_cast<int>(dx), static_cast<int>(dy),
                  static_cast<int>(data));
    return text;
}

struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

struct XY {
    double x = 0, y = 0;
};

}  // namespace

SessionPicture::SessionPicture(std::string title, bool library)
    : title_(std::move(title)), library_(library) {}

void SessionPicture::Saw(uint32_t tick) {
    if (!anyTick_) {
        firstTick_ = lastTick_ = tick;
        anyTick_ = true;
        return;
    }
    firstTick_ = std::min(firstTick_, tick);
    lastTick_ = std::max(lastTick_, tick);
}

void SessionPicture::SetScreen(uint32_t tick, int32_t width, int32_t height, int32_t orientation) {
    current_ = ScreenMode{tick, width, height, orientation};
    if (width <= 0 || height <= 0) return;
    const bool same = !modes_.empty() && modes_.back().width == width &&
                      modes_.back().height == height && modes_.back().orientation == orientation;
    if (!same) modes_.push_back(current_);
}

void SessionPicture::SetPlacement(bool onMonitor, int32_t left, int32_t top,
                                  const DesktopRect& virtualScreen) {
    onMonitor_ = onMonitor && virtualScreen.width > 0 && virtualScreen.height > 0;
    monitorLeft_ = left;
    monitorTop_ = top;
    virtualScreen_ = virtualScreen;
}

void SessionPicture::AddBatch(uint32_t tick, const TOUCHINPUT* records, int count,
                              const DisplayState* transform) {
    Saw(tick);
    if (current_.width <= 0 || current_.height <= 0) screenUnknownSeen_ = true;
    for (int i = 0; i < count && i < 2; ++i) {
        const TOUCHINPUT& r = records[i];
        if (transform) {
            int32_t x = 0, y = 0;
            if (TransformToScreen(*transform, r.x, r.y, x, y)) last_[i] = Point{x, y};
        } else {
            last_[i] = Point{r.x / 100, r.y / 100};
            // The library's records on a monitor are desktop positions.
            if (onMonitor_) last_[i] = Point{last_[i].x - monitorLeft_, last_[i].y - monitorTop_};
        }
        const Sample sample{tick, last_[i]};
        const bool down = (r.dwFlags & kTouchEventDown) != 0;
        const bool move = (r.dwFlags & kTouchEventMove) != 0;
        // A plain UP marks a contact that is not there; with INRANGE it is a lift.
        const bool lift = (r.dwFlags & kTouchEventUp) && (r.dwFlags & kTouchEventInRange);
        if (down || (move && open_[i] < 0)) {
            // A move without a down (the session began mid-touch) starts a touch too.
            Touch touch;
            touch.contact = i;
            touch.downTick = tick;
            touches_.push_back(touch);
            open_[i] = static_cast<int>(touches_.size() - 1);
        }
        if (open_[i] < 0) continue;
        Touch& touch = touches_[static_cast<size_t>(open_[i])];
        touch.samples.push_back(sample);
        if (lift && !down) {
            touch.lifted = true;
            touch.upTick = tick;
            open_[i] = -1;
        }
    }
}

void SessionPicture::AddGesture(uint32_t tick, const std::string& name) {
    Saw(tick);
    Event e;
    e.kind = EventKind::kGesture;
    e.tick = tick;
    e.name = name;
    e.finger1 = last_[0];
    e.placed = pointerKnown_;
    e.pointer = pointer_;
    events_.push_back(e);
}

void SessionPicture::AddKey(uint32_t tick, uint8_t vk, bool up) {
    Saw(tick);
    Event e;
    e.kind = EventKind::kKey;
    e.tick = tick;
    e.vk = vk;
    e.up = up;
    e.finger1 = last_[0];
    e.placed = pointerKnown_;
    e.pointer = pointer_;
    events_.push_back(e);
}

void SessionPicture::AddMouse(uint32_t tick, uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
    Saw(tick);
    // Absolute coordinates are 0..65536 across the screen in force.
    if ((flags & kMouseEventAbsolute) && (flags & kMouseEventVirtualDesk) && onMonitor_) {
        // Over the virtual desktop, then back to the monitor's own pixels.
        pointer_.x = static_cast<int64_t>(dx) * virtualScreen_.width / 65536 + virtualScreen_.left -
                     monitorLeft_;
        pointer_.y = static_cast<int64_t>(dy) * virtualScreen_.height / 65536 + virtualScreen_.top -
                     monitorTop_;
        pointerKnown_ = true;
    } else if ((flags & kMouseEventAbsolute) && current_.width > 0 && current_.height > 0) {
        pointer_.x = static_cast<int64_t>(dx) * current_.width / 65536;
        pointer_.y = static_cast<int64_t>(dy) * current_.height / 65536;
        pointerKnown_ = true;
    }
    Event e;
    e.kind = EventKind::kMouse;
    e.tick = tick;
    e.flags = flags;
    e.dx = dx;
    e.dy = dy;
    e.data = data;
    e.finger1 = last_[0];
    e.placed = pointerKnown_;
    e.pointer = pointer_;
    events_.push_back(e);
}

void SessionPicture::ExtendTo(uint32_t tick) {
    if (anyTick_) Saw(tick);
}

// Lays the picture out and writes it.
class SessionPicture::Canvas {
public:
    explicit Canvas(const SessionPicture& p) : p_(p) {}

    void Write(std::ostream& out) {
        ChooseView();
        BuildLabels();
        const double legendHeight = LegendHeight();
        const double screenBottom = areaTop_ + std::max(areaHeight_, legendHeight);
        timelineTop_ = screenBottom + 28;
        const double height = timelineTop_ + TimelineHeight() + kMargin;

        s_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(kCanvasWidth)
           << "\" height=\"" << Num(height) << "\" viewBox=\"0 0 " << Num(kCanvasWidth) << ' '
           << Num(height) << "\">\n"
           << "<title>" << Xml("tactra-replay: " + p_.title_) << "</title>\n"
           << "<style>\n"
           << "text { font-family: 'DejaVu Sans', Verdana, Arial, sans-serif; font-size: 11px; "
              "fill: "
           << kActionColour << "; }\n"
           << ".title { font-size: 16px; font-weight: bold; fill: #111111; }\n"
           << ".info { font-size: 12px; }\n"
           << ".gesture, .legend-gesture { font-size: 12px; font-weight: bold; fill: "
           << kGestureColour << "; }\n"
           << ".timeline-gesture { font-weight: bold; fill: " << kGestureColour << "; }\n"
           << ".small { font-size: 10px; fill: #666666; }\n"
           << ".lane { font-size: 11px; fill: #333333; }\n"
           << "</style>\n"
           << "<rect x=\"0\" y=\"0\" width=\"" << Num(kCanvasWidth) << "\" height=\"" << Num(height)
           << "\" fill=\"#ffffff\"/>\n";
        Header();
        Screen();
        PointerMarks();
        Paths();
        Labels();
        Legend();
        Timeline();
        s_ << "</svg>\n";
        out << s_.str();
    }

private:
    struct Label {
        std::vector<std::pair<std::string, bool>> lines;  // text, gesture line
        Point anchor;
        bool gesture = false;
        std::string tooltip;
    };

    // The screen pixels shown: the screen (every known mode) and, when positions
    // fall outside it, a band around it; positions beyond the band are drawn on its
    // edge.
    void ChooseView() {
        std::vector<Point> points;
        for (const Touch& t : p_.touches_) {
            for (const Sample& s : t.samples) points.push_back(s.at);
        }
        for (const Event& e : p_.events_) {
            if (e.kind == EventKind::kMouse && e.placed) points.push_back(e.pointer);
        }
        // Label anchors repeat positions above, except before any batch.
        const size_t positions = points.size();
        for (const Event& e : p_.events_) points.push_back(e.finger1);
        if (!p_.modes_.empty()) {
            int64_t w = 0, h = 0;
            for (const ScreenMode& m : p_.modes_) {
                w = std::max<int64_t>(w, m.width);
                h = std::max<int64_t>(h, m.height);
            }
            bool outside = false;
            for (const Point& q : points) outside |= q.x < 0 || q.y < 0 || q.x > w || q.y > h;
            band_ = outside ? std::max(1.0, kBandShare * static_cast<double>(std::max(w, h))) : 0;
            viewX_ = viewY_ = -band_;
            viewW_ = static_cast<double>(w) + 2 * band_;
            viewH_ = static_cast<double>(h) + 2 * band_;
        } else {
            int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            for (const Point& q : points) {
                x0 = std::min(x0, q.x);
                y0 = std::min(y0, q.y);
                x1 = std::max(x1, q.x);
                y1 = std::max(y1, q.y);
            }
            const double w = std::max<double>(1, static_cast<double>(x1 - x0));
            const double h = std::max<double>(1, static_cast<double>(y1 - y0));
            const double pad = 0.05 * std::max(w, h) + 1;
            viewX_ = static_cast<double>(x0) - pad;
            viewY_ = static_cast<double>(y0) - pad;
            viewW_ = w + 2 * pad;
            viewH_ = h + 2 * pad;
        }
        for (size_t i = 0; i < positions; ++i) clamped_ += Beyond(points[i]);
        scale_ = std::min(kAreaMaxWidth / viewW_, kAreaMaxHeight / viewH_);
        areaLeft_ = kMargin;
        areaTop_ = kMargin + 12 + 18 + static_cast<double>(HeaderLines().size()) * 17 + 4;
        areaWidth_ = std::max(viewW_ * scale_, kAreaMinWidth);
        areaHeight_ = std::max(viewH_ * scale_, kAreaMinHeight);
    }

    bool Beyond(const Point& q) const {
        const double x = static_cast<double>(q.x), y = static_cast<double>(q.y);
        return x < viewX_ || y < viewY_ || x > viewX_ + viewW_ || y > viewY_ + viewH_;
    }

    XY Map(const Point& q) const {
        const double x = std::clamp(static_cast<double>(q.x), viewX_, viewX_ + viewW_);
        const double y = std::clamp(static_cast<double>(q.y), viewY_, viewY_ + viewH_);
        return XY{areaLeft_ + (x - viewX_) * scale_, areaTop_ + (y - viewY_) * scale_};
    }

    std::vector<std::string> HeaderLines() const {
        std::vector<std::string> lines;
        const auto describe = [](const ScreenMode& m) {
            return std::to_string(m.width) + " \xC3\x97 " + std::to_string(m.height) +
                   " pixels, orientation " + std::to_string(m.orientation) + " (" +
                   OrientationName(m.orientation) + ")";
        };
        if (p_.modes_.empty() && !p_.screenUnknownSeen_) {
            lines.push_back("no touch was replayed");
        } else if (p_.modes_.empty()) {
            lines.push_back("screen size unknown (the display mode could not be read)");
        } else {
            const size_t shown = std::min<size_t>(p_.modes_.size(), 3);
            for (size_t i = 0; i < shown; ++i) {
                const ScreenMode& m = p_.modes_[i];
                lines.push_back(i == 0 ? "screen " + describe(m)
                                       : "from " + std::to_string(m.tick) + " ms: " + describe(m));
            }
            if (p_.modes_.size() > shown) {
                const size_t more = p_.modes_.size() - shown;
                lines.back() +=
                    "; " + std::to_string(more) + (more == 1 ? " more change" : " more changes");
            }
            if (p_.screenUnknownSeen_) lines.back() += "; unknown at times";
        }

        int touches[2] = {0, 0};
        bool stillDown[2] = {false, false};
        for (const Touch& t : p_.touches_) {
            ++touches[t.contact];
            stillDown[t.contact] |= !t.lifted;
        }
        size_t gestures = 0;
        for (const Event& e : p_.events_) gestures += e.kind == EventKind::kGesture;
        std::string summary;
        for (int c = 0; c < 2; ++c) {
            summary += "contact " + std::to_string(c + 1) + ": " + std::to_string(touches[c]) +
                       (touches[c] == 1 ? " touch" : " touches") +
                       (stillDown[c] ? " (still down at the end)" : "") + ", ";
        }
        summary += std::to_string(gestures) + (gestures == 1 ? " gesture" : " gestures");
        if (p_.anyTick_) {
            summary += ", ticks " + std::to_string(p_.firstTick_) + " to " +
                       std::to_string(p_.lastTick_) + " ms";
        }
        lines.push_back(summary);
        if (clamped_ > 0) {
            lines.push_back(std::to_string(clamped_) +
                            " positions far outside the screen are drawn on the edge of the band "
                            "around it");
        }
        return lines;
    }

    void Header() {
        const std::string what =
            p_.library_ ? "the library's touch messages (--library)" : "Tactra's gesture engine";
        s_ << "<text class=\"title\" x=\"" << Num(kMargin) << "\" y=\"" << Num(kMargin + 12)
           << "\">" << Xml(Shorten(p_.title_, kTitleMaxChars)) << "</text>\n";
        double y = kMargin + 12 + 18;
        std::vector<std::string> lines = HeaderLines();
        lines.front() = what + ", " + lines.front();
        for (const std::string& line : lines) {
            s_ << "<text class=\"info\" x=\"" << Num(kMargin) << "\" y=\"" << Num(y) << "\">"
               << Xml(Shorten(line, 140)) << "</text>\n";
            y += 17;
        }
    }

    void Rect(double x, double y, double w, double h, const std::string& style) {
        s_ << "<rect x=\"" << Num(x) << "\" y=\"" << Num(y) << "\" width=\"" << Num(w)
           << "\" height=\"" << Num(h) << "\" " << style << "/>\n";
    }

    // A small note on the screen, which labels leave visible.
    void Note(double x, double y, const std::string& text, bool alignEnd = false) {
        const double w = TextWidth(text, 10);
        const double x0 = alignEnd ? x - w : x;
        notes_.push_back(Box{x0 - 2, y - 10, x0 + w + 2, y + 3});
        Text(x, y, "small", text, alignEnd ? "end" : nullptr);
    }

    void Text(double x, double y, const std::string& cls, const std::string& text,
              const char* anchor = nullptr) {
        s_ << "<text";
        if (!cls.empty()) s_ << " class=\"" << cls << '"';
        s_ << " x=\"" << Num(x) << "\" y=\"" << Num(y) << '"';
        if (anchor) s_ << " text-anchor=\"" << anchor << '"';
        s_ << '>' << Xml(text) << "</text>\n";
    }

    void Screen() {
        Rect(areaLeft_, areaTop_, areaWidth_, areaHeight_, "fill=\"#fbfbfb\" stroke=\"#dddddd\"");
        if (band_ > 0) {
            Rect(areaLeft_, areaTop_, viewW_ * scale_, viewH_ * scale_, "fill=\"#e4e4e4\"");
            Note(areaLeft_ + 4, areaTop_ + 11, "outside the screen");
        }
        if (p_.modes_.empty()) {
            Note(areaLeft_ + 6, areaTop_ + 14, "display size unknown");
            return;
        }
        // The first mode filled, later ones as outlines.
        for (size_t i = p_.modes_.size(); i-- > 0;) {
            const ScreenMode& m = p_.modes_[i];
            const XY a = Map(Point{0, 0}), b = Map(Point{m.width, m.height});
            if (i == 0) {
                Rect(a.x, a.y, b.x - a.x, b.y - a.y,
                     "fill=\"#f3f3ea\" stroke=\"#444444\" stroke-width=\"1.5\"");
            } else {
                Rect(a.x, a.y, b.x - a.x, b.y - a.y,
                     "fill=\"none\" stroke=\"#999999\" stroke-dasharray=\"4 3\"");
            }
        }
        const ScreenMode& first = p_.modes_.front();
        const XY a = Map(Point{0, 0}), b = Map(Point{first.width, first.height});
        Note(a.x + 4, a.y + 12, "0, 0");
        Note(b.x - 4, b.y - 5, std::to_string(first.width) + ", " + std::to_string(first.height),
             true);
        for (size_t i = 1; i < p_.modes_.size() && i < 4; ++i) {
            const ScreenMode& m = p_.modes_[i];
            const XY c = Map(Point{m.width, m.height});
            Note(c.x - 4, c.y - 5 - 12.0 * static_cast<double>(i),
                 std::to_string(m.width) + " \xC3\x97 " + std::to_string(m.height) +
                     ", orientation " + std::to_string(m.orientation) + ", from " +
                     std::to_string(m.tick) + " ms",
                 true);
        }
    }

    void Paths() {
        for (int c = 0; c < 2; ++c) {
            std::string d;
            int count = 0;
            for (const Touch& t : p_.touches_) {
                if (t.contact != c || t.samples.empty()) continue;
                ++count;
                for (size_t i = 0; i < t.samples.size(); ++i) {
                    const XY q = Map(t.samples[i].at);
                    d += (i == 0 ? (d.empty() ? "M" : " M") : " L") + Num(q.x) + ' ' + Num(q.y);
                }
            }
            if (count == 0) continue;
            s_ << "<path class=\"contact\" d=\"" << d << "\" fill=\"none\" stroke=\""
               << kContactColour[c] << "\" stroke-width=\"2\" stroke-linejoin=\"round\""
               << (c == 1 ? std::string(" stroke-dasharray=\"") + kContact2Dashes + '"' : "")
               << "><title>contact " << c + 1 << ", " << count
               << (count == 1 ? " touch" : " touches") << "</title></path>\n";
        }
        for (const Touch& t : p_.touches_) {
            const char* colour = kContactColour[t.contact];
            s_ << "<g fill=\"" << colour << "\">";
            for (const Sample& sample : t.samples) {
                const XY q = Map(sample.at);
                s_ << "<circle cx=\"" << Num(q.x) << "\" cy=\"" << Num(q.y)
                   << "\" r=\"2.2\"><title>" << sample.tick << ": contact " << t.contact + 1
                   << " at " << sample.at.x << ", " << sample.at.y << "</title></circle>";
            }
            s_ << "</g>\n";
            if (t.samples.empty()) continue;
            const XY down = Map(t.samples.front().at);
            DownMark(down.x, down.y, colour);
            if (t.lifted) {
                const XY up = Map(t.samples.back().at);
                UpMark(up.x, up.y, colour);
            }
        }
    }

    void DownMark(double x, double y, const char* colour) {
        s_ << "<circle cx=\"" << Num(x) << "\" cy=\"" << Num(y)
           << "\" r=\"5.5\" fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.8\"/>\n";
    }

    void UpMark(double x, double y, const char* colour) {
        s_ << "<path d=\"M" << Num(x - 4.5) << ' ' << Num(y - 4.5) << " L" << Num(x + 4.5) << ' '
           << Num(y + 4.5) << " M" << Num(x - 4.5) << ' ' << Num(y + 4.5) << " L" << Num(x + 4.5)
           << ' ' << Num(y - 4.5) << "\" stroke=\"" << colour
           << "\" stroke-width=\"2.2\" fill=\"none\"/>\n";
    }

    // One mark per mouse event kind (one bit of the flags), and per key event.
    void MouseGlyph(double x, double y, uint32_t bit, int32_t data, const std::string& tooltip) {
        const std::string title = tooltip.empty() ? "" : "<title>" + Xml(tooltip) + "</title>";
        auto square = [&](double size, const char* colour, bool filled) {
            s_ << "<rect x=\"" << Num(x - size / 2) << "\" y=\"" << Num(y - size / 2)
               << "\" width=\"" << Num(size) << "\" height=\"" << Num(size) << '"'
               << (filled ? std::string(" fill=\"") + colour + '"'
                          : std::string(" fill=\"none\" stroke=\"") + colour +
                                "\" stroke-width=\"1.4\"")
               << '>' << title << "</rect>\n";
        };
        switch (bit) {
            case kMouseEventMove:
                s_ << "<path d=\"M" << Num(x - 3.5) << ' ' << Num(y) << " L" << Num(x + 3.5) << ' '
                   << Num(y) << " M" << Num(x) << ' ' << Num(y - 3.5) << " L" << Num(x) << ' '
                   << Num(y + 3.5) << "\" stroke=\"" << kMoveColour
                   << "\" stroke-width=\"1.3\" fill=\"none\">" << title << "</path>\n";
                break;
            case kMouseEventLeftDown:
                square(7, kLeftColour, true);
                break;
            case kMouseEventLeftUp:
                square(11, kLeftColour, false);
                break;
            case kMouseEventRightDown:
                square(7, kRightColour, true);
                break;
            case kMouseEventRightUp:
                square(11, kRightColour, false);
                break;
            case kMouseEventWheel:
                s_ << "<circle cx=\"" << Num(x) << "\" cy=\"" << Num(y) << "\" r=\"4\""
                   << (data > 0 ? std::string(" fill=\"") + kWheelColour + '"'
                                : std::string(" fill=\"#ffffff\" stroke=\"") + kWheelColour +
                                      "\" stroke-width=\"1.5\"")
                   << '>' << title << "</circle>\n";
                break;
            default:
                s_ << "<circle cx=\"" << Num(x) << "\" cy=\"" << Num(y)
                   << "\" r=\"3\" fill=\"#999999\">" << title << "</circle>\n";
                break;
        }
    }

    void KeyGlyph(double x, double y, bool up, const std::string& tooltip) {
        const std::string title = tooltip.empty() ? "" : "<title>" + Xml(tooltip) + "</title>";
        if (up) {
            s_ << "<path d=\"M" << Num(x - 4) << ' ' << Num(y + 3.5) << " L" << Num(x + 4) << ' '
               << Num(y + 3.5) << " L" << Num(x) << ' ' << Num(y - 4)
               << " Z\" fill=\"none\" stroke=\"" << kKeyColour << "\" stroke-width=\"1.3\">"
               << title << "</path>\n";
        } else {
            s_ << "<path d=\"M" << Num(x - 4) << ' ' << Num(y - 3.5) << " L" << Num(x + 4) << ' '
               << Num(y - 3.5) << " L" << Num(x) << ' ' << Num(y + 4) << " Z\" fill=\""
               << kKeyColour << "\">" << title << "</path>\n";
        }
    }

    static std::vector<uint32_t> MouseBits(uint32_t flags) {
        std::vector<uint32_t> bits;
        for (uint32_t bit : kMouseButtonBits) {
            if (flags & bit) bits.push_back(bit);
        }
        if (flags & ~kKnownMouseBits) bits.push_back(0);
        return bits;
    }

    void PointerMarks() {
        for (const Event& e : p_.events_) {
            if (e.kind != EventKind::kMouse || !e.placed) continue;
            const XY q = Map(e.pointer);
            const std::string tooltip = MouseLine(e.tick, e.flags, e.dx, e.dy, e.data);
            for (uint32_t bit : MouseBits(e.flags)) MouseGlyph(q.x, q.y, bit, e.data, tooltip);
        }
    }

    // The words for the keys and mouse buttons of one moment; pointer moves have
    // their mark only.
    static std::vector<std::string> ActionWords(const std::vector<const Event*>& events) {
        std::vector<std::string> words;
        for (const Event* e : events) {
            if (e->kind == EventKind::kKey) {
                words.push_back(KeyName(e->vk) + (e->up ? "\xE2\x86\x91" : "\xE2\x86\x93"));
                continue;
            }
            if (e->kind != EventKind::kMouse) continue;
            for (uint32_t bit : MouseBits(e->flags)) {
                switch (bit) {
                    case kMouseEventMove:
                        break;
                    case kMouseEventLeftDown:
                        words.push_back("left down");
                        break;
                    case kMouseEventLeftUp:
                        if (!words.empty() && words.back() == "left down") {
                            words.back() = "click";
                        } else {
                            words.push_back("left up");
                        }
                        break;
                    case kMouseEventRightDown:
                        words.push_back("right down");
                        break;
                    case kMouseEventRightUp:
                        if (!words.empty() && words.back() == "right down") {
                            words.back() = "right click";
                        } else {
                            words.push_back("right up");
                        }
                        break;
                    case kMouseEventWheel:
                        words.push_back(WheelText(e->data));
                        break;
                    default: {
                        char text[32];
                        std::snprintf(text, sizeof text, "mouse 0x%04X",
                                      static_cast<unsigned>(e->flags));
                        words.push_back(text);
                    }
                }
            }
        }
        return words;
    }

    // Words into lines of a readable length; what does not fit ends in an ellipsis.
    static std::vector<std::string> Wrap(const std::string& first,
                                         const std::vector<std::string>& words, size_t maxLines) {
        std::vector<std::string> lines;
        std::string line = first;
        for (const std::string& w : words) {
            if (!line.empty() && CharCount(line) + 1 + CharCount(w) > kLabelLineChars) {
                lines.push_back(line);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + w;
        }
        if (!line.empty()) lines.push_back(line);
        if (lines.size() > maxLines) {
            lines.resize(maxLines);
            lines.back() = Shorten(lines.back(), kLabelLineChars - 2) + " \xE2\x80\xA6";
        }
        return lines;
    }

    // One label per gesture (with the actions played at its tick after it), and one
    // per moment of actions outside gestures.
    void BuildLabels() {
        size_t i = 0;
        while (i < p_.events_.size()) {
            const Event& head = p_.events_[i];
            std::vector<const Event*> group{&head};
            size_t j = i + 1;
            while (j < p_.events_.size() && p_.events_[j].tick == head.tick &&
                   p_.events_[j].kind != EventKind::kGesture) {
                group.push_back(&p_.events_[j++]);
            }
            i = j;
            Label label;
            std::string tooltip;
            for (const Event* e : group) {
                if (!tooltip.empty()) tooltip += '\n';
                if (e->kind == EventKind::kGesture) {
                    tooltip += std::to_string(e->tick) + " gesture " + e->name;
                } else if (e->kind == EventKind::kKey) {
                    tooltip += KeyLine(e->tick, e->vk, e->up);
                } else {
                    tooltip += MouseLine(e->tick, e->flags, e->dx, e->dy, e->data);
                }
            }
            label.tooltip = tooltip;
            const std::string tick = std::to_string(head.tick);
            if (head.kind == EventKind::kGesture) {
                label.gesture = true;
                label.anchor = head.finger1;
                label.lines.emplace_back(tick + " " + head.name, true);
                const std::vector<const Event*> actions(group.begin() + 1, group.end());
                std::vector<std::string> words = ActionWords(actions);
                // The profile may give a gesture nothing to play.
                if (words.empty()) words.push_back("no action");
                for (const std::string& line : Wrap("", words, kLabelMaxActionLines)) {
                    label.lines.emplace_back(line, false);
                }
            } else {
                const std::vector<std::string> words = ActionWords(group);
                if (words.empty()) continue;
                label.anchor = head.finger1;
                for (const Event* e : group) {
                    if (e->kind == EventKind::kMouse && e->placed) label.anchor = e->pointer;
                }
                for (const std::string& line : Wrap(tick, words, kLabelMaxActionLines)) {
                    label.lines.emplace_back(line, false);
                }
            }
            labels_.push_back(label);
        }
    }

    Box LabelBox(const Label& label, double x, double y) const {
        double w = 0, h = 4;
        for (const auto& line : label.lines) {
            w = std::max(w, TextWidth(line.first, line.second ? 12 : 11, line.second));
            h += line.second ? 15 : 13;
        }
        return Box{x, y, x + w + 6, y + h};
    }

    // The dots and marks that labels should leave visible.
    std::vector<Box> Marks() const {
        std::vector<Box> marks;
        auto add = [&](const Point& q, double r) {
            const XY m = Map(q);
            marks.push_back(Box{m.x - r, m.y - r, m.x + r, m.y + r});
        };
        for (const Touch& t : p_.touches_) {
            for (const Sample& sample : t.samples) add(sample.at, 3);
            if (!t.samples.empty()) add(t.samples.front().at, 6);
            if (!t.samples.empty() && t.lifted) add(t.samples.back().at, 6);
        }
        for (const Event& e : p_.events_) {
            if (e.kind == EventKind::kMouse && e.placed) add(e.pointer, 6);
        }
        for (const Label& label : labels_) add(label.anchor, 5);
        marks.insert(marks.end(), notes_.begin(), notes_.end());
        return marks;
    }

    // Each label beside its anchor where it covers no other label and, if it can,
    // no dot or mark, inside the area.
    void Labels() {
        const std::vector<Box> marks = Marks();
        std::vector<Box> placed;
        const double left = areaLeft_ + 1, top = areaTop_ + 1;
        const double right = areaLeft_ + areaWidth_ - 1, bottom = areaTop_ + areaHeight_ - 1;
        constexpr int kTries = 60;
        constexpr double kStep = 8;
        for (const Label& label : labels_) {
            const XY a = Map(label.anchor);
            const Box size = LabelBox(label, 0, 0);
            const double w = size.x1, h = size.y1;
            auto fit = [&](double x, double y) {
                x = std::clamp(x, left, std::max(left, right - w));
                y = std::clamp(y, top, std::max(top, bottom - h));
                return Box{x, y, x + w, y + h};
            };
            // Only the marks within reach of the candidates matter.
            const Box reach{a.x - w - 12, a.y - h - 6 - kTries * kStep / 2, a.x + w + 12,
                            a.y + kTries * kStep / 2 + 6};
            std::vector<Box> near;
            for (const Box& m : marks) {
                if (m.Overlaps(reach)) near.push_back(m);
            }
            Box chosen = fit(a.x + 9, a.y - h - 3);
            bool found = false;
            for (int pass = 0; pass < 2 && !found; ++pass) {
                for (int k = 0; k <= kTries && !found; ++k) {
                    // Alternately below and above, one step further every second try.
                    const int steps = (k + 1) / 2;
                    const double dy = (k % 2 == 0 ? 1 : -1) * steps * kStep;
                    for (int side = 0; side < 2 && !found; ++side) {
                        const Box b = fit(side == 0 ? a.x + 9 : a.x - 9 - w, a.y - h - 3 + dy);
                        bool free = true;
                        for (const Box& o : placed) free = free && !b.Overlaps(o);
                        if (pass == 0) {
                            for (const Box& o : near) free = free && !b.Overlaps(o);
                        }
                        if (free) {
                            chosen = b;
                            found = true;
                        }
                    }
                }
            }
            placed.push_back(chosen);
        }

        // Leaders and anchors first, so that no label is crossed by another's leader.
        for (size_t i = 0; i < labels_.size(); ++i) {
            const Label& label = labels_[i];
            const Box& box = placed[i];
            const XY a = Map(label.anchor);
            const double nx = std::clamp(a.x, box.x0, box.x1);
            const double ny = std::clamp(a.y, box.y0, box.y1);
            const char* colour = label.gesture ? kGestureColour : "#777777";
            if (std::hypot(nx - a.x, ny - a.y) > 12) {
                s_ << "<line x1=\"" << Num(a.x) << "\" y1=\"" << Num(a.y) << "\" x2=\"" << Num(nx)
                   << "\" y2=\"" << Num(ny) << "\" stroke=\"" << colour
                   << "\" stroke-width=\"0.8\" stroke-opacity=\"0.7\"/>\n";
            }
            if (label.gesture) Diamond(a.x, a.y, 5, kGestureColour);
        }
        for (size_t i = 0; i < labels_.size(); ++i) {
            const Label& label = labels_[i];
            const Box& box = placed[i];
            s_ << "<g><title>" << Xml(label.tooltip) << "</title>\n";
            Rect(box.x0, box.y0, box.x1 - box.x0, box.y1 - box.y0,
                 "rx=\"2\" fill=\"#ffffff\" fill-opacity=\"0.85\" stroke=\"#cccccc\" "
                 "stroke-width=\"0.6\"");
            double y = box.y0 + 2;
            for (const auto& line : label.lines) {
                y += line.second ? 15 : 13;
                Text(box.x0 + 3, y - 3.5, line.second ? "gesture" : "action", line.first);
            }
            s_ << "</g>\n";
        }
    }

    // Open, so that the path under it stays visible.
    void Diamond(double x, double y, double r, const char* colour) {
        s_ << "<path d=\"M" << Num(x) << ' ' << Num(y - r) << " L" << Num(x + r) << ' ' << Num(y)
           << " L" << Num(x) << ' ' << Num(y + r) << " L" << Num(x - r) << ' ' << Num(y)
           << " Z\" fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.6\"/>\n";
    }

    static constexpr double kLegendRow = 20;
    static constexpr int kLegendRows = 15;

    double LegendHeight() const { return 24 + kLegendRows * kLegendRow + 8; }

    void Legend() {
        const double x = kLegendLeft, gx = x + kLegendGlyphWidth / 2, tx = x + kLegendGlyphWidth;
        double y = areaTop_;
        Text(x, y + 12, "lane", "Legend");
        y += 24;
        auto row = [&](const std::string& text) {
            Text(tx, y + 4, "", text);
            y += kLegendRow;
        };
        for (int c = 0; c < 2; ++c) {
            s_ << "<line x1=\"" << Num(x + 2) << "\" y1=\"" << Num(y) << "\" x2=\""
               << Num(x + kLegendGlyphWidth - 6) << "\" y2=\"" << Num(y) << "\" stroke=\""
               << kContactColour[c] << "\" stroke-width=\"2\""
               << (c == 1 ? std::string(" stroke-dasharray=\"") + kContact2Dashes + '"' : "")
               << "/>\n<circle cx=\"" << Num(gx - 2) << "\" cy=\"" << Num(y)
               << "\" r=\"2.2\" fill=\"" << kContactColour[c] << "\"/>\n";
            row("contact " + std::to_string(c + 1) + ", a dot per report");
        }
        DownMark(gx - 2, y, kContactColour[0]);
        row("touch down");
        UpMark(gx - 2, y, kContactColour[0]);
        row("lift");
        Diamond(gx - 2, y, 5, kGestureColour);
        row("gesture, at contact 1");
        Text(x + 2, y + 4, "legend-gesture", "440 ZoomIn");
        Text(x + 2 + TextWidth("440 ZoomIn", 12, true) + 6, y + 4, "", "tick, gesture");
        y += kLegendRow;
        Text(x + 2, y + 4, "", "Ctrl\xE2\x86\x93 K\xE2\x86\x91");
        Text(x + 2 + TextWidth("Ctrl\xE2\x86\x93 K\xE2\x86\x91", 11) + 6, y + 4, "",
             "keys: \xE2\x86\x93 down, \xE2\x86\x91 up");
        y += kLegendRow;
        MouseGlyph(gx - 2, y, kMouseEventMove, 0, "");
        row("pointer moved here");
        MouseGlyph(gx - 9, y, kMouseEventLeftDown, 0, "");
        MouseGlyph(gx + 5, y, kMouseEventLeftUp, 0, "");
        row("left button down, up");
        MouseGlyph(gx - 9, y, kMouseEventRightDown, 0, "");
        MouseGlyph(gx + 5, y, kMouseEventRightUp, 0, "");
        row("right button down, up");
        MouseGlyph(gx - 9, y, kMouseEventWheel, kWheelDelta, "");
        MouseGlyph(gx + 5, y, kMouseEventWheel, -kWheelDelta, "");
        row("wheel forward, back");
        Rect(x + 4, y - 6, kLegendGlyphWidth - 12, 12, "fill=\"#e4e4e4\"");
        row("outside the screen");
        Text(x, y + 8, "lane", "In the timeline");
        y += kLegendRow + 4;
        Rect(x + 4, y - 5, kLegendGlyphWidth - 12, 10,
             std::string("fill=\"") + kContactColour[0] + "\" fill-opacity=\"0.35\" stroke=\"" +
                 kContactColour[0] + '"');
        row("a contact, down to up");
        KeyGlyph(gx - 9, y, false, "");
        KeyGlyph(gx + 5, y, true, "");
        row("key down, up");
        Text(x + 2, y + 4, "small", "mouse marks as on the screen");
    }

    double TimelineHeight() const { return 24 + 2 * 30 + 4 + GestureLaneHeight() + 36; }
    static double GestureLaneHeight() { return kTimelineGestureRows * 14 + 10 + 2 * 16; }

    void Timeline() {
        const double x0 = kMargin + kLaneLabelWidth, x1 = kCanvasWidth - kMargin - 8;
        const double ix0 = x0 + 8, ix1 = x1 - 8;  // marks at the ends stay inside the lane
        const uint64_t t0 = p_.firstTick_;
        const uint64_t t1 = std::max<uint64_t>(p_.lastTick_, t0 + 1);
        const auto tx = [&](uint64_t t) {
            return ix0 + static_cast<double>(t - t0) / static_cast<double>(t1 - t0) * (ix1 - ix0);
        };
        double y = timelineTop_;
        Text(kMargin, y + 12, "lane", "Timeline (ticks in ms)");
        const double lanesTop = y + 24;
        const double gestureTop = lanesTop + 2 * 30 + 4;
        const double keyRow = gestureTop + kTimelineGestureRows * 14 + 10 + 8;
        const double mouseRow = keyRow + 16;
        const double axisY = gestureTop + GestureLaneHeight() + 4;

        // Lanes and grid.
        for (int c = 0; c < 2; ++c) {
            const double top = lanesTop + c * 30;
            Rect(x0, top, x1 - x0, 26, "fill=\"#fafafa\" stroke=\"#dddddd\"");
            Text(kMargin, top + 17, "lane", "contact " + std::to_string(c + 1));
        }
        Rect(x0, gestureTop, x1 - x0, GestureLaneHeight(), "fill=\"#fafafa\" stroke=\"#dddddd\"");
        Text(kMargin, gestureTop + 16, "lane", "gestures");
        Text(kMargin, keyRow + 4, "lane", "keys");
        Text(kMargin, mouseRow + 4, "lane", "mouse");

        const double span = static_cast<double>(t1 - t0);
        // About ten labelled ticks, as many as fit side by side.
        const double labelWidth = TextWidth(std::to_string(t1), 11) + 24;
        const double raw = std::max(span / 10, span * labelWidth / (ix1 - ix0));
        double step = std::pow(10.0, std::floor(std::log10(std::max(raw, 1.0))));
        for (double m : {1.0, 2.0, 5.0, 10.0}) {
            if (step * m >= raw) {
                step *= m;
                break;
            }
        }
        const uint64_t istep = std::max<uint64_t>(1, static_cast<uint64_t>(step));
        s_ << "<line x1=\"" << Num(x0) << "\" y1=\"" << Num(axisY) << "\" x2=\"" << Num(x1)
           << "\" y2=\"" << Num(axisY) << "\" stroke=\"#444444\"/>\n";
        for (uint64_t t = (t0 + istep - 1) / istep * istep; t <= t1; t += istep) {
            const double x = tx(t);
            s_ << "<line x1=\"" << Num(x) << "\" y1=\"" << Num(lanesTop) << "\" x2=\"" << Num(x)
               << "\" y2=\"" << Num(axisY + 4) << "\" stroke=\"#dddddd\"/>\n";
            const std::string text = std::to_string(t);
            const double half = TextWidth(text, 11) / 2;
            Text(std::clamp(x, kMargin + half, kCanvasWidth - kMargin - half), axisY + 17, "", text,
                 "middle");
        }

        // Contacts, down to up (to the end when still down).
        for (const Touch& t : p_.touches_) {
            const double top = lanesTop + t.contact * 30 + 6;
            const uint32_t end = t.lifted ? t.upTick : p_.lastTick_;
            const double a = tx(t.downTick), b = std::max(tx(end), a + 2);
            s_ << "<rect x=\"" << Num(a) << "\" y=\"" << Num(top) << "\" width=\"" << Num(b - a)
               << "\" height=\"14\" fill=\"" << kContactColour[t.contact]
               << "\" fill-opacity=\"0.35\" stroke=\"" << kContactColour[t.contact] << '"'
               << (t.contact == 1 ? std::string(" stroke-dasharray=\"") + kContact2Dashes + '"'
                                  : "")
               << "><title>contact " << t.contact + 1 << ": down at " << t.downTick
               << (t.lifted ? ", up at " + std::to_string(t.upTick) : ", still down at the end")
               << ", " << t.samples.size() << " reports</title></rect>\n";
        }

        // Gestures: a mark, a line up through the contacts and the name in a free row.
        double rowEnd[kTimelineGestureRows];
        std::fill(std::begin(rowEnd), std::end(rowEnd), -1e9);
        for (const Event& e : p_.events_) {
            const double x = tx(e.tick);
            if (e.kind == EventKind::kGesture) {
                const double markY = gestureTop + kTimelineGestureRows * 14 + 5;
                s_ << "<line x1=\"" << Num(x) << "\" y1=\"" << Num(lanesTop) << "\" x2=\"" << Num(x)
                   << "\" y2=\"" << Num(markY) << "\" stroke=\"" << kGestureColour
                   << "\" stroke-opacity=\"0.45\" stroke-dasharray=\"2 2\"/>\n";
                Diamond(x, markY, 4.5, kGestureColour);
                const double w = TextWidth(e.name, 11, true);
                const double lx = std::clamp(x - w / 2, x0 + 2, std::max(x0 + 2, x1 - 2 - w));
                // Where every row is taken, the mark alone (its name is on the screen).
                int row = -1;
                for (int r = 0; r < kTimelineGestureRows && row < 0; ++r) {
                    if (rowEnd[r] + 4 <= lx) row = r;
                }
                if (row < 0) continue;
                rowEnd[row] = lx + w;
                s_ << "<text class=\"timeline-gesture\" x=\"" << Num(lx) << "\" y=\""
                   << Num(gestureTop + 13 + row * 14) << "\"><title>" << e.tick << " gesture "
                   << Xml(e.name) << "</title>" << Xml(e.name) << "</text>\n";
            } else if (e.kind == EventKind::kKey) {
                KeyGlyph(x, keyRow, e.up, KeyLine(e.tick, e.vk, e.up));
            } else {
                const std::string tooltip = MouseLine(e.tick, e.flags, e.dx, e.dy, e.data);
                for (uint32_t bit : MouseBits(e.flags))
                    MouseGlyph(x, mouseRow, bit, e.data, tooltip);
            }
        }
    }

    const SessionPicture& p_;
    std::ostringstream s_;
    std::vector<Label> labels_;
    std::vector<Box> notes_;  // where the screen's notes are
    double viewX_ = 0, viewY_ = 0, viewW_ = 1, viewH_ = 1;
    double band_ = 0;
    double scale_ = 1;
    double areaLeft_ = 0, areaTop_ = 0, areaWidth_ = 0, areaHeight_ = 0;
    double timelineTop_ = 0;
    size_t clamped_ = 0;
};

void SessionPicture::WriteSvg(std::ostream& out) const {
    Canvas canvas(*this);
    canvas.Write(out);
}

}  // namespace tactra
