// Loads tpinput.dll as a client does and checks every export that needs no panel.
// There is no panel under Wine: discovery finds nothing and registration fails.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tpinput/tpinput.h"

namespace {

class TpinputExports : public ::testing::Test {
protected:
    static void SetUpTestSuite() { library_ = LoadLibraryA("tpinput.dll"); }

    template <typename Fn>
    Fn Get(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
    }

    static HMODULE library_;
};

HMODULE TpinputExports::library_ = nullptr;

TEST_F(TpinputExports, EveryExportResolvesByItsPlainName) {
    ASSERT_NE(library_, nullptr);
    for (const char* name :
         {"RegisterTouchWindow", "UnregisterTouchWindow", "IsTouchWindow", "GetTouchInputInfo",
          "CloseTouchInputHandle", "GetConnectedDeviceNum", "VersionNumber", "SUSPENDTHREAD",
          "RESUMETHREAD", "SetCalibrate", "CalibrateEvent"}) {
        EXPECT_NE(GetProcAddress(library_, name), nullptr) << name;
    }
}

TEST_F(TpinputExports, WithoutAPanelNothingRegistersAndNoAttributesAreKnown) {
    ASSERT_NE(library_, nullptr);
    HWND window = CreateWindowExA(0, "STATIC", "probe", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ULONG flags = 0x55;
    auto isTouchWindow = Get<IsTouchWindowFn>("IsTouchWindow");
    EXPECT_EQ(isTouchWindow(nullptr, &flags), 1);
    EXPECT_EQ(isTouchWindow(window, &flags), 0);
    EXPECT_EQ(flags, 0x55u);

    EXPECT_EQ(Get<GetConnectedDeviceNumFn>("GetConnectedDeviceNum")(kTpinputPanelVendorId), 0);
    EXPECT_EQ(Get<RegisterTouchWindowFn>("RegisterTouchWindow")(window, 0), 0);
    EXPECT_EQ(Get<RegisterTouchWindowFn>("RegisterTouchWindow")(window, 99), 0);
    // A failed registration leaves the target window as it was.
    EXPECT_EQ(isTouchWindow(nullptr, nullptr), 1);
    EXPECT_EQ(isTouchWindow(window, nullptr), 0);

    WORD words[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    EXPECT_EQ(Get<VersionNumberFn>("VersionNumber")(words), 1);
    EXPECT_EQ(words[0], 0);
    EXPECT_EQ(words[1], 0);
    EXPECT_EQ(words[2], 0);
    EXPECT_EQ(Get<VersionNumberFn>("VersionNumber")(nullptr), 0);

    // No touch message has been sent: there are no records to copy.
    std::vector<uint8_t> buffer(80, 0xA5);
    SetLastError(0);
    EXPECT_EQ(Get<GetTouchInputInfoFn>("GetTouchInputInfo")(
                  nullptr, 2, reinterpret_cast<TouchInputRecord*>(buffer.data()),
                  sizeof(TouchInputRecord)),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(buffer, std::vector<uint8_t>(80, 0xA5));

    EXPECT_EQ(Get<SuspendThreadFn>("SUSPENDTHREAD")(), 1);
    EXPECT_EQ(Get<ResumeThreadFn>("RESUMETHREAD")(), 1);
    EXPECT_EQ(Get<UnregisterTouchWindowFn>("UnregisterTouchWindow")(window), 1);
    EXPECT_EQ(Get<CloseTouchInputHandleFn>("CloseTouchInputHandle")(nullptr), 1);
    EXPECT_EQ(Get<CloseTouchInputHandleFn>("CloseTouchInputHandle")(nullptr), 1);
    DestroyWindow(window);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(TpinputExports, FinishingACaptureWritesTheFourteenKeysInOrder) {
    ASSERT_NE(library_, nullptr);
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string dir =
        std::string(temp) + "tpinput-calibrate-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    const std::string file = dir + "\\Calibrate.ini";
    DeleteFileA(file.c_str());

    auto setCalibrate = Get<SetCalibrateFn>("SetCalibrate");
    auto calibrateEvent = Get<CalibrateEventFn>("CalibrateEvent");
    EXPECT_EQ(setCalibrate(1), 4096);
    // No report arrives, so the sample stays 0,0.
    EXPECT_EQ(calibrateEvent(2, 1), 1);
    EXPECT_EQ(calibrateEvent(4, 1), 1);
    EXPECT_EQ(calibrateEvent(4, 1), 0);  // no samples left
    EXPECT_EQ(calibrateEvent(3, 1), 0);
    EXPECT_EQ(calibrateEvent(2, 0), 0);
    EXPECT_EQ(calibrateEvent(2, 6), 0);
    EXPECT_EQ(setCalibrate(0), 1);

    const std::string text = ReadFile(file);
    size_t at = text.find("[Config]");
    EXPECT_NE(at, std::string::npos) << text;
    const char* keys[] = {"Point1X=0", "Point1Y=0", "Point2X=0", "Point2Y=0", "Point3X=0",
                          "Point3Y=0", "Point4X=0", "Point4Y=0", "Point5X=0", "Point5Y=0",
                          "MinX=-512", "MaxX=512",  "MinY=-512", "MaxY=512"};
    for (const char* key : keys) {
        const size_t next = text.find(key, at == std::string::npos ? 0 : at);
        EXPECT_NE(next, std::string::npos) << key << " missing or out of order in:\n" << text;
        if (next != std::string::npos) at = next;
    }

    SetCurrentDirectoryA(previous);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace
