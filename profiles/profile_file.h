// "Tactra.ini": one section per application, three keys per gesture
// ("ZoomIn.Case", "ZoomIn.Code", "ZoomIn.Up", ...), and the default file written
// when none exists.
#pragma once

#include <cstdint>
#include <string>

#include "profiles/app_profile.h"
#include "profiles/ini.h"

namespace tactra {

constexpr const char kProfileFileName[] = "Tactra.ini";

// The language identifier (Chinese, Traditional, Taiwan) that selects the Chinese
// names of the viewer sections.
constexpr uint16_t kLangChineseTaiwan = 0x0404;

// The key of one gesture's field: the gesture's name and ".Case", ".Code" or ".Up".
std::string ProfileKey(Gesture gesture, const char* field);

// True for the triples whose ".Up" counts: a wheel step (kind 0..8, code 2048).
bool IsWheelAction(const GestureAction& action);

// Reads a section's eight actions. Case and Code read like atoi (a missing key, an
// empty value or a text without leading digits gives 0); Up is read only for a wheel
// action and otherwise left as it was.
void ReadProfile(const CIni& ini, const char* section, AppProfile& profile);

// Writes all 24 keys, one at a time, gestures in the order ZoomIn, ZoomOut, RotateCL,
// RotateAC, FlickUp, FlickDown, FlickLeft, FlickRight, each as Case, Code, Up (Up is
// 0 for an action that is no wheel step). False when a write fails; the keys after
// it are not written.
bool WriteProfile(const CIni& ini, const char* section, const AppProfile& profile);

// The default file's content: the "iexplore.exe" and "AcroRd32.exe" sections and the
// system viewer's (major version 5: picture and fax viewer, 6: photo viewer, other:
// none), with Chinese viewer names for the language 0x0404 only; CR LF line ends.
std::string DefaultProfileText(uint16_t langId, int osMajor);

// Creates the file with the default content. Never replaces an existing file; a file
// that cannot be written whole is removed again, so the next attempt starts afresh.
bool WriteDefaultProfiles(const std::string& path, uint16_t langId, int osMajor);

}  // namespace tactra
