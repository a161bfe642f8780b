#include "profiles/app_profile.h"

namespace tactra {

namespace {

// Indexed by the set, 1..8.
constexpr ModifierKeys kModifierSets[9] = {
    {},                    // not a set
    {},                    // 1: none
    {false, true, false},  // 2: Ctrl
    {false, false, true},  // 3: Alt
    {true, false, false},  // 4: Shift
    {false, true, true},   // 5: Ctrl, Alt
    {true, true, false},   // 6: Shift, Ctrl
    {true, false, true},   // 7: Shift, Alt
    {true, true, true},    // 8: Shift, Ctrl, Alt
};

}  // namespace

ModifierKeys ModifierSetKeys(int32_t modifierSet) {
    if (modifierSet < 1 || modifierSet > 8) return {};
    return kModifierSets[modifierSet];
}

int32_t ActionModifierSet(const GestureAction& a) {
    if (a.kind < 1 || a.kind > 16) return 0;
    return a.kind <= 8 ? a.kind : a.kind - 8;
}

}  // namespace tactra
