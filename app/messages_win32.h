// The registered window messages that tie Tactra's windows together, registered
// once at process initialisation.
#pragma once

#include <windows.h>

namespace tactra {

struct RegisteredMessages {
    UINT touch;   // "WM_TOUCH": a batch of touch-input records
    UINT apply;   // "WM_APPLY": profiles changed, reload
    UINT reset0;  // "WM_RESET0": new application saved, to the tab sheet
    UINT reset;   // "WM_RESET": reload the application list
};

const RegisteredMessages& Messages();

}  // namespace tactra
