#include <gtest/gtest.h>

#include "device/rotation.h"
#include "tests/support/fake_display.h"

using namespace tactra;

namespace {

struct Point {
    int32_t x, y;
};

Point Screen(int32_t w, int32_t h, int32_t o, int32_t x, int32_t y) {
    DisplayState s;
    s.width = w;
    s.height = h;
    s.orientation = o;
    Point p{-7, -7};
    EXPECT_TRUE(TransformToScreen(s, x, y, p.x, p.y));
    return p;
}

}  // namespace

TEST(Rotation, TransformTableWorkedExamples) {
    Point p = Screen(1024, 768, 0, 51200, 38400);
    EXPECT_EQ(p.x, 512);
    EXPECT_EQ(p.y, 384);
    p = Screen(768, 1024, 1, 38400, 51200);
    EXPECT_EQ(p.x, 256);
    EXPECT_EQ(p.y, 384);
    p = Screen(768, 1024, 3, 38400, 51200);
    EXPECT_EQ(p.x, 512);
    EXPECT_EQ(p.y, 640);
    p = Screen(768, 1024, 2, 0, 0);
    EXPECT_EQ(p.x, 768);
    EXPECT_EQ(p.y, 1024);
    // Negative coordinates divide toward zero.
    p = Screen(1024, 768, 0, -150, -99);
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, 0);
}

TEST(Rotation, UnknownOrientationLeavesThePositionAndExtremesDoNotOverflow) {
    DisplayState s;
    s.width = 100;
    s.orientation = 5;
    int32_t x = 11, y = 22;
    EXPECT_FALSE(TransformToScreen(s, 500, 600, x, y));
    EXPECT_EQ(x, 11);
    EXPECT_EQ(y, 22);
    s.orientation = 2;
    s.width = s.height = 65535;
    EXPECT_TRUE(TransformToScreen(s, INT32_MIN, INT32_MIN, x, y));
    EXPECT_EQ(x, 65535 + 21474836);
}

TEST(Rotation, AdapterCheckSwapsQuarterTurnsOnlyForTheExactProvider) {
    tactra::testing::FakeDisplay d;
    d.mode = {768, 1024, 1};
    DisplayState s;
    InitDisplayState(d, s);
    EXPECT_EQ(s.atiAdapter, 0);
    EXPECT_EQ(s.orientation, 1);

    d.hasProvider = true;
    d.provider = "ATI Technologies Inc.";
    InitDisplayState(d, s);
    EXPECT_EQ(s.atiAdapter, 1);
    EXPECT_EQ(s.orientation, 3);  // the correction applies to the first read too
    d.mode.orientation = 3;
    EXPECT_TRUE(ReadDisplayMode(d, s));
    EXPECT_EQ(s.orientation, 1);
    d.mode.orientation = 2;
    EXPECT_TRUE(ReadDisplayMode(d, s));
    EXPECT_EQ(s.orientation, 2);

    d.provider = "ATI Technologies Inc. ";
    EXPECT_EQ(DetectDisplayAdapter(d), 0);
    d.provider = "ATI Technologies";
    EXPECT_EQ(DetectDisplayAdapter(d), 0);
}

TEST(Rotation, FailedReadKeepsTheLastMode) {
    tactra::testing::FakeDisplay d;
    DisplayState s;
    d.fails = true;
    InitDisplayState(d, s);
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(s.height, 0);
    d.fails = false;
    d.mode = {800, 600, 2};
    EXPECT_TRUE(ReadDisplayMode(d, s));
    d.fails = true;
    EXPECT_FALSE(ReadDisplayMode(d, s));
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.orientation, 2);
}

TEST(Rotation, AdapterCheckAgainWithAFailedReadDoesNotSwapTwice) {
    tactra::testing::FakeDisplay d;
    d.mode = {768, 1024, 1};
    d.hasProvider = true;
    d.provider = "ATI Technologies Inc.";
    DisplayState s;
    InitDisplayState(d, s);
    ASSERT_EQ(s.orientation, 3);
    // The kept orientation already has its correction.
    d.fails = true;
    InitDisplayState(d, s);
    EXPECT_EQ(s.orientation, 3);
    // Read before the adapter was known: the check corrects it, read or not.
    DisplayState fresh;
    d.fails = false;
    ASSERT_TRUE(ReadDisplayMode(d, fresh));
    ASSERT_EQ(fresh.orientation, 1);
    d.fails = true;
    InitDisplayState(d, fresh);
    EXPECT_EQ(fresh.atiAdapter, 1);
    EXPECT_EQ(fresh.orientation, 3);
}
