// Helpers shared by the engine's files.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "gesture/engine.h"

namespace tactra {
namespace engine_detail {

inline uint32_t Now(EnginePorts& ports) { return ports.clock->TickCount(); }

// Milliseconds since a tick, as an unsigned 32-bit difference: right across the
// tick count's wrap.
inline uint32_t Since(EnginePorts& ports, uint32_t tick) { return Now(ports) - tick; }

inline int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

// An absolute mouse event at screen pixel (x, y); not sent while the display's
// width or height is 0.
void SendAbsolute(GestureState& s, EnginePorts& ports, uint32_t flags, int32_t x, int32_t y);
void SendRightClick(EnginePorts& ports);
// Announces the gesture and plays the current profile's action for it.
void PlayGesture(GestureState& s, EnginePorts& ports, Gesture g);

}  // namespace engine_detail
}  // namespace tactra
