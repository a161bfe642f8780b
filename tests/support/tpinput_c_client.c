/* A client in C of the public header, compiled for Windows 7 so that the system's
 * own touch declarations are present beside it. */
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#undef WINVER
#define WINVER 0x0601
#include "tpinput/tpinput.h"

/* 1 when every export of `library` resolves through the header. */
int TpinputResolvesFromC(HMODULE library) {
    TpinputExports exports;
    TouchInputRecord record = {0};
    record.dwFlags = kTpinputEventDown | kTpinputEventInRange | kTpinputEventPrimary;
    return TpinputResolve(library, &exports) && record.dwFlags == 0x1A;
}

/* GetTouchInputInfo called through the system's own declaration of it, with the
 * system's TOUCHINPUT, as a client ported from Windows 7's touch functions calls it.
 * Returns its result; `lastError` gets GetLastError() after a failure. */
int TpinputGetAsPlatformClient(HMODULE library, LPARAM handle, UINT count, void* records, int size,
                               unsigned long* lastError) {
    typedef BOOL(WINAPI * PlatformGetTouchInputInfo)(HTOUCHINPUT, UINT, PTOUCHINPUT, int);
    PlatformGetTouchInputInfo get =
        TPINPUT_EXPORT(library, PlatformGetTouchInputInfo, "GetTouchInputInfo");
    BOOL ok;
    SetLastError(0);
    ok = get((HTOUCHINPUT)handle, count, (PTOUCHINPUT)records, size);
    *lastError = ok ? 0 : GetLastError();
    return ok;
}

/* The size a platform client passes. */
int TpinputPlatformRecordSize(void) { return (int)sizeof(TOUCHINPUT); }
