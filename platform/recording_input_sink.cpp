#include "platform/recording_input_sink.h"

#include <cstdio>

namespace tactra {

std::string InputEvent::ToString() const {
    char text[64];
    if (kind == Kind::kKey) {
        std::snprintf(text, sizeof text, "key %s %u", up ? "up" : "down", unsigned{vk});
    } else {
        std::snprintf(text, sizeof text, "mouse 0x%04X %d %d %d", static_cast<unsigned>(flags),
                      static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(data));
    }
    return text;
}

InputEvent KeyDown(uint8_t vk) {
    InputEvent e;
    e.vk = vk;
    return e;
}

InputEvent KeyUp(uint8_t vk) {
    InputEvent e = KeyDown(vk);
    e.up = true;
    return e;
}

InputEvent Mouse(uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
    InputEvent e;
    e.kind = InputEvent::Kind::kMouse;
    e.flags = flags;
    e.dx = dx;
    e.dy = dy;
    e.data = data;
    return e;
}

void RecordingInputSink::KeyEvent(uint8_t vk, bool up) {
    InputEvent e = up ? KeyUp(vk) : KeyDown(vk);
    e.tick = clock_ ? clock_->TickCount() : 0;
    events_.push_back(e);
    down_[vk] = !up;
}

void RecordingInputSink::MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
    InputEvent e = Mouse(flags, dx, dy, data);
    e.tick = clock_ ? clock_->TickCount() : 0;
    events_.push_back(e);
}

}  // namespace tactra
