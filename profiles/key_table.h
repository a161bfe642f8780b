// The keys and wheel steps a configuration page offers for a gesture, and the two
// conversions between a page's control group (Shift, Ctrl and Alt check boxes and a
// key combo box) and the stored GestureAction.
#pragma once

#include <array>
#include <string>

#include "profiles/app_profile.h"

namespace tactra {

constexpr int kKeyNameTableSize = 260;
constexpr int kLastComboKeyCode = 229;  // the combo boxes list codes 0..229
constexpr int kKeyMouseUp = 1;          // "Mouse Up": the wheel turned forward
constexpr int kKeyMouseDown = 2;        // "Mouse Down": the wheel turned back

// 260 names indexed by code; codes without a name hold the empty text.
using KeyNameTable = std::array<std::string, kKeyNameTableSize>;

// Fills a page's table with the 95 names.
void FillKeyNames(KeyNameTable& table);
// A table filled once, for callers that need no copy of their own.
const KeyNameTable& DefaultKeyNames();
// The names a key combo box lists, in code order.
std::array<const std::string*, 95> ComboKeyNames();

// The code of a combo box text: the first of codes 0..229 whose name equals it byte
// for byte (the empty text is code 0, "no key"). A text that matches no name also
// gives 0; `known`, when given, tells the two apart: false for such a text.
int FindKeyCode(const std::string& text, bool* known = nullptr);

// The modifier set 1..8 of the three check boxes (a box is on when its state is not 0).
int32_t GetModifierSet(int shift, int ctrl, int alt);

// One control group's state as the dialogs read it from, and show it in, the controls.
struct ControlGroupState {
    int shift = 0;  // check states: 0 off, anything else on
    int ctrl = 0;
    int alt = 0;
    std::string keyText;  // the combo box's text
};

// The action a control group stands for: nothing for an empty (or unknown, see
// FindKeyCode) key, a wheel step for "Mouse Up"/"Mouse Down", else a key press.
GestureAction EncodeGestureAction(const ControlGroupState& group, bool* knownKey = nullptr);

// Sets a control group from a stored action. A kind outside 0..16 leaves the boxes
// as they are; a code without a name (also one outside the table) shows the empty
// text; a wheel step with a direction other than 1 shows "Mouse Down", the step it
// plays.
void ShowGestureAction(ControlGroupState& group, const GestureAction& action);

}  // namespace tactra
