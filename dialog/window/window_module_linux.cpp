// Loads the window dialog's module on demand. Qt costs every start some 13 MiB and tens of
// milliseconds, which a run with the log on the command line should not pay.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/diagnostic.h"
#include "base/text.h"
#include "dialog/window/qt_window_dialog.h"
#include "dialog/window/window_dialog.h"

namespace opjoin {

namespace {

// Where this program's executable lies, or "" when that cannot be told.
std::string ExecutableFolder() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) {
      return {};
    }
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.rfind('/'));
}

// The module beside the executable (a build tree), else where installation puts it, seen
// from the executable (an installed tree that was moved) or as configured.
// Loads the module into `module`.
bool LoadModule(void** module, std::string* error) {
  const std::string folder = ExecutableFolder();
  const std::string candidates[] = {folder + "/" + OPJOIN_QT_DIALOG_MODULE_NAME,
                                    folder + "/" + OPJOIN_QT_DIALOG_MODULE_FROM_BINDIR,
                                    OPJOIN_QT_DIALOG_MODULE_INSTALLED};
  for (const std::string& candidate : candidates) {
    if (::access(candidate.c_str(), F_OK) != 0) {
      continue;
    }
    *module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (*module == nullptr) {
      *error = ::dlerror();
      return false;
    }
    return true;
  }
  *error = Fill(dialog_text::kNoSuchFile, {OPJOIN_QT_DIALOG_MODULE_INSTALLED});
  return false;
}

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool WindowDialogMayShow() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

bool StartWindowDialog(const OpenDialogDescription& description, FatalStartupHandler on_fatal,
                       std::unique_ptr<OpenDialog>* dialog, std::string* error) {
  void* module = nullptr;  // never unloaded: the dialog's code must outlive the dialog
  std::string load_error;
  void* entry = nullptr;
  if (LoadModule(&module, &load_error)) {
    entry = ::dlsym(module, "opjoin_start_qt_dialog");
    if (entry == nullptr) {
      load_error = ::dlerror();
    }
  }
  if (entry == nullptr) {
    *error = Fill(dialog_text::kWindowNotLoaded, {load_error});
    return false;
  }
  auto start = reinterpret_cast<decltype(&opjoin_start_qt_dialog)>(entry);
  dialog->reset(start(&description, on_fatal, error));
  return *dialog != nullptr;
}

}  // namespace opjoin
