// What Calibrate.exe and Test.exe share as clients of tpinput.dll: loading the
// library, finding the touch device it opens, starting Tactra again when they end,
// and their fonts.
#pragma once

#include <string>

#include "tpinput/tpinput.h"

namespace tactra {

// Loads tpinput.dll (the program's own folder comes first in the search) and
// resolves its exports. On failure `problem` says why and nothing stays loaded.
bool LoadTouchLibrary(HMODULE& library, TpinputExports& exports, std::string& problem);

// The kind of touch device that RegisterTouchWindow opens.
enum class TouchDeviceKind { kNone, kPanel, kTouchScreen };

// Which device registration will open, by the library's own rule: the panel when
// one is connected, else a usable touch screen of any maker (GetConnectedDeviceNum(0)
// counts both, and is asked only when no panel is). The library keeps the
// attributes of the last device counted, and registration then stores those of the
// device it opened (with several panels, of the last one): VersionNumber names the
// device once the window is registered.
TouchDeviceKind FindTouchDevice(const TpinputExports& library);

// Starts Tactra.exe from this program's folder, in the current directory (where
// its files are), unless Tactra is running already or the folder has none: Tactra
// ended itself so that this program could have the touch device.
void RestartTactra();

// Arial of `height` pixels; the caller deletes it.
HFONT CreateUiFont(int height, bool bold);

}  // namespace tactra
