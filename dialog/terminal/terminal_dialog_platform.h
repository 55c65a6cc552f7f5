// What the terminal dialog asks of the system, answered in terminal_dialog_linux.cpp and
// terminal_dialog_windows.cpp. StartTerminalDialog (terminal_dialog.h) is there too: how
// answers are read from a terminal differs by platform.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace opjoin {

struct FolderItem {
  enum class Kind { kFolder, kFile, kOther };
  std::string name;
  Kind kind = Kind::kOther;  // what a link leads to
};

// The items of `folder` but "." and "..", in no order. A link to nothing, or a name removed
// meanwhile, offers nothing to open and is left out.
bool ReadFolder(const std::string& folder, std::vector<FolderItem>* items, std::string* error);

// Whether `folder` can be opened to be listed.
bool CanOpenFolder(const std::string& folder, std::string* error);

// `path` with links, "." and ".." resolved, or unchanged when it cannot be resolved.
std::string ResolvedPath(const std::string& path);

// The home folder of `user`, or of the user running the program when `user` is empty; "" when
// unknown.
std::string HomeFolderOf(std::string_view user);

// The working folder the dialog starts in (terminal_dialog.cpp).
std::string StartFolder();

// The reason a write to the screen failed, just after it did (terminal_dialog.cpp).
std::string ScreenFailure();

}  // namespace opjoin
