// HID discovery and the restart procedure on a system without a panel (Wine has no
// HID devices), and the display adapter's reads.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "device/hid_win32.h"
#include "device/reader_win32.h"
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
    library.vendorId = kAltPanelVendorId;
    library.overlapped = true;
    EXPECT_EQ(CountPanels(library), 0);

    PanelDevice device;
    ResetPanelDevice(device);
    EXPECT_EQ(OpenFirstPanel(device).Reason(), "no panel of vendor 0x0EEF found");
    EXPECT_EQ(device.handle, InvalidPanelHandle());
    EXPECT_EQ(device.openFlag, 0);
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
