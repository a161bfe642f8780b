// The library's binary interface as a 32-bit client meets it: every export called
// through a pointer of the platform's declared type (stdcall: the callee removes its
// arguments), with the stack pointer measured across each call, and the record
// layout that "WM_TOUCH" hands to the client.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/touch_report.h"
#include "support/tpinput_client.h"

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
    const std::string dir = std::string(temp) + "tpinput-abi-" + std::to_string(GetCurrentProcessId());
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
    EXPECT_EQ(reinterpret_cast<GetConnectedDeviceNumFn>(Export("GetConnectedDeviceNum"))(0x0EEF), 0);
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

}  // namespace
