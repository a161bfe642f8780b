// Working folders and profile files for the benchmarks.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "profiles/profile_file.h"

namespace tactra {
namespace bench {

// A fresh folder made the current directory, holding one file, removed afterwards.
struct BenchDir {
    BenchDir(const char* name, const std::string& content) {
        saved = std::filesystem::current_path();
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              ("tactra-bench-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        if (name) std::ofstream(dir / name, std::ios::binary) << content;
    }
    ~BenchDir() {
        std::filesystem::current_path(saved);
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path saved, dir;
};

// 259 sections "app0.exe" .. "app258.exe" with a full profile each, then "target.exe"
// with the actions of the default "AcroRd32.exe": a profile found only at the end.
inline std::string ManySectionsProfileText() {
    std::string content;
    const std::string defaults = DefaultProfileText(0x0409, 10);
    for (int i = 0; i < 259; ++i) {
        content += defaults.substr(0, 408);  // one full section's keys
        content.replace(content.rfind("[iexplore.exe]"), 14, "[app" + std::to_string(i) + ".exe]");
    }
    content += "[target.exe]\r\n" + defaults.substr(408 + 14);
    return content;
}

}  // namespace bench
}  // namespace tactra
