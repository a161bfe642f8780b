#include "app/key_groups.h"

#include <string>

namespace tactra {

namespace {

constexpr int kKeyNameCount = 260;
constexpr int kComboCodes = 230;  // the combo boxes offer codes 0 .. 229
constexpr int kMouseUpCode = 1;
constexpr int kMouseDownCode = 2;

const std::vector<std::string>& KeyNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n(kKeyNameCount);
        n[1] = "Mouse Up"; n[2] = "Mouse Down"; n[8] = "Back"; n[9] = "Tab"; n[13] = "Return";
        n[27] = "Esc"; n[32] = "Space"; n[33] = "Page Up"; n[34] = "Page Down"; n[35] = "End";
        n[36] = "Home"; n[37] = "Left"; n[38] = "Up"; n[39] = "Right"; n[40] = "Down";
        n[42] = "Print Scr"; n[45] = "Insert"; n[46] = "Delete";
        for (int c = 0; c < 10; ++c) n[48 + c] = std::string(1, static_cast<char>('0' + c));
        for (int c = 0; c < 26; ++c) n[65 + c] = std::string(1, static_cast<char>('A' + c));
        n[91] = "L Win"; n[92] = "R Win";
        for (int c = 0; c < 10; ++c) n[96 + c] = "NUM" + std::to_string(c);
        n[106] = "Multiply"; n[107] = "Add"; n[108] = "Separator"; n[109] = "Subtract";
        n[110] = "Decimal"; n[111] = "Divide";
        for (int c = 0; c < 12; ++c) n[112 + c] = "F" + std::to_string(c + 1);
        n[186] = ";"; n[187] = "+"; n[188] = ","; n[189] = "-"; n[190] = "."; n[191] = "/";
        n[192] = "`"; n[219] = "["; n[220] = "\\"; n[221] = "]"; n[222] = "'";
        return n;
    }();
    return names;
}

int ModifierSet(bool shift, bool ctrl, bool alt) {
    static const int kSets[2][2][2] = {{{1, 3}, {2, 5}}, {{4, 7}, {6, 8}}};  // [shift][ctrl][alt]
    return kSets[shift][ctrl][alt];
}

}  // namespace

std::vector<std::string> KeyComboItems() {
    std::vector<std::string> items;
    for (int code = 0; code < kComboCodes; ++code)
        if (!KeyNames()[code].empty()) items.push_back(KeyNames()[code]);
    return items;
}

bool EncodeKeyGroup(const KeyGroupState& state, GestureAction& action) {
    int code = -1;
    for (int c = 0; c < kComboCodes && code < 0; ++c)
        if (KeyNames()[c] == state.text) code = c;
    if (code < 0) return false;
    const int set = ModifierSet(state.shift, state.ctrl, state.alt);
    if (code == 0) action = {0, 0, 0};
    else if (code == kMouseUpCode) action = {set, kWheelActionCode, 1};
    else if (code == kMouseDownCode) action = {set, kWheelActionCode, 0};
    else action = {set + 8, code, 0};
    return true;
}

void ShowKeyGroup(const GestureAction& action, KeyGroupState& state) {
    if (action.iCase >= 0 && action.iCase <= 16) {
        static const bool kBoxes[9][3] = {  // shift, ctrl, alt by modifier set
            {false, false, false}, {false, false, false}, {false, true, false},
            {false, false, true},  {true, false, false},  {false, true, true},
            {true, true, false},   {true, false, true},   {true, true, true}};
        const int set = action.iCase > 8 ? action.iCase - 8 : action.iCase;
        state.shift = kBoxes[set][0];
        state.ctrl = kBoxes[set][1];
        state.alt = kBoxes[set][2];
    }
    if (action.iCode == kWheelActionCode) {
        state.text = action.bUp == 1 ? "Mouse Up" : action.bUp == 0 ? "Mouse Down" : "";
    } else if (action.iCode > 0 && action.iCode < kKeyNameCount) {
        state.text = KeyNames()[action.iCode];
    } else {
        state.text.clear();
    }
}

}  // namespace tactra
