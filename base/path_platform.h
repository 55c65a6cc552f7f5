// The fact about paths that the shared path rules rest on besides IsSeparator (base/path.h),
// and on which the platforms differ. Defined in path_linux.cpp and path_windows.cpp.
#pragma once

#include <cstddef>
#include <string_view>

namespace opjoin {

// The length of `path`'s root, the part no folder name precedes: 1 for "/" on Linux; on
// Windows 3 for "C:\", 2 for "C:" (a drive's working folder), 1 for "\" (the working drive's
// root), and the whole "\\server\share\" or "\\?\C:\" of such a path. 0 for a relative path.
std::size_t RootLength(std::string_view path);

// The separator the program writes: '/' on Linux, '\' on Windows.
char PreferredSeparator();

}  // namespace opjoin
