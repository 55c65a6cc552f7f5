#include "front/options.h"

#include <charconv>
#include <utility>

#include "base/text.h"
#include "front/messages.h"

namespace opjoin {

namespace {

// The value called `name` in `known`; false when there is none.
template <typename Value, std::size_t kCount>
bool ParseName(std::string_view name, const std::pair<std::string_view, Value> (&known)[kCount],
               Value* value) {
  for (const auto& [known_name, known_value] : known) {
    if (name == known_name) {
      *value = known_value;
      return true;
    }
  }
  return false;
}

bool ParseBackend(std::string_view name, DialogBackend* backend) {
  constexpr std::pair<std::string_view, DialogBackend> kBackends[] = {
      {"auto", DialogBackend::kAuto},
      {"terminal", DialogBackend::kTerminal},
      {"gui", DialogBackend::kGui},
  };
  return ParseName(name, kBackends, backend);
}

bool ParseLayout(std::string_view name, LogLayout* layout) {
  constexpr std::pair<std::string_view, LogLayout> kLayouts[] = {
      {"auto", LogLayout::kAuto},
      {"smartspice", LogLayout::kSmartSpice},
      {"hspice", LogLayout::kHspice},
      {"ngspice", LogLayout::kNgspice},
  };
  return ParseName(name, kLayouts, layout);
}

// A listing number: digits only, 1 or more.
bool ParseListing(std::string_view text, int* listing) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [rest, failure] = std::from_chars(text.data(), end, value);
  if (text.empty() || text[0] == '-' || text[0] == '+' || failure != std::errc() || rest != end ||
      value < 1) {
    return false;
  }
  *listing = value;
  return true;
}

// Sets the option `name` (such as "--layout") to `value`. False when the value is not one of
// the option's.
bool SetValueOption(std::string_view name, std::string_view value, Options* options) {
  if (name == "--dialog") {
    return ParseBackend(value, &options->dialog);
  }
  if (name == "--layout") {
    return ParseLayout(value, &options->layout);
  }
  return ParseListing(value, &options->listing);
}

// The option that `arg` names when it is one that takes a value, as "--name" or
// "--name=VALUE", with the value when it is given there; an empty name otherwise.
std::pair<std::string_view, std::optional<std::string_view>> SplitValueOption(
    std::string_view arg) {
  for (std::string_view name : {"--dialog", "--layout", "--listing"}) {
    if (arg == name) {
      return {name, std::nullopt};
    }
    if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
      return {name, arg.substr(name.size() + 1)};
    }
  }
  return {};
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
    } else if (auto [name, value] = SplitValueOption(arg); !name.empty()) {
      if (!value) {
        if (i + 1 == args.size()) {
          *error = Fill(messages::kOptionNeedsValue, {name});
          return false;
        }
        value = args[++i];
      }
      if (!SetValueOption(name, *value, options)) {
        *error = Fill(messages::kInvalidValue, {*value, name});
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
