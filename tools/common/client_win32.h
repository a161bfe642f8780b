// What Calibrate.exe and Test.exe share as clients of tpinput.dll: loading the
// library, starting Tactra again when they end, and their fonts.
#pragma once

#include <string>

#include "tpinput/tpinput.h"

namespace tactra {

// Loads tpinput.dll (the program's own folder comes first in the search) and
// resolves its exports. On failure `problem` says why and nothing stays loaded.
bool LoadTouchLibrary(HMODULE& library, TpinputExports& exports, std::string& problem);

// Starts Tactra.exe from this program's folder, in the current directory (where
// its files are), unless Tactra is running already or the folder has none: Tactra
// ended itself so that this program could have the panel.
void RestartTactra();

// Arial of `height` pixels; the caller deletes it.
HFONT CreateUiFont(int height, bool bold);

}  // namespace tactra
