#include "dialog/backend.h"

#include <cstdlib>

#include "dialog/terminal/terminal_dialog.h"
#include "dialog/window/window_dialog.h"

namespace opjoin {

namespace {

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

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
  if (HasWindowDialog() && (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"))) {
    if (std::unique_ptr<OpenDialog> window = StartWindowDialog(description)) {
      return window;
    }
  }
  return StartTerminalDialog(description);
}

}  // namespace opjoin
