#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>

#include "device/mapping/calibration.h"
#include "device/mapping/device_sections.h"
#include "device/mapping/touch_settings.h"

namespace tactra {
namespace {

class CalibrationFile : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "calibration_test_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(path_.c_str());
        ini_.SetPath(path_);
    }
    void TearDown() override { std::remove(path_.c_str()); }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string path_;
    CIni ini_;
};

TEST_F(CalibrationFile, AllFourKeysGiveTheLimitsAndEmptyValuesTheirDefaults) {
    Write("[Config]\r\nMinX=78\r\nMaxX=\r\nMinY=-2\r\nMaxY=4102\r\n");
    const CalibrationLimits l = LoadCalibrationLimits(ini_, 1000, 2000);
    EXPECT_EQ(l.minX, 78);
    EXPECT_EQ(l.maxX, 4095);
    EXPECT_EQ(l.minY, -2);
    EXPECT_EQ(l.maxY, 4102);
    EXPECT_EQ(l.xRange, 4095 - 78);
    EXPECT_EQ(l.yRange, 4104);
}

TEST_F(CalibrationFile, MissingKeyOrFileFallsBackToThePanelsRange) {
    for (const char* text : {"", "[Config]\r\nMinX=10\r\nMaxX=20\r\nMinY=30\r\n",
                             "[Other]\r\nMinX=1\r\nMaxX=2\r\nMinY=3\r\nMaxY=4\r\n",
                             // Equal limits would divide by zero.
                             "[Config]\r\nMinX=100\r\nMaxX=100\r\nMinY=0\r\nMaxY=4095\r\n",
                             "[Config]\r\nMinX=0\r\nMaxX=4095\r\nMinY=7\r\nMaxY=7\r\n"}) {
        SCOPED_TRACE(text);
        Write(text);
        const CalibrationLimits l = LoadCalibrationLimits(ini_, 1000, 2000);
        EXPECT_EQ(l.minX, 0);
        EXPECT_EQ(l.maxX, 1000);
        EXPECT_EQ(l.xRange, 1000);
        EXPECT_EQ(l.minY, 0);
        EXPECT_EQ(l.maxY, 2000);
        EXPECT_EQ(l.yRange, 2000);
    }
    std::remove(path_.c_str());
    EXPECT_EQ(LoadCalibrationLimits(ini_, 1000, 2000).maxX, 1000);
}

TEST_F(CalibrationFile, ExtremeLimitsNeverOverflowTheRange) {
    Write("[Config]\r\nMinX=-2147483648\r\nMaxX=2147483647\r\nMinY=0\r\nMaxY=10\r\n");
    const CalibrationLimits l = LoadCalibrationLimits(ini_, 1000, 2000);
    EXPECT_EQ(l.maxX, 1000) << "a range beyond 32 bits is refused like a missing one";
}

TEST_F(CalibrationFile, WrittenFromFiveTargetsInKeyOrder) {
    const CalibrationPoint points[5] = {
        {600, 500, 0}, {3500, 520, 0}, {580, 3600, 0}, {3520, 3580, 0}, {2000, 2001, 0}};
    WriteCalibrationFile(ini_, points);
    EXPECT_EQ(Read(),
              "[Config]\r\nPoint1X=600\r\nPoint1Y=500\r\nPoint2X=3500\r\nPoint2Y=520\r\n"
              "Point3X=580\r\nPoint3Y=3600\r\nPoint4X=3520\r\nPoint4Y=3580\r\n"
              "Point5X=2000\r\nPoint5Y=2001\r\nMinX=78\r\nMaxX=4022\r\nMinY=-2\r\nMaxY=4102\r\n");
    const CalibrationLimits l = LoadCalibrationLimits(ini_, 1, 1);
    EXPECT_EQ(l.minX, 78);
    EXPECT_EQ(l.maxY, 4102);
    // Read back as the calibration program checks what the library wrote.
    CalibrationPoint read[5];
    CalibrationLimits readLimits;
    ASSERT_TRUE(ReadCalibrationFile(ini_, read, readLimits));
    EXPECT_TRUE(SameCalibration(points, LimitsFromPoints(points), read, readLimits));
    read[4].y = 2002;
    EXPECT_FALSE(SameCalibration(points, LimitsFromPoints(points), read, readLimits));
}

// The check of a written file needs all fourteen keys; an empty value reads 0.
TEST_F(CalibrationFile, ReadBackNeedsEveryPointAndLimit) {
    const std::string points =
        "[Config]\r\nPoint1X=1\r\nPoint1Y=2\r\nPoint2X=3\r\nPoint2Y=4\r\nPoint3X=5\r\n"
        "Point3Y=6\r\nPoint4X=7\r\nPoint4Y=8\r\nPoint5X=9\r\nPoint5Y=10\r\n";
    const std::string limits = "MinX=11\r\nMaxX=12\r\nMinY=13\r\nMaxY=14\r\n";
    struct Case {
        std::string text;
        bool read;
    };
    const Case cases[] = {
        {points + limits, true},
        {points + "MinX=\r\nMaxX=12\r\nMinY=13\r\nMaxY=14\r\n", true},
        {points + "MinX=11\r\nMaxX=12\r\nMinY=13\r\n", false},
        {"[Config]\r\nPoint1X=1\r\nPoint1Y=2\r\n" + limits, false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Write(c.text);
        CalibrationPoint read[5];
        CalibrationLimits readLimits;
        ASSERT_EQ(ReadCalibrationFile(ini_, read, readLimits), c.read);
        if (!c.read) continue;
        EXPECT_EQ(read[2].y, 6);
        EXPECT_EQ(read[4].x, 9);
        EXPECT_EQ(readLimits.minX, c.text.find("MinX=\r") != std::string::npos ? 0 : 11);
        EXPECT_EQ(readLimits.maxY, 14);
    }
}

// The calibration, the chosen monitor and the touch switch share the file: each
// writer changes only its own keys, whatever else the file holds.
TEST_F(CalibrationFile, EachWriterKeepsTheKeysAndSectionsItDoesNotOwn) {
    Write(
        "[Config]\r\nMonitor=\\\\.\\DISPLAY2\r\nMinX=1\r\nMaxX=2\r\nMinY=3\r\nMaxY=4\r\n"
        "[Touch]\r\nTouchEnabled=0\r\n");
    const CalibrationPoint points[5] = {
        {600, 500, 0}, {3500, 520, 0}, {580, 3600, 0}, {3520, 3580, 0}, {2000, 2001, 0}};
    WriteCalibrationFile(ini_, points);
    EXPECT_EQ(Read(),
              "[Config]\r\nMonitor=\\\\.\\DISPLAY2\r\nMinX=78\r\nMaxX=4022\r\nMinY=-2\r\n"
              "MaxY=4102\r\nPoint1X=600\r\nPoint1Y=500\r\nPoint2X=3500\r\nPoint2Y=520\r\n"
              "Point3X=580\r\nPoint3Y=3600\r\nPoint4X=3520\r\nPoint4Y=3580\r\n"
              "Point5X=2000\r\nPoint5Y=2001\r\n[Touch]\r\nTouchEnabled=0\r\n");
    EXPECT_EQ(ReadMonitorName(ini_), "\\\\.\\DISPLAY2");
    EXPECT_FALSE(ReadTouchEnabled(ini_));

    WriteTouchEnabled(ini_, true);
    WriteMonitorName(ini_, "\\\\.\\DISPLAY1");
    EXPECT_EQ(Read(),
              "[Config]\r\nMonitor=\\\\.\\DISPLAY1\r\nMinX=78\r\nMaxX=4022\r\nMinY=-2\r\n"
              "MaxY=4102\r\nPoint1X=600\r\nPoint1Y=500\r\nPoint2X=3500\r\nPoint2Y=520\r\n"
              "Point3X=580\r\nPoint3Y=3600\r\nPoint4X=3520\r\nPoint4Y=3580\r\n"
              "Point5X=2000\r\nPoint5Y=2001\r\n[Touch]\r\nTouchEnabled=1\r\n");
    EXPECT_TRUE(ReadTouchEnabled(ini_));
    EXPECT_EQ(LoadCalibrationLimits(ini_, 1, 1).maxX, 4022);
}

TEST_F(CalibrationFile, TouchSwitchIsOnUnlessItsOwnSectionSaysZero) {
    for (const auto& [text, on] : std::initializer_list<std::pair<const char*, bool>>{
             {"", true},
             {"[Touch]\r\nTouchEnabled=\r\n", true},
             {"[Touch]\r\nTouchEnabled=1\r\n", true},
             {"[Touch]\r\nTouchEnabled=0\r\n", false},
             // [Config] is not the switch's section.
             {"[Config]\r\nTouchEnabled=0\r\nMonitor=\r\n", true}}) {
        SCOPED_TRACE(text);
        Write(text);
        EXPECT_EQ(ReadTouchEnabled(ini_), on);
        EXPECT_EQ(ReadMonitorName(ini_), "") << "absent or empty: the primary display";
    }
}

TEST(CalibrationLimitsFromPoints, HalvingTruncatesTowardZero) {
    CalibrationPoint p[5] = {};
    p[0] = {601, -3, 0};
    p[2] = {580, 0, 0};
    p[1] = {0, 0, 0};
    const CalibrationLimits l = LimitsFromPoints(p);
    EXPECT_EQ(l.minX, 590 - 512);
    EXPECT_EQ(l.minY, -1 - 512);
    const CalibrationPoint zero[5] = {};
    const CalibrationLimits z = LimitsFromPoints(zero);
    EXPECT_EQ(z.minX, -512);
    EXPECT_EQ(z.maxX, 512);
    EXPECT_EQ(z.minY, -512);
    EXPECT_EQ(z.maxY, 512);
}

TEST(CalibrationMapping, WorkedExamplesTruncateTowardZeroWithoutClamping) {
    const ScreenScale s = MakeScreenScale(1024, 768);
    EXPECT_EQ(s.w100, 102400.0f);
    // 2048 x 102400 = 209715200, / 4095 = 51212.503...
    EXPECT_EQ(MapAxis(2048, 0, 4095, s.w100), 51212);
    EXPECT_EQ(MapAxis(4095, 0, 4095, s.w100), 102400);
    EXPECT_EQ(MapAxis(78, 78, 4022 - 78, s.w100), 0);
    // Below the lower limit: negative, truncated toward zero (-2025.15).
    EXPECT_EQ(MapAxis(0, 78, 4022 - 78, s.w100), -2025);
    // X goes with the width, Y with the height.
    CalibrationLimits limits;
    const MappedPoint p = MapPosition(limits, s, 2048, 4095);
    EXPECT_EQ(p.x, 51212);
    EXPECT_EQ(p.y, 76800);
}

TEST(CalibrationMapping, ProductIsRoundedToSinglePrecisionBeforeTheDivision) {
    // 65535 x 192000 = 12582720000 becomes 12582719488 as a float.
    EXPECT_EQ(MapAxis(65535, 0, 7, MakeScreenScale(1920, 1080).w100), 1797531355);
}

TEST(CalibrationMapping, ZeroRangeAndOverflowStayDefined) {
    EXPECT_EQ(MapAxis(100, 0, 0, 102400.0f), 0);
    EXPECT_EQ(MapAxis(65535, -2147483647 - 1, 1, 102400.0f), 2147483647);
    EXPECT_EQ(MapAxis(0, 2147483647, 1, 102400.0f), -2147483647 - 1);
    EXPECT_EQ(MapAxis(100, 0, 4095, 0.0f), 0);  // the display could not be read
}

// Identities: the instance part of the path tells two identical screens apart and
// survives a re-plug into the same port; odd paths still give a usable name.
TEST(DeviceIdentity, IdsAndTheInstancePartOfThePath) {
    const std::string guid = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const struct {
        uint16_t vendor, product;
        std::string path, identity;
    } rows[] = {
        {0x0EEF, 0x0001, "\\\\?\\hid#vid_0eef&pid_0001#7&1a2b3c4d&0&0000" + guid,
         "0EEF:0001 7&1A2B3C4D&0&0000"},
        {0x0EEF, 0x0001, "\\\\?\\hid#vid_0eef&pid_0001#7&1a2b3c4d&0&0001" + guid,
         "0EEF:0001 7&1A2B3C4D&0&0001"},
        {0x6615, 0x70, "\\\\?\\HID#VID_6615&PID_0070&COL01#8&2B[C]D E&0&0000" + guid,
         "6615:0070 8&2B_C_D_E&0&0000"},
        {0x1, 0x2, "", "0001:0002"},
        {0x1, 0x2, "no-hash-at-all", "0001:0002"},
        {0x1, 0x2, "a#b", "0001:0002"},
        {0x1, 0x2, "a#b#", "0001:0002"},
        {0x1, 0x2, "a#b#tail", "0001:0002 TAIL"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(DeviceIdentity(row.vendor, row.product, row.path), row.identity);
    }
}

// [Config] is the first device's unless its Device= names another; the rest have
// sections of their own; only a file with a calibration gets an owner, once.
TEST_F(CalibrationFile, EachDeviceItsSectionAndConfigItsOwner) {
    EXPECT_EQ(CalibrationSectionFor(ini_, "A", true), "Config");
    EXPECT_EQ(CalibrationSectionFor(ini_, "B", false), "Device B");
    EXPECT_FALSE(PinConfigOwner(ini_, "A")) << "nothing in [Config] to keep";
    Write("[Config]\r\nMinX=1\r\nMaxX=2\r\nMinY=3\r\nMaxY=4\r\n[Device B]\r\nMinX=5\r\n");
    EXPECT_FALSE(PinConfigOwner(ini_, ""));
    EXPECT_TRUE(PinConfigOwner(ini_, "A"));
    EXPECT_FALSE(PinConfigOwner(ini_, "B")) << "the owner stays";
    EXPECT_EQ(Read(),
              "[Config]\r\nMinX=1\r\nMaxX=2\r\nMinY=3\r\nMaxY=4\r\nDevice=A\r\n"
              "[Device B]\r\nMinX=5\r\n");
    EXPECT_EQ(CalibrationSectionFor(ini_, "A", false), "Config") << "found later, still its own";
    EXPECT_EQ(CalibrationSectionFor(ini_, "B", true), "Device B") << "found first, not A's";
    // A device's limits and monitor come from its own section only.
    WriteMonitorName(ini_, "\\\\.\\DISPLAY2", "Device B");
    EXPECT_EQ(ReadMonitorName(ini_, "Device B"), "\\\\.\\DISPLAY2");
    EXPECT_EQ(ReadMonitorName(ini_), "");
    EXPECT_EQ(LoadCalibrationLimits(ini_, 100, 200, "Device B").maxX, 100) << "incomplete";
    EXPECT_EQ(LoadCalibrationLimits(ini_, 100, 200).maxX, 2);
}

// A device's settings: absent keys keep the defaults; each unusable value keeps its
// default with one note naming the key, and the section's other keys still apply.
TEST_F(CalibrationFile, TouchSettingsTheirDefaultsRangesAndNotes) {
    std::vector<std::string> notes;
    const TouchSettings none = ReadTouchSettings(ini_, "Config", notes);
    EXPECT_EQ(none.clickMode, ClickMode::kOnLift);
    EXPECT_EQ(none.holdTimeMs, 1500u);
    EXPECT_FALSE(none.swapXY.set);
    EXPECT_TRUE(notes.empty());
    Write(
        "[Config]\r\nClickMode= On Touch \r\nHoldTime=500\r\nHoldRadius=500\r\n"
        "DoubleTapTime=1000\r\nDoubleTapArea=0\r\nSmoothing=light\r\nTouchSound=yes\r\n"
        "Gestures=off\r\nSwapXY=1\r\nInvertY=0\r\nContactBit=confidence\r\n"
        "[Device B]\r\nClickMode=sideways\r\nHoldTime=499\r\nHoldRadius=0\r\n"
        "DoubleTapTime=abc\r\nDoubleTapArea=-1\r\nSmoothing=7\r\nGestures=maybe\r\n"
        "InvertX=2\r\nContactBit=\r\nHoldRightClick=0\r\nHoldTime=5001\r\n");
    const TouchSettings good = ReadTouchSettings(ini_, "Config", notes);
    EXPECT_TRUE(notes.empty()) << notes.front();
    EXPECT_EQ(good.clickMode, ClickMode::kOnTouch);
    EXPECT_EQ(good.holdTimeMs, 500u);
    EXPECT_EQ(good.holdRadiusPx, 500);
    EXPECT_EQ(good.doubleTapMs, 1000u);
    EXPECT_EQ(good.smoothing, Smoothing::kLight);
    EXPECT_TRUE(good.touchSound);
    EXPECT_FALSE(good.gestures);
    EXPECT_TRUE(good.swapXY.set && good.swapXY.value);
    EXPECT_TRUE(good.invertY.set && !good.invertY.value);
    EXPECT_FALSE(good.invertX.set);
    EXPECT_TRUE(good.validBit.set && good.validBit.value == ValidBit::kConfidence);
    DeviceQuirks row;
    row.invertY = true;
    const DeviceQuirks fixed = ApplyFixes(row, good);
    EXPECT_TRUE(fixed.swapXY);
    EXPECT_FALSE(fixed.invertY) << "the setting overrides the table's row";
    EXPECT_EQ(fixed.validBit, ValidBit::kConfidence);

    const TouchSettings bad = ReadTouchSettings(ini_, "Device B", notes);
    EXPECT_EQ(bad.clickMode, ClickMode::kOnLift);
    EXPECT_EQ(bad.holdTimeMs, 1500u);
    EXPECT_EQ(bad.holdRadiusPx, 30);
    EXPECT_EQ(bad.doubleTapMs, 150u);
    EXPECT_EQ(bad.doubleTapAreaPx, 0);
    EXPECT_EQ(bad.smoothing, Smoothing::kOff);
    EXPECT_TRUE(bad.gestures);
    EXPECT_FALSE(bad.invertX.set);
    EXPECT_FALSE(bad.validBit.set);
    EXPECT_FALSE(bad.holdRightClick) << "a usable key of the same section applies";
    ASSERT_EQ(notes.size(), 8u) << "an empty value is an absent one";
    EXPECT_EQ(notes[0],
              "[Device B] ClickMode=sideways: \"on lift\", \"on touch\" or \"pointer only\", the "
              "default is used");
    EXPECT_EQ(notes[1], "[Device B] HoldTime=499: a number from 500 to 5000, the default is used");

    // Written back, every key the window sets; a fix left to the table is not written.
    TouchSettings written = good;
    written.invertY = Fix<bool>();
    CIni(path_).WriteText("Device C", "Unknown", "kept");
    WriteTouchSettings(ini_, "Device C", written);
    EXPECT_EQ(ini_.ReadText("Device C", "Unknown", ""), "kept") << "a key it does not know";
    notes.clear();
    const TouchSettings read = ReadTouchSettings(ini_, "Device C", notes);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(read.clickMode, ClickMode::kOnTouch);
    EXPECT_EQ(read.smoothing, Smoothing::kLight);
    EXPECT_FALSE(read.invertY.set);
    EXPECT_TRUE(read.swapXY.set);
    EXPECT_NE(Read().find("[Device B]\r\nClickMode=sideways"), std::string::npos)
        << "the other sections stay";
}

}  // namespace
}  // namespace tactra
