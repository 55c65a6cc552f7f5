// The command line: [--dialog=auto|terminal|gui] [--layout=LAYOUT] [--listing=N] [LOG], or
// --help, or --version.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialog/backend.h"

namespace opjoin {

// Which rules read the log: SmartSpice's, HSPICE's or ngspice's, or, automatically,
// SmartSpice's and, when they find no complete block, HSPICE's or ngspice's.
enum class LogLayout { kAuto, kSmartSpice, kHspice, kNgspice };

struct Options {
  enum class Action { kRun, kHelp, kVersion };
  Action action = Action::kRun;
  DialogBackend dialog = DialogBackend::kAuto;
  LogLayout layout = LogLayout::kAuto;
  int listing = 1;                 // which MOS listing of the log to join, from 1
  std::optional<std::string> log;  // as given; no dialog is shown when set
};

// Parses the arguments after the program name into `options`. False, with `error` set to a
// one-line reason, when they are not understood.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

}  // namespace opjoin
