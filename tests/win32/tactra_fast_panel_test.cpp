// Tactra keeps up with a fast panel: with a probe window of this program in front,
// whose program name has a profile in "Tactra.ini", Tactra replays ten seconds of
// one finger held still at 200 reports a second and then a two-finger flick to the
// right. Each report costs Tactra's user-interface thread a little time; if the
// reports cost more than they are apart, Tactra falls behind the panel and the
// flick's samples, processed late in a burst, are no flick any more. The flick's key
// must reach the probe within a second of its time in the trace.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/probe_window_win32.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace testing {
namespace {

constexpr int kHoldStartMs = 2500;  // time for the test to bring the probe to the front
constexpr int kHoldMs = 10000;
constexpr int kReportSpacingMs = 5;  // 200 reports a second

// Raw panel units are screen pixels (panel 1024 x 768 on the 1024 x 768 screen).
// Returns the trace; `keyTick` is when the flick's key is due.
std::string SessionTrace(int& keyTick) {
    std::string t = "panel 1024 768\n";
    char line[96];
    int tick = kHoldStartMs;
    for (; tick <= kHoldStartMs + kHoldMs; tick += kReportSpacingMs) {
        std::snprintf(line, sizeof line, "at %d touch 300,200 -\n", tick);
        t += line;
    }
    std::snprintf(line, sizeof line, "at %d touch - -\n", tick);
    t += line;
    // Two fingers rest past their down phase, then move right 10 px every 20 ms;
    // the move that takes them beyond 100 px plays the flick.
    const int flick = tick + 200;
    for (int step = 0; step <= 28; ++step) {
        const int dx = step < 17 ? 0 : 10 * (step - 16);
        std::snprintf(line, sizeof line, "at %d touch %d,300 %d,450\n", flick + 20 * step, 400 + dx,
                      400 + dx);
        t += line;
        if (dx == 110) keyTick = flick + 20 * step;
    }
    std::snprintf(line, sizeof line, "at %d touch - -\n", flick + 20 * 29);
    t += line;
    return t;
}

TEST(TactraFastPanel, FlickAfterTenSecondsOfReportsArrivesOnTime) {
    ProbeWindow probe("TactraFastPanelProbe", "Fast panel probe");
    ASSERT_NE(probe.Handle(), nullptr);

    int keyTick = 0;
    const std::string folder = TactraProcess::MakeEmptyFolder("fastpanel");
    std::ofstream(folder + "\\Tactra.ini", std::ios::binary) << ProbeProfile(ProgramName());
    std::ofstream(folder + "\\session.trace", std::ios::binary) << SessionTrace(keyTick);
    ASSERT_GT(keyTick, 0);

    TactraProcess::SetWineVersion("winxp64");  // major version 5, the main target
    TactraProcess app;
    ASSERT_TRUE(app.Start(folder, "--replay session.trace"));
    // The replay's clock starts when timer 1 first opens the panel, 100 ms after
    // the main dialog's initialisation, which Start has waited for.
    const DWORD started = GetTickCount();
    ASSERT_TRUE(probe.BringToFront());

    const DWORD due = started + static_cast<DWORD>(keyTick);
    while (probe.RightKeyTime() == 0 &&
           GetTickCount() - started < static_cast<DWORD>(keyTick) + 10000)
        Pump(20);
    ASSERT_NE(probe.RightKeyTime(), 0u) << "the flick's key never arrived";
    const long late = static_cast<long>(probe.RightKeyTime() - due);
    EXPECT_LE(late, 1000) << "the flick's key came " << late << " ms after its time";
}

}  // namespace
}  // namespace testing
}  // namespace tactra
