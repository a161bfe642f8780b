// One gesture control group of the configuration pages as plain data (three check
// boxes and the key combo box's text), and its conversions to and from the stored
// action over the key table.
#pragma once

#include <string>
#include <vector>

#include "gesture/gesture_action.h"

namespace tactra {

struct KeyGroupState {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    std::string text;
};

// The key names of the combo boxes, in code order.
std::vector<std::string> KeyComboItems();
// False when the text names no key (the page refuses to save then).
bool EncodeKeyGroup(const KeyGroupState& state, GestureAction& action);
// Sets the group from an action; an iCase outside 0..16 leaves the boxes as they are.
void ShowKeyGroup(const GestureAction& action, KeyGroupState& state);

}  // namespace tactra
