// What the gesture engine keeps of each finger: the sample taken from the current
// batch and the record of the finger's touch.
#pragma once

#include <cstdint>

namespace tactra {

// Finger 1 is the panel's first contact, finger 2 its second.
constexpr int kFinger1 = 0;
constexpr int kFinger2 = 1;
constexpr int kFingerCount = 2;

// A sample's event and a record's state. The values are the ones the main dialog's
// status text shows ("X1-2[...]": down).
enum class TouchPhase : int32_t {
    kMove = 1,     // a record: moving, past its down phase
    kDown = 2,     // a record: in its down phase, the first 300 ms of a touch
    kUp = 4,       // not touching
    kInRange = 8,  // in range without contact
};

// Reduces a touch-input record's flags to a sample's event: DOWN, else MOVE, else
// INRANGE without UP, else up.
TouchPhase ReduceTouchFlags(uint32_t dwFlags);

// A finger's position and event in the current batch, in screen pixels of the
// current orientation.
struct FingerSample {
    int32_t x = 0;
    int32_t y = 0;
    TouchPhase phase = TouchPhase::kUp;
};

// The engine's record of one finger's touch. The anchor is where the finger
// touched down; a two-finger step moves it to the latest position, so the next
// step is measured from there.
struct FingerRecord {
    int32_t anchorX = 0;
    int32_t anchorY = 0;
    TouchPhase phase = TouchPhase::kUp;
    uint32_t downTick = 0;  // tick count at the touch-down
    int32_t lastX = 0;      // latest position: every move and the lift set it
    int32_t lastY = 0;
    // Extremes of the displacement from the anchor (last - anchor) since the
    // touch-down, 0 at the touch-down.
    int32_t maxDx = 0;
    int32_t minDx = 0;
    int32_t maxDy = 0;
    int32_t minDy = 0;
    // Set at the touch-down and by every move after the down phase; cleared when
    // the state machine consumes the finger's samples.
    bool newSample = false;
};

}  // namespace tactra
