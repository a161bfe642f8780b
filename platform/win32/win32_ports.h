// Win32 adapters of the core's clock and input-sink ports.
#pragma once

#include "platform/clock.h"
#include "platform/input_sink.h"

namespace tactra {

class Win32Clock : public Clock {
public:
    uint32_t TickCount() override;
    void Sleep(uint32_t milliseconds) override;
};

// keybd_event with scan code 0 and extra information 0; mouse_event likewise;
// the key state from GetAsyncKeyState (down when negative).
class Win32InputSink : public InputSink {
public:
    void KeyEvent(uint8_t vk, bool up) override;
    void MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) override;
    bool IsKeyDown(uint8_t vk) override;
};

}  // namespace tactra
