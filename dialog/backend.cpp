#include "dialog/backend.h"

#include "dialog/terminal/terminal_dialog.h"

namespace opjoin {

bool StartOpenDialog(DialogBackend backend, const OpenDialogDescription& description,
                     FatalStartupHandler on_fatal, std::unique_ptr<OpenDialog>* dialog,
                     std::string* error) {
  switch (backend) {
    case DialogBackend::kGui:
      return StartWindowDialog(description, on_fatal, dialog, error);
    case DialogBackend::kTerminal:
      return StartTerminalDialog(description, dialog, error);
    case DialogBackend::kAuto:
      break;
  }
  // A display left over in an SSH or tmux session may lead nowhere, or to a server that no
  // longer answers: the terminal still works.
  if (WindowDialogMayShow()) {
    std::string window_error;
    if (StartWindowDialog(description, on_fatal, dialog, &window_error)) {
      return true;
    }
  }
  return StartTerminalDialog(description, dialog, error);
}

}  // namespace opjoin
