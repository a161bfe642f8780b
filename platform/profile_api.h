// The private-profile functions and GetCurrentDirectoryA, declared with their Win32
// signatures so that the portable core can call them without <windows.h>.
//
// On Windows the declarations match kernel32's exactly (same linkage, calling
// convention and types), so a file that also includes <windows.h> sees the same
// functions twice, which C++ allows. Native builds link the emulation in
// platform/posix, which follows the Windows semantics the profile files rely on.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define TACTRA_KERNEL32_IMPORT __declspec(dllimport)
#define TACTRA_WINAPI __stdcall
namespace tactra {
using ProfileDword = unsigned long;  // DWORD
using ProfileBool = int;             // BOOL
}  // namespace tactra
#else
#define TACTRA_KERNEL32_IMPORT
#define TACTRA_WINAPI
namespace tactra {
using ProfileDword = uint32_t;  // DWORD: 32 bits, as on Windows
using ProfileBool = int;        // BOOL
}  // namespace tactra
#endif

extern "C" {

// A value (section and key given), the key names of a section (key null) or the
// section names (section null), copied into the buffer; the number of characters
// copied without the final zero. A value longer than the buffer is cut to
// nSize - 1 characters; a name list that does not fit is cut, ends in two zero
// bytes and gives nSize - 2.
TACTRA_KERNEL32_IMPORT tactra::ProfileDword TACTRA_WINAPI GetPrivateProfileStringA(
    const char* lpAppName, const char* lpKeyName, const char* lpDefault, char* lpReturnedString,
    tactra::ProfileDword nSize, const char* lpFileName);

// Sets a key (creating section and file as needed); a null value removes the key,
// a null key removes the whole section. Nonzero on success.
TACTRA_KERNEL32_IMPORT tactra::ProfileBool TACTRA_WINAPI WritePrivateProfileStringA(
    const char* lpAppName, const char* lpKeyName, const char* lpString, const char* lpFileName);

// The section names in file order, each ending in a zero byte, the list ending in
// an empty name. Cut to nSize - 2 as above when the buffer is too small.
TACTRA_KERNEL32_IMPORT tactra::ProfileDword TACTRA_WINAPI GetPrivateProfileSectionNamesA(
    char* lpszReturnBuffer, tactra::ProfileDword nSize, const char* lpFileName);

// The current directory without a final separator: its length when it fits with
// its zero byte, else the buffer size it needs (zero byte included), 0 on failure.
TACTRA_KERNEL32_IMPORT tactra::ProfileDword TACTRA_WINAPI
GetCurrentDirectoryA(tactra::ProfileDword nBufferLength, char* lpBuffer);

}  // extern "C"
