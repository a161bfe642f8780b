// An input sink that records every event with the tick it happened at and keeps the
// key state that the recorded events (and the user's own keys) imply.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/input_sink.h"

namespace tactra {

struct InputEvent {
    enum class Kind { kKey, kMouse };
    Kind kind = Kind::kKey;
    uint32_t tick = 0;
    uint8_t vk = 0;
    bool up = false;
    uint32_t flags = 0;
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t data = 0;

    bool operator==(const InputEvent& o) const {
        return kind == o.kind && vk == o.vk && up == o.up && flags == o.flags && dx == o.dx &&
               dy == o.dy && data == o.data;
    }
    // "key down 17", "mouse 0x0800 0 0 120"
    std::string ToString() const;
};

InputEvent KeyDown(uint8_t vk);
InputEvent KeyUp(uint8_t vk);
InputEvent Mouse(uint32_t flags, int32_t dx = 0, int32_t dy = 0, int32_t data = 0);

class RecordingInputSink : public InputSink {
public:
    explicit RecordingInputSink(Clock* clock = nullptr) : clock_(clock) {}

    void KeyEvent(uint8_t vk, bool up) override;
    void MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) override;
    bool IsKeyDown(uint8_t vk) override { return down_[vk]; }

    // The user holds or releases a key outside the recorded stream.
    void SetKeyState(uint8_t vk, bool down) { down_[vk] = down; }

    const std::vector<InputEvent>& Events() const { return events_; }
    void Clear() { events_.clear(); }

private:
    Clock* clock_;
    std::vector<InputEvent> events_;
    std::bitset<256> down_;
};

}  // namespace tactra
