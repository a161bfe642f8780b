// A picture of a replayed session as one self-contained SVG file: the screen with
// each contact's path and every recognised gesture and played action where it
// happened, below it a timeline of the contacts, gestures and actions, and a legend.
// The sessions tell it what they print, in the order it happens.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "device/mapping/rotation.h"
#include "device/panel/touch_report.h"

namespace tactra {

class SessionPicture {
public:
    // `title`: the trace's name; `library`: the records are those the library's
    // client gets (otherwise those Tactra's engine gets).
    SessionPicture(std::string title, bool library);

    // The display mode from `tick` on (a width or height of 0: unknown).
    void SetScreen(uint32_t tick, int32_t width, int32_t height, int32_t orientation);
    // Where the screen lies while positions go to a chosen monitor (`onMonitor`): its
    // top left corner on the virtual desktop, over which absolute events with
    // kMouseEventVirtualDesk then span, and from which the library's records count.
    void SetPlacement(bool onMonitor, int32_t left, int32_t top, const DesktopRect& virtualScreen);
    // A delivered batch, positions in hundredths of a pixel. With `transform` they are
    // taken to screen pixels of the current orientation as the engine does (for an
    // unknown orientation a contact keeps its previous position); without, they are
    // the records' own pixels.
    void AddBatch(uint32_t tick, const TOUCHINPUT* records, int count,
                  const DisplayState* transform);
    void AddGesture(uint32_t tick, const std::string& name);
    void AddKey(uint32_t tick, uint8_t vk, bool up);
    void AddMouse(uint32_t tick, uint32_t flags, int32_t dx, int32_t dy, int32_t data);
    // The timeline reaches at least `tick` (the trace's last directive).
    void ExtendTo(uint32_t tick);

    void WriteSvg(std::ostream& out) const;

private:
    class Canvas;

    struct Point {
        int64_t x = 0;  // screen pixels
        int64_t y = 0;
    };
    struct Sample {
        uint32_t tick = 0;
        Point at;
    };
    // One contact from its down to its up.
    struct Touch {
        int contact = 0;  // 0: contact 1, 1: contact 2
        uint32_t downTick = 0;
        uint32_t upTick = 0;
        bool lifted = false;
        std::vector<Sample> samples;
    };
    struct ScreenMode {
        uint32_t tick = 0;
        int32_t width = 0;
        int32_t height = 0;
        int32_t orientation = 0;
    };
    enum class EventKind { kGesture, kKey, kMouse };
    struct Event {
        EventKind kind = EventKind::kGesture;
        uint32_t tick = 0;
        std::string name;  // the gesture's
        uint8_t vk = 0;
        bool up = false;
        uint32_t flags = 0;
        int32_t dx = 0;
        int32_t dy = 0;
        int32_t data = 0;
        Point finger1;        // contact 1's position at the event
        bool placed = false;  // `pointer` is known
        Point pointer;        // where the pointer is after the event
    };

    void Saw(uint32_t tick);

    bool onMonitor_ = false;
    int32_t monitorLeft_ = 0;
    int32_t monitorTop_ = 0;
    DesktopRect virtualScreen_;

    std::string title_;
    bool library_;
    std::vector<ScreenMode> modes_;  // each known mode from the tick it took effect
    ScreenMode current_;
    bool screenUnknownSeen_ = false;  // a batch came while the mode was unknown
    std::vector<Touch> touches_;
    int open_[2] = {-1, -1};  // index into touches_ of each contact's open touch
    Point last_[2];           // each contact's latest position
    bool pointerKnown_ = false;
    Point pointer_;
    std::vector<Event> events_;
    bool anyTick_ = false;
    uint32_t firstTick_ = 0;
    uint32_t lastTick_ = 0;
};

}  // namespace tactra
