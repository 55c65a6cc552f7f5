// The Open dialog in a window on the desktop.
#pragma once

#include <memory>

#include "dialog/description.h"

namespace opjoin {

// Whether this build has the window dialog and the session may have somewhere to show it: on
// Linux, DISPLAY or WAYLAND_DISPLAY is set (whether it answers is found out on starting); on
// Windows, always.
bool WindowDialogMayShow();

// Returns nullptr when this build has no window dialog, its module cannot be loaded, or no
// display can be reached.
std::unique_ptr<OpenDialog> StartWindowDialog(const OpenDialogDescription& description);

}  // namespace opjoin
