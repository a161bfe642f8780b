#include "profiles/key_table.h"

namespace tactra {

namespace {

struct NamedKey {
    int code;
    const char* name;
};

// The named codes apart from the runs of digits, letters, number-pad digits and
// function keys, which FillKeyNames adds. Code 42 is VK_PRINT, as the stored files
// have it.
constexpr NamedKey kNamedKeys[] = {
    {1, "Mouse Up"},   {2, "Mouse Down"}, {8, "Back"},        {9, "Tab"},        {13, "Return"},
    {27, "Esc"},       {32, "Space"},     {33, "Page Up"},    {34, "Page Down"}, {35, "End"},
    {36, "Home"},      {37, "Left"},      {38, "Up"},         {39, "Right"},     {40, "Down"},
    {42, "Print Scr"}, {45, "Insert"},    {46, "Delete"},     {91, "L Win"},     {92, "R Win"},
    {106, "Multiply"}, {107, "Add"},      {108, "Separator"}, {109, "Subtract"}, {110, "Decimal"},
    {111, "Divide"},   {186, ";"},        {187, "+"},         {188, ","},        {189, "-"},
    {190, "."},        {191, "/"},        {192, "`"},         {219, "["},        {220, "\\"},
    {221, "]"},        {222, "'"},
};

}  // namespace

void FillKeyNames(KeyNameTable& table) {
    for (std::string& name : table) name.clear();
    for (const NamedKey& k : kNamedKeys) table[static_cast<size_t>(k.code)] = k.name;
    for (size_t i = 0; i <= 9; ++i) {
        table[48 + i] = std::string(1, static_cast<char>('0' + i));
        table[96 + i] = "NUM" + std::to_string(i);
    }
    for (size_t i = 0; i < 26; ++i) table[65 + i] = std::string(1, static_cast<char>('A' + i));
    for (size_t i = 1; i <= 12; ++i) table[111 + i] = "F" + std::to_string(i);
}

const KeyNameTable& DefaultKeyNames() {
    static const KeyNameTable table = [] {
        KeyNameTable t;
        FillKeyNames(t);
        return t;
    }();
    return table;
}

std::array<const std::string*, 95> ComboKeyNames() {
    std::array<const std::string*, 95> names{};
    size_t n = 0;
    const KeyNameTable& table = DefaultKeyNames();
    for (int code = 0; code <= kLastComboKeyCode && n < names.size(); ++code) {
        if (!table[static_cast<size_t>(code)].empty())
            names[n++] = &table[static_cast<size_t>(code)];
    }
    return names;
}

int FindKeyCode(const std::string& text, bool* known) {
    const KeyNameTable& table = DefaultKeyNames();
    for (int code = 0; code <= kLastComboKeyCode; ++code) {
        if (table[static_cast<size_t>(code)] == text) {
            if (known) *known = true;
            return code;
        }
    }
    if (known) *known = false;
    return 0;
}

int32_t GetModifierSet(int shift, int ctrl, int alt) {
    ModifierKeys boxes;
    boxes.shift = shift != 0;
    boxes.ctrl = ctrl != 0;
    boxes.alt = alt != 0;
    for (int32_t set = 1; set <= 8; ++set) {
        if (ModifierSetKeys(set) == boxes) return set;
    }
    return 1;  // not reached: the eight sets hold all combinations
}

GestureAction EncodeGestureAction(const ControlGroupState& group, bool* knownKey) {
    const int k = FindKeyCode(group.keyText, knownKey);
    const int32_t m = GetModifierSet(group.shift, group.ctrl, group.alt);
    GestureAction a;
    if (k == 0) return a;
    if (k == kKeyMouseUp || k == kKeyMouseDown) {
        a.kind = m;
        a.code = kWheelActionCode;
        a.up = k == kKeyMouseUp ? 1 : 0;
    } else {
        a.kind = m + 8;
        a.code = k;
    }
    return a;
}

void ShowGestureAction(ControlGroupState& group, const GestureAction& action) {
    if (action.kind >= 0 && action.kind <= 16) {
        // 0 and 9 show no box, like set 1.
        const ModifierKeys b = ModifierSetKeys(ActionModifierSet(action));
        group.shift = b.shift ? 1 : 0;
        group.ctrl = b.ctrl ? 1 : 0;
        group.alt = b.alt ? 1 : 0;
    }
    const KeyNameTable& table = DefaultKeyNames();
    if (action.code == kWheelActionCode) {
        group.keyText = table[action.up == 1 ? kKeyMouseUp : kKeyMouseDown];
    } else if (action.code > 0 && action.code < kKeyNameTableSize) {
        group.keyText = table[static_cast<size_t>(action.code)];
    } else {
        group.keyText.clear();
    }
}

}  // namespace tactra
