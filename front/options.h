// The command line: [--dialog=auto|terminal|gui] [LOG], or --help, or --version.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialog/backend.h"

namespace opjoin {

struct Options {
  enum class Action { kRun, kHelp, kVersion };
  Action action = Action::kRun;
  DialogBackend dialog = DialogBackend::kAuto;
  std::optional<std::string> log;  // as given; no dialog is shown when set
};

// Parses the arguments after the program name into `options`. False, with `error` set to a
// one-line reason, when they are not understood.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

}  // namespace opjoin
