// Runs the built opjoin on a pseudo-terminal, as a user at a terminal would: what it shows
// there, the keys typed, the terminal's modes, and the signals it gets.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace opjoin::testing {

struct TerminalRunOptions {
  std::vector<std::string> args;   // after the program name
  std::string folder;              // working folder; empty keeps the test's own
  bool output_on_terminal = true;  // standard output on the terminal, else into a file
  std::map<std::string, std::optional<std::string>> env;  // set, or unset when nullopt
};

class TerminalRun {
 public:
  explicit TerminalRun(const TerminalRunOptions& options);
  ~TerminalRun();
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  pid_t pid() const { return pid_; }

  // Reads what the terminal shows until `text` appears after what earlier calls found; false
  // after ten seconds without it. Line ends read as "\n".
  bool WaitFor(std::string_view text);
  // Types `keys`.
  void Type(std::string_view keys);
  // The terminal's modes now.
  termios Modes() const;
  // Waits for the end and returns the exit status, or -1 when a signal ended the run.
  int Finish();
  int end_signal() const;

  // Everything the terminal showed so far, line ends as "\n".
  const std::string& screen() const { return screen_; }
  // Standard output, when it was not on the terminal; read by Finish().
  const std::string& out() const { return out_; }

 private:
  bool ReadSome(int timeout_ms);

  TempDir files_;
  int terminal_ = -1;  // the terminal's controlling side
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
  bool output_on_terminal_ = true;
  std::string raw_;
  std::string screen_;
  std::size_t seen_ = 0;
  std::string out_;
};

}  // namespace opjoin::testing
