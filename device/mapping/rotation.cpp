#include "device/mapping/rotation.h"

#include <string>

#include "platform/saturate.h"

namespace tactra {

bool DetectDisplayAdapter(Display& display) {
    std::string provider;
    if (!display.ReadAdapterProvider(provider)) return false;
    return provider == kSwappedOrientationProvider;
}

int32_t CorrectOrientation(int32_t reported, bool atiAdapter) {
    if (!atiAdapter) return reported;
    if (reported == 1) return 3;
    if (reported == 3) return 1;
    return reported;
}

bool ReadDisplayMode(Display& display, DisplayState& state) {
    DisplayMode mode;
    if (!display.ReadCurrentMode(mode)) return false;
    state.width = SaturateInt32(mode.width);
    state.height = SaturateInt32(mode.height);
    state.orientation = CorrectOrientation(mode.orientation, state.atiAdapter);
    return true;
}

void InitDisplayState(Display& display, DisplayState& state) {
    // An orientation kept from an earlier read carries that read's correction: it is
    // taken back to the driver's value first, so a failed read here does not swap
    // it a second time.
    state.orientation = CorrectOrientation(state.orientation, state.atiAdapter);
    state.atiAdapter = false;
    ReadDisplayMode(display, state);
    state.atiAdapter = DetectDisplayAdapter(display);
    state.orientation = CorrectOrientation(state.orientation, state.atiAdapter);
}

bool TransformToScreen(const DisplayState& state, int32_t x, int32_t y, int32_t& screenX,
                       int32_t& screenY) {
    // Widened: the width minus a pixel value cannot overflow then, and the result is
    // brought back into range.
    const int64_t px = x / 100;
    const int64_t py = y / 100;
    const int64_t w = state.width;
    const int64_t h = state.height;
    int64_t sx, sy;
    switch (state.orientation) {
        case 0:
            sx = px;
            sy = py;
            break;
        case 1:
            sx = w - py;
            sy = px;
            break;
        case 2:
            sx = w - px;
            sy = h - py;
            break;
        case 3:
            sx = py;
            sy = h - px;
            break;
        default:
            return false;
    }
    screenX = SaturateInt32(sx);
    screenY = SaturateInt32(sy);
    return true;
}

}  // namespace tactra
