// Stands in for the tablet service in the tests: appends its own full path to
// "service-ran.txt" in its current folder, keeps "service.lock" there open without
// sharing for as long as it runs, and waits to be terminated.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE lock = CreateFileA("service.lock", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    HANDLE log = CreateFileA("service-ran.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(log, path, length, &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
    Sleep(INFINITE);
    CloseHandle(lock);
    return 0;
}
