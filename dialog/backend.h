// Which backend shows the Open dialog: the terminal one or the window one.
#pragma once

#include <memory>
#include <string>

#include "dialog/description.h"
#include "dialog/window/window_dialog.h"

namespace opjoin {

enum class DialogBackend { kAuto, kTerminal, kGui };

// Starts the backend into `dialog`: the window for kGui, the terminal one for kTerminal, and for
// kAuto the window when the build has it and a display is set and can be used, else the
// terminal one. False when the backend cannot start, with `error` set to the reason where
// there is one to tell. `on_fatal` ends the program should the window system fail fatally
// while it starts.
bool StartOpenDialog(DialogBackend backend, const OpenDialogDescription& description,
                     FatalStartupHandler on_fatal, std::unique_ptr<OpenDialog>* dialog,
                     std::string* error);

}  // namespace opjoin
