// Runs the built opjoin binary as a user would, and collects what it did.
#pragma once

#include <sys/resource.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace opjoin::testing {

struct Invocation {
  std::vector<std::string> args;  // after the program name
  std::string input;              // written to standard input, which is then closed
  bool close_input = false;       // start with standard input closed instead
  std::string folder;             // working folder; empty keeps the test's own
  std::map<std::string, std::optional<std::string>> env;  // set, or unset when nullopt
  rlim_t file_size_limit = RLIM_INFINITY;                 // RLIMIT_FSIZE, with SIGXFSZ ignored
};

struct Outcome {
  int exit_status = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

Outcome RunOpjoin(const Invocation& invocation);

// The path of the binary under test.
std::string OpjoinBinary();

// In a child process: sets each variable of `env` that has a value, and unsets the others.
void ApplyEnvironment(const std::map<std::string, std::optional<std::string>>& env);

// In a child process: replaces it with the binary under test, given `args`. Exits with 127
// when that fails.
[[noreturn]] void ExecOpjoin(const std::vector<std::string>& args);

}  // namespace opjoin::testing
