// Loads the window dialog's module on demand. Qt costs every start some 13 MiB and tens of
// milliseconds, which a run with the log on the command line should not pay.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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
void* LoadModule(std::string& error) {
  const std::string folder = ExecutableFolder();
  const std::string candidates[] = {folder + "/" + OPJOIN_QT_DIALOG_MODULE_NAME,
                                    folder + "/" + OPJOIN_QT_DIALOG_MODULE_FROM_BINDIR,
                                    OPJOIN_QT_DIALOG_MODULE_INSTALLED};
  for (const std::string& candidate : candidates) {
    if (::access(candidate.c_str(), F_OK) != 0) {
      continue;
    }
    if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      return module;
    }
    error = ::dlerror();
    return nullptr;
  }
  error = std::string(OPJOIN_QT_DIALOG_MODULE_INSTALLED) + ": no such file";
  return nullptr;
}

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool WindowDialogMayShow() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

std::unique_ptr<OpenDialog> StartWindowDialog(const OpenDialogDescription& description) {
  std::string error;
  // Never unloaded: the dialog's code must outlive the dialog.
  void* module = LoadModule(error);
  void* entry = module != nullptr ? ::dlsym(module, "opjoin_start_qt_dialog") : nullptr;
  if (entry == nullptr) {
    if (module != nullptr) {
      error = ::dlerror();
    }
    std::fprintf(stderr, "opjoin: cannot load the window dialog: %s\n", error.c_str());
    return nullptr;
  }
  auto start = reinterpret_cast<decltype(&opjoin_start_qt_dialog)>(entry);
  return std::unique_ptr<OpenDialog>(start(&description));
}

}  // namespace opjoin
