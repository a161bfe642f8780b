// The replay's picture (--svg): drawn inside its canvas for every trace, positions
// as the engine sees them, text that XML can carry, and no file where the replay is
// refused. Well-formedness, contact paths and gesture labels: tests/scripts/check-svg.cmake.
#include "tools/replay/session_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/replay/replay_session.h"

namespace fs = std::filesystem;

namespace tactra {
namespace {

using testing::CurrentDirectoryScope;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::vector<fs::path> AllTraces() {
    std::vector<fs::path> traces;
    for (const char* dir : {"examples", "tests/traces"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(TACTRA_SOURCE_DIR) / dir)) {
            const fs::path& p = entry.path();
            if (p.extension() == ".trace" && p.stem() != "malformed") traces.push_back(p);
        }
    }
    std::sort(traces.begin(), traces.end());
    return traces;
}

ReplayOptions OptionsOf(const fs::path& trace) {
    ReplayOptions options;
    const std::string text = ReadBytes(trace.string());
    const std::string head = text.substr(0, text.find('\n', text.find('\n') + 1));
    options.printBatches = head.find("--batches") != std::string::npos;
    options.library = head.find("--library") != std::string::npos;
    return options;
}

// The picture of `trace`, drawn in a fresh directory.
std::string Draw(const fs::path& trace, int* status = nullptr) {
    TempDir dir;
    CurrentDirectoryScope scope(dir.Dir());
    ReplayOptions options = OptionsOf(trace);
    options.workDir = (dir.Dir() / "work").string();
    fs::create_directories(options.workDir);
    options.svgPath = dir.File("picture.svg");
    std::ostringstream out, err;
    const int result = RunReplay(trace.string(), options, out, err);
    if (status) *status = result;
    return ReadBytes(options.svgPath);
}

// The value of `name="..."` in an element's start tag ("" when absent).
std::string Attribute(const std::string& element, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const size_t at = element.find(key);
    if (at == std::string::npos) return "";
    const size_t from = at + key.size();
    return element.substr(from, element.find('"', from) - from);
}

double Number(const std::string& element, const std::string& name) {
    const std::string value = Attribute(element, name);
    return value.empty() ? 0 : std::stod(value);
}

// The numbers of a path's data, in order.
std::vector<double> PathNumbers(const std::string& d) {
    std::vector<double> v;
    const char* p = d.c_str();
    while (*p) {
        if (*p == '-' || (*p >= '0' && *p <= '9')) {
            char* end = nullptr;
            v.push_back(std::strtod(p, &end));
            p = end;
        } else {
            ++p;
        }
    }
    return v;
}

// The points an element reaches: a circle's box, a rectangle's corners, a line's
// ends, a text's anchor, a path's points.
std::vector<std::pair<double, double>> Reach(const std::string& kind, const std::string& e) {
    std::vector<std::pair<double, double>> points;
    if (kind == "circle") {
        const double r = Number(e, "r"), cx = Number(e, "cx"), cy = Number(e, "cy");
        points = {{cx - r, cy - r}, {cx + r, cy + r}};
    } else if (kind == "rect") {
        const double x = Number(e, "x"), y = Number(e, "y");
        points = {{x, y}, {x + Number(e, "width"), y + Number(e, "height")}};
    } else if (kind == "line") {
        points = {{Number(e, "x1"), Number(e, "y1")}, {Number(e, "x2"), Number(e, "y2")}};
    } else if (kind == "text") {
        points = {{Number(e, "x"), Number(e, "y")}};
    } else if (kind == "path") {
        const std::vector<double> v = PathNumbers(Attribute(e, "d"));
        for (size_t i = 0; i + 1 < v.size(); i += 2) points.push_back({v[i], v[i + 1]});
    }
    return points;
}

TEST(SessionPicture, EveryTraceIsDrawnInsideItsCanvas) {
    for (const fs::path& trace : AllTraces()) {
        SCOPED_TRACE(trace.string());
        int status = -1;
        const std::string svg = Draw(trace, &status);
        ASSERT_EQ(status, 0);
        const size_t root = svg.find("<svg ");
        ASSERT_NE(root, std::string::npos);
        const std::string svgTag = svg.substr(root, svg.find('>', root) - root);
        const double width = Number(svgTag, "width"), height = Number(svgTag, "height");
        ASSERT_GT(width, 0);
        ASSERT_GT(height, 0);
        for (size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
            const size_t nameEnd = svg.find_first_of(" >/", at + 1);
            const std::string kind = svg.substr(at + 1, nameEnd - at - 1);
            const std::string e = svg.substr(at, svg.find('>', at) - at);
            for (const auto& [x, y] : Reach(kind, e)) {
                ASSERT_TRUE(x >= 0 && x <= width && y >= 0 && y <= height)
                    << "(" << x << ", " << y << ") outside " << width << " x " << height << " in "
                    << e;
            }
        }
    }
}

TEST(SessionPicture, PositionsAreTheEnginesScreenPixels) {
    // The rotated display: the records are turned as the engine turns them (the
    // pointer goes to the same pixels, see the trace's expected output).
    const std::string svg =
        Draw(fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces" / "display-rotation.trace");
    EXPECT_NE(svg.find("<title>0: contact 1 at 512, 640</title>"), std::string::npos);
    EXPECT_NE(svg.find("<title>20: contact 1 at 256, 384</title>"), std::string::npos);
    EXPECT_NE(svg.find("<title>40: contact 1 at 768, 1024</title>"), std::string::npos);
    // The library's records are the client's pixels, unturned.
    const std::string library =
        Draw(fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces" / "library-mouse.trace");
    EXPECT_NE(library.find("<title>0: contact 1 at 512, 288</title>"), std::string::npos);
    // On a chosen monitor they are drawn on it: the desktop's x 1664 is its 640.
    const std::string onMonitor =
        Draw(fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces" / "library-monitor.trace");
    EXPECT_NE(onMonitor.find("<title>0: contact 1 at 640, 512</title>"), std::string::npos);
}

TEST(SessionPicture, TitleTextIsEscapedForXml) {
    SessionPicture picture("a<b>&\"c\"\x01\xFF\xC3\xA9.trace", false);
    std::ostringstream out;
    picture.WriteSvg(out);
    const std::string svg = out.str();
    EXPECT_NE(svg.find("a&lt;b&gt;&amp;&quot;c&quot;?\xEF\xBF\xBD\xC3\xA9.trace"),
              std::string::npos);
    EXPECT_EQ(svg.find("<b>"), std::string::npos);
    EXPECT_EQ(svg.find('\x01'), std::string::npos);
}

TEST(SessionPicture, RefusedReplaysLeaveNoPicture) {
    TempDir dir;
    CurrentDirectoryScope scope(dir.Dir());
    const fs::path examples = fs::path(TACTRA_SOURCE_DIR) / "examples";
    std::ostringstream out, err;

    // A malformed trace: the usual error, and an existing file is left as it was.
    ReplayOptions options;
    options.svgPath = "old.svg";
    WriteBytes(dir.File("old.svg"), "keep");
    const fs::path malformed = fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces" / "malformed.trace";
    EXPECT_EQ(RunReplay(malformed.string(), options, out, err), 2);
    EXPECT_EQ(err.str(),
              "tactra-replay: " + malformed.string() + ":4: 'touch' takes 2 arguments\n");
    EXPECT_EQ(ReadBytes(dir.File("old.svg")), "keep");
    options.svgPath = "new.svg";
    EXPECT_EQ(RunReplay(malformed.string(), options, out, err), 2);
    EXPECT_FALSE(fs::exists(dir.File("new.svg")));

    // A picture that would replace a trace, or cannot be written: refused before
    // anything runs.
    WriteBytes(dir.File("session.trace"), "at 0 touch 1,1 -\n");
    options.svgPath = "session.trace";
    err.str("");
    EXPECT_EQ(RunReplay((examples / "tap.trace").string(), options, out, err), 2);
    EXPECT_EQ(ReadBytes(dir.File("session.trace")), "at 0 touch 1,1 -\n");
    EXPECT_NE(err.str().find("would overwrite the trace 'session.trace'"), std::string::npos);
    options.svgPath = (dir.Dir() / "missing" / "p.svg").string();
    err.str("");
    EXPECT_EQ(RunReplay((examples / "tap.trace").string(), options, out, err), 2);
    EXPECT_NE(err.str().find("cannot write the picture"), std::string::npos);
    EXPECT_EQ(out.str(), "");
}

TEST(SessionPicture, RelativePathIsTheCallersNotTheWorkingDirectorys) {
    TempDir dir;
    CurrentDirectoryScope scope(dir.Dir());
    fs::create_directories(dir.Dir() / "work");
    ReplayOptions options;
    options.workDir = "work";
    options.svgPath = "tap.svg";
    std::ostringstream out, err;
    const fs::path trace = fs::path(TACTRA_SOURCE_DIR) / "examples" / "tap.trace";
    ASSERT_EQ(RunReplay(trace.string(), options, out, err), 0) << err.str();
    EXPECT_TRUE(fs::exists(dir.Dir() / "tap.svg"));
    EXPECT_FALSE(fs::exists(dir.Dir() / "work" / "tap.svg"));
}

}  // namespace
}  // namespace tactra
