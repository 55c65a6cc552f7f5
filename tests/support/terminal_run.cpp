#include "tests/support/terminal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <stdexcept>

#include "tests/support/launch.h"
#include "tests/support/run_opjoin.h"

namespace opjoin::testing {

TerminalRun::TerminalRun(const TerminalRunOptions& options)
    : output_on_terminal_(options.output_on_terminal) {
  WriteFile(files_ / "out", "");
  winsize size = {24, 80, 0, 0};
  int user_side = -1;
  if (::openpty(&terminal_, &user_side, nullptr, nullptr, &size) != 0) {
    throw std::runtime_error("cannot open a pseudo-terminal");
  }
  pid_ = ::fork();
  if (pid_ < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    // A session of its own with the terminal as its controlling terminal, as a login has.
    ::setsid();
    ::ioctl(user_side, TIOCSCTTY, 0);
    int out = options.output_on_terminal ? user_side : ::open((files_ / "out").c_str(), O_WRONLY);
    if (::dup2(user_side, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(user_side, 2) < 0) {
      _exit(126);
    }
    if (!options.folder.empty() && !ChangeFolder(options.folder)) {
      _exit(126);
    }
    ApplyEnvironment(options.env);
    ExecOpjoin(options.args);
  }
  ::close(user_side);
}

TerminalRun::~TerminalRun() {
  if (!ended_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
  ::close(terminal_);
}

bool TerminalRun::ReadSome(int timeout_ms) {
  pollfd ready = {terminal_, POLLIN, 0};
  if (::poll(&ready, 1, timeout_ms) <= 0) {
    return false;
  }
  char buffer[4096];
  ssize_t n = ::read(terminal_, buffer, sizeof buffer);
  if (n <= 0) {
    return false;  // EIO: the other side is closed
  }
  raw_.append(buffer, static_cast<std::size_t>(n));
  screen_.clear();
  for (std::size_t i = 0; i < raw_.size(); ++i) {
    if (!(raw_[i] == '\r' && i + 1 < raw_.size() && raw_[i + 1] == '\n')) {
      screen_ += raw_[i];
    }
  }
  return true;
}

bool TerminalRun::WaitFor(std::string_view text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::size_t found;
  while ((found = screen_.find(text, seen_)) == std::string::npos) {
    if (!ReadSome(100) && std::chrono::steady_clock::now() > deadline) {
      return false;
    }
  }
  seen_ = found + text.size();
  return true;
}

void TerminalRun::Type(std::string_view keys) {
  if (::write(terminal_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
    throw std::runtime_error("cannot type on the terminal");
  }
}

termios TerminalRun::Modes() const {
  termios modes = {};
  if (::tcgetattr(terminal_, &modes) != 0) {
    throw std::runtime_error("cannot read the terminal's modes");
  }
  return modes;
}

int TerminalRun::Finish() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!ended_) {
    ReadSome(20);
    pid_t done = ::waitpid(pid_, &status_, WNOHANG);
    if (done == pid_) {
      ended_ = true;
    } else if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status_, 0);
      ended_ = true;
      throw std::runtime_error("opjoin did not end");
    }
  }
  while (ReadSome(0)) {
  }
  if (!output_on_terminal_) {
    out_ = ReadFile(files_ / "out");
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int TerminalRun::end_signal() const {
  return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

}  // namespace opjoin::testing
