// The Open dialog in a window on the desktop.
#pragma once

#include <memory>

#include "dialog/description.h"

namespace opjoin {

// Whether this build has the window dialog.
bool HasWindowDialog();

// Returns nullptr when this build has no window dialog, its module cannot be loaded, or no
// display can be reached.
std::unique_ptr<OpenDialog> StartWindowDialog(const OpenDialogDescription& description);

}  // namespace opjoin
