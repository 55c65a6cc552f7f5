// Builds without Qt have no graphical dialog.
#include "dialog/gui_dialog.h"

namespace opjoin {

bool HasGuiBackend() {
  return false;
}

std::unique_ptr<OpenDialog> StartGuiDialog(const OpenDialogDescription&) {
  return nullptr;
}

}  // namespace opjoin
