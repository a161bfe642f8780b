// Random report sequences and random profile files through the whole path
// (decode, map, batch, refresh, match, engine, executor), bounded so that it runs
// in every test run; under the sanitizers natively.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/replay/replay_session.h"

namespace fs = std::filesystem;
using namespace tactra;

namespace {

constexpr int kTraces = 20;
constexpr int kStepsPerTrace = 200;

std::string RandomValue(std::mt19937& rng) {
    static const char* const kValues[] = {"0",          "1",           "2",           "8",    "9",
                                          "16",         "17",          "-1",          "2048", "33",
                                          "2147483647", "-2147483648", "99999999999", "",     "abc",
                                          "9x",         " 12",         "(null)",      "2049", "65"};
    return kValues[rng() % (sizeof kValues / sizeof kValues[0])];
}

std::string RandomProfileFile(std::mt19937& rng) {
    static const char* const kSections[] = {"app.exe", "Viewer", "<unknown>", "", "A", "x y"};
    std::string text;
    const int sections = static_cast<int>(rng() % 4);
    for (int s = 0; s < sections; ++s) {
        text += std::string("[") + kSections[rng() % 6] + "]\r\n";
        for (int g = 0; g < kGestureCount; ++g) {
            for (const char* suffix : {".Case", ".Code", ".Up"}) {
                if (rng() % 4 == 0) continue;
                text += std::string(kGestureNames[g]) + suffix + "=" + RandomValue(rng) + "\r\n";
            }
        }
    }
    return text;
}

uint16_t RandomRaw(std::mt19937& rng, uint16_t last) {
    switch (rng() % 4) {
        case 0:
            return static_cast<uint16_t>(rng());  // anywhere
        case 1:
            return static_cast<uint16_t>(rng() % 2) * 65535;  // extremes
        default:
            return static_cast<uint16_t>(last + static_cast<int>(rng() % 81) - 40);  // nearby
    }
}

std::vector<TraceStep> RandomTrace(std::mt19937& rng) {
    std::vector<TraceStep> steps;
    uint32_t tick = 0;
    uint16_t raw[4] = {2000, 2000, 2500, 2000};
    auto add = [&](TraceOp op) -> TraceStep& {
        steps.emplace_back();
        steps.back().op = op;
        steps.back().tick = tick;
        return steps.back();
    };
    add(TraceOp::kMode).args = {96 + static_cast<int64_t>(rng() % 3)};
    if (rng() % 2) add(TraceOp::kAdapter).texts = {"ATI Technologies Inc."};
    if (rng() % 2)
        add(TraceOp::kPanel).args = {1 + static_cast<int64_t>(rng() % 65535),
                                     1 + static_cast<int64_t>(rng() % 65535)};
    if (rng() % 3) add(TraceOp::kFile).texts = {"Tactra.ini", RandomProfileFile(rng)};
    for (int i = 0; i < kStepsPerTrace; ++i) {
        tick += rng() % 5 == 0 ? rng() % 2000 : rng() % 40;
        const unsigned what = rng() % 100;
        if (what < 80) {
            TraceStep& s = add(TraceOp::kReport);
            for (uint16_t& r : raw) r = RandomRaw(rng, r);
            const bool t1 = rng() % 5 != 0, t2 = rng() % 3 == 0;
            s.bytes = {1,
                       uint8_t(t1 | (rng() % 4 == 0 ? 0xFE : 0)),
                       uint8_t(rng()),
                       uint8_t(raw[0]),
                       uint8_t(raw[0] >> 8),
                       uint8_t(raw[1]),
                       uint8_t(raw[1] >> 8),
                       uint8_t(t2),
                       uint8_t(rng()),
                       uint8_t(raw[2]),
                       uint8_t(raw[2] >> 8),
                       uint8_t(raw[3]),
                       uint8_t(raw[3] >> 8)};
            if (rng() % 200 == 0) s.bytes[0] = static_cast<uint8_t>(rng());
        } else if (what < 84) {
            add(TraceOp::kDisplay).args = {static_cast<int64_t>(rng() % 3 ? 1024 : rng() % 65536),
                                           static_cast<int64_t>(rng() % 3 ? 768 : rng() % 65536),
                                           static_cast<int64_t>(rng() % 4)};
        } else if (what < 86) {
            add(TraceOp::kDisplayFail);
        } else if (what < 89) {
            add(TraceOp::kForeground).texts = {rng() % 2 ? "app.exe" : "<unknown>",
                                               rng() % 2 ? "Viewer" : ""};
        } else if (what < 92) {
            add(TraceOp::kKeyboard).args = {std::vector<int64_t>{16, 17, 164}[rng() % 3],
                                            static_cast<int64_t>(rng() % 2)};
        } else if (what < 95) {
            add(TraceOp::kFile).texts = {
                rng() % 2 ? "Tactra.ini" : "Calibrate.ini",
                rng() % 2
                    ? RandomProfileFile(rng)
                    : "[Config]\r\nMinX=" + RandomValue(rng) + "\r\nMaxX=" + RandomValue(rng) +
                          "\r\nMinY=" + RandomValue(rng) + "\r\nMaxY=" + RandomValue(rng) + "\r\n"};
        } else if (what < 97) {
            add(TraceOp::kRemove).texts = {rng() % 2 ? "Tactra.ini" : "Calibrate.ini"};
        } else {
            add(TraceOp::kReopen);
        }
    }
    return steps;
}

}  // namespace

TEST(RandomReplay, RandomReportsAndProfilesRunCleanAndRepeatably) {
    const fs::path home = fs::current_path();
    const fs::path scratch = fs::path(::testing::TempDir());
    const fs::path work = scratch / "tactra-replay-work" / "random";
    std::mt19937 rng(20240611);
    for (int n = 0; n < kTraces; ++n) {
        const std::vector<TraceStep> steps = RandomTrace(rng);
        std::string first;
        for (int run = 0; run < 2; ++run) {
            fs::remove_all(work);
            fs::create_directories(work);
            fs::current_path(work);
            std::ostringstream out;
            {
                ReplayOptions options;
                options.printBatches = true;
                ReplaySession session(options, out);
                session.Run(steps);
                const GestureState& s = session.Engine();
                const TouchPhase p = s.fingers[kFinger1].phase;
                EXPECT_TRUE(p == TouchPhase::kMove || p == TouchPhase::kDown ||
                            p == TouchPhase::kUp || p == TouchPhase::kInRange);
            }
            fs::current_path(home);
            if (run == 0) {
                first = out.str();
            } else {
                EXPECT_EQ(out.str(), first) << "trace " << n << " is not deterministic";
            }
        }
    }
}
