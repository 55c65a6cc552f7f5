// The Open dialog on Qt Widgets. It lives in a module of its own, loaded only when a window
// dialog is asked for, so that runs with a log on the command line never load Qt.
#pragma once

#include <memory>
#include <string>

#include "dialog/description.h"
#include "dialog/window/window_dialog.h"

namespace opjoin {

// Starts the dialog into `dialog`, and Qt when the caller has not: on the platform chosen by
// ChooseQtPlatform, with Qt's fatal messages while it starts handed to `on_fatal`. False,
// with `error` set, when no platform can show a window.
bool StartQtDialog(const OpenDialogDescription& description, FatalStartupHandler on_fatal,
                   std::unique_ptr<OpenDialog>* dialog, std::string* error);

}  // namespace opjoin

// The module's one entry point, found by name when the module is loaded. The caller owns the
// returned dialog; null means no display can be used, and `error` says why.
extern "C" opjoin::OpenDialog* opjoin_start_qt_dialog(
    const opjoin::OpenDialogDescription* description, opjoin::FatalStartupHandler on_fatal,
    std::string* error);
