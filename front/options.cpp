#include "front/options.h"

namespace opjoin {

namespace {

std::optional<DialogBackend> ParseBackend(const std::string& name) {
  if (name == "auto") {
    return DialogBackend::kAuto;
  }
  if (name == "terminal") {
    return DialogBackend::kTerminal;
  }
  if (name == "gui") {
    return DialogBackend::kGui;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      if (options.log) {
        error = "only one log can be given";
        return std::nullopt;
      }
      options.log = arg;
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      options.action = Options::Action::kHelp;
    } else if (arg == "--version") {
      options.action = Options::Action::kVersion;
    } else if (arg == "--dialog" || arg.starts_with("--dialog=")) {
      std::string value;
      if (arg == "--dialog") {
        if (i + 1 == args.size()) {
          error = "option '--dialog' needs a value";
          return std::nullopt;
        }
        value = args[++i];
      } else {
        value = arg.substr(sizeof("--dialog=") - 1);
      }
      std::optional<DialogBackend> backend = ParseBackend(value);
      if (!backend) {
        error = "invalid value '" + value + "' for '--dialog'";
        return std::nullopt;
      }
      options.dialog = *backend;
    } else {
      error = "unrecognized option '" + arg + "'";
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace opjoin
