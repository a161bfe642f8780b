#include "device/hid/reader_win32.h"

#include <windows.h>

#include <algorithm>

#include "device/screen/generic_screen.h"
#include "device/hid/hid_win32.h"
#include "device/screen/quirks.h"
#include "device/mapping/report_pipeline.h"
#include "platform/diagnostic_log.h"
#include "platform/win32/win32_display.h"

namespace tactra {

namespace {

DWORD WINAPI ReaderThreadStart(LPVOID parameter) {
    return static_cast<DWORD>(static_cast<PanelReader*>(parameter)->ThreadLoop());
}

// Waits up to `timeoutMs` for `thread` to end. Messages that other threads send to
// this thread's windows are handled meanwhile: a reading thread waiting for the
// window to take its batch can then finish and see that it is to stop.
bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD elapsed = GetTickCount() - start;
        const DWORD left = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
        const DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (wait == WAIT_OBJECT_0) return true;
        if (wait != WAIT_OBJECT_0 + 1 || left == 0) {
            return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        }
    }
}

// The sources' failures and the reading thread's last line, each worded here once.
Result PanelReadFailed(DWORD error) {
    return Result::Failure("the panel read failed (error %lu)", error);
}
Result ScreenReadFailed(DWORD error) {
    return Result::Failure("the touch screen read failed (error %lu)", error);
}
Result Stopped() { return Result::Failure("stopped"); }
Result TraceOver() { return Result::Failure("the replayed trace is over"); }
void WriteReadingEnded(DiagnosticLog& log, const char* reason) {
    log.Write("reading ended: %s", reason);
}

// Takes a shared handle out of its place so that only one side closes it.
HANDLE TakeHandle(void* volatile& place) {
    return static_cast<HANDLE>(
        InterlockedExchangePointer(const_cast<PVOID volatile*>(&place), nullptr));
}

}  // namespace

// ---------------------------------------------------------------- sources

struct HidPanelSource::PendingRead {
    OVERLAPPED overlapped = {};
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool issued = false;  // a read that ReadWithin left waiting
    ~PendingRead() {
        if (done != nullptr) CloseHandle(done);
    }
};

HidPanelSource::HidPanelSource(std::string path)
    : read_(new PendingRead),
      wake_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      path_(std::move(path)) {}

HidPanelSource::~HidPanelSource() {
    if (wake_ != nullptr) CloseHandle(wake_);
}

void HidPanelSource::Wake() {
    if (wake_ != nullptr) SetEvent(wake_);
}

Result HidPanelSource::Open(PanelDevice& device) {
    ResetPanelDevice(device);
    if (wake_ == nullptr || read_->done == nullptr)
        return Result::Failure("no events to read with");
    ResetEvent(wake_);
    read_->issued = false;
    PanelOpenOptions options;
    options.overlapped = true;
    options.acceptTouchScreens = true;
    if (!path_.empty()) {
        if (Result opened = OpenPanelAt(device, path_, options); !opened) {
            ResetPanelDevice(device);
            return opened;
        }
    } else {
        if (CountPanels(options) == 0) return NoPanelFound(options.vendorId);
        if (Result opened = OpenFirstPanel(device, options); !opened) return opened;
    }
    if (Result ranges = ReadValueRanges(device); !ranges) {
        // The descriptor changed under us or cannot be read now: not a panel.
        ClosePanelHandle(device.handle);
        ResetPanelDevice(device);
        return ranges;
    }
    if (device.touchScreen) {
        // A screen starts in mouse mode, also after it was plugged back; the reading
        // goes on whether it took the Device Mode or not.
        SetDeviceModeOrLog(device);
        return Result::Success();
    }
    // The start goes on whether the panel took the start report or not.
    if (Result start = SendStartReport(device); !start)
        ProcessLog().Write("start report: %s", start.ReasonText());
    return Result::Success();
}

Result HidPanelSource::ReadWithin(const PanelDevice& device, uint8_t* buffer, uint32_t timeoutMs,
                                  bool& timedOut) {
    timedOut = false;
    OVERLAPPED& overlapped = read_->overlapped;
    DWORD read = 0;
    if (!read_->issued) {
        ZeroMemory(&overlapped, sizeof overlapped);
        overlapped.hEvent = read_->done;
        if (!ReadFile(device.handle, buffer, device.inputReportLength, nullptr, &overlapped)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) return ScreenReadFailed(error);
        }
        read_->issued = true;
    }
    const HANDLE waits[2] = {read_->done, wake_};
    const DWORD wait = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
    if (wait == WAIT_TIMEOUT) {
        timedOut = true;
        return Result::Success();
    }
    read_->issued = false;
    if (wait != WAIT_OBJECT_0) {
        CancelIo(device.handle);
        GetOverlappedResult(device.handle, &overlapped, &read, TRUE);
        return Stopped();
    }
    if (!GetOverlappedResult(device.handle, &overlapped, &read, TRUE))
        return ScreenReadFailed(GetLastError());
    if (read != device.inputReportLength) {
        return Result::Failure("a read of %lu bytes, the touch screen's reports have %u", read,
                               static_cast<unsigned>(device.inputReportLength));
    }
    return Result::Success();
}

void HidPanelSource::EndRead(const PanelDevice& device) {
    if (!read_->issued) return;
    read_->issued = false;
    DWORD read = 0;
    CancelIo(device.handle);
    GetOverlappedResult(device.handle, &read_->overlapped, &read, TRUE);
}

Result HidPanelSource::Read(const PanelDevice& device, uint8_t* buffer) {
    OVERLAPPED& overlapped = read_->overlapped;
    ZeroMemory(&overlapped, sizeof overlapped);
    overlapped.hEvent = read_->done;
    DWORD read = 0;
    if (!ReadFile(device.handle, buffer, device.inputReportLength, nullptr, &overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return PanelReadFailed(error);
        const HANDLE waits[2] = {read_->done, wake_};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            // Woken: this thread issued the read, so it can cancel it; the read is over
            // once its result is in.
            CancelIo(device.handle);
            GetOverlappedResult(device.handle, &overlapped, &read, TRUE);
            return Stopped();
        }
    }
    if (!GetOverlappedResult(device.handle, &overlapped, &read, TRUE))
        return PanelReadFailed(GetLastError());
    // A short read leaves stale bytes behind: treat it as a broken panel.
    if (read != device.inputReportLength) {
        return Result::Failure("a read of %lu bytes, the panel's reports have %u", read,
                               static_cast<unsigned>(device.inputReportLength));
    }
    return Result::Success();
}

ReplayPanelSource::ReplayPanelSource(ReplayScript script)
    : script_(std::move(script)), wake_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

ReplayPanelSource::~ReplayPanelSource() {
    if (wake_ != nullptr) CloseHandle(wake_);
}

void ReplayPanelSource::Wake() {
    if (wake_ != nullptr) SetEvent(wake_);
}

std::unique_ptr<ReplayPanelSource> ReplayPanelSource::Load(const std::string& path,
                                                           std::string& message) {
    ReplayScript script;
    if (!LoadReplayScript(path, script, message)) return nullptr;
    return std::make_unique<ReplayPanelSource>(std::move(script));
}

Result ReplayPanelSource::Open(PanelDevice& device) {
    ResetPanelDevice(device);
    // The trace is over: unplugged.
    if (next_ >= script_.reports.size()) return TraceOver();
    // The replayed panel's handle: an event that is never signalled.
    HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (handle == nullptr || wake_ == nullptr) {
        if (handle != nullptr) CloseHandle(handle);
        return Result::Failure("no events to replay with");
    }
    ResetEvent(wake_);
    if (!started_) {
        started_ = true;
        startTick_ = GetTickCount();
    }
    const ReplayReport& next = script_.reports[next_];
    device.handle = handle;
    device.openFlag = true;
    device.inputReportLength = script_.inputReportLength;
    device.outputReportLength = 0;
    device.featureReportLength = 0;
    device.logicalMaxX = next.logicalMaxX;
    device.logicalMaxY = next.logicalMaxY;
    device.attributes.vendorId = kPanelVendorId;
    device.path = script_.path;
    if (script_.screen) {
        // The screen's positions are scaled to the trace's panel maxima, as
        // tactra-replay scales them.
        device.touchScreen = true;
        device.layout = script_.layout;
        device.attributes.vendorId = script_.vendorId;
        device.attributes.productId = script_.productId;
    }
    return Result::Success();
}

Result ReplayPanelSource::ReadWithin(const PanelDevice& device, uint8_t* buffer, uint32_t timeoutMs,
                                     bool& timedOut) {
    timedOut = false;
    if (next_ >= script_.reports.size()) return TraceOver();
    const ReplayReport& report = script_.reports[next_];
    const uint32_t begun = GetTickCount();
    for (;;) {
        const uint32_t now = GetTickCount();
        const uint32_t elapsed = now - startTick_;
        if (elapsed >= report.tick) break;
        const uint32_t waited = now - begun;
        if (waited >= timeoutMs) {
            timedOut = true;
            return Result::Success();
        }
        const uint32_t untilReport = report.tick - elapsed;
        const uint32_t untilTimeout = timeoutMs - waited;
        const DWORD wait =
            WaitForSingleObject(wake_, untilReport < untilTimeout ? untilReport : untilTimeout);
        if (wait != WAIT_TIMEOUT) return Stopped();
    }
    const size_t length = device.inputReportLength;
    for (size_t i = 0; i < length; ++i) buffer[i] = i < report.bytes.size() ? report.bytes[i] : 0;
    ++next_;
    return Result::Success();
}

Result ReplayPanelSource::Read(const PanelDevice& device, uint8_t* buffer) {
    if (next_ >= script_.reports.size()) return TraceOver();
    const ReplayReport& report = script_.reports[next_];
    // Wait until the report's time, unless the reader is being stopped.
    for (;;) {
        const uint32_t elapsed = GetTickCount() - startTick_;
        if (elapsed >= report.tick) break;
        const DWORD wait = WaitForSingleObject(wake_, report.tick - elapsed);
        if (wait != WAIT_TIMEOUT) return Stopped();
    }
    const size_t length = device.inputReportLength;
    for (size_t i = 0; i < length; ++i) buffer[i] = i < report.bytes.size() ? report.bytes[i] : 0;
    ++next_;
    return Result::Success();
}

SharedTraceRecorder::SharedTraceRecorder(TraceRecorder& recorder)
    : recorder_(recorder), lock_(new CRITICAL_SECTION) {
    InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(lock_));
}

SharedTraceRecorder::~SharedTraceRecorder() {
    DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(lock_));
    delete static_cast<CRITICAL_SECTION*>(lock_);
}

// Under the lock: the `device` lines the next line of `path` needs.
void SharedTraceRecorder::Enter(const std::string& path, uint32_t tick) {
    EnterCriticalSection(static_cast<CRITICAL_SECTION*>(lock_));
    size_t index = std::find(paths_.begin(), paths_.end(), path) - paths_.begin();
    if (index == paths_.size()) {
        paths_.push_back(path);
        if (index == 1) {
            // A second device: the first is named now; its lines so far are its own.
            recorder_.Device(tick, "d1", paths_[0], true);
        }
        if (index >= 1) recorder_.Device(tick, "d" + std::to_string(index + 1), path, true);
    } else if (index != current_) {
        recorder_.Device(tick, "d" + std::to_string(index + 1), path, false);
    }
    current_ = index;
}

void SharedTraceRecorder::Leave() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(lock_)); }

void SharedTraceRecorder::Panel(const std::string& path, uint32_t tick, int32_t maxX,
                                int32_t maxY) {
    Enter(path, tick);
    recorder_.Panel(tick, maxX, maxY);
    Leave();
}

void SharedTraceRecorder::Screen(const std::string& path, uint32_t tick,
                                 const PanelDevice& device) {
    Enter(path, tick);
    // The system gives a program no way to read a descriptor: the layout stands in.
    recorder_.Ids(tick, device.attributes.vendorId, device.attributes.productId);
    recorder_.Layout(tick, device.layout);
    Leave();
}

void SharedTraceRecorder::Report(const std::string& path, uint32_t tick, const uint8_t* data,
                                 size_t length) {
    Enter(path, tick);
    recorder_.Report(tick, data, length);
    Leave();
}

void SharedTraceRecorder::Input(const std::string& path, uint32_t tick, const uint8_t* data,
                                size_t length) {
    Enter(path, tick);
    recorder_.Input(tick, data, length);
    Leave();
}

Result RecordingPanelSource::Open(PanelDevice& device) {
    Result opened = inner_.Open(device);
    if (!opened) return opened;
    const uint32_t now = GetTickCount();
    if (device.touchScreen) {
        recorder_.Screen(device.path, now, device);
    } else {
        recorder_.Panel(device.path, now, device.logicalMaxX, device.logicalMaxY);
    }
    return opened;
}

Result RecordingPanelSource::Read(const PanelDevice& device, uint8_t* buffer) {
    Result read = inner_.Read(device, buffer);
    if (read) recorder_.Report(device.path, GetTickCount(), buffer, device.inputReportLength);
    return read;
}

Result RecordingPanelSource::ReadWithin(const PanelDevice& device, uint8_t* buffer,
                                        uint32_t timeoutMs, bool& timedOut) {
    Result read = inner_.ReadWithin(device, buffer, timeoutMs, timedOut);
    if (read && !timedOut) {
        if (!device.touchScreen) {
            recorder_.Report(device.path, GetTickCount(), buffer, device.inputReportLength);
        } else {
            // As the device sent it: without the ID byte the system puts before an
            // ID-less device's report.
            const size_t skip = device.layout.reportId == 0 ? 1 : 0;
            if (device.inputReportLength > skip) {
                recorder_.Input(device.path, GetTickCount(), buffer + skip,
                                device.inputReportLength - skip);
            }
        }
    }
    return read;
}

ReaderSetup CalibratedReaderSetup(const PanelDevice& device) {
    Win32Display display;
    return LoadPanelMapping(display, device.logicalMaxX, device.logicalMaxY);
}

// ---------------------------------------------------------------- reader

PanelReader::PanelReader(PanelSource& source)
    : source_(source),
      setupHook_(CalibratedReaderSetup),
      touchMessage_(RegisterWindowMessageA("WM_TOUCH")) {
    device_.handle = nullptr;
    started_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

PanelReader::~PanelReader() {
    Stop();
    if (started_ != nullptr) CloseHandle(started_);
}

bool PanelReader::Running() const { return running_ != 0; }
void* PanelReader::ThreadHandle() const { return thread_; }
void* PanelReader::PanelHandle() const { return panel_; }

Result PanelReader::StartReading(void* window) {
    // One reading thread at a time: the buffers below are the running thread's.
    if (thread_ != nullptr) DropThreadAndPanel();
    if (Result opened = source_.Open(device_); !opened) {
        device_.handle = InvalidPanelHandle();
        return opened;
    }
    if (!device_.touchScreen && device_.inputReportLength < kPanelReportMinLength) {
        const unsigned length = device_.inputReportLength;
        ClosePanelHandle(device_.handle);
        ResetPanelDevice(device_);
        return Result::Failure("the panel's reports (%u bytes) are shorter than %u bytes", length,
                               static_cast<unsigned>(kPanelReportMinLength));
    }
    setup_ = setupHook_ ? setupHook_(device_) : CalibratedReaderSetup(device_);
    smoother_ = ContactSmoother();
    smoother_.SetStrength(setup_.settings.smoothing);
    target_ = window;
    panel_ = device_.handle;
    report_.assign(device_.inputReportLength, 0);
    InterlockedExchange(&running_, 1);
    InterlockedExchange(&stopRequested_, 0);
    if (started_ != nullptr) ResetEvent(started_);
    // The record buffer is a member: it exists before the thread and outlives it.
    HANDLE thread = CreateThread(nullptr, 0, ReaderThreadStart, this, 0, nullptr);
    if (thread == nullptr) {
        const DWORD error = GetLastError();
        InterlockedExchange(&running_, 0);
        ClosePanelHandle(TakeHandle(panel_));
        device_.handle = nullptr;
        return Result::Failure("the reading thread cannot be started (error %lu)", error);
    }
    // The thread may already have ended and found no handle to close; then this
    // start's handle is closed here instead.
    InterlockedExchangePointer(const_cast<PVOID volatile*>(&thread_), thread);
    if (started_ != nullptr) {
        const HANDLE waits[2] = {started_, thread};
        WaitForMultipleObjects(2, waits, FALSE, kThreadStartWaitMs);
    }
    if (running_ == 0) {
        HANDLE own = TakeHandle(thread_);
        if (own != nullptr) {
            WaitForSingleObject(own, INFINITE);
            CloseHandle(own);
        }
    }
    return Result::Success();
}

long PanelReader::ThreadLoop() {
    if (started_ != nullptr) SetEvent(started_);
    LARGE_INTEGER frequency;
    counterFrequency_ = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
    latencyReportedAt_ = GetTickCount();
    HWND window = static_cast<HWND>(target_);
    if (window == nullptr || !IsWindow(window)) {
        EndThread();
        return -1;
    }
    // The thread's own display port: with a monitor chosen, every report is scaled to
    // the screen its positions go to, as listed at most kDesktopKeepMs ago.
    Win32Display display(kDesktopKeepMs);
    if (device_.touchScreen) {
        ScreenLoop(window, display);
        EndThread();
        return 0;
    }
    uint8_t* buffer = report_.data();
    DiagnosticLog& log = ProcessLog();
    for (;;) {
        if (stopRequested_) break;
        if (Result read = source_.Read(device_, buffer); !read) {
            if (!stopRequested_) Vanished(window, read.ReasonText());
            break;
        }
        if (stopRequested_) break;
        LARGE_INTEGER readAt;
        QueryPerformanceCounter(&readAt);
        // A report too short or of another ID ends the reading.
        ReportBatch batch;
        const ReportOutcome outcome = ReportToBatch(
            builder_, buffer, report_.size(), setup_.limits, ReportScreenScale(display, setup_),
            device_.handle, GetTickCount(), records_, batch, &smoother_);
        if (outcome != ReportOutcome::kBatch) {
            WriteReadingEnded(log, outcome == ReportOutcome::kTooShort
                                       ? "a report shorter than the panel's"
                                       : "a report of another ID");
            break;
        }
        if (log.Verbose()) {
            log.Write("report: %d record(s), contact 1 %s at %d,%d, contact 2 %s at %d,%d",
                      batch.count, batch.report.contact1.Touching() ? "down" : "up",
                      batch.report.contact1.x, batch.report.contact1.y,
                      batch.report.contact2.Touching() ? "down" : "up", batch.report.contact2.x,
                      batch.report.contact2.y);
        }
        if (batch.count > 0) {
            SendMessageA(window, touchMessage_, static_cast<WPARAM>(batch.count),
                         reinterpret_cast<LPARAM>(records_));
            Delivered(readAt.QuadPart);
        }
    }
    ReportLatency(true);
    EndThread();
    return 0;
}

// The device is gone mid-reading: the log says why, the contacts start afresh at the
// next opening, and the window's engine lets go of the touch that vanished.
void PanelReader::Vanished(void* window, const char* reason) {
    WriteReadingEnded(ProcessLog(), reason);
    builder_ = BatchBuilder(ReaderRule::kTactra);
    SendMessageA(static_cast<HWND>(window), ReadingEndedMessage(), 0,
                 reinterpret_cast<LPARAM>(records_));
}

unsigned PanelReader::ReadingEndedMessage() {
    static const unsigned message = RegisterWindowMessageA("TactraReadingEnded");
    return message;
}

void PanelReader::Delivered(int64_t readAt) {
    // Measured for the verbose log only, which alone says the figures.
    if (!ProcessLog().Verbose()) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (counterFrequency_ > 0) {
        const int64_t us = (now.QuadPart - readAt) * 1000000 / counterFrequency_;
        latency_.Add(us < 0 ? 0u : us > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(us));
    }
    ReportLatency(false);
}

// Every kLatencyReportPeriodMs, and when the reading ends, one line in the verbose log.
void PanelReader::ReportLatency(bool final) {
    const uint32_t now = GetTickCount();
    if (!final && now - latencyReportedAt_ < kLatencyReportPeriodMs) return;
    latencyReportedAt_ = now;
    const LatencySummary summary = latency_.TakeSummary();
    DiagnosticLog& log = ProcessLog();
    if (log.Verbose() && summary.batches > 0)
        log.Write("%s", FormatLatencyLine(label_.empty() ? "panel" : label_, summary).c_str());
}

// A touch screen's reports: gathered into frames by the screen's layout, each frame
// handed on as the panel's report would be. A silence of kContactTimeoutMs lifts the
// contacts it left touching. Dropped reports are counted, never fatal.
void PanelReader::ScreenLoop(void* window, Display& display) {
    HWND target = static_cast<HWND>(window);
    DiagnosticLog& log = ProcessLog();
    const ContactLayout& layout = device_.layout;
    // The quirk table's row, with the fixes of the device's settings over it.
    GenericTouchScreen screen(
        layout, ApplyFixes(FindQuirks(device_.attributes.vendorId, device_.attributes.productId),
                           setup_.settings));
    // The range the open step reported as the maxima: kGenericPanelMax for a device.
    screen.SetPanelRange(device_.logicalMaxX, device_.logicalMaxY);
    uint8_t* buffer = report_.data();
    // The system puts a 0 ID byte before the report of a device that uses no IDs.
    const size_t skip = layout.reportId == 0 ? 1 : 0;
    const size_t length = report_.size() > skip ? report_.size() - skip : 0;
    uint32_t dropped = 0;
    bool framePerReportLogged = false;
    if (layout.slotsIgnored > 0 && log.Verbose()) {
        log.Write("touch screen: %d contact slots beyond the first %d ignored", layout.slotsIgnored,
                  kMaxContacts);
    }
    for (;;) {
        if (stopRequested_) break;
        bool timedOut = false;
        if (Result read = source_.ReadWithin(device_, buffer, kContactTimeoutMs, timedOut); !read) {
            if (!stopRequested_) Vanished(target, read.ReasonText());
            break;
        }
        if (stopRequested_) break;
        LARGE_INTEGER readAt;
        QueryPerformanceCounter(&readAt);
        readAt_ = readAt.QuadPart;
        const uint32_t now = GetTickCount();
        PanelInputReport frame;
        // Contacts silent too long are lifted first, also while others keep reporting,
        // as the replay tool lifts them whenever its clock moves.
        if (screen.Expire(now, frame)) Deliver(target, display, frame);
        if (timedOut) continue;
        const ScreenOutcome outcome = screen.Feed(buffer + skip, length, now, frame);
        if ((outcome == ScreenOutcome::kTooShort || outcome == ScreenOutcome::kUnknownReportId) &&
            log.Verbose()) {
            log.Write("touch screen report dropped (%s): %s",
                      outcome == ScreenOutcome::kTooShort ? "short" : "another report ID",
                      DescribeScreenCounters(screen.Counters()).c_str());
        }
        if (outcome == ScreenOutcome::kUnusableLayout && dropped++ == 0)
            log.Write("touch screen: its layout cannot be decoded");
        if (outcome != ScreenOutcome::kFrame) continue;
        if (screen.Counters().framePerReport && !framePerReportLogged && log.Verbose()) {
            framePerReportLogged = true;
            log.Write(
                "touch screen: its frames never complete (fewer slots than the contacts "
                "it announces); each report is read as a frame of its own");
        }
        if (screen.IgnoredInLastFrame() > 0 && log.Verbose())
            log.Write("touch screen: %d more contact(s) ignored", screen.IgnoredInLastFrame());
        Deliver(target, display, frame);
    }
    // A read left waiting by a timeout is over before the handle and buffer go.
    source_.EndRead(device_);
    ReportLatency(true);
    if (log.Verbose())
        log.Write("touch screen: %s", DescribeScreenCounters(screen.Counters()).c_str());
}

// A screen's frame, as the panel's report, to the window.
void PanelReader::Deliver(void* window, Display& display, const PanelInputReport& frame) {
    uint8_t bytes[kPanelReportMinLength];
    EncodePanelReport(frame, bytes);
    ReportBatch batch;
    if (ReportToBatch(builder_, bytes, sizeof bytes, setup_.limits,
                      ReportScreenScale(display, setup_), device_.handle, GetTickCount(), records_,
                      batch, &smoother_) != ReportOutcome::kBatch) {
        return;
    }
    DiagnosticLog& log = ProcessLog();
    if (log.Verbose()) {
        log.Write("frame: %d record(s), contact 1 %s at %d,%d, contact 2 %s at %d,%d", batch.count,
                  batch.report.contact1.Touching() ? "down" : "up", batch.report.contact1.x,
                  batch.report.contact1.y, batch.report.contact2.Touching() ? "down" : "up",
                  batch.report.contact2.x, batch.report.contact2.y);
    }
    if (batch.count > 0) {
        SendMessageA(static_cast<HWND>(window), touchMessage_, static_cast<WPARAM>(batch.count),
                     reinterpret_cast<LPARAM>(records_));
        Delivered(readAt_);
    }
}

// Running flag := 0, and whatever handles the restart procedure has not taken are
// closed and set to 0.
void PanelReader::EndThread() {
    InterlockedExchange(&running_, 0);
    ClosePanelHandle(TakeHandle(panel_));
    HANDLE own = TakeHandle(thread_);
    if (own != nullptr) CloseHandle(own);
}

void PanelReader::DropThreadAndPanel() {
    HANDLE thread = TakeHandle(thread_);
    if (thread != nullptr) {
        // A woken source ends the thread's wait for its next report, and the thread
        // ends by itself; termination is left for a thread that does not.
        InterlockedExchange(&stopRequested_, 1);
        source_.Wake();
        if (!WaitForThreadEnd(thread, kGracefulStopMs)) {
            TerminateThread(thread, static_cast<DWORD>(-1));
            // Termination completes asynchronously; the panel handle is closed only
            // once the thread can no longer use it.
            WaitForSingleObject(thread, kTerminateWaitMs);
        }
        CloseHandle(thread);
    }
    InterlockedExchange(&running_, 0);
    ClosePanelHandle(TakeHandle(panel_));
    device_.handle = nullptr;
}

void PanelReader::Restart(RestartTimer& timer, void* window) {
    DropThreadAndPanel();
    timer.Kill();
    const Result started = StartReading(window);
    if (started && Running()) {
        ProcessLog().Write("reading the panel");
    } else {
        ProcessLog().Write("no panel to read (%s): searching again in %u ms",
                           started ? "the reading ended at once" : started.ReasonText(),
                           static_cast<unsigned>(kRestartRetryPeriodMs));
        timer.Set(kRestartRetryPeriodMs);
    }
}

void PanelReader::Stop() { DropThreadAndPanel(); }

}  // namespace tactra
