// Builds without Qt have no graphical dialog.
#include "dialog/window/window_dialog.h"

namespace opjoin {

bool WindowDialogMayShow() {
  return false;
}

std::unique_ptr<OpenDialog> StartWindowDialog(const OpenDialogDescription&) {
  return nullptr;
}

}  // namespace opjoin
