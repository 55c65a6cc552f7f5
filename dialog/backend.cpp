#include "dialog/backend.h"

#include "dialog/terminal/terminal_dialog.h"
#include "dialog/window/window_dialog.h"

namespace opjoin {

std::unique_ptr<OpenDialog> StartOpenDialog(DialogBackend backend,
                                            const OpenDialogDescription& description) {
  switch (backend) {
    case DialogBackend::kGui:
      return StartWindowDialog(description);
    case DialogBackend::kTerminal:
      return StartTerminalDialog(description);
    case DialogBackend::kAuto:
      break;
  }
  // A DISPLAY left over in an SSH or tmux session may lead nowhere: the terminal still works.
  if (WindowDialogMayShow()) {
    if (std::unique_ptr<OpenDialog> window = StartWindowDialog(description)) {
      return window;
    }
  }
  return StartTerminalDialog(description);
}

}  // namespace opjoin
