// HID discovery and the restart procedure on a system without a panel (Wine has no
// HID devices), and the display adapter's reads.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "device/hid/hid_win32.h"
#include "device/hid/reader_win32.h"
#include "platform/win32/win32_display.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace {

class FakeTimer : public RestartTimer {
public:
    void Kill() override {
        armed = false;
        ++kills;
    }
    void Set(uint32_t periodMs) override {
        armed = true;
        period = periodMs;
    }
    bool armed = false;
    uint32_t period = 0;
    int kills = 0;
};

int HandleCount() {
    const int count = testing::ProcessHandleCount();
    EXPECT_GT(count, 0);
    return count;
}

TEST(NoPanelTest, NothingFoundNothingOpened) {
    EXPECT_EQ(CountPanels(), 0);
    PanelOpenOptions library;
    library.vendorId = kPanelVendorId;
    library.overlapped = true;
    EXPECT_EQ(CountPanels(library), 0);

    PanelDevice device;
    ResetPanelDevice(device);
    EXPECT_EQ(OpenFirstPanel(device).Reason(), "no panel of vendor 0x0EEF found");
    EXPECT_EQ(device.handle, InvalidPanelHandle());
    EXPECT_FALSE(device.openFlag);
    EXPECT_EQ(ReadValueRanges(device).Reason(), "no open panel");
    EXPECT_EQ(SendStartReport(device).Reason(), "no open panel");

    EXPECT_EQ(OpenPanel("\\\\.\\no-such-device"), InvalidPanelHandle());
    char path[8] = "x";
    EXPECT_EQ(GetInterfacePath(kMaxHidInterfaces, path, sizeof path), 0);
    EXPECT_EQ(GetInterfacePath(-1, path, sizeof path), 0);
    EXPECT_STREQ(path, "");
}

TEST(NoPanelTest, RestartKeepsRetryingWithoutLeakingHandles) {
    HidPanelSource source;
    PanelReader reader(source);
    FakeTimer timer;
    HWND window = GetDesktopWindow();
    reader.Restart(timer, window);  // first use loads what the system caches
    const int before = HandleCount();
    for (int i = 0; i < 100; ++i) {
        reader.Restart(timer, window);
        ASSERT_TRUE(timer.armed);
        ASSERT_EQ(timer.period, kRestartRetryPeriodMs);
        ASSERT_FALSE(reader.Running());
    }
    EXPECT_EQ(HandleCount(), before);
    EXPECT_EQ(timer.kills, 101);
    EXPECT_EQ(reader.ThreadHandle(), nullptr);
}

TEST(DisplayAdapterTest, ReadsTheCurrentModeAndAProviderOrNothing) {
    Win32Display display;
    DisplayMode mode;
    ASSERT_TRUE(display.ReadCurrentMode(mode));
    EXPECT_GT(mode.width, 0u);
    EXPECT_GT(mode.height, 0u);
    EXPECT_GE(mode.orientation, 0);
    EXPECT_LE(mode.orientation, 3);
    std::string provider = "unchanged";
    if (display.ReadAdapterProvider(provider)) {
        EXPECT_LT(provider.size(), kProviderNameBufferSize);
    } else {
        EXPECT_EQ(provider, "unchanged");
    }
}

// The desktop as the monitor functions list it: one primary monitor at the origin
// with the primary mode's size, every monitor named and inside the virtual screen.
// The time of one read is printed (the reader takes one per report while a monitor
// is chosen), not asserted.
TEST(DisplayAdapterTest, DesktopListsThePrimaryMonitorInsideTheVirtualScreen) {
    Win32Display display;
    DisplayMode mode;
    ASSERT_TRUE(display.ReadCurrentMode(mode));
    DesktopLayout layout;
    ASSERT_TRUE(display.ReadDesktop(layout));
    int primaries = 0;
    const DesktopRect& v = layout.virtualScreen;
    for (const MonitorInfo& monitor : layout.monitors) {
        EXPECT_EQ(monitor.name.rfind("\\\\.\\DISPLAY", 0), 0u) << monitor.name;
        EXPECT_GE(monitor.rect.left, v.left) << monitor.name;
        EXPECT_GE(monitor.rect.top, v.top) << monitor.name;
        EXPECT_LE(int64_t{monitor.rect.left} + monitor.rect.width, int64_t{v.left} + v.width);
        EXPECT_LE(int64_t{monitor.rect.top} + monitor.rect.height, int64_t{v.top} + v.height);
        if (!monitor.primary) continue;
        ++primaries;
        EXPECT_EQ(monitor.rect.left, 0);
        EXPECT_EQ(monitor.rect.top, 0);
        EXPECT_EQ(monitor.rect.width, mode.width);
        EXPECT_EQ(monitor.rect.height, mode.height);
        EXPECT_EQ(monitor.orientation, mode.orientation);
    }
    EXPECT_EQ(primaries, 1);

    const int reads = 2000;
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    for (int i = 0; i < reads; ++i) display.ReadDesktop(layout);
    QueryPerformanceCounter(&end);
    std::printf("ReadDesktop: %.1f us a read, %zu monitor(s)\n",
                1e6 * static_cast<double>(end.QuadPart - begin.QuadPart) /
                    static_cast<double>(frequency.QuadPart) / reads,
                layout.monitors.size());

    // A port that keeps the list answers with the same monitors.
    Win32Display keeping(kDesktopKeepMs);
    for (int i = 0; i < 3; ++i) {
        DesktopLayout kept;
        ASSERT_TRUE(keeping.ReadDesktop(kept));
        ASSERT_EQ(kept.monitors.size(), layout.monitors.size());
        for (size_t m = 0; m < kept.monitors.size(); ++m) {
            EXPECT_EQ(kept.monitors[m].name, layout.monitors[m].name);
            EXPECT_EQ(kept.monitors[m].rect.width, layout.monitors[m].rect.width);
        }
        EXPECT_EQ(kept.virtualScreen.width, v.width);
    }
}

// The highest adapter key is created by the test (in the test's own Wine prefix);
// a system that already has one, or refuses the write, is left alone.
TEST(DisplayAdapterTest, HighestOpeningKeyIsTheOneRead) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const std::string name = std::string(kDisplayClassKey) + "\\0019";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
        GTEST_SKIP() << "no write access to the display class key";
    }
    if (disposition != REG_CREATED_NEW_KEY) {
        RegCloseKey(key);
        GTEST_SKIP() << "the system has an adapter key 0019 of its own";
    }
    const char value[] = "ATI Technologies Inc.";
    RegSetValueExA(key, "ProviderName", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   sizeof value);
    Win32Display display;
    std::string provider;
    EXPECT_TRUE(display.ReadAdapterProvider(provider));
    EXPECT_EQ(provider, "ATI Technologies Inc.");

    // The text is compared as the bytes read, whatever type the value has.
    RegSetValueExA(key, "ProviderName", 0, REG_BINARY, reinterpret_cast<const BYTE*>(value),
                   sizeof value);
    provider.clear();
    EXPECT_TRUE(display.ReadAdapterProvider(provider));
    EXPECT_EQ(provider, "ATI Technologies Inc.");

    // A value longer than the 50-byte buffer is not read.
    const std::string longer(60, 'A');
    RegSetValueExA(key, "ProviderName", 0, REG_SZ, reinterpret_cast<const BYTE*>(longer.c_str()),
                   static_cast<DWORD>(longer.size() + 1));
    provider = "unchanged";
    EXPECT_FALSE(display.ReadAdapterProvider(provider));
    EXPECT_EQ(provider, "unchanged");
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, name.c_str());
}

}  // namespace
}  // namespace tactra
