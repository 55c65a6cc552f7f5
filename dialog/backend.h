// Which backend shows the Open dialog: the terminal one or the window one.
#pragma once

#include <memory>

#include "dialog/description.h"

namespace opjoin {

enum class DialogBackend { kAuto, kTerminal, kGui };

// Starts the backend: the window for kGui, the terminal one for kTerminal, and for kAuto the
// window when the build has it and a display is set and answers, else the terminal one.
// Returns nullptr when the backend cannot start.
std::unique_ptr<OpenDialog> StartOpenDialog(DialogBackend backend,
                                            const OpenDialogDescription& description);

}  // namespace opjoin
