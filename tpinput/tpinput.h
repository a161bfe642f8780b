/* tpinput.h: the public interface of tpinput.dll, for clients in C and C++.
 *
 * The library gives an application the touch panel's contacts as window messages.
 * Load it at run time (LoadLibraryA("tpinput.dll")) and resolve its exports with
 * TpinputResolve below, or with GetProcAddress and the pointer types given here.
 * Every export is an undecorated __stdcall (WINAPI) function.
 *
 * The library itself defines TPINPUT_DECLARE_FUNCTIONS before including this file,
 * which declares the exports as functions as well. Clients leave it undefined: the
 * system's headers declare functions of the same names for Windows 7's own touch
 * support, and a client that uses them loads the library by name instead.
 */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Constants of the interface. */
enum {
    /* The panel's USB vendor ID, for GetConnectedDeviceNum. */
    kTpinputPanelVendorId = 0x0EEF,
    /* RegisterTouchWindow's mode that also moves the mouse with the first finger
     * (while no second finger touches, and only on Windows XP). */
    kTpinputMouseEmulationMode = 99,
    /* What SetCalibrate(1) returns. */
    kTpinputCalibrationStarted = 4096,
    /* Records the block behind a touch message has room for; GetTouchInputInfo
     * accepts a count of 1 to this many. */
    kTpinputRecordCapacity = 10,

    /* Bits of a record's dwFlags (the values of the system's TOUCHEVENTF_ flags). */
    kTpinputEventMove = 0x01,
    kTpinputEventDown = 0x02,
    kTpinputEventUp = 0x04,
    kTpinputEventInRange = 0x08,
    kTpinputEventPrimary = 0x10,

    /* CalibrateEvent's event types: the event bit of the touch's first record. */
    kTpinputCalibrateMove = 1,
    kTpinputCalibrateDown = 2,
    kTpinputCalibrateUp = 4
};

/* The name under which the touch message is registered: RegisterWindowMessageA
 * gives its number. It is not the system's own WM_TOUCH. */
#define TPINPUT_TOUCH_MESSAGE "WM_TOUCH"
/* The environment variable that names a trace to replay instead of the panel. */
#define TPINPUT_REPLAY_VARIABLE "TPINPUT_REPLAY"

/* One contact of a touch message, in the layout of the system's TOUCHINPUT (40
 * bytes in a 32-bit process). x and y are in hundredths of a screen pixel of the
 * unrotated display; dwFlags holds the kTpinputEvent bits. */
typedef struct TouchInputRecord {
    LONG x;
    LONG y;
    HANDLE hSource;
    DWORD dwID;
    DWORD dwFlags;
    DWORD dwMask;
    DWORD dwTime;
    DWORD dwExtraInfo;
    DWORD cxContact;
    DWORD cyContact;
} TouchInputRecord;

/* The exports. A touch message carries wParam = the number of records (1 or 2) and
 * lParam = the library's record block; the block is overwritten by the next report,
 * so a client copies what it keeps. */

/* Finds the panel (without one, the first usable touch screen of any maker) and
 * sends every report to `window` as the touch message, on the calling thread, which
 * must run a message loop. Returns 1, or 0 when neither is attached (or the trace
 * named by TPINPUT_REPLAY cannot be replayed). */
typedef BOOL(WINAPI* RegisterTouchWindowFn)(HWND window, ULONG mode);
/* Returns 1; the delivery goes on until the library is unloaded. */
typedef BOOL(WINAPI* UnregisterTouchWindowFn)(HWND window);
/* Returns 1 when `window` is the registered window, else 0; `flags` is not used. */
typedef BOOL(WINAPI* IsTouchWindowFn)(HWND window, PULONG flags);
/* Copies the records of the touch message whose lParam is `handle` into `records`:
 * min(count, records in the message), and returns 1. Returns 0 with the last error
 * ERROR_INVALID_PARAMETER, copying nothing, when `handle` is not the lParam of this
 * library's latest touch message, `count` is not 1 to kTpinputRecordCapacity,
 * `records` is null or `size` is not sizeof(TouchInputRecord). Call it while the
 * message is handled: the next report overwrites the records. */
typedef BOOL(WINAPI* GetTouchInputInfoFn)(HANDLE handle, UINT count, TouchInputRecord* records,
                                          int size);
/* Returns 1; the delivery goes on. */
typedef BOOL(WINAPI* CloseTouchInputHandleFn)(HANDLE handle);
/* The number of attached devices whose vendor ID is the low 16 bits of `vendorId`
 * (0 to 64); 0 counts every usable touch device, the panels and the touch screens of
 * any maker. The attributes of the last one found are kept for VersionNumber; a
 * registration then keeps those of the device it opened (with several panels, of
 * the last panel it found). */
typedef int(WINAPI* GetConnectedDeviceNumFn)(int vendorId);
/* Writes the kept vendor ID, product ID and version number (zeros before any
 * device was found) and returns 1; returns 0 for a null pointer. */
typedef int(WINAPI* VersionNumberFn)(WORD ids[3]);
/* SUSPENDTHREAD and RESUMETHREAD: return 1 and do nothing. */
typedef int(WINAPI* SuspendThreadFn)(void);
typedef int(WINAPI* ResumeThreadFn)(void);
/* SetCalibrate(non-zero) starts a calibration capture and returns 4096;
 * SetCalibrate(0) ends it, writes "Calibrate.ini" in the current directory and
 * returns 1. */
typedef int(WINAPI* SetCalibrateFn)(int start);
/* CalibrateEvent(type, point): a kTpinputCalibrate event of target `point` (1 to 5)
 * with the first contact of the latest report; call it from the touch message's
 * handler. Returns 1 when it changed the point, 0 when it did nothing. */
typedef int(WINAPI* CalibrateEventFn)(int type, int point);

#ifdef TPINPUT_DECLARE_FUNCTIONS
BOOL WINAPI RegisterTouchWindow(HWND window, ULONG mode);
BOOL WINAPI UnregisterTouchWindow(HWND window);
BOOL WINAPI IsTouchWindow(HWND window, PULONG flags);
BOOL WINAPI GetTouchInputInfo(HANDLE handle, UINT count, TouchInputRecord* records, int size);
BOOL WINAPI CloseTouchInputHandle(HANDLE handle);
int WINAPI GetConnectedDeviceNum(int vendorId);
int WINAPI VersionNumber(WORD ids[3]);
int WINAPI SUSPENDTHREAD(void);
int WINAPI RESUMETHREAD(void);
int WINAPI SetCalibrate(int start);
int WINAPI CalibrateEvent(int type, int point);
#endif

/* Every export of a loaded library. */
typedef struct TpinputExports {
    RegisterTouchWindowFn registerTouchWindow;
    UnregisterTouchWindowFn unregisterTouchWindow;
    IsTouchWindowFn isTouchWindow;
    GetTouchInputInfoFn getTouchInputInfo;
    CloseTouchInputHandleFn closeTouchInputHandle;
    GetConnectedDeviceNumFn getConnectedDeviceNum;
    VersionNumberFn versionNumber;
    SuspendThreadFn suspendThread;
    ResumeThreadFn resumeThread;
    SetCalibrateFn setCalibrate;
    CalibrateEventFn calibrateEvent;
} TpinputExports;

/* GetProcAddress's result as any function pointer type: a cast through
 * void (*)(void), which compilers accept between function types. */
typedef void (*TpinputAnyFunction)(void);
#define TPINPUT_EXPORT(library, type, name) \
    ((type)(TpinputAnyFunction)GetProcAddress((library), (name)))

/* Resolves every export of `library` into `exports`. Returns 1 when all were found;
 * 0 (with the missing ones null) otherwise. */
static __inline int TpinputResolve(HMODULE library, TpinputExports* exports) {
    exports->registerTouchWindow =
        TPINPUT_EXPORT(library, RegisterTouchWindowFn, "RegisterTouchWindow");
    exports->unregisterTouchWindow =
        TPINPUT_EXPORT(library, UnregisterTouchWindowFn, "UnregisterTouchWindow");
    exports->isTouchWindow = TPINPUT_EXPORT(library, IsTouchWindowFn, "IsTouchWindow");
    exports->getTouchInputInfo = TPINPUT_EXPORT(library, GetTouchInputInfoFn, "GetTouchInputInfo");
    exports->closeTouchInputHandle =
        TPINPUT_EXPORT(library, CloseTouchInputHandleFn, "CloseTouchInputHandle");
    exports->getConnectedDeviceNum =
        TPINPUT_EXPORT(library, GetConnectedDeviceNumFn, "GetConnectedDeviceNum");
    exports->versionNumber = TPINPUT_EXPORT(library, VersionNumberFn, "VersionNumber");
    exports->suspendThread = TPINPUT_EXPORT(library, SuspendThreadFn, "SUSPENDTHREAD");
    exports->resumeThread = TPINPUT_EXPORT(library, ResumeThreadFn, "RESUMETHREAD");
    exports->setCalibrate = TPINPUT_EXPORT(library, SetCalibrateFn, "SetCalibrate");
    exports->calibrateEvent = TPINPUT_EXPORT(library, CalibrateEventFn, "CalibrateEvent");
    return exports->registerTouchWindow && exports->unregisterTouchWindow &&
           exports->isTouchWindow && exports->getTouchInputInfo && exports->closeTouchInputHandle &&
           exports->getConnectedDeviceNum && exports->versionNumber && exports->suspendThread &&
           exports->resumeThread && exports->setCalibrate && exports->calibrateEvent;
}

#ifdef __cplusplus
}
#endif
