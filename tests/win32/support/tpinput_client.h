// The exports of tpinput.dll as a client resolves them with GetProcAddress.
#pragma once

#include <windows.h>

using RegisterTouchWindowFn = BOOL(WINAPI*)(HWND, ULONG);
using UnregisterTouchWindowFn = BOOL(WINAPI*)(HWND);
using IsTouchWindowFn = BOOL(WINAPI*)(HWND, PULONG);
using GetTouchInputInfoFn = BOOL(WINAPI*)(HANDLE, UINT, void*, int);
using CloseTouchInputHandleFn = BOOL(WINAPI*)(HANDLE);
using GetConnectedDeviceNumFn = int(WINAPI*)(int);
using VersionNumberFn = int(WINAPI*)(WORD*);
using NoArgFn = int(WINAPI*)();
using SetCalibrateFn = int(WINAPI*)(int);
using CalibrateEventFn = int(WINAPI*)(int, int);

constexpr int kPanelVendorId = 0x0EEF;
