#include <gtest/gtest.h>

#include "device/mapping/rotation.h"
#include "platform/input_sink.h"
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
    EXPECT_FALSE(s.atiAdapter);
    EXPECT_EQ(s.orientation, 1);

    d.hasProvider = true;
    d.provider = "ATI Technologies Inc.";
    InitDisplayState(d, s);
    EXPECT_TRUE(s.atiAdapter);
    EXPECT_EQ(s.orientation, 3);  // the correction applies to the first read too
    d.mode.orientation = 3;
    EXPECT_TRUE(ReadDisplayMode(d, s));
    EXPECT_EQ(s.orientation, 1);
    d.mode.orientation = 2;
    EXPECT_TRUE(ReadDisplayMode(d, s));
    EXPECT_EQ(s.orientation, 2);

    d.provider = "ATI Technologies Inc. ";
    EXPECT_FALSE(DetectDisplayAdapter(d));
    d.provider = "ATI Technologies";
    EXPECT_FALSE(DetectDisplayAdapter(d));
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
    EXPECT_TRUE(fresh.atiAdapter);
    EXPECT_EQ(fresh.orientation, 3);
}

// A pixel of a monitor to an absolute coordinate over the virtual desktop: held on
// the monitor, and rounded so that the system's truncating conversion back gives
// the same pixel (truncating here would put the left edge of a right-hand monitor
// on the pixel before it, the primary monitor's last).
TEST(VirtualDesk, CoordinatesStayOnTheMonitorAndConvertBackToTheSamePixel) {
    const struct {
        int64_t pixel;
        int32_t origin;
        uint32_t extent;
        int32_t virtualOrigin;
        uint32_t virtualExtent;
        int32_t expected;
    } cases[] = {
        {0, 1024, 1280, 0, 2304, 29128},         // the right monitor's left edge
        {-5, 1024, 1280, 0, 2304, 29128},        // beyond it: held at it
        {1280, 1024, 1280, 0, 2304, 65508},      // beyond the right edge: its last pixel
        {640, -1280, 1280, -1280, 2304, 18205},  // a negative origin
        {1279, -1280, 1280, -1280, 2304, 36381},
        {0, 0, 1024, 0, 1024, 0},
        {1023, 0, 1024, 0, 1024, 65472},
        {5, -100, 10, 0, 100, 0},  // a monitor outside the virtual screen: its edge
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixel);
        EXPECT_EQ(VirtualDeskMouseCoordinate(c.pixel, c.origin, c.extent, c.virtualOrigin,
                                             c.virtualExtent),
                  c.expected);
    }
    for (const uint32_t width : {640u, 2304u, 3840u, 5120u, 7680u}) {
        for (uint32_t p = 0; p < width; ++p) {
            const int64_t v = VirtualDeskMouseCoordinate(p, 0, width, 0, width);
            ASSERT_LE(v, 65535);
            ASSERT_EQ(v * width / 65536, p) << "width " << width;
        }
    }
}
