// The mark of a running Tactra.exe, shared with the programs that start it again
// (Calibrate.exe and Test.exe) and with the installer, which ends a running copy.
#pragma once

namespace tactra {

// A named mutex that Tactra.exe holds from its start to its end. It lives in the
// session's namespace ("Local\", which Windows XP has), so there is one Tactra per
// log-on session whatever folder it was started from, and users of the same machine
// do not see each other's. The installer (installer/Tactra.nsi) uses the same name.
constexpr char kTactraMutexName[] = "Local\\Tactra.Running";

}  // namespace tactra
