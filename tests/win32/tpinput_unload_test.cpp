// A client that registers with tpinput.dll and then unloads it must survive the
// library's message windows receiving messages afterwards, and a later load must
// register its own window class with its own window procedure.
// There is no panel under Wine: registration returns 0, but it still creates its
// message window, which is what these tests exercise.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "tpinput/tpinput.h"

namespace {

constexpr char kLibraryPath[] = TPINPUT_DLL_PATH;
constexpr char kMessageWindowClass[] = "Message-Only Window";

template <typename Fn>
Fn Export(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Every message-only window of the library's class that exists now.
std::vector<HWND> LibraryWindows() {
    std::vector<HWND> windows;
    HWND after = nullptr;
    while ((after = FindWindowExA(HWND_MESSAGE, after, kMessageWindowClass, nullptr)) != nullptr) {
        windows.push_back(after);
    }
    return windows;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The module that contains the window procedure of `window`, or null.
HMODULE ProcedureModule(HWND window) {
    const LONG_PTR procedure = GetWindowLongPtrA(window, GWLP_WNDPROC);
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(procedure), &module)) {
        return nullptr;
    }
    return module;
}

// The messages the library's window receives from the system: raw input (with a
// handle that names no input) and device changes.
void SendSystemMessages(HWND window) {
    SendMessageA(window, WM_INPUT, RIM_INPUT, 0);
    SendMessageA(window, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
    SendMessageA(window, WM_NULL, 0, 0);
    PostMessageA(window, WM_INPUT, RIM_INPUTSINK, 0);
    PostMessageA(window, WM_DEVICECHANGE, 0x0007, 0);
}

class TpinputUnload : public ::testing::Test {
protected:
    void SetUp() override {
        PumpMessages();
        client_ = CreateWindowExA(0, "STATIC", "client", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(client_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(client_);
        PumpMessages();
    }

    // Loads the library and registers the client window `registrations` times;
    // returns the library and the message windows those registrations created.
    HMODULE LoadAndRegister(int registrations, std::vector<HWND>* created) {
        const std::vector<HWND> before = LibraryWindows();
        HMODULE library = LoadLibraryA(kLibraryPath);
        if (library == nullptr) return nullptr;
        auto registerTouchWindow = Export<RegisterTouchWindowFn>(library, "RegisterTouchWindow");
        for (int i = 0; i < registrations; ++i) {
            EXPECT_EQ(registerTouchWindow(client_, 0), 0);  // no panel
        }
        for (HWND window : LibraryWindows()) {
            if (std::find(before.begin(), before.end(), window) == before.end()) {
                created->push_back(window);
            }
        }
        return library;
    }

    HWND client_ = nullptr;
};

// The library as a freshly loaded one: nothing registered, nothing discovered.
void ExpectFreshExports(HMODULE library, HWND client) {
    ULONG flags = 0x55;
    EXPECT_EQ(Export<IsTouchWindowFn>(library, "IsTouchWindow")(nullptr, &flags), 1);
    EXPECT_EQ(Export<IsTouchWindowFn>(library, "IsTouchWindow")(client, &flags), 0);
    EXPECT_EQ(flags, 0x55u);
    WORD words[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    EXPECT_EQ(Export<VersionNumberFn>(library, "VersionNumber")(words), 1);
    EXPECT_EQ(words[0], 0);
    EXPECT_EQ(words[1], 0);
    EXPECT_EQ(words[2], 0);
    EXPECT_EQ(
        Export<GetConnectedDeviceNumFn>(library, "GetConnectedDeviceNum")(kTpinputPanelVendorId),
        0);
    char buffer[80] = {};
    EXPECT_EQ(Export<GetTouchInputInfoFn>(library, "GetTouchInputInfo")(
                  nullptr, 2, reinterpret_cast<TouchInputRecord*>(buffer), 40),
              0);  // no touch message: nothing to copy
    EXPECT_EQ(Export<UnregisterTouchWindowFn>(library, "UnregisterTouchWindow")(client), 1);
    EXPECT_EQ(Export<CloseTouchInputHandleFn>(library, "CloseTouchInputHandle")(nullptr), 1);
    EXPECT_EQ(Export<SuspendThreadFn>(library, "SUSPENDTHREAD")(), 1);
    EXPECT_EQ(Export<ResumeThreadFn>(library, "RESUMETHREAD")(), 1);
    // Capture is switched on and left on: the unload ends it without writing a file.
    EXPECT_EQ(Export<SetCalibrateFn>(library, "SetCalibrate")(1), 4096);
    EXPECT_EQ(Export<CalibrateEventFn>(library, "CalibrateEvent")(2, 0), 0);
}

TEST_F(TpinputUnload, MessageWindowsOutliveTheLibraryHarmlesslyAndAReloadWorks) {
    ASSERT_TRUE(LibraryWindows().empty());

    // First load: two registrations, two message windows, both running the
    // library's own procedure.
    std::vector<HWND> first;
    HMODULE library = LoadAndRegister(2, &first);
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(first.size(), 2u);
    for (HWND window : first) EXPECT_EQ(ProcedureModule(window), library);
    for (HWND window : first) SendSystemMessages(window);  // loaded: handled as usual
    PumpMessages();

    ASSERT_TRUE(FreeLibrary(library));
    ASSERT_EQ(GetModuleHandleA("tpinput.dll"), nullptr) << "the library is still mapped";

    // Unloaded, before this thread has run its loop: the windows still exist and
    // must take every message without reaching the unmapped procedure.
    for (HWND window : first) {
        ASSERT_TRUE(IsWindow(window));
        SendSystemMessages(window);
        EXPECT_NE(ProcedureModule(window), library);
    }

    // Reloaded before the old windows are gone: a new window gets the new procedure.
    std::vector<HWND> second;
    library = LoadLibraryA(kLibraryPath);
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(Export<RegisterTouchWindowFn>(library, "RegisterTouchWindow")(client_, 99), 0);
    for (HWND window : LibraryWindows()) {
        if (std::find(first.begin(), first.end(), window) == first.end()) second.push_back(window);
    }
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(ProcedureModule(second[0]), library);
    SendSystemMessages(second[0]);
    ExpectFreshExports(library, client_);

    // The loop runs: the windows the first load left behind close themselves.
    PumpMessages();
    for (HWND window : first) EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(LibraryWindows(), second);

    ASSERT_TRUE(FreeLibrary(library));
    ASSERT_EQ(GetModuleHandleA("tpinput.dll"), nullptr);
    SendSystemMessages(second[0]);
    PumpMessages();
    EXPECT_FALSE(IsWindow(second[0]));
    EXPECT_TRUE(LibraryWindows().empty());

    // A third load after every window is gone registers the class afresh.
    std::vector<HWND> third;
    library = LoadAndRegister(1, &third);
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(ProcedureModule(third[0]), library);
    WNDCLASSA info = {};
    EXPECT_TRUE(GetClassInfoA(library, kMessageWindowClass, &info));
    ExpectFreshExports(library, client_);
    ASSERT_TRUE(FreeLibrary(library));
    SendSystemMessages(third[0]);
    PumpMessages();
    EXPECT_TRUE(LibraryWindows().empty());
}

struct OtherThreadShared {
    HMODULE library;
    HANDLE registered;
    HANDLE unloaded;
    HWND window;
    bool survived;
};

// A thread procedure of the platform's convention (a lambda converts only to the
// default one, which differs on 32-bit Windows).
DWORD WINAPI RegisterThenWaitForUnload(LPVOID parameter) {
    auto* s = static_cast<OtherThreadShared*>(parameter);
    HWND client = CreateWindowExA(0, "STATIC", "client", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    Export<RegisterTouchWindowFn>(s->library, "RegisterTouchWindow")(client, 0);
    s->window = FindWindowExA(HWND_MESSAGE, nullptr, kMessageWindowClass, nullptr);
    if (s->window != nullptr) {
        PostMessageA(s->window, WM_INPUT, RIM_INPUT, 0);
        PostMessageA(s->window, WM_DEVICECHANGE, 0x0007, 0);
    }
    SetEvent(s->registered);
    WaitForSingleObject(s->unloaded, INFINITE);
    if (s->window != nullptr) SendMessageA(s->window, WM_INPUT, RIM_INPUT, 0);
    PumpMessages();
    s->survived = s->window != nullptr && !IsWindow(s->window);
    DestroyWindow(client);
    return 0;
}

// A message window whose thread is still alive but busy elsewhere while another
// thread unloads the library: its messages wait in its queue and are handled
// after the unload.
TEST_F(TpinputUnload, AWindowOfAnotherThreadIsMadeHarmlessToo) {
    HMODULE library = LoadLibraryA(kLibraryPath);
    ASSERT_NE(library, nullptr);
    OtherThreadShared shared = {library, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                                CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr, false};
    HANDLE thread = CreateThread(nullptr, 0, RegisterThenWaitForUnload, &shared, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(shared.registered, 10000), WAIT_OBJECT_0);
    ASSERT_NE(shared.window, nullptr);
    ASSERT_TRUE(FreeLibrary(library));
    ASSERT_EQ(GetModuleHandleA("tpinput.dll"), nullptr);
    SetEvent(shared.unloaded);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(shared.survived);
    EXPECT_TRUE(LibraryWindows().empty());
    CloseHandle(thread);
    CloseHandle(shared.registered);
    CloseHandle(shared.unloaded);
}

}  // namespace
