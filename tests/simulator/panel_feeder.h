// The test's side of a simulated HID device: it serves the device's named pipe. While
// the pipe is served the device can be opened; every message the feeder writes is one
// input report for the program that holds the device open, and every message the
// program writes (the start report) is kept for the test. Closing the pipe unplugs
// the device: a pending read fails, and the device cannot be opened until it is served
// again. All pipe I/O runs on the feeder's own thread, which keeps instances listening
// so that opens never find the device busy.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "simulated_hid.h"

namespace tactra {
namespace sim {

class PanelFeeder {
public:
    // `path` is the device path, \\.\pipe\NAME.
    explicit PanelFeeder(std::string path);
    ~PanelFeeder();
    PanelFeeder(const PanelFeeder&) = delete;
    PanelFeeder& operator=(const PanelFeeder&) = delete;

    const std::string& Path() const { return path_; }

    // Serves the pipe (plugs the device in).
    bool Plug();
    // Closes every instance of the pipe (unplugs the device).
    void Unplug();

    // Writes one input report to every connection the program holds open; returns the
    // number of connections that took it.
    int Send(const std::vector<uint8_t>& report);

    // Waits up to `timeoutMs` for the next message the program wrote.
    bool NextWrite(std::vector<uint8_t>& message, DWORD timeoutMs);
    // Waits until the program holds exactly `count` connections open.
    bool WaitHeld(int count, DWORD timeoutMs);

    // Connections the program has opened so far, and when (GetTickCount).
    std::vector<DWORD> OpenTicks();
    // Connections the program holds open now.
    int Held();

private:
    struct Instance {
        HANDLE pipe = INVALID_HANDLE_VALUE;
        OVERLAPPED connect{};
        bool connected = false;
    };
    enum class Command { kNone, kPlug, kUnplug, kSend, kQuit };

    static DWORD WINAPI ThreadStart(LPVOID self);
    void Run();
    // Runs `command` on the feeder's thread and waits for its result.
    int Execute(Command command, const std::vector<uint8_t>* report = nullptr);
    void Service();
    bool AddListener();
    void CloseInstance(Instance* instance);
    void CloseAll();
    int WriteToHeld(const std::vector<uint8_t>& report);

    std::string path_;
    HANDLE thread_ = nullptr;
    HANDLE commandReady_ = nullptr;
    HANDLE commandDone_ = nullptr;
    HANDLE written_ = nullptr;  // set while messages from the program wait
    CRITICAL_SECTION lock_;

    // Guarded by lock_.
    Command command_ = Command::kNone;
    const std::vector<uint8_t>* commandReport_ = nullptr;
    int commandResult_ = 0;
    std::deque<std::vector<uint8_t>> writes_;
    std::vector<DWORD> openTicks_;
    int held_ = 0;

    // The feeder's thread only.
    bool plugged_ = false;
    std::vector<Instance*> listening_;
    std::vector<Instance*> connected_;
};

// The environment block for a program that is to see the simulated devices described
// in `deviceListFile`: this process's environment with the simulator's DLLs
// overriding the system's and the device list named.
std::string SimulatorEnvironment(const std::string& deviceListFile);

// Writes a device list (see simulated_hid.h).
bool WriteDeviceList(const std::string& file, const std::vector<SimulatedDevice>& devices);

}  // namespace sim
}  // namespace tactra
