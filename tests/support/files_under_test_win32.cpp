// Every Windows test program names, once at its start, the Tactra.exe, tpinput.dll
// and client programs it was built to drive (those of a build of the shipped kind:
// build/ship64 for x86_64, build/win32 for i686), so that a run's log shows which
// files were tested. tests/scripts/wine-run.sh lists these lines after the run.
#include <cstdio>

namespace {

struct FilesUnderTest {
    FilesUnderTest() {
        const struct {
            const char* name;
            const char* path;
        } files[] = {
#ifdef TACTRA_APP_PATH
            {"Tactra.exe", TACTRA_APP_PATH},
#endif
#ifdef TACTRA_TPINPUT_PATH
            {"tpinput.dll", TACTRA_TPINPUT_PATH},
#endif
#ifdef TACTRA_CALIBRATE_PATH
            {"Calibrate.exe", TACTRA_CALIBRATE_PATH},
#endif
#ifdef TACTRA_TOUCHTEST_PATH
            {"Test.exe", TACTRA_TOUCHTEST_PATH},
#endif
#ifdef TACTRA_INSTALLER_PATH
            {"setup.exe", TACTRA_INSTALLER_PATH},
#endif
            {nullptr, nullptr},
        };
        for (const auto& file : files) {
            if (file.name != nullptr) std::printf("under test: %s %s\n", file.name, file.path);
        }
        std::fflush(stdout);
    }
};

const FilesUnderTest g_filesUnderTest;

}  // namespace
