#include "profiles/key_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tactra {
namespace {

ControlGroupState Group(int shift, int ctrl, int alt, const std::string& key) {
    ControlGroupState g;
    g.shift = shift;
    g.ctrl = ctrl;
    g.alt = alt;
    g.keyText = key;
    return g;
}

GestureAction Action(int32_t kind, int32_t code, int32_t up) {
    GestureAction a;
    a.kind = kind;
    a.code = code;
    a.up = up;
    return a;
}

TEST(KeyTable, NamesAndCodes) {
    KeyNameTable table;
    table.fill("stale");
    FillKeyNames(table);
    int named = 0;
    for (const std::string& name : table) named += name.empty() ? 0 : 1;
    EXPECT_EQ(named, 95);
    EXPECT_EQ(table[0], "");
    EXPECT_EQ(table[42], "Print Scr");
    EXPECT_EQ(table[44], "");
    EXPECT_EQ(table[48], "0");
    EXPECT_EQ(table[57], "9");
    EXPECT_EQ(table[65], "A");
    EXPECT_EQ(table[90], "Z");
    EXPECT_EQ(table[96], "NUM0");
    EXPECT_EQ(table[105], "NUM9");
    EXPECT_EQ(table[112], "F1");
    EXPECT_EQ(table[123], "F12");
    EXPECT_EQ(table[192], "`");
    EXPECT_EQ(table[220], "\\");
    EXPECT_EQ(table[222], "'");
    EXPECT_EQ(table[259], "");
    EXPECT_EQ(table, DefaultKeyNames());

    const auto combo = ComboKeyNames();
    EXPECT_EQ(*combo.front(), "Mouse Up");
    EXPECT_EQ(*combo[1], "Mouse Down");
    EXPECT_EQ(*combo.back(), "'");
    std::set<std::string> distinct;
    for (const std::string* name : combo) distinct.insert(*name);
    EXPECT_EQ(distinct.size(), 95u);  // so each name finds its own code
}

TEST(KeyTable, FindKeyCodeTellsNoKeyFromUnknownKey) {
    bool known = false;
    EXPECT_EQ(FindKeyCode("Page Up", &known), 33);
    EXPECT_TRUE(known);
    EXPECT_EQ(FindKeyCode("", &known), 0);
    EXPECT_TRUE(known);  // an empty box is "no key"
    EXPECT_EQ(FindKeyCode("page up", &known), 0);
    EXPECT_FALSE(known);  // case-sensitive: an unknown key
    EXPECT_EQ(FindKeyCode("Page Up ", &known), 0);
    EXPECT_FALSE(known);
    EXPECT_EQ(FindKeyCode("unknown"), 0);
    EXPECT_EQ(FindKeyCode("A very long typed text that is no key name at all", &known), 0);
    EXPECT_FALSE(known);
    EXPECT_EQ(FindKeyCode("F1"), 112);
}

TEST(KeyTable, ModifierSets) {
    EXPECT_EQ(GetModifierSet(0, 0, 0), 1);
    EXPECT_EQ(GetModifierSet(0, 1, 0), 2);
    EXPECT_EQ(GetModifierSet(0, 0, 1), 3);
    EXPECT_EQ(GetModifierSet(1, 0, 0), 4);
    EXPECT_EQ(GetModifierSet(0, 1, 1), 5);
    EXPECT_EQ(GetModifierSet(1, 1, 0), 6);
    EXPECT_EQ(GetModifierSet(1, 0, 1), 7);
    EXPECT_EQ(GetModifierSet(1, 1, 1), 8);
    EXPECT_EQ(GetModifierSet(2, 2, 2), 8);  // indeterminate counts as on
}

TEST(KeyTable, Encode) {
    EXPECT_EQ(EncodeGestureAction(Group(0, 1, 0, "Mouse Up")), Action(2, 2048, 1));
    EXPECT_EQ(EncodeGestureAction(Group(1, 1, 0, "Subtract")), Action(14, 109, 0));
    EXPECT_EQ(EncodeGestureAction(Group(0, 0, 0, "Page Up")), Action(9, 33, 0));
    EXPECT_EQ(EncodeGestureAction(Group(1, 1, 1, "")), Action(0, 0, 0));
    EXPECT_EQ(EncodeGestureAction(Group(0, 0, 0, "Mouse Down")), Action(1, 2048, 0));
    bool known = true;
    EXPECT_EQ(EncodeGestureAction(Group(0, 1, 0, "Ctrl+Q"), &known), Action(0, 0, 0));
    EXPECT_FALSE(known);
}

TEST(KeyTable, Show) {
    ControlGroupState g = Group(1, 1, 1, "stale");
    ShowGestureAction(g, Action(10, 188, 0));
    EXPECT_EQ(g.shift, 0);
    EXPECT_EQ(g.ctrl, 1);
    EXPECT_EQ(g.alt, 0);
    EXPECT_EQ(g.keyText, ",");
    ShowGestureAction(g, Action(0, 0, 0));
    EXPECT_EQ(g.shift + g.ctrl + g.alt, 0);
    EXPECT_EQ(g.keyText, "");

    // Hand-edited values: out-of-range kind keeps the boxes; odd codes show nothing.
    g = Group(1, 0, 1, "x");
    ShowGestureAction(g, Action(17, 260, 0));
    EXPECT_EQ(g.shift, 1);
    EXPECT_EQ(g.alt, 1);
    EXPECT_EQ(g.keyText, "");
    ShowGestureAction(g, Action(-1, -5, 0));
    EXPECT_EQ(g.keyText, "");
    ShowGestureAction(g, Action(99, 1 << 30, 0));
    EXPECT_EQ(g.keyText, "");
    ShowGestureAction(g, Action(3, 2048, 7));  // any direction but 1 turns the wheel back
    EXPECT_EQ(g.keyText, "Mouse Down");
    EXPECT_EQ(g.alt, 1);
    EXPECT_EQ(g.shift, 0);
}

TEST(KeyTable, EveryEncodedTripleSurvivesShowAndEncode) {
    int checked = 0;
    auto texts = ComboKeyNames();
    for (int boxes = 0; boxes < 8; ++boxes) {
        for (size_t t = 0; t <= texts.size(); ++t) {
            const std::string text = t < texts.size() ? *texts[t] : std::string();
            const GestureAction a =
                EncodeGestureAction(Group(boxes & 1, (boxes >> 1) & 1, (boxes >> 2) & 1, text));
            ControlGroupState shown = Group(1, 1, 1, "stale");
            ShowGestureAction(shown, a);
            EXPECT_EQ(EncodeGestureAction(shown), a)
                << "boxes " << boxes << " key '" << text << "'";
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8 * 96);
}

}  // namespace
}  // namespace tactra
