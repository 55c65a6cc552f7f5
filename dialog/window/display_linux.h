// Which of Qt's platforms can show a window here: X (xcb) when the X server named by DISPLAY
// answers, Wayland when Qt's Wayland plugin is installed and the compositor answers. Qt itself
// cannot be asked: it ends the process when the plugin it picks is missing or cannot connect,
// and how it picks one varies between its versions. A server that accepts the connection and
// never answers (a suspended X server, a dead SSH forward) is given up on after two seconds.
#pragma once

#include <string>
#include <vector>

namespace opjoin {

// Chooses the platform, in the order QT_QPA_PLATFORM names xcb and wayland, else Wayland
// first in a Wayland session and X first elsewhere. `plugin_folders` are the folders where
// Qt looks for its platform plugins. False, with `error` saying why, when neither can be
// used.
bool ChooseQtPlatform(const std::vector<std::string>& plugin_folders, std::string* platform,
                      std::string* error);

}  // namespace opjoin
