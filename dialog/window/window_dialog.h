// The Open dialog in a window on the desktop.
#pragma once

#include <memory>
#include <string>

#include "dialog/description.h"

namespace opjoin {

// Ends the program as a dialog that could not start, after saying `reason`. Called when the
// window system fails fatally while it starts, from where there is no way back; never returns.
using FatalStartupHandler = void (*)(const char* reason);

// Whether this build has the window dialog and the session may have somewhere to show it: on
// Linux, DISPLAY or WAYLAND_DISPLAY is set (whether it answers is found out on starting); on
// Windows, always.
bool WindowDialogMayShow();

// Starts the window dialog into `dialog`. False, with `error` set, when this build has no
// window dialog, its module cannot be loaded, or no display can be used.
bool StartWindowDialog(const OpenDialogDescription& description, FatalStartupHandler on_fatal,
                       std::unique_ptr<OpenDialog>* dialog, std::string* error);

}  // namespace opjoin
