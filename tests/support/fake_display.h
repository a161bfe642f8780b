// The display port as the tests script it: a mode, a failing read, an adapter's
// provider name, the desktop's monitors.
#pragma once

#include <string>

#include "platform/display.h"

namespace tactra {
namespace testing {

class FakeDisplay : public Display {
public:
    bool ReadCurrentMode(DisplayMode& m) override {
        if (fails) return false;
        m = mode;
        return true;
    }
    bool ReadAdapterProvider(std::string& p) override {
        if (!hasProvider) return false;
        p = provider;
        return true;
    }
    bool ReadDesktop(DesktopLayout& l) override {
        l = layout;
        return hasDesktop;
    }
    DisplayMode mode{1024, 768, 0};
    bool fails = false;
    bool hasDesktop = false;
    DesktopLayout layout;
    bool hasProvider = false;
    std::string provider;
};

}  // namespace testing
}  // namespace tactra
