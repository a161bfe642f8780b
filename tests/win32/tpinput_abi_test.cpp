// The library's binary interface as a 32-bit client meets it: every export called
// through a pointer of the platform's declared type (stdcall: the callee removes its
// arguments), with the stack pointer measured across each call, and the record
// layout that "WM_TOUCH" hands to the client.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/mapping/calibration.h"
#include "device/panel/touch_report.h"
#include "tpinput/tpinput.h"

// The C client's side (tests/support/tpinput_c_client.c), compiled as C against the
// system's own touch declarations.
extern "C" int TpinputResolvesFromC(HMODULE library);
extern "C" int TpinputGetAsPlatformClient(HMODULE library, LPARAM handle, UINT count, void* records,
                                          int size, unsigned long* lastError);
extern "C" int TpinputPlatformRecordSize(void);

namespace {

#if defined(__i386__)
// Calls `fn` with `count` 32-bit arguments pushed as a C caller pushes them, and
// returns how many bytes the callee left on the stack: 0 for a stdcall function of
// that many arguments, 4 x count for a cdecl one. `*result` receives EAX.
extern "C" int32_t StackLeftByCall(const void* fn, const uint32_t* args, int32_t count,
                                   uint32_t* result);
asm(R"(
    .text
    .globl _StackLeftByCall
_StackLeftByCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 8(%ebp), %eax
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl %esp, %ebx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  calll *%eax
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %ebx, %eax
    subl %esp, %eax
    movl %ebx, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

uint32_t Arg(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }
#endif

class TpinputAbi : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = LoadLibraryA("tpinput.dll");
        ASSERT_NE(library_, nullptr);
        window_ = CreateWindowExA(0, "STATIC", "abi", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_);
        if (library_) FreeLibrary(library_);
    }
    const void* Export(const char* name) {
        return reinterpret_cast<const void*>(GetProcAddress(library_, name));
    }

    HMODULE library_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(TpinputAbi, EveryExportRemovesItsOwnArguments) {
#if !defined(__i386__)
    GTEST_SKIP() << "the stdcall convention exists on 32-bit x86 only";
#else
    // Capture is switched off again in a folder of our own: it writes "Calibrate.ini".
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string dir =
        std::string(temp) + "tpinput-abi-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));

    ULONG flags = 0;
    WORD words[3] = {};
    uint8_t records[2 * 40] = {};
    struct Call {
        const char* name;
        uint32_t args[4];
        int32_t count;
    };
    const Call calls[] = {
        {"GetConnectedDeviceNum", {0x0EEF}, 1},
        {"RegisterTouchWindow", {Arg(window_), 0}, 2},
        {"IsTouchWindow", {Arg(window_), Arg(&flags)}, 2},
        {"GetTouchInputInfo", {0, 2, Arg(records), 40}, 4},
        {"CloseTouchInputHandle", {0}, 1},
        {"UnregisterTouchWindow", {Arg(window_)}, 1},
        {"VersionNumber", {Arg(words)}, 1},
        {"SUSPENDTHREAD", {}, 0},
        {"RESUMETHREAD", {}, 0},
        {"SetCalibrate", {1}, 1},
        {"CalibrateEvent", {3, 0}, 2},
        {"SetCalibrate", {0}, 1},
    };
    for (const Call& call : calls) {
        const void* fn = Export(call.name);
        ASSERT_NE(fn, nullptr) << call.name;
        uint32_t result = 0xDEADBEEF;
        EXPECT_EQ(StackLeftByCall(fn, call.args, call.count, &result), 0)
            << call.name << " does not remove its " << call.count << " arguments";
        EXPECT_NE(result, 0xDEADBEEFu) << call.name;
    }

    // The same calls through the declared pointer types give the documented results.
    EXPECT_EQ(reinterpret_cast<GetConnectedDeviceNumFn>(Export("GetConnectedDeviceNum"))(0x0EEF),
              0);
    EXPECT_EQ(reinterpret_cast<VersionNumberFn>(Export("VersionNumber"))(words), 1);
    EXPECT_EQ(reinterpret_cast<SetCalibrateFn>(Export("SetCalibrate"))(1), 4096);
    EXPECT_EQ(reinterpret_cast<CalibrateEventFn>(Export("CalibrateEvent"))(3, 0), 0);
    EXPECT_EQ(reinterpret_cast<SetCalibrateFn>(Export("SetCalibrate"))(0), 1);

    SetCurrentDirectoryA(previous);
    DeleteFileA((dir + "\\Calibrate.ini").c_str());
    RemoveDirectoryA(dir.c_str());
#endif
}

TEST_F(TpinputAbi, RecordsHaveThePlatformLayout) {
#if !defined(__i386__)
    GTEST_SKIP() << "the 40-byte record is the 32-bit layout";
#else
    using tactra::TOUCHINPUT;
    EXPECT_EQ(sizeof(TOUCHINPUT), 40u);
    EXPECT_EQ(offsetof(TOUCHINPUT, x), 0u);
    EXPECT_EQ(offsetof(TOUCHINPUT, y), 4u);
    EXPECT_EQ(offsetof(TOUCHINPUT, hSource), 8u);
    EXPECT_EQ(offsetof(TOUCHINPUT, dwID), 12u);
    EXPECT_EQ(offsetof(TOUCHINPUT, dwFlags), 16u);
    EXPECT_EQ(offsetof(TOUCHINPUT, dwMask), 20u);
    EXPECT_EQ(offsetof(TOUCHINPUT, dwTime), 24u);
    EXPECT_EQ(offsetof(TOUCHINPUT, dwExtraInfo), 28u);
    EXPECT_EQ(offsetof(TOUCHINPUT, cxContact), 32u);
    EXPECT_EQ(offsetof(TOUCHINPUT, cyContact), 36u);
#endif
}

// A window that keeps a copy of every touch message it receives, as it lay at
// lParam and as GetTouchInputInfo, called through the platform's declaration,
// copies it. Messages to a window of another thread go to a list of their own.
struct Received {
    WPARAM count;
    LPARAM block;
    std::vector<uint8_t> bytes;   // the records as they lay at lParam
    std::vector<uint8_t> copied;  // what GetTouchInputInfo copied, asked for 10
    int copyResult;
};
std::vector<Received> g_received;
std::vector<Received> g_otherThreadReceived;
DWORD g_mainThread = 0;
UINT g_touchMessage = 0;
HMODULE g_library = nullptr;
// Runs inside the handler of each message of the main thread, after the copies.
void (*g_inHandler)() = nullptr;

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_touchMessage) {
        const uint8_t* block = reinterpret_cast<const uint8_t*>(lParam);
        Received got = {wParam, lParam,
                        std::vector<uint8_t>(block, block + wParam * sizeof(TouchInputRecord)),
                        std::vector<uint8_t>(10 * sizeof(TouchInputRecord), 0xA5), 0};
        unsigned long error = 0;
        got.copyResult = TpinputGetAsPlatformClient(g_library, lParam, 10, got.copied.data(),
                                                    TpinputPlatformRecordSize(), &error);
        const bool main = GetCurrentThreadId() == g_mainThread;
        (main ? g_received : g_otherThreadReceived).push_back(got);
        if (main && g_inHandler) g_inHandler();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A folder of its own as the current directory (no "Calibrate.ini": the panel's
// range maps to the screen) with a trace the library replays.
class ReplayedTrace {
public:
    explicit ReplayedTrace(const char* text) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "tpinput-replay-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir_.c_str(), nullptr);
        GetCurrentDirectoryA(MAX_PATH, previous_);
        SetCurrentDirectoryA(dir_.c_str());
        trace_ = dir_ + "\\session.trace";
        if (FILE* f = std::fopen(trace_.c_str(), "wb")) {
            std::fputs(text, f);
            std::fclose(f);
        }
        SetEnvironmentVariableA(TPINPUT_REPLAY_VARIABLE, trace_.c_str());
    }
    ~ReplayedTrace() {
        SetEnvironmentVariableA(TPINPUT_REPLAY_VARIABLE, nullptr);
        SetCurrentDirectoryA(previous_);
        DeleteFileA(trace_.c_str());
        RemoveDirectoryA(dir_.c_str());
    }

private:
    std::string dir_;
    std::string trace_;
    char previous_[MAX_PATH] = {};
};

HWND CreateReceiver() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TpinputAbiReceiver";
    RegisterClassA(&wc);
    g_touchMessage = RegisterWindowMessageA(TPINPUT_TOUCH_MESSAGE);
    g_received.clear();
    g_otherThreadReceived.clear();
    g_mainThread = GetCurrentThreadId();
    return CreateWindowExA(0, "TpinputAbiReceiver", "receiver", 0, 0, 0, 10, 10, HWND_MESSAGE,
                           nullptr, wc.hInstance, nullptr);
}

void PumpUntil(size_t messages, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (g_received.size() < messages && GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
}

#if defined(__i386__)
uint32_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}
#endif

TEST_F(TpinputAbi, ReplayedReportsReachTheClientAsPlatformRecords) {
    ReplayedTrace trace(
        "panel 4095 4095\n"
        "at 100 touch 1000,2000 -\n"
        "at 150 touch 1010,2010 3000,100\n"
        "at 200 touch - -\n");
    HWND receiver = CreateReceiver();
    ASSERT_NE(receiver, nullptr);
    TpinputExports api;
    ASSERT_TRUE(TpinputResolve(library_, &api));
    EXPECT_EQ(TpinputResolvesFromC(library_), 1);
    g_library = library_;
    EXPECT_EQ(TpinputPlatformRecordSize(), static_cast<int>(sizeof(TouchInputRecord)));
    // The replayed panel counts as the one attached panel.
    EXPECT_EQ(api.getConnectedDeviceNum(kTpinputPanelVendorId), 1);
    EXPECT_EQ(api.getConnectedDeviceNum(0x1234), 0);
    WORD ids[3] = {1, 1, 1};
    EXPECT_EQ(api.versionNumber(ids), 1);
    EXPECT_EQ(ids[0], kTpinputPanelVendorId);
    ASSERT_EQ(api.registerTouchWindow(receiver, 0), 1);
    EXPECT_EQ(api.isTouchWindow(receiver, nullptr), 1);
    PumpUntil(3, 5000);
    ASSERT_EQ(g_received.size(), 3u);

    // The library maps through the panel's range onto the current display mode.
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    tactra::CalibrationLimits limits;
    const tactra::ScreenScale scale = tactra::MakeScreenScale(mode.dmPelsWidth, mode.dmPelsHeight);
    auto at = [&](int x, int y) { return tactra::MapPosition(limits, scale, x, y); };
    struct Expected {
        WPARAM count;
        uint32_t flags[2];
        tactra::MappedPoint p[2];
        uint32_t id[2];
    };
    const Expected expected[] = {
        {1, {0x1A, 0}, {at(1000, 2000), {}}, {0, 0}},
        {2, {0x19, 0x0A}, {at(1010, 2010), at(3000, 100)}, {0, 1}},
        {2, {0x1C, 0x0C}, {at(1010, 2010), at(3000, 100)}, {0, 1}},
    };
    for (int m = 0; m < 3; ++m) {
        SCOPED_TRACE(m);
        const Received& got = g_received[m];
        EXPECT_EQ(got.count, expected[m].count);
        EXPECT_EQ(got.block, g_received[0].block) << "one block for every message";
        // The platform's GetTouchInputInfo, asked for ten, copies the message's records,
        // identical to those at lParam, and nothing beyond them.
        EXPECT_EQ(got.copyResult, 1);
        EXPECT_TRUE(std::equal(got.bytes.begin(), got.bytes.end(), got.copied.begin()));
        EXPECT_TRUE(std::all_of(got.copied.begin() + got.bytes.size(), got.copied.end(),
                                [](uint8_t b) { return b == 0xA5; }));
        for (size_t i = 0; i < got.count; ++i) {
            TouchInputRecord r;
            std::memcpy(&r, got.bytes.data() + i * sizeof r, sizeof r);
            EXPECT_EQ(r.x, expected[m].p[i].x);
            EXPECT_EQ(r.y, expected[m].p[i].y);
            EXPECT_EQ(r.dwFlags, expected[m].flags[i]);
            EXPECT_EQ(r.dwID, expected[m].id[i]);
            EXPECT_EQ(r.hSource, INVALID_HANDLE_VALUE);
            EXPECT_EQ(r.dwMask | r.dwExtraInfo | r.cxContact | r.cyContact, 0u);
#if defined(__i386__)
            // The platform's 32-bit layout, byte for byte: 40 bytes a record.
            const size_t base = i * 40;
            EXPECT_EQ(static_cast<int32_t>(Word(got.bytes, base + 0)), expected[m].p[i].x);
            EXPECT_EQ(static_cast<int32_t>(Word(got.bytes, base + 4)), expected[m].p[i].y);
            EXPECT_EQ(Word(got.bytes, base + 8), 0xFFFFFFFFu);
            EXPECT_EQ(Word(got.bytes, base + 12), expected[m].id[i]);
            EXPECT_EQ(Word(got.bytes, base + 16), expected[m].flags[i]);
            EXPECT_EQ(Word(got.bytes, base + 24), r.dwTime);
#endif
        }
    }
    // A foreign handle, a wrong size or no buffer copy nothing and say why.
    std::vector<uint8_t> buffer(2 * sizeof(TouchInputRecord), 0x5A);
    unsigned long error = 0;
    EXPECT_EQ(TpinputGetAsPlatformClient(library_, g_received[0].block + 8, 1, buffer.data(),
                                         TpinputPlatformRecordSize(), &error),
              0);
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(TpinputGetAsPlatformClient(library_, g_received[0].block, 1, buffer.data(),
                                         TpinputPlatformRecordSize() - 4, &error),
              0);
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(TpinputGetAsPlatformClient(library_, g_received[0].block, 1, nullptr,
                                         TpinputPlatformRecordSize(), &error),
              0);
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(buffer, std::vector<uint8_t>(2 * sizeof(TouchInputRecord), 0x5A));
    DestroyWindow(receiver);
}

// A touch screen's trace (no report IDs, one contact per report) replays through its
// layout: it counts as the touch screen of its ids (by vendor 0 and by its own vendor,
// not as the panel), its frames arrive as the panel's reports would, and the contact
// left silent is lifted by the library's own timer after 100 ms.
TEST_F(TpinputAbi, ReplayedScreenTraceGoesThroughItsLayout) {
    ReplayedTrace trace(
        "ids 0x1234 0x5678\n"
        "layout id=0 bytes=6 finger tip=0:1:0:1 cid=8:8:0:255 x=16:16:0:4095 y=32:16:0:4095\n"
        "at 100 input 01 05 00 08 00 06\n"
        "at 120 input 01 05 10 08 00 06\n");
    HWND receiver = CreateReceiver();
    ASSERT_NE(receiver, nullptr);
    TpinputExports api;
    ASSERT_TRUE(TpinputResolve(library_, &api));
    g_library = library_;
    EXPECT_EQ(api.getConnectedDeviceNum(kTpinputPanelVendorId), 0);
    EXPECT_EQ(api.getConnectedDeviceNum(0x4321), 0);
    EXPECT_EQ(api.getConnectedDeviceNum(0x1234), 1);
    EXPECT_EQ(api.getConnectedDeviceNum(0), 1);
    WORD ids[3] = {};
    EXPECT_EQ(api.versionNumber(ids), 1);
    EXPECT_EQ(ids[0], 0x1234);
    EXPECT_EQ(ids[1], 0x5678);
    EXPECT_EQ(ids[2], 0);
    ASSERT_EQ(api.registerTouchWindow(receiver, 0), 1);
    PumpUntil(3, 5000);
    ASSERT_EQ(g_received.size(), 3u);
    const uint32_t flags[] = {0x1A, 0x19, 0x1C};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g_received[i].count, 1u);
        const auto* record = reinterpret_cast<const TouchInputRecord*>(g_received[i].bytes.data());
        EXPECT_EQ(record->dwFlags, flags[i]);
        EXPECT_EQ(record->dwID, 5u);
    }
    DestroyWindow(receiver);
}

// A client whose thread is busy for longer than a contact's silence while a finger
// touches the screen: the reports that waited meanwhile carry the finger on, with no
// lift and no second down that the screen never reported.
void BusyAfterTheFirstMessage() {
    if (g_received.size() == 1) Sleep(400);
}

TEST_F(TpinputAbi, AScreenContactOutlivesABusyClient) {
    ReplayedTrace trace(
        "ids 0x1234 0x5678\n"
        "layout id=0 bytes=6 finger tip=0:1:0:1 cid=8:8:0:255 x=16:16:0:4095 y=32:16:0:4095\n"
        "at 100 input 01 05 00 08 00 06\n"
        "at 140 input 01 05 10 08 00 06\n"
        "at 180 input 01 05 20 08 00 06\n"
        "at 220 input 00 05 20 08 00 06\n");
    HWND receiver = CreateReceiver();
    ASSERT_NE(receiver, nullptr);
    TpinputExports api;
    ASSERT_TRUE(TpinputResolve(library_, &api));
    g_library = library_;
    g_inHandler = BusyAfterTheFirstMessage;
    ASSERT_EQ(api.registerTouchWindow(receiver, 0), 1);
    PumpUntil(4, 5000);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 300) PumpUntil(100, 20);  // nothing more comes
    g_inHandler = nullptr;
    std::vector<uint32_t> flags;
    for (const Received& r : g_received)
        flags.push_back(reinterpret_cast<const TouchInputRecord*>(r.bytes.data())->dwFlags);
    EXPECT_EQ(flags, (std::vector<uint32_t>{0x1A, 0x19, 0x19, 0x1C}));
    DestroyWindow(receiver);
}

// A second registration from another thread while the first thread is inside a
// touch message: the block stays where it is (zeroed for the new registration,
// never freed), and the rest of the trace reaches the new window at the same lParam.
TpinputExports g_api;
HANDLE g_registered = nullptr;
HANDLE g_secondThread = nullptr;

DWORD WINAPI SecondClient(LPVOID) {
    HWND second = CreateWindowExA(0, "TpinputAbiReceiver", "second", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    const BOOL ok = second != nullptr && g_api.registerTouchWindow(second, 0);
    SetEvent(g_registered);
    const DWORD start = GetTickCount();
    while (ok && g_otherThreadReceived.size() < 2 && GetTickCount() - start < 5000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
    if (second) DestroyWindow(second);
    return ok ? 0 : 1;
}

void RegisterFromAnotherThread() {
    if (g_received.size() != 1 || g_secondThread != nullptr) return;
    g_secondThread = CreateThread(nullptr, 0, SecondClient, nullptr, 0, nullptr);
    ASSERT_NE(g_secondThread, nullptr);
    ASSERT_EQ(WaitForSingleObject(g_registered, 5000), WAIT_OBJECT_0);
    const TouchInputRecord* records =
        reinterpret_cast<const TouchInputRecord*>(g_received[0].block);
    EXPECT_EQ(records[0].dwFlags, 0u) << "the handler still reads the library's block";
}

TEST_F(TpinputAbi, ASecondRegistrationFromAnotherThreadKeepsTheRecordBlock) {
    ReplayedTrace trace(
        "panel 4095 4095\n"
        "at 100 touch 1000,2000 -\n"
        "at 400 touch 1010,2010 -\n"
        "at 500 touch - -\n");
    HWND first = CreateReceiver();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(TpinputResolve(library_, &g_api));
    g_library = library_;
    g_registered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_secondThread = nullptr;
    g_inHandler = RegisterFromAnotherThread;
    ASSERT_EQ(g_api.registerTouchWindow(first, 0), 1);
    PumpUntil(1, 5000);
    g_inHandler = nullptr;
    ASSERT_EQ(g_received.size(), 1u);
    ASSERT_NE(g_secondThread, nullptr);
    EXPECT_EQ(WaitForSingleObject(g_secondThread, 10000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeThread(g_secondThread, &status);
    EXPECT_EQ(status, 0u) << "the second registration succeeded";
    CloseHandle(g_secondThread);
    CloseHandle(g_registered);
    PumpUntil(2, 300);
    EXPECT_EQ(g_received.size(), 1u) << "the first window gets nothing more";
    ASSERT_EQ(g_otherThreadReceived.size(), 2u);
    for (const Received& got : g_otherThreadReceived) {
        EXPECT_EQ(got.block, g_received[0].block) << "the same block";
        EXPECT_EQ(got.copyResult, 1);
    }
    EXPECT_EQ(g_api.isTouchWindow(first, nullptr), 0);
    DestroyWindow(first);
}

}  // namespace
