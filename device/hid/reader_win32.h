// Tactra's reading thread: it reads the panel's input reports one by one, maps both
// contacts through the calibration limits, and sends each batch of touch-input
// records to the main dialog with the registered message "WM_TOUCH". The reports
// come from a panel source: the HID panel, a replayed trace, or either of them
// with a recorder in between.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/mapping/calibration.h"
#include "device/mapping/smoothing.h"
#include "device/mapping/monitor.h"
#include "device/hid/hid.h"
#include "device/hid/latency.h"
#include "device/trace/replay.h"
#include "device/panel/touch_report.h"
#include "platform/result.h"

namespace tactra {

// The restart procedure's retry period.
constexpr uint32_t kRestartRetryPeriodMs = 500;
// How long the restart waits for a terminated reading thread to be gone before it
// closes the panel handle under it.
constexpr uint32_t kTerminateWaitMs = 2000;
// How long a stop lets the reading thread end by itself before it terminates it, the
// last resort for a source that cannot be woken or a window that never takes its
// batch. A woken thread ends in a few milliseconds.
constexpr uint32_t kGracefulStopMs = 500;
// How long a start waits for the new thread to reach its loop. A thread is never
// terminated before that: one terminated during its start-up can leave the
// system's loader lock held, and every later thread start hangs.
constexpr uint32_t kThreadStartWaitMs = 2000;

// Where the reading thread's reports come from.
class PanelSource {
public:
    virtual ~PanelSource() = default;
    // Finds and opens the panel (reset, count, open the first, read the value ranges,
    // send the start report) and fills `device`. Runs on the main dialog's thread.
    virtual Result Open(PanelDevice& device) = 0;
    // Reads one report of `device.inputReportLength` bytes, blocking until it comes.
    // A failure ends the reading, as an unplugged panel does. Runs on the reading
    // thread.
    virtual Result Read(const PanelDevice& device, uint8_t* buffer) = 0;
    // Makes a Read that waits return false soon, where the source can.
    virtual void Wake() {}
    // As Read, but a wait longer than `timeoutMs` returns success with `timedOut`
    // set; the read then stays issued for the next call, or for EndRead. (A touch
    // screen's contacts are lifted after a silence.)
    virtual Result ReadWithin(const PanelDevice& device, uint8_t* buffer, uint32_t timeoutMs,
                              bool& timedOut) {
        (void)timeoutMs;
        timedOut = false;
        return Read(device, buffer);
    }
    // Ends a read that ReadWithin left issued; it is over when this returns.
    virtual void EndRead(const PanelDevice& device) { (void)device; }
};

// The HID panel itself, opened for overlapped I/O: a read waits for its report or for
// Wake, whichever comes first, and a woken read is cancelled by the reading thread
// itself (the oldest systems can cancel only the calling thread's I/O) and is over
// before Read returns, so that the panel handle can be closed at once.
class HidPanelSource : public PanelSource {
public:
    // Without a path it opens the first panel, else the first touch screen, as found
    // now; with one, the device at that interface path only.
    explicit HidPanelSource(std::string path = std::string());
    ~HidPanelSource() override;
    HidPanelSource(const HidPanelSource&) = delete;
    HidPanelSource& operator=(const HidPanelSource&) = delete;

    Result Open(PanelDevice& device) override;
    Result Read(const PanelDevice& device, uint8_t* buffer) override;
    void Wake() override;
    Result ReadWithin(const PanelDevice& device, uint8_t* buffer, uint32_t timeoutMs,
                      bool& timedOut) override;
    void EndRead(const PanelDevice& device) override;

private:
    struct PendingRead;
    // Outlives any read, even that of a thread terminated as a last resort.
    std::unique_ptr<PendingRead> read_;
    void* wake_ = nullptr;  // event: the reading is to stop
    std::string path_;
};

// A trace replayed in real time: the report at tick T is delivered T milliseconds
// after the first opening. The panel "opens" with the trace's `panel` maxima while
// reports remain (a touch screen's trace opens that screen, its `input` reports
// read through its layout); the end of the trace ends the reading, and later openings find
// no panel. The panel handle is an event object that is never signalled; the reads
// wait for their time on an event of their own, which Wake sets.
class ReplayPanelSource : public PanelSource {
public:
    explicit ReplayPanelSource(ReplayScript script);
    ~ReplayPanelSource() override;
    ReplayPanelSource(const ReplayPanelSource&) = delete;
    ReplayPanelSource& operator=(const ReplayPanelSource&) = delete;
    // Loads and checks the whole file before anything is replayed. On failure
    // `message` is "FILE:LINE: reason".
    static std::unique_ptr<ReplayPanelSource> Load(const std::string& path, std::string& message);

    Result Open(PanelDevice& device) override;
    Result Read(const PanelDevice& device, uint8_t* buffer) override;
    void Wake() override;
    Result ReadWithin(const PanelDevice& device, uint8_t* buffer, uint32_t timeoutMs,
                      bool& timedOut) override;

    size_t Remaining() const { return script_.reports.size() - next_; }

private:
    ReplayScript script_;
    size_t next_ = 0;
    void* wake_ = nullptr;  // event the reads wait on for their time
    bool started_ = false;
    uint32_t startTick_ = 0;
};

// One trace that several devices' reading threads write to, a line at a time. With
// one device it is the old trace; once a second device writes, each device is named
// in a `device` line (the first one declared then, for all its lines before), and
// the device of every line that follows another device's is named again.
class SharedTraceRecorder {
public:
    explicit SharedTraceRecorder(TraceRecorder& recorder);
    ~SharedTraceRecorder();
    SharedTraceRecorder(const SharedTraceRecorder&) = delete;
    SharedTraceRecorder& operator=(const SharedTraceRecorder&) = delete;

    // Each call writes its lines, after the `device` line they need, under one lock.
    void Panel(const std::string& path, uint32_t tick, int32_t maxX, int32_t maxY);
    void Screen(const std::string& path, uint32_t tick, const PanelDevice& device);
    void Report(const std::string& path, uint32_t tick, const uint8_t* data, size_t length);
    void Input(const std::string& path, uint32_t tick, const uint8_t* data, size_t length);

private:
    void Enter(const std::string& path, uint32_t tick);
    void Leave();
    TraceRecorder& recorder_;
    void* lock_;                      // CRITICAL_SECTION
    std::vector<std::string> paths_;  // the devices in the order they first wrote
    size_t current_ = 0;
};

// Passes everything through and writes the panel's maxima at every opening and
// every report read to a trace; for a touch screen its ids and layout at every
// opening and each raw report as an `input` line.
class RecordingPanelSource : public PanelSource {
public:
    RecordingPanelSource(PanelSource& inner, SharedTraceRecorder& recorder)
        : inner_(inner), recorder_(recorder) {}
    Result Open(PanelDevice& device) override;
    Result Read(const PanelDevice& device, uint8_t* buffer) override;
    void Wake() override { inner_.Wake(); }
    Result ReadWithin(const PanelDevice& device, uint8_t* buffer, uint32_t timeoutMs,
                      bool& timedOut) override;
    void EndRead(const PanelDevice& device) override { inner_.EndRead(device); }

private:
    PanelSource& inner_;
    SharedTraceRecorder& recorder_;
};

// Timer 1 of the main dialog, which runs the restart procedure.
class RestartTimer {
public:
    virtual ~RestartTimer() = default;
    virtual void Kill() = 0;
    virtual void Set(uint32_t periodMs) = 0;
};

// What the reading thread maps with, read once at each opening of the panel: the
// limits, the chosen monitor (empty: the primary display) and the opening's scale.
using ReaderSetup = PanelMapping;
using ReaderSetupHook = std::function<ReaderSetup(const PanelDevice& device)>;

// The limits from "Calibrate.ini" in the current directory (the panel's logical
// maxima when the file has none), its `Monitor=` and the scale of that monitor or
// of the primary display's current mode (0 when the query fails).
ReaderSetup CalibratedReaderSetup(const PanelDevice& device);

class PanelReader {
public:
    explicit PanelReader(PanelSource& source);
    // Ends a thread that still runs and closes what is open.
    ~PanelReader();
    PanelReader(const PanelReader&) = delete;
    PanelReader& operator=(const PanelReader&) = delete;

    // Called at each opening of the panel, before the reading thread starts.
    void SetSetupHook(ReaderSetupHook hook) { setupHook_ = std::move(hook); }
    // How the log names this device in its latency lines (empty: "panel").
    void SetLabel(const std::string& label) { label_ = label; }

    // The registered message "TactraReadingEnded", which the reading thread sends to
    // its window when its device vanished (a read failed, not a stop), its lParam the
    // reader's Records(): the engine then lets go of that device's touch.
    static unsigned ReadingEndedMessage();

    // Opens the panel and starts the reading thread, which sends "WM_TOUCH" to
    // `window`. Succeeds when the thread runs; otherwise says why not. A thread
    // that still runs is ended first.
    Result StartReading(void* window);

    // Timer 1: drops whatever thread and panel handle exist, kills the timer and
    // starts again; arms the timer with the retry period when the start failed.
    void Restart(RestartTimer& timer, void* window);

    // Ends a running thread and closes the panel (used when the program ends).
    void Stop();

    bool Running() const;
    void* ThreadHandle() const;
    void* PanelHandle() const;
    const PanelDevice& Device() const { return device_; }
    // What the latest opening maps with.
    const ReaderSetup& Setup() const { return setup_; }
    // The registered message number of "WM_TOUCH".
    unsigned TouchMessage() const { return touchMessage_; }
    // The record buffer that every "WM_TOUCH" of this reader points to.
    const TOUCHINPUT* Records() const { return records_; }

    // The reading thread's body: 0 when its loop ends, -1 without a target window.
    long ThreadLoop();

private:
    void ScreenLoop(void* window, Display& display);
    void Deliver(void* window, Display& display, const PanelInputReport& frame);
    // The read that completed at `readAt` (a performance counter) was delivered now.
    void Delivered(int64_t readAt);
    void ReportLatency(bool final);
    void Vanished(void* window, const char* reason);
    void EndThread();
    void DropThreadAndPanel();

    PanelSource& source_;
    ReaderSetupHook setupHook_;
    PanelDevice device_;
    // Written before the reading thread starts, read by it alone while it runs.
    ReaderSetup setup_;
    // Shared with the reading thread; exchanged atomically so each is closed once.
    void* volatile thread_ = nullptr;
    void* volatile panel_ = nullptr;
    volatile long running_ = 0;
    volatile long stopRequested_ = 0;
    void* started_ = nullptr;  // event: the thread has reached its loop
    void* target_ = nullptr;
    unsigned touchMessage_ = 0;
    BatchBuilder builder_{ReaderRule::kTactra};  // contact states kept across restarts
    ContactSmoother smoother_;                   // the device's smoothing, from each opening
    // Written by the thread between two sends, read by the handler during a send.
    TOUCHINPUT records_[kTouchRecordCapacity] = {};
    std::vector<uint8_t> report_;
    std::string label_;
    // The reading thread's alone: how long its batches took, and when it last said so.
    LatencyStats latency_;
    int64_t counterFrequency_ = 0;
    int64_t readAt_ = 0;  // when the screen loop's latest read returned (performance counter)
    uint32_t latencyReportedAt_ = 0;
};

}  // namespace tactra
