// The monitors attached to the desktop, as the Windows tests that need two of them
// find them (tests/scripts/wine-env.sh gives Wine two with TACTRA_WINE_SCREENS=2).
#pragma once

#include <windows.h>

#include <vector>

namespace tactra {
namespace testing {

// The attached monitors, the primary one first.
std::vector<MONITORINFOEXA> AttachedMonitors();

}  // namespace testing
}  // namespace tactra
