#include <cstdlib>

#include "dialog/gui_dialog.h"
#include "dialog/open_dialog.h"
#include "dialog/terminal_dialog.h"

namespace opjoin {

namespace {

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::unique_ptr<OpenDialog> StartOpenDialog(DialogBackend backend,
                                            const OpenDialogDescription& description) {
  if (backend == DialogBackend::kAuto) {
    bool has_display = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
    backend = HasGuiBackend() && has_display ? DialogBackend::kGui : DialogBackend::kTerminal;
  }
  if (backend == DialogBackend::kGui) {
    return StartGuiDialog(description);
  }
  return StartTerminalDialog(description);
}

}  // namespace opjoin
