// Port: the tick clock (milliseconds, wrapping at 2^32) and sleeping. The Win32
// adapter uses GetTickCount and Sleep; tests and tactra-replay use a virtual clock.
#pragma once

#include <cstdint>

namespace tactra {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// A clock that only moves when told to; Sleep advances it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint32_t start = 0) : now_(start) {}
    uint32_t TickCount() override { return now_; }
    void Sleep(uint32_t milliseconds) override { now_ += milliseconds; }
    void Set(uint32_t tick) { now_ = tick; }

private:
    uint32_t now_;
};

}  // namespace tactra
