// Runs the built opjoin as a separate process that a test can act on while it runs: stop it at
// a chosen system call, make that call fail, send it signals, change its files meanwhile.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace opjoin::testing {

struct LaunchOptions {
  std::vector<std::string> args;               // after the program name
  std::string folder;                          // working folder; empty keeps the test's own
  std::string input = "/dev/null";             // the file standard input reads
  std::string error_output;                    // where standard error goes; empty: into err()
  bool as_nobody = false;                      // drop root's rights, so that permissions apply
  rlim_t file_size_limit = RLIM_INFINITY;      // with SIGXFSZ left at its default action
  rlim_t address_space_limit = RLIM_INFINITY;  // RLIMIT_AS, as `ulimit -v` sets it
  std::map<std::string, std::optional<std::string>> env;  // set, or unset when nullopt
  bool traced = false;                                    // held at its start for StopAtCall()
  // Run in the child before the program starts; returns false when it could not prepare.
  std::function<bool()> prepare;
};

// The number and the arguments of a system call.
struct Call {
  long number = -1;
  std::array<std::uint64_t, 6> args = {};
};

// A running opjoin whose standard output and error go to files.
class Launch {
 public:
  explicit Launch(LaunchOptions options);
  Launch(const std::string& log, LaunchOptions options = {});
  ~Launch();
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  pid_t pid() const { return pid_; }

  // Traced runs: lets the run go on to the entry of the next system call `number` for which
  // `match` holds (any, without it), and holds it there. False when the run ended first.
  bool StopAtCall(long number, const std::function<bool(const Call&)>& match = {});
  // Makes the call the run is held at fail with `error` instead of being made. False where
  // this cannot be done (an architecture this does not know).
  bool FailCall(int error);
  // Lets a traced run go on untraced.
  void Detach();

  // Waits for the end. A run that takes longer than a minute is taken for a hang: it is
  // killed, and the test fails.
  void Wait();

  // The exit status, or -1 when a signal ended the run.
  int exit_status() const;
  int end_signal() const;
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  [[noreturn]] void Start(const LaunchOptions& options);
  void Continue(int signal);
  bool WaitForStop();

  TempDir output_;
  pid_t pid_ = -1;
  bool traced_ = false;
  bool ended_ = false;
  int pending_signal_ = 0;
  int status_ = 0;
  std::string out_;
  std::string err_;
};

// Changes the working folder one name at a time, so that the path may be longer than the
// system takes in one call.
bool ChangeFolder(const std::string& path);

}  // namespace opjoin::testing
