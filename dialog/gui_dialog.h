// The Open dialog in a window on the desktop.
#pragma once

#include <memory>

#include "dialog/open_dialog.h"

namespace opjoin {

// Returns nullptr when this build has no graphical backend, its module cannot be loaded, or no
// display can be reached.
std::unique_ptr<OpenDialog> StartGuiDialog(const OpenDialogDescription& description);

}  // namespace opjoin
