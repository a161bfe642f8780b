// Paths of files in the process's current directory (both INI files live there).
#pragma once

#include <string>

namespace tactra {

#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The current directory, however long, followed by a separator and the name; just
// the name when the current directory cannot be read.
std::string PathInCurrentDirectory(const char* fileName);

}  // namespace tactra
