// The Open dialog on Qt Widgets. It lives in a module of its own, loaded only when a window
// dialog is asked for, so that runs with a log on the command line never load Qt.
#pragma once

#include <memory>

#include "dialog/description.h"

namespace opjoin {

// Returns nullptr when no display can be reached.
std::unique_ptr<OpenDialog> StartQtDialog(const OpenDialogDescription& description);

}  // namespace opjoin

// The module's one entry point, found by name when the module is loaded. The caller owns the
// returned dialog; null means no display can be reached.
extern "C" opjoin::OpenDialog* opjoin_start_qt_dialog(
    const opjoin::OpenDialogDescription* description);
