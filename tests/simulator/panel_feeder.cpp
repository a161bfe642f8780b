#include "panel_feeder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "simulated_hid.h"

namespace tactra {
namespace sim {

namespace {

// Instances kept waiting for a client: a discovery opens each device twice in a row
// (counting, then opening), a client of tpinput.dll up to six times (its own counts,
// registration's counts and opening, the Device Mode), and a test may not look at
// the feeder for a while.
constexpr size_t kListeners = 8;
constexpr DWORD kPipeBufferBytes = 4096;
constexpr DWORD kServicePeriodMs = 2;
constexpr DWORD kWriteTimeoutMs = 2000;

// Waits for an overlapped operation of this thread to finish, cancelling it first
// when it is still pending, so that its OVERLAPPED may go.
void FinishOverlapped(HANDLE handle, OVERLAPPED& overlapped, bool cancel) {
    if (cancel) CancelIo(handle);
    DWORD ignored = 0;
    GetOverlappedResult(handle, &overlapped, &ignored, TRUE);
}

}  // namespace

PanelFeeder::PanelFeeder(std::string path) : path_(std::move(path)) {
    InitializeCriticalSection(&lock_);
    commandReady_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    commandDone_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    written_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, ThreadStart, this, 0, nullptr);
}

PanelFeeder::~PanelFeeder() {
    if (thread_ != nullptr) {
        Execute(Command::kQuit);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(commandReady_);
    CloseHandle(commandDone_);
    CloseHandle(written_);
    DeleteCriticalSection(&lock_);
}

bool PanelFeeder::Plug() { return Execute(Command::kPlug) != 0; }

void PanelFeeder::Unplug() { Execute(Command::kUnplug); }

int PanelFeeder::Send(const std::vector<uint8_t>& report) {
    return Execute(Command::kSend, &report);
}

bool PanelFeeder::NextWrite(std::vector<uint8_t>& message, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&lock_);
        if (!writes_.empty()) {
            message = writes_.front();
            writes_.pop_front();
            if (writes_.empty()) ResetEvent(written_);
            LeaveCriticalSection(&lock_);
            return true;
        }
        LeaveCriticalSection(&lock_);
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        WaitForSingleObject(written_, timeoutMs - elapsed);
    }
}

bool PanelFeeder::WaitHeld(int count, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (Held() != count) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(5);
    }
    return true;
}

std::vector<DWORD> PanelFeeder::OpenTicks() {
    EnterCriticalSection(&lock_);
    std::vector<DWORD> ticks = openTicks_;
    LeaveCriticalSection(&lock_);
    return ticks;
}

int PanelFeeder::Held() {
    EnterCriticalSection(&lock_);
    const int held = held_;
    LeaveCriticalSection(&lock_);
    return held;
}

DWORD WINAPI PanelFeeder::ThreadStart(LPVOID self) {
    static_cast<PanelFeeder*>(self)->Run();
    return 0;
}

int PanelFeeder::Execute(Command command, const std::vector<uint8_t>* report) {
    if (thread_ == nullptr) return 0;
    EnterCriticalSection(&lock_);
    command_ = command;
    commandReport_ = report;
    LeaveCriticalSection(&lock_);
    SetEvent(commandReady_);
    WaitForSingleObject(commandDone_, INFINITE);
    EnterCriticalSection(&lock_);
    const int result = commandResult_;
    LeaveCriticalSection(&lock_);
    return result;
}

void PanelFeeder::Run() {
    for (;;) {
        if (WaitForSingleObject(commandReady_, kServicePeriodMs) == WAIT_OBJECT_0) {
            EnterCriticalSection(&lock_);
            const Command command = command_;
            const std::vector<uint8_t>* report = commandReport_;
            LeaveCriticalSection(&lock_);
            int result = 0;
            switch (command) {
                case Command::kPlug:
                    plugged_ = true;
                    result = AddListener() ? 1 : 0;
                    break;
                case Command::kUnplug:
                    CloseAll();
                    break;
                case Command::kSend:
                    Service();  // connections made since the last round are held too
                    result = WriteToHeld(*report);
                    break;
                case Command::kQuit:
                    CloseAll();
                    break;
                case Command::kNone:
                    break;
            }
            EnterCriticalSection(&lock_);
            commandResult_ = result;
            command_ = Command::kNone;
            LeaveCriticalSection(&lock_);
            SetEvent(commandDone_);
            if (command == Command::kQuit) return;
        }
        Service();
    }
}

bool PanelFeeder::AddListener() {
    Instance* instance = new Instance;
    instance->pipe =
        CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes, kPipeBufferBytes, 0, nullptr);
    instance->connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (instance->pipe == INVALID_HANDLE_VALUE || instance->connect.hEvent == nullptr) {
        CloseInstance(instance);
        return false;
    }
    if (!ConnectNamedPipe(instance->pipe, &instance->connect)) {
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            instance->connected = true;
        } else if (error != ERROR_IO_PENDING) {
            CloseInstance(instance);
            return false;
        }
    } else {
        instance->connected = true;
    }
    listening_.push_back(instance);
    return true;
}

void PanelFeeder::CloseInstance(Instance* instance) {
    if (instance->pipe != INVALID_HANDLE_VALUE) {
        if (!instance->connected && instance->connect.hEvent != nullptr) {
            FinishOverlapped(instance->pipe, instance->connect, true);
        }
        DisconnectNamedPipe(instance->pipe);
        CloseHandle(instance->pipe);
    }
    if (instance->connect.hEvent != nullptr) CloseHandle(instance->connect.hEvent);
    delete instance;
}

void PanelFeeder::CloseAll() {
    plugged_ = false;
    for (Instance* instance : listening_) CloseInstance(instance);
    for (Instance* instance : connected_) CloseInstance(instance);
    listening_.clear();
    connected_.clear();
    EnterCriticalSection(&lock_);
    held_ = 0;
    LeaveCriticalSection(&lock_);
}

void PanelFeeder::Service() {
    if (!plugged_) return;
    // Clients that have connected.
    for (size_t i = 0; i < listening_.size();) {
        Instance* instance = listening_[i];
        if (!instance->connected &&
            WaitForSingleObject(instance->connect.hEvent, 0) == WAIT_OBJECT_0) {
            DWORD ignored = 0;
            instance->connected =
                GetOverlappedResult(instance->pipe, &instance->connect, &ignored, FALSE) != FALSE;
            if (!instance->connected) {
                listening_.erase(listening_.begin() + i);
                CloseInstance(instance);
                continue;
            }
        }
        if (instance->connected) {
            listening_.erase(listening_.begin() + i);
            connected_.push_back(instance);
            EnterCriticalSection(&lock_);
            openTicks_.push_back(GetTickCount());
            ++held_;
            LeaveCriticalSection(&lock_);
            continue;
        }
        ++i;
    }
    while (listening_.size() < kListeners && AddListener()) {
    }
    // Messages from the clients, and clients that have gone.
    for (size_t i = 0; i < connected_.size();) {
        Instance* instance = connected_[i];
        DWORD available = 0, leftInMessage = 0;
        if (!PeekNamedPipe(instance->pipe, nullptr, 0, nullptr, &available, &leftInMessage)) {
            connected_.erase(connected_.begin() + i);
            CloseInstance(instance);
            EnterCriticalSection(&lock_);
            --held_;
            LeaveCriticalSection(&lock_);
            continue;
        }
        if (available > 0) {
            std::vector<uint8_t> message(std::max<DWORD>(available, leftInMessage));
            OVERLAPPED overlapped{};
            overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            DWORD read = 0;
            if (ReadFile(instance->pipe, message.data(), static_cast<DWORD>(message.size()),
                         nullptr, &overlapped) ||
                GetLastError() == ERROR_IO_PENDING || GetLastError() == ERROR_MORE_DATA) {
                GetOverlappedResult(instance->pipe, &overlapped, &read, TRUE);
            }
            CloseHandle(overlapped.hEvent);
            message.resize(read);
            EnterCriticalSection(&lock_);
            writes_.push_back(message);
            SetEvent(written_);
            LeaveCriticalSection(&lock_);
        }
        ++i;
    }
}

int PanelFeeder::WriteToHeld(const std::vector<uint8_t>& report) {
    int delivered = 0;
    for (Instance* instance : connected_) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD written = 0;
        bool done = WriteFile(instance->pipe, report.data(), static_cast<DWORD>(report.size()),
                              nullptr, &overlapped) != FALSE;
        if (!done && GetLastError() == ERROR_IO_PENDING) {
            if (WaitForSingleObject(overlapped.hEvent, kWriteTimeoutMs) == WAIT_OBJECT_0) {
                done = true;
            } else {
                FinishOverlapped(instance->pipe, overlapped, true);
            }
        }
        if (done && GetOverlappedResult(instance->pipe, &overlapped, &written, TRUE) &&
            written == report.size()) {
            ++delivered;
        }
        CloseHandle(overlapped.hEvent);
    }
    return delivered;
}

std::string SimulatorEnvironment(const std::string& deviceListFile) {
    std::string overrides = "hid,setupapi=n";
    std::string block;
    char* strings = GetEnvironmentStringsA();
    for (const char* p = strings; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
        const std::string entry = p;
        const std::string upper = [&] {
            std::string u = entry.substr(0, entry.find('='));
            for (char& c : u) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            return u;
        }();
        if (upper == "WINEDLLOVERRIDES") {
            // Keep what the test run overrides already (Wine's own components).
            const std::string value = entry.substr(entry.find('=') + 1);
            if (!value.empty()) overrides = value + ";" + overrides;
            continue;
        }
        if (upper == kDeviceListVariable) continue;
        block += entry;
        block += '\0';
    }
    if (strings != nullptr) FreeEnvironmentStringsA(strings);
    block += "WINEDLLOVERRIDES=" + overrides;
    block += '\0';
    block += std::string(kDeviceListVariable) + "=" + deviceListFile;
    block += '\0';
    block += '\0';
    return block;
}

bool WriteDeviceList(const std::string& file, const std::vector<SimulatedDevice>& devices) {
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return false;
    const std::string text = FormatDeviceList(devices);
    const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && ok;
}

}  // namespace sim
}  // namespace tactra
