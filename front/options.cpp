#include "front/options.h"

#include <utility>

#include "base/text.h"
#include "front/messages.h"

namespace opjoin {

namespace {

// The backend called `name`; false when there is none.
bool ParseBackend(std::string_view name, DialogBackend* backend) {
  constexpr std::pair<std::string_view, DialogBackend> kBackends[] = {
      {"auto", DialogBackend::kAuto},
      {"terminal", DialogBackend::kTerminal},
      {"gui", DialogBackend::kGui},
  };
  for (auto [known, value] : kBackends) {
    if (name == known) {
      *backend = value;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      if (arg.empty()) {
        *error = messages::kEmptyLogName;
        return false;
      }
      if (options->log) {
        *error = messages::kOnlyOneLog;
        return false;
      }
      options->log = arg;
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      options->action = Options::Action::kHelp;
    } else if (arg == "--version") {
      options->action = Options::Action::kVersion;
    } else if (arg == "--dialog" || arg.starts_with("--dialog=")) {
      std::string value;
      if (arg == "--dialog") {
        if (i + 1 == args.size()) {
          *error = Fill(messages::kOptionNeedsValue, {"--dialog"});
          return false;
        }
        value = args[++i];
      } else {
        value = arg.substr(sizeof("--dialog=") - 1);
      }
      if (!ParseBackend(value, &options->dialog)) {
        *error = Fill(messages::kInvalidValue, {value, "--dialog"});
        return false;
      }
    } else {
      *error = Fill(messages::kUnrecognizedOption, {arg});
      return false;
    }
  }
  return true;
}

}  // namespace opjoin
