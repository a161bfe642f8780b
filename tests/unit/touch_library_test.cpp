#include "tpinput/touch_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <future>
#include <random>
#include <thread>
#include <vector>

#include "device/trace/trace.h"
#include "platform/recording_input_sink.h"
#include "tests/support/fake_display.h"

namespace tactra {
namespace {

struct FakeOs : OsVersion {
    uint32_t MajorVersion() override { return major; }
    uint32_t major = 5;
};

struct FakeCalibration : CalibrationStore {
    CalibrationLimits LoadLimits(int32_t maxX, int32_t maxY) override {
        if (section == "Device B") {
            CalibrationLimits b;
            b.minX = b.minY = 0;
            b.maxX = b.xRange = b.maxY = b.yRange = 2048;  // the second device's own
            return b;
        }
        if (hasFile) return file;
        CalibrationLimits l;
        l.minX = l.minY = 0;
        l.maxX = l.xRange = maxX;
        l.maxY = l.yRange = maxY;
        return l;
    }
    std::string MonitorName() override { return monitor; }
    void Write(const CalibrationPoint points[kCalibrationPointCount]) override {
        written.assign(points, points + kCalibrationPointCount);
        writtenSection = section;
        ++writes;
    }
    void UseSection(const std::string& s, const std::string&) override { section = s; }
    std::string section = kCalibrationSection;
    std::string writtenSection;
    bool hasFile = false;
    CalibrationLimits file;
    std::string monitor;
    std::vector<CalibrationPoint> written;
    int writes = 0;
};

struct Sent {
    void* window;
    uint32_t message;
    uint32_t count;
    TOUCHINPUT records[2];
};

struct FakeMessages : TouchMessageSink {
    void Send(void* window, uint32_t message, uint32_t count, const TOUCHINPUT* records) override {
        Sent s{window, message, count, {records[0], records[1]}};
        sent.push_back(s);
        if (onSend) onSend(records);
    }
    std::vector<Sent> sent;
    // What the receiving window does while it handles the message.
    std::function<void(const TOUCHINPUT*)> onSend;
};

void* const kWindow = reinterpret_cast<void*>(0x5000);
constexpr uint32_t kTouchMessage = 0xC123;

struct Library {
    Library() : input(&clock) {
        ports.clock = &clock;
        ports.display = &display;
        ports.input = &input;
        ports.os = &os;
        ports.calibration = &calibration;
        ports.messages = &messages;
        state.panel.logicalMaxX = 4095;
        state.panel.logicalMaxY = 4095;
    }
    void Register(int32_t mode) { CompleteRegistration(state, kWindow, kTouchMessage, mode); }
    bool Touch(bool t1, uint16_t x1, uint16_t y1, bool t2 = false, uint16_t x2 = 0,
               uint16_t y2 = 0) {
        const std::vector<uint8_t> r = MakeTouchReport(t1, x1, y1, t2, x2, y2);
        return ProcessPanelReport(state, ports, r.data(), r.size());
    }
    const Sent& Last() const { return messages.sent.back(); }
    std::vector<InputEvent> Mouse() const { return input.Events(); }

    VirtualClock clock{1000};
    tactra::testing::FakeDisplay display;
    RecordingInputSink input;
    FakeOs os;
    FakeCalibration calibration;
    FakeMessages messages;
    LibraryPorts ports;
    TouchLibraryState state;
};

TEST(TouchLibrary, NothingIsProcessedBeforeRegistration) {
    Library lib;
    EXPECT_FALSE(lib.Touch(true, 100, 100));
    EXPECT_TRUE(lib.messages.sent.empty());
    EXPECT_EQ(lib.state.Contact1State(), kContactNotTouching);
}

TEST(TouchLibrary, BatchesDeliverEveryReportWithTheLibraryFlags) {
    Library lib;
    lib.Register(0);
    // Nothing touching before or now: still one record, UP only.
    ASSERT_TRUE(lib.Touch(false, 0, 0));
    EXPECT_EQ(lib.Last().window, kWindow);
    EXPECT_EQ(lib.Last().message, kTouchMessage);
    EXPECT_EQ(lib.Last().count, 1u);
    EXPECT_EQ(lib.Last().records[0].dwFlags, 0x04u);
    EXPECT_EQ(lib.Last().records[1].dwFlags, 0x04u);

    lib.Touch(true, 100, 100);
    EXPECT_EQ(lib.Last().count, 1u);
    EXPECT_EQ(lib.Last().records[0].dwFlags, 0x1Au);
    EXPECT_EQ(lib.Last().records[0].hSource, InvalidHandle());
    EXPECT_EQ(lib.Last().records[0].dwTime, 1000u);
    lib.Touch(true, 100, 100, true, 200, 200);
    EXPECT_EQ(lib.Last().count, 2u);
    EXPECT_EQ(lib.Last().records[0].dwFlags, 0x19u);
    EXPECT_EQ(lib.Last().records[1].dwFlags, 0x0Au);
    lib.Touch(false, 100, 100, false, 200, 200);
    EXPECT_EQ(lib.Last().count, 2u);
    EXPECT_EQ(lib.Last().records[0].dwFlags, 0x1Cu);
    EXPECT_EQ(lib.Last().records[1].dwFlags, 0x0Cu);
    lib.Touch(false, 100, 100);
    EXPECT_EQ(lib.Last().count, 1u);
    EXPECT_EQ(lib.Last().records[0].dwFlags, 0x04u);
    // Contact 2 alone: a batch of two whose first record is UP only.
    lib.Touch(false, 0, 0, true, 300, 300);
    EXPECT_EQ(lib.Last().count, 2u);
    EXPECT_EQ(lib.Last().records[0].dwFlags, 0x04u);
    EXPECT_EQ(lib.Last().records[1].dwFlags, 0x0Au);
    EXPECT_EQ(lib.messages.sent.size(), 6u);
}

TEST(TouchLibrary, ShortReportsSendNothingAndChangeNoContactState) {
    Library lib;
    lib.Register(0);
    std::vector<uint8_t> r = MakeTouchReport(true, 1, 1, false, 0, 0);
    r.resize(12);
    EXPECT_FALSE(ProcessPanelReport(lib.state, lib.ports, r.data(), r.size()));
    EXPECT_FALSE(ProcessPanelReport(lib.state, lib.ports, nullptr, 0));
    EXPECT_TRUE(lib.messages.sent.empty());
    EXPECT_EQ(lib.state.Contact1State(), kContactNotTouching);
}

TEST(TouchLibrary, MapsThroughLimitsReloadedForEveryReportWithoutClamping) {
    Library lib;
    lib.Register(0);
    lib.Touch(true, 4095, 0);
    EXPECT_EQ(lib.Last().records[0].x, 102400);  // exactly W * 100 without a file
    EXPECT_EQ(lib.Last().records[0].y, 0);

    lib.calibration.hasFile = true;
    lib.calibration.file = CalibrationLimits{100, 4100, 100, 4100, 4000, 4000};
    lib.Touch(true, 50, 4200);
    EXPECT_LT(lib.Last().records[0].x, 0);
    EXPECT_GT(lib.Last().records[0].y, 76800);

    lib.display.fails = true;
    lib.Touch(true, 2000, 2000);
    EXPECT_EQ(lib.Last().records[0].x, 0);
    EXPECT_EQ(lib.Last().records[0].y, 0);
}

TEST(TouchLibrary, ReregistrationKeepsContactStatesAndStartsAZeroedRecordBlock) {
    Library lib;
    lib.Register(0);
    lib.Touch(true, 100, 100);
    const TOUCHINPUT* block = lib.state.recordBlock.get();
    lib.Register(0);
    EXPECT_EQ(lib.state.recordBlock.get(), block) << "one block for the library's life";
    EXPECT_EQ(lib.state.recordBlock[0].dwID, 0u);
    EXPECT_EQ(lib.state.recordBlock[0].dwFlags, 0u);
    lib.Touch(true, 100, 100);
    EXPECT_EQ(lib.Last().records[0].dwFlags, 0x19u);  // still a move
}

// GetTouchInputInfo from the touch message's handler, as a ported client calls it.
TEST(TouchLibrary, GetTouchInputInfoCopiesTheMessagesRecordsOrNothing) {
    Library lib;
    constexpr int32_t kSize = static_cast<int32_t>(sizeof(TOUCHINPUT));
    TOUCHINPUT sentinel;
    std::memset(&sentinel, 0xA5, sizeof sentinel);
    struct Call {
        const char* what;
        int handle;  // 0: the message's lParam, 1: a foreign pointer, 2: null
        uint32_t count;
        bool nullBuffer;
        int32_t size;
        bool ok;
        uint32_t copied;
    };
    struct Case {
        bool second;  // the report has a second finger: two records
        std::vector<Call> calls;
    };
    const Case cases[] = {
        {false,
         {{"one record", 0, 1, false, kSize, true, 1},
          {"a count larger than the message's records", 0, 10, false, kSize, true, 1},
          {"a count of 0", 0, 0, false, kSize, false, 0},
          {"a count beyond the block", 0, 11, false, kSize, false, 0},
          {"a wrong size", 0, 1, false, kSize - 8, false, 0},
          {"a size of 0", 0, 1, false, 0, false, 0},
          {"a foreign handle", 1, 1, false, kSize, false, 0},
          {"a null handle", 2, 1, false, kSize, false, 0},
          {"a null buffer", 0, 1, true, kSize, false, 0}}},
        {true,
         {{"two records", 0, 2, false, kSize, true, 2},
          {"one of two", 0, 1, false, kSize, true, 1},
          {"all ten asked", 0, 10, false, kSize, true, 2}}},
    };
    lib.Register(0);
    TOUCHINPUT foreign[2] = {};
    for (const Case& c : cases) {
        lib.messages.onSend = [&](const TOUCHINPUT* records) {
            for (const Call& call : c.calls) {
                SCOPED_TRACE(call.what);
                TOUCHINPUT buffer[kTouchRecordCapacity];
                for (TOUCHINPUT& r : buffer) r = sentinel;
                const void* handle = call.handle == 0   ? static_cast<const void*>(records)
                                     : call.handle == 1 ? static_cast<const void*>(foreign)
                                                        : nullptr;
                EXPECT_EQ(CopyTouchRecords(lib.state, handle, call.count,
                                           call.nullBuffer ? nullptr : buffer, call.size),
                          call.ok);
                for (uint32_t i = 0; i < kTouchRecordCapacity; ++i) {
                    const TOUCHINPUT& expected = i < call.copied ? records[i] : sentinel;
                    EXPECT_EQ(std::memcmp(&buffer[i], &expected, sizeof expected), 0) << i;
                }
            }
        };
        lib.Touch(true, 100, 100, c.second, 200, 200);
        lib.Touch(false, 100, 100, false, 200, 200);
    }
    // Before any message, and after a registration until the next one, the block
    // holds no message's records.
    lib.messages.onSend = nullptr;
    Library fresh;
    TOUCHINPUT buffer[2];
    EXPECT_FALSE(CopyTouchRecords(fresh.state, nullptr, 1, buffer, kSize));
    fresh.Register(0);
    EXPECT_FALSE(CopyTouchRecords(fresh.state, fresh.state.recordBlock.get(), 1, buffer, kSize));
    fresh.Touch(true, 1, 1);
    EXPECT_TRUE(CopyTouchRecords(fresh.state, fresh.state.recordBlock.get(), 1, buffer, kSize));
    fresh.Register(0);
    EXPECT_FALSE(CopyTouchRecords(fresh.state, fresh.state.recordBlock.get(), 1, buffer, kSize));
}

// A registration from another thread while a client thread is still inside a touch
// message: the records it reads stay in the library's memory (the sanitizer would
// report a block freed under it).
TEST(TouchLibrary, ARegistrationFromAnotherThreadLeavesTheHandlersRecordsInPlace) {
    Library lib;
    lib.Register(0);
    std::promise<void> inHandler;
    std::promise<void> registered;
    std::shared_future<void> registeredDone = registered.get_future().share();
    uint32_t readFlags = 0xFFFFFFFF;
    lib.messages.onSend = [&](const TOUCHINPUT* records) {
        inHandler.set_value();
        registeredDone.wait();
        readFlags = records[0].dwFlags;  // the handler goes on reading its lParam
        TOUCHINPUT copy;
        CopyTouchRecords(lib.state, records, 1, &copy, sizeof copy);
    };
    std::thread client([&] { lib.Touch(true, 100, 100); });
    inHandler.get_future().wait();
    const TOUCHINPUT* before = lib.state.recordBlock.get();
    lib.Register(0);
    EXPECT_EQ(lib.state.recordBlock.get(), before);
    registered.set_value();
    client.join();
    // The second registration zeroed the block the handler was reading.
    EXPECT_EQ(readFlags, 0u);
}

TEST(MouseEmulation, TapGivesMoveDownAndUpOnMajorVersionFive) {
    Library lib;
    lib.Register(kMouseEmulationMode);
    lib.Touch(true, 2048, 1024);
    lib.Touch(false, 2048, 1024);
    // X = 2048 * 102400 / 4095 = 51212 -> 512 px -> 512 * 65536 / 1024 = 32768.
    const int32_t dy = AbsoluteMouseCoordinate(1024 * 76800 / 4095 / 100, 768);
    EXPECT_EQ(lib.Mouse(), (std::vector<InputEvent>{Mouse(0x8001, 32768, dy),
                                                    Mouse(0x8002, 32768, dy), Mouse(0x0004)}));
}

TEST(MouseEmulation, SecondFingerSuspendsItAndALaterSingleFingerResumesIt) {
    Library lib;
    lib.Register(kMouseEmulationMode);
    lib.Touch(true, 0, 0);                    // move + down
    lib.Touch(true, 10, 0, true, 500, 500);   // emulation off: nothing
    lib.Touch(true, 20, 0, true, 500, 500);   // nothing
    lib.Touch(false, 20, 0, true, 500, 500);  // lift with finger 2 down: no release
    EXPECT_EQ(lib.Mouse().size(), 2u);
    lib.Touch(true, 30, 0, false, 500, 500);  // contact 1 down again alone: on
    EXPECT_EQ(lib.Mouse().size(), 4u);
    EXPECT_EQ(lib.Mouse()[3].flags, 0x8002u);
    lib.Touch(false, 30, 0);
    EXPECT_EQ(lib.Mouse().back(), Mouse(0x0004));
}

TEST(MouseEmulation, OnlyWithModeNinetyNineOnMajorFiveAndAValidScreen) {
    Library plain;
    plain.Register(0);
    plain.Touch(true, 100, 100);
    EXPECT_TRUE(plain.Mouse().empty());

    Library six;
    six.os.major = 6;
    six.Register(kMouseEmulationMode);
    six.Touch(true, 100, 100);
    six.Touch(false, 100, 100);
    EXPECT_TRUE(six.Mouse().empty());

    // A later registration with another mode keeps emulation on.
    Library later;
    later.Register(kMouseEmulationMode);
    later.Register(0);
    later.Touch(true, 100, 100);
    EXPECT_EQ(later.Mouse().size(), 2u);

    // No screen size: no positioned input, but a pressed button is still released.
    Library blind;
    blind.Register(kMouseEmulationMode);
    blind.Touch(true, 100, 100);
    blind.display.fails = true;
    blind.Touch(true, 200, 200);
    blind.Touch(false, 200, 200);
    EXPECT_EQ(blind.Mouse().size(), 3u);
    EXPECT_EQ(blind.Mouse()[2], Mouse(0x0004));
}

TEST(CalibrationCapture, SetCalibrateSwitchesCaptureAndFinishWritesThePoints) {
    Library lib;
    EXPECT_EQ(ApplySetCalibrate(lib.state, lib.ports, 1), 4096);
    EXPECT_TRUE(lib.state.captureFlag);
    EXPECT_EQ(lib.state.limits.maxX, 4096);
    EXPECT_EQ(lib.state.limits.maxY, 4096);
    EXPECT_EQ(ApplySetCalibrate(lib.state, lib.ports, 0), 1);
    EXPECT_FALSE(lib.state.captureFlag);
    ASSERT_EQ(lib.calibration.writes, 1);
    // All points zero: the limits are -512 .. 512 (derived by the file writer).
    const CalibrationLimits l = LimitsFromPoints(lib.calibration.written.data());
    EXPECT_EQ(l.minX, -512);
    EXPECT_EQ(l.maxY, 512);
}

TEST(CalibrationCapture, SampleIsContactOneRawPositionOnlyWhileCapturing) {
    Library lib;
    lib.Register(0);
    lib.Touch(true, 700, 800);
    EXPECT_EQ(lib.state.sample.x, 0);
    ApplySetCalibrate(lib.state, lib.ports, 1);
    lib.Touch(false, 1000, 2000);  // touching or not
    EXPECT_EQ(lib.state.sample.x, 1000);
    EXPECT_EQ(lib.state.sample.y, 2000);
    ApplySetCalibrate(lib.state, lib.ports, 0);
    lib.Touch(true, 5, 5);
    EXPECT_EQ(lib.state.sample.x, 1000);
}

TEST(CalibrationCapture, DownMovesAndUpAverageTheSamples) {
    Library lib;
    lib.Register(0);
    ApplySetCalibrate(lib.state, lib.ports, 1);
    lib.Touch(true, 1000, 2000);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateDown, 1), 1);
    lib.Touch(true, 1010, 2010);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateMove, 1), 1);
    EXPECT_EQ(lib.state.points[0].count, 2);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateUp, 1), 1);
    EXPECT_EQ(lib.state.points[0].x, 1005);
    EXPECT_EQ(lib.state.points[0].y, 2005);
    EXPECT_EQ(lib.state.points[0].count, 0);

    // Down then up alone: the down sample.
    lib.Touch(true, 3001, 99);
    ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateDown, 2);
    ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateUp, 2);
    EXPECT_EQ(lib.state.points[1].x, 3001);
    EXPECT_EQ(lib.state.points[1].y, 99);
}

// A calibration program calls CalibrateEvent from its handler of the touch message;
// the events must see the sample of the report being delivered, not the one before.
TEST(CalibrationCapture, EventsFromTheMessageHandlerUseTheReportBeingSent) {
    Library lib;
    lib.Register(0);
    ApplySetCalibrate(lib.state, lib.ports, 1);
    lib.messages.onSend = [&lib](const TOUCHINPUT* records) {
        if (records[0].dwFlags & kTouchEventDown) {
            ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateDown, 2);
        } else if (records[0].dwFlags & kTouchEventMove) {
            ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateMove, 2);
        } else if (records[0].dwFlags & kTouchEventUp) {
            ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateUp, 2);
        }
    };
    lib.Touch(true, 1200, 3400);
    EXPECT_EQ(lib.state.points[1].x, 1200);
    EXPECT_EQ(lib.state.points[1].y, 3400);
    lib.clock.Sleep(100);
    lib.Touch(true, 1300, 3500);
    EXPECT_EQ(lib.state.points[1].count, 2);
    lib.clock.Sleep(10);
    lib.Touch(false, 4000, 4000);  // the lift's own sample is not added
    EXPECT_EQ(lib.state.points[1].x, 1250);
    EXPECT_EQ(lib.state.points[1].y, 3450);
    EXPECT_EQ(lib.state.points[1].count, 0);
}

TEST(CalibrationCapture, MovesAreSpacedByOneHundredMillisecondsAcrossAllPoints) {
    Library lib;
    lib.clock.Set(10000);
    lib.state.sample = CalibrationPoint{10, 20, 0};
    ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateDown, 3);
    int accepted = 0;
    for (int i = 0; i < 6; ++i) {  // 50 ms apart: every second one
        accepted += ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateMove, 3);
        lib.clock.Sleep(50);
    }
    EXPECT_EQ(accepted, 3);
    // A move for another point restarts the spacing for all of them.
    lib.clock.Sleep(100);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateMove, 4), 1);
    lib.clock.Sleep(99);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateMove, 3), 0);
    lib.clock.Sleep(1);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateMove, 3), 1);
    // A move without a down adds to what the point holds.
    EXPECT_EQ(lib.state.points[3].count, 1);
    EXPECT_EQ(lib.state.points[3].x, 10);
}

TEST(CalibrationCapture, InvalidEventsAndPointsDoNothing) {
    Library lib;
    lib.state.sample = CalibrationPoint{10, 20, 0};
    lib.state.points[0] = CalibrationPoint{7, 8, 0};
    for (int32_t type : {0, 3, 8, -1}) {
        EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, type, 1), 0);
    }
    for (int32_t point : {0, 6, -1, 1 << 30}) {
        EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateDown, point), 0);
    }
    // An up without samples leaves the point as it is.
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateUp, 1), 0);
    EXPECT_EQ(lib.state.points[0].x, 7);
    EXPECT_EQ(lib.state.points[0].y, 8);
    EXPECT_EQ(lib.state.sample.x, 10);
}

TEST(CalibrationCapture, RunningSumsStopBeforeOverflowing) {
    Library lib;
    lib.state.sample = CalibrationPoint{65535, 65535, 0};
    lib.state.points[0] = CalibrationPoint{2147483647 - 1000, 0, 5};
    lib.clock.Set(5000);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateMove, 1), 0);
    EXPECT_EQ(lib.state.points[0].count, 5);
    EXPECT_EQ(ApplyCalibrateEvent(lib.state, lib.ports, kCalibrateUp, 1), 1);
}

// Random raw reports of any length and content never crash the processing or send
// for a report under 13 bytes; every sent batch has one or two records.
// Two devices: each report maps through its own device's section and carries its
// handle; only the device that drives moves the mouse, and only the device captured
// feeds the capture, whose end writes that device's section.
TEST(SeveralDevices, EachReportItsDevicesSectionHandleMouseAndCapture) {
    Library lib;
    lib.os.major = 5;
    lib.Register(kMouseEmulationMode);
    LibraryDevice a, b;
    a.panel.logicalMaxX = a.panel.logicalMaxY = 4095;
    b.panel.logicalMaxX = b.panel.logicalMaxY = 4095;
    b.section = "Device B";
    a.source = reinterpret_cast<void*>(0xA);
    b.source = reinterpret_cast<void*>(0xB);
    const auto report = [&lib](LibraryDevice& d, int32_t index, bool drives, bool touching,
                               uint16_t x) {
        const std::vector<uint8_t> r = MakeTouchReport(touching, x, 1024, false, 0, 0);
        return ProcessDeviceReport(lib.state, d, index, drives, lib.ports, r.data(), r.size());
    };
    EXPECT_EQ(ApplySetCalibrate(lib.state, lib.ports, 2), kCalibrationModeLimit);
    ASSERT_TRUE(report(a, 0, true, true, 1024));
    EXPECT_EQ(lib.Last().records[0].hSource, a.source);
    EXPECT_EQ(lib.Last().records[0].x, 25606) << "1024 of 4095 across 1024 pixels";
    const size_t mouseA = lib.Mouse().size();
    EXPECT_GT(mouseA, 0u) << "the device that drives moves the mouse";
    EXPECT_EQ(lib.state.sample.x, 0) << "not the device captured";
    ASSERT_TRUE(report(b, 1, false, true, 1024));
    EXPECT_EQ(lib.Last().records[0].hSource, b.source);
    EXPECT_EQ(lib.Last().records[0].x, 51200) << "through its own limits: 1024 of 2048";
    EXPECT_EQ(lib.Mouse().size(), mouseA) << "the other device moves nothing";
    EXPECT_EQ(lib.state.sample.x, 1024) << "the device captured";
    EXPECT_EQ(lib.state.source, InvalidHandle()) << "each device's reading is given back";
    EXPECT_TRUE(b.batches.Touching1());
    EXPECT_FALSE(lib.state.batches.Touching1());
    EXPECT_EQ(ApplySetCalibrate(lib.state, lib.ports, 0), 1);
    EXPECT_EQ(lib.calibration.writtenSection, "Device B");
}

TEST(TouchLibrary, RandomReportsAreHandledSafely) {
    Library lib;
    lib.Register(kMouseEmulationMode);
    ApplySetCalibrate(lib.state, lib.ports, 1);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> len(0, 40);
    std::uniform_int_distribution<int> pick(0, 9);
    for (int i = 0; i < 20000; ++i) {
        std::vector<uint8_t> r(static_cast<size_t>(len(rng)));
        for (uint8_t& b : r) b = static_cast<uint8_t>(byte(rng));
        lib.display.fails = pick(rng) == 0;
        lib.display.mode = DisplayMode{static_cast<uint32_t>(pick(rng) * 400), 768, 0};
        lib.calibration.hasFile = pick(rng) < 3;
        const int32_t a = static_cast<int32_t>(rng()), b = static_cast<int32_t>(rng());
        lib.calibration.file = CalibrationLimits{a, b, b, a, 1, -1};
        const size_t before = lib.messages.sent.size();
        const bool sent = ProcessPanelReport(lib.state, lib.ports, r.data(), r.size());
        EXPECT_EQ(sent, r.size() >= 13);
        if (sent) {
            ASSERT_EQ(lib.messages.sent.size(), before + 1);
            EXPECT_GE(lib.Last().count, 1u);
            EXPECT_LE(lib.Last().count, 2u);
        }
        ApplyCalibrateEvent(lib.state, lib.ports, pick(rng) % 5, pick(rng) - 2);
        lib.clock.Sleep(static_cast<uint32_t>(pick(rng) * 20));
    }
}

}  // namespace
}  // namespace tactra
