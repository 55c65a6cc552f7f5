// Path arithmetic: a path's folder, its file name and the file name's extension, and absolute
// paths. Every rule about the shape of a path lives here. What differs by platform (the
// separators, the roots, making a path absolute, asking for the working folder) is in
// path_linux.cpp and path_windows.cpp; on Windows, '\' and '/' both separate, and a root is a
// drive ("C:\") or a network share ("\\server\share\").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace opjoin {

// Whether `c` separates a path's components: '/' on Linux; '\' and '/' on Windows.
bool IsSeparator(char c);

// The folder part of `path`: "." when it has none, the root ("/", "C:\") for a name in it.
std::string FolderOf(std::string_view path);

// What follows the last separator of `path`.
std::string_view FileNameOf(std::string_view path);

// The index of the dot that starts the file name's extension, or npos when the file name has
// none. A dot that is the file name's first character does not start an extension.
std::size_t ExtensionDot(std::string_view path);

// `path` with the file name's extension replaced by `extension`, or ".extension" appended when
// it has none.
std::string WithExtension(std::string_view path, std::string_view extension);

// `path` with ".extension" appended when its file name has no extension, else unchanged.
std::string WithDefaultExtension(std::string_view path, std::string_view extension);

bool IsAbsolute(std::string_view path);

// `path` made absolute against the absolute folder `base`, without "." or empty components.
// On Linux ".." is kept: removing it could be wrong where a folder is a symbolic link. On
// Windows ".." is taken away with the component before it, as the system itself does, and
// every separator becomes '\'.
std::string AbsolutePath(std::string_view base, std::string_view path);

// The working folder. False, with `error` set, when it cannot be told (it was removed).
bool WorkingFolder(std::string* folder, std::string* error);

// `path` made absolute against the working folder, or as given should that be gone. A path
// that ends in '/' or "/." keeps a final '/': it names a folder, as the system takes it.
std::string AbsoluteFromWorkingFolder(std::string_view path);

// The names between the slashes of `path`, in order, without empty ones and ".". A path that
// ends in '/' gets "." as its last name, so that it still names a folder.
std::vector<std::string> PathComponents(std::string_view path);

}  // namespace opjoin
