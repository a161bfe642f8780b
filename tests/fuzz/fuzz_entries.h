// The fuzz targets' entry points, shared by the libFuzzer programs in this folder
// and by the unit test that replays tests/fuzz/regressions/<target>/* natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <cstdio>

#include "device/mapping/calibration.h"
#include "device/screen/contact_layout.h"
#include "device/screen/generic_screen.h"
#include "device/screen/report_descriptor.h"
#include "device/mapping/report_pipeline.h"
#include "device/panel/touch_report.h"
#include "device/trace/trace.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input_sink.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"
#include "tools/replay/library_session.h"
#include "tools/replay/replay_session.h"
#include "tests/support/library_surroundings.h"
#include "tpinput/touch_library.h"

namespace tactra {
namespace fuzz {

// Arbitrary text through the trace parser, with and without the library's words.
inline int TraceParser(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool library : {false, true}) {
        TraceOptions options;
        options.library = library;
        std::vector<TraceStep> steps;
        TraceError error;
        ParseTrace(text, options, steps, error);
    }
    return 0;
}

// Arbitrary bytes split into reports, each decoded and built into a batch under
// both reader rules; a batch holds 0..2 records and never leaves a contact's state
// unlike the report's.
inline int ReportPath(const uint8_t* data, size_t size) {
    for (ReaderRule rule : {ReaderRule::kTactra, ReaderRule::kLibrary}) {
        BatchBuilder builder(rule);
        size_t at = 0;
        uint32_t tick = 0;
        while (at < size) {
            const size_t length = data[at] % 20;  // some reports too short
            ++at;
            const size_t n = length < size - at ? length : size - at;
            PanelInputReport report;
            tick += 7;
            if (DecodePanelReport(data + at, n, report) == DecodeResult::kOk) {
                TOUCHINPUT records[kTouchRecordCapacity] = {};
                const MappedPoint p1{report.contact1.x * 25, report.contact1.y * 25};
                const MappedPoint p2{report.contact2.x * 25, report.contact2.y * 25};
                const int count = builder.Build(report, p1, p2, nullptr, tick, records);
                if (count < 0 || count > 2) __builtin_trap();
                if (count > 0 && builder.Touching1() != report.contact1.Touching()) {
                    __builtin_trap();
                }
            }
            at += n;
        }
    }
    return 0;
}

// Arbitrary trace text run as a whole session, Tactra's and the library's, in the
// current directory (the caller provides a scratch folder).
inline int ReplaySessions(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;  // long traces add time, not paths
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool library : {false, true}) {
        TraceOptions options;
        options.library = library;
        std::vector<TraceStep> steps;
        TraceError error;
        if (!ParseTrace(text, options, steps, error)) continue;
        std::ostringstream out;
        if (library) {
            LibrarySession session(out);
            session.Run(steps);
        } else {
            ReplayOptions replayOptions;
            replayOptions.printBatches = true;
            ReplaySession session(replayOptions, out);
            session.Run(steps);
        }
    }
    return 0;
}

// Reads the fuzzer's bytes in order; zeros once they are used up.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ == size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    int32_t Int32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return static_cast<int32_t>(v);
    }
    // Up to `most` bytes, fewer at the end.
    std::string_view Take(size_t most) {
        const size_t n = most < size_ - at_ ? most : size_ - at_;
        const std::string_view out(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

inline void WriteWholeFile(const char* name, std::string_view bytes) {
    FILE* f = std::fopen(name, "wb");
    if (f == nullptr) __builtin_trap();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A profile made from the input's bytes written to `section`, read back after a
// refresh: what was written must come back.
inline void RoundTripProfile(ProfileStore& store, VirtualClock& clock, const std::string& section,
                             const uint8_t* data, size_t size) {
    AppProfile written;
    ByteReader values(data, size);
    for (GestureAction& a : written.actions) {
        a.kind = values.Int32() % 20;
        a.code = (values.Byte() & 1) ? kWheelActionCode : values.Int32();
        a.up = IsWheelAction(a) ? values.Int32() : 0;
    }
    if (!WriteProfile(store.Ini(), section.c_str(), written)) return;  // a full disk
    clock.Sleep(10);
    store.RefreshProfileSections();
    AppProfile back;
    store.ReadProfile(section, back);
    for (int g = 0; g < kGestureCount; ++g) {
        if (!(back.actions[g] == written.actions[g])) __builtin_trap();
    }
}

// Arbitrary content as "Tactra.ini" in the current directory (the caller provides a
// scratch folder) through the private-profile functions and the profile store: the
// section list, every section's actions, a profile written to one of the sections
// and read back after a refresh, a number written under an arbitrary key, a
// deleted section. The first byte chooses the section and whether the file exists
// (without it the store writes the default file). The files live in a memory file
// system when run-fuzz.sh finds one, so the writes' syncs cost little.
inline int ProfileFile(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    ByteReader in(data, size);
    const uint8_t choice = in.Byte();
    std::remove(kProfileFileName);
    if (choice != 0xFF) WriteWholeFile(kProfileFileName, in.Take(size));
    VirtualClock clock;
    ProfileStore store(clock, LocalFileSystem(), 5 + (choice & 1),
                       [] { return kLangChineseTaiwan; });
    store.RefreshProfileSections();
    const std::vector<std::string> sections = store.Sections();
    if (sections.empty()) return 0;
    // Every key read opens the file anew: one section's actions cover the parsing.
    const std::string section = sections[choice % sections.size()];
    AppProfile read;
    store.ReadProfile(section, read);
    // The profile's 24 writes rewrite the file 24 times: one input in four makes
    // them, the others one write of a number.
    if ((choice & 6) == 0) RoundTripProfile(store, clock, section, data, size);

    const std::string key(reinterpret_cast<const char*>(data), size < 16 ? size : 16);
    store.Ini().WriteNumber(section.c_str(), key.c_str(), static_cast<int32_t>(size));
    store.Ini().ReadText(section.c_str(), key.c_str(), nullptr);
    store.Ini().DeleteSection(section.c_str());
    clock.Sleep(10);
    store.RefreshProfileSections();
    return 0;
}

// Arbitrary bytes as a script of the library's life: reports of any length and
// content, registrations, calibration captures with down/move/up events of any
// point (which write "Calibrate.ini" in the current directory, read again by the
// next report), display changes, a chosen monitor anywhere on a desktop of any
// size, the clock, and GetTouchInputInfo's copy.
inline int LibraryReports(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    std::remove(kCalibrationFileName);
    ByteReader in(data, size);
    VirtualClock clock;
    testing::LibrarySurroundings s;
    CalibrationFile calibration(LocalFileSystem(), clock);
    const LibraryPorts ports = s.Ports(clock, calibration);
    TouchLibraryState state;
    s.Register(state);
    int writes = 0;  // a file write costs more than the rest of an input: a few suffice
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        clock.Sleep(op >> 4);
        switch (op & 0x0F) {
            case 0: {  // a report of the panel's layout with arbitrary positions
                const uint8_t flags = in.Byte();
                const std::vector<uint8_t> r = MakeTouchReport(
                    flags & 1, static_cast<uint16_t>(in.Int32()), static_cast<uint16_t>(in.Int32()),
                    flags & 2, static_cast<uint16_t>(in.Int32()),
                    static_cast<uint16_t>(in.Int32()));
                ProcessPanelReport(state, ports, r.data(), r.size());
                break;
            }
            case 1: {  // raw bytes of any length
                const std::string_view bytes = in.Take(in.Byte() % 24);
                ProcessPanelReport(state, ports, reinterpret_cast<const uint8_t*>(bytes.data()),
                                   bytes.size());
                break;
            }
            case 2: {
                const bool start = in.Byte() & 1;
                if (start || ++writes <= 3) ApplySetCalibrate(state, ports, start);
                break;
            }
            case 3:
                ApplyCalibrateEvent(state, ports, in.Byte() % 6, in.Byte() % 7);
                break;
            case 4:
                clock.Sleep(static_cast<uint32_t>(in.Int32()));
                break;
            case 5:
                s.mode.width =
                    in.Byte() % 4 == 0 ? 0 : 1 + static_cast<uint16_t>(in.Int32()) % 5000;
                s.mode.height =
                    in.Byte() % 4 == 0 ? 0 : 1 + static_cast<uint16_t>(in.Int32()) % 5000;
                s.displayFails = in.Byte() % 8 == 0;
                break;
            case 6:
                s.major = in.Byte() % 8;
                break;
            case 7:
                CompleteRegistration(state, reinterpret_cast<void*>(0x20), 0xC001,
                                     in.Byte() % 2 ? kMouseEmulationMode : 0);
                break;
            case 8: {
                TOUCHINPUT copy[kTouchRecordCapacity + 1] = {};
                const uint32_t count = in.Byte() % (kTouchRecordCapacity + 2);
                const bool copied = CopyTouchRecords(state, state.recordBlock.get(), count, copy,
                                                     sizeof(TOUCHINPUT));
                if (copied && state.recordsInBlock > 2) __builtin_trap();
                break;
            }
            case 9:  // a calibration file of arbitrary text
                if (++writes > 3) break;
                WriteWholeFile(kCalibrationFileName, in.Take(in.Byte()));
                clock.Sleep(2000);
                break;
            case 10: {  // the monitor "M", chosen, on a virtual screen that may not hold it
                if (++writes > 3) break;
                MonitorInfo m;
                m.name = "M";
                m.rect = {static_cast<int16_t>(in.Int32()), static_cast<int16_t>(in.Int32()),
                          static_cast<uint16_t>(in.Int32()) % 5000u,
                          static_cast<uint16_t>(in.Int32()) % 5000u};
                m.orientation = in.Byte() % 4;
                s.layout.monitors = {m};
                s.layout.virtualScreen = {static_cast<int16_t>(in.Int32()),
                                          static_cast<int16_t>(in.Int32()),
                                          static_cast<uint16_t>(in.Int32()) % 10000u,
                                          static_cast<uint16_t>(in.Int32()) % 10000u};
                s.hasDesktop = in.Byte() % 8 != 0;
                WriteWholeFile(kCalibrationFileName, "[Config]\r\nMonitor=M\r\n");
                clock.Sleep(2000);
                break;
            }
            default:
                break;
        }
        if (s.faults != 0) __builtin_trap();
    }
    return 0;
}

// Arbitrary bytes as a touch screen's life: two bytes give the length of a report
// descriptor that follows, one byte the quirks, the rest a script of reports (a
// tick step, a length, the bytes) and silences. A refused descriptor says why; an
// accepted one gives a layout that passes its checks and reads back equal from its
// text. Every report goes through the layout's decoding and the screen's frames
// (which never read past a report), every frame through the panel's path to a batch.
inline int DescriptorLayout(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    ByteReader in(data, size);
    const size_t length = static_cast<size_t>(in.Byte()) << 8 | in.Byte();
    const std::string_view descriptor = in.Take(length);
    ContactLayout layout;
    std::string reason;
    if (!ParseReportDescriptor(reinterpret_cast<const uint8_t*>(descriptor.data()),
                               descriptor.size(), layout, reason)) {
        if (reason.empty()) __builtin_trap();
        // The same bytes as a layout's text form.
        ParseContactLayout(std::string(descriptor), layout, reason);
        return 0;
    }
    ContactLayout back;
    if (!CheckContactLayout(layout, reason) ||
        !ParseContactLayout(FormatContactLayout(layout), back, reason) || back != layout) {
        __builtin_trap();
    }
    const uint8_t q = in.Byte();
    DeviceQuirks quirks;
    quirks.validBit = static_cast<ValidBit>(q % 3);
    quirks.contactIdUnusable = q & 0x04;
    quirks.idsStartAtOne = q & 0x08;
    quirks.noContactCount = q & 0x10;
    quirks.swapXY = q & 0x20;
    quirks.invertX = q & 0x40;
    quirks.liftWhenNotSeen = q & 0x80;
    GenericTouchScreen screen(layout, quirks);
    BatchBuilder builder(ReaderRule::kTactra);
    const CalibrationLimits limits = LoadCalibrationLimits(4095, 4095);
    const ScreenScale scale = MakeScreenScale(1024, 768);
    uint32_t tick = 0;
    while (!in.Empty()) {
        tick += in.Byte();
        const uint8_t how = in.Byte();
        PanelInputReport frame;
        bool got = false;
        if (how == 0xFF) {
            got = screen.Expire(tick, frame);
        } else {
            // Most reports are whole; some cut short or longer.
            const size_t n =
                (how & 0x80) ? layout.inputReportLength : how % (layout.inputReportLength + 2u);
            std::vector<uint8_t> report(n, 0);
            const std::string_view bytes = in.Take(n);
            std::copy(bytes.begin(), bytes.end(), report.begin());
            if (!report.empty() && layout.reportId != 0 && (how & 0x40)) {
                report[0] = layout.reportId;
            }
            got = screen.Feed(report.data(), report.size(), tick, frame) == ScreenOutcome::kFrame;
        }
        if (!got) continue;
        uint8_t bytes[kPanelReportMinLength];
        EncodePanelReport(frame, bytes);
        TOUCHINPUT records[kTouchRecordCapacity] = {};
        ReportBatch batch;
        if (ReportToBatch(builder, bytes, sizeof bytes, limits, scale, nullptr, tick, records,
                          batch) != ReportOutcome::kBatch ||
            batch.count < 0 || batch.count > 2) {
            __builtin_trap();
        }
    }
    return 0;
}

}  // namespace fuzz
}  // namespace tactra
