#include "platform/win32/win32_tactra_instance.h"

#include "platform/tactra_instance.h"

namespace tactra {

bool IsTactraRunning() {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, kTactraMutexName);
    if (mutex) {
        CloseHandle(mutex);
        return true;
    }
    // A mutex of another security context (Tactra started with other rights in the
    // same session) exists but may not be opened.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

TactraInstanceMark::~TactraInstanceMark() {
    if (mutex_) CloseHandle(mutex_);
}

bool TactraInstanceMark::Acquire() {
    if (mutex_) return true;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kTactraMutexName);
    const DWORD error = GetLastError();
    if (!mutex) return error != ERROR_ACCESS_DENIED;
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    mutex_ = mutex;
    return true;
}

}  // namespace tactra
