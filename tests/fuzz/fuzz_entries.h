// The fuzz targets' entry points, shared by the libFuzzer programs in this folder
// and by the unit test that replays tests/fuzz/regressions/<target>/* natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "device/touch_report.h"
#include "device/trace.h"
#include "tools/replay/library_session.h"
#include "tools/replay/replay_session.h"

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

}  // namespace fuzz
}  // namespace tactra
