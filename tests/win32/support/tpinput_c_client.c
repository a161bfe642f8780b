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
