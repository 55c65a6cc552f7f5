// The Open dialog on a terminal: drawn on standard error, answered one line at a time on
// standard input, with line editing where standard input is a terminal.
#pragma once

#include <memory>

#include "dialog/open_dialog.h"

namespace opjoin {

// Returns nullptr when standard input is not open.
std::unique_ptr<OpenDialog> StartTerminalDialog(const OpenDialogDescription& description);

}  // namespace opjoin
