// Builds without Qt have no graphical dialog.
#include "dialog/window/window_dialog.h"

namespace opjoin {

bool WindowDialogMayShow() {
  return false;
}

bool StartWindowDialog(const OpenDialogDescription&, FatalStartupHandler,
                       std::unique_ptr<OpenDialog>*, std::string* error) {
  *error = dialog_text::kNoWindowDialog;
  return false;
}

}  // namespace opjoin
