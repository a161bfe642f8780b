#include "profiles/profile_file.h"

#include <climits>

#include "platform/file_system.h"
#include "platform/number_text.h"

namespace tactra {

namespace {

constexpr const char* kFields[3] = {"Case", "Code", "Up"};

// Default values in key order (gestures ZoomIn .. FlickRight, each Case, Code, Up);
// null writes the key with nothing after "=".
using SectionValues = const char* const[kGestureCount * 3];

constexpr SectionValues kInternetExplorer = {
    "2", "2048", "1", "2", "2048", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "1", "2048", "1", "1", "2048", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr SectionValues kAcrobatReader = {"2",  "2048", "1",   "2",  "2048", "0",  "14", "109",
                                          "0",  "14",   "107", "0",  "9",    "33", "0",  "9",
                                          "34", "0",    "9",   "33", "0",    "9",  "34", "0"};
constexpr SectionValues kPictureAndFaxViewer = {"2",  "2048", "1",  "2",  "2048", "0",  "10", "76",
                                                "0",  "10",   "75", "0",  "9",    "33", "0",  "9",
                                                "34", "0",    "9",  "37", "0",    "9",  "39", "0"};
constexpr SectionValues kPhotoViewer = {"2", "2048", "1",   "2",  "2048", "0", "10", "188",
                                        "0", "10",   "190", "0",  "0",    "0", "0",  "0",
                                        "0", "0",    "9",   "37", "0",    "9", "39", "0"};

// The Chinese names in code page 950 bytes, whatever the system's code page.
constexpr const char kPictureAndFaxViewerChinese[] =
    "Windows \xB9\xCF\xA4\xF9\xA9\x4D\xB6\xC7\xAF\x75\xC0\xCB\xB5\xF8\xBE\xB9";
constexpr const char kPhotoViewerChinese[] = "Windows \xAC\xDB\xA4\xF9\xC0\xCB\xB5\xF8\xBE\xB9";

std::string SectionText(const char* name, SectionValues& values) {
    std::string text = std::string("[") + name + "]\r\n";
    for (int g = 0; g < kGestureCount; ++g) {
        for (int f = 0; f < 3; ++f) {
            text += ProfileKey(static_cast<Gesture>(g), kFields[f]);
            text += '=';
            if (const char* v = values[g * 3 + f]) text += v;
            text += "\r\n";
        }
    }
    return text;
}

// The order in which a profile's gestures are written.
constexpr Gesture kWriteOrder[kGestureCount] = {kZoomIn,  kZoomOut,   kRotateCL,  kRotateAC,
                                                kFlickUp, kFlickDown, kFlickLeft, kFlickRight};

}  // namespace

std::string ProfileKey(Gesture gesture, const char* field) {
    return std::string(kGestureNames[gesture]) + "." + field;
}

bool IsWheelAction(const GestureAction& action) {
    return action.kind >= 0 && action.kind <= 8 && action.code == kWheelActionCode;
}

void ReadProfile(const CIni& ini, const char* section, AppProfile& profile) {
    for (int g = 0; g < kGestureCount; ++g) {
        GestureAction& a = profile.actions[g];
        const Gesture gesture = static_cast<Gesture>(g);
        a.kind = AtoiNumber(ini.ReadText(section, ProfileKey(gesture, "Case").c_str(), "(null)"));
        a.code = AtoiNumber(ini.ReadText(section, ProfileKey(gesture, "Code").c_str(), "(null)"));
        if (IsWheelAction(a))
            a.up = AtoiNumber(ini.ReadText(section, ProfileKey(gesture, "Up").c_str(), "(null)"));
    }
}

bool WriteProfile(const CIni& ini, const char* section, const AppProfile& profile) {
    for (Gesture g : kWriteOrder) {
        const GestureAction& a = profile.actions[g];
        const int32_t values[3] = {a.kind, a.code, IsWheelAction(a) ? a.up : 0};
        for (int f = 0; f < 3; ++f) {
            if (!ini.WriteNumber(section, ProfileKey(g, kFields[f]).c_str(), values[f]))
                return false;
        }
    }
    return true;
}

std::string DefaultProfileText(uint16_t langId, int osMajor) {
    const bool chinese = langId == kLangChineseTaiwan;
    std::string text = SectionText("iexplore.exe", kInternetExplorer);
    text += SectionText("AcroRd32.exe", kAcrobatReader);
    if (osMajor == 5) {
        text +=
            SectionText(chinese ? kPictureAndFaxViewerChinese : "Windows Picture and Fax Viewer",
                        kPictureAndFaxViewer);
    } else if (osMajor == 6) {
        text += SectionText(chinese ? kPhotoViewerChinese : "Windows Photo Viewer", kPhotoViewer);
    }
    return text;
}

bool WriteDefaultProfiles(const std::string& path, uint16_t langId, int osMajor) {
    return CreateNewFile(path, DefaultProfileText(langId, osMajor));
}

}  // namespace tactra
