#include "tests/support/run_opjoin.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace opjoin::testing {

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    throw std::runtime_error(std::string(what) + " failed");
  }
}

[[noreturn]] void StartChild(const Invocation& invocation, int in_fd, int out_fd, int err_fd) {
  if (invocation.close_input) {
    ::close(0);
  } else {
    ::dup2(in_fd, 0);
  }
  ::dup2(out_fd, 1);
  ::dup2(err_fd, 2);
  if (!invocation.folder.empty() && ::chdir(invocation.folder.c_str()) != 0) {
    _exit(127);
  }
  ApplyEnvironment(invocation.env);
  if (invocation.file_size_limit != RLIM_INFINITY) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {invocation.file_size_limit, invocation.file_size_limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ExecOpjoin(invocation.args);
}

// Feeds `input` to `in` and drains `out` and `err` until both close.
void Exchange(int in, int out, int err, const std::string& input, Outcome& outcome) {
  std::size_t written = 0;
  if (input.empty()) {
    ::close(in);
    in = -1;
  }
  while (out >= 0 || err >= 0) {
    pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
    Check(::poll(fds, 3, -1) >= 0 || errno == EINTR, "poll");
    if (in >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = ::write(in, input.data() + written, input.size() - written);
      written += n > 0 ? static_cast<std::size_t>(n) : 0;
      if (n < 0 || written == input.size()) {
        ::close(in);
        in = -1;
      }
    }
    int* streams[2] = {&out, &err};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    for (int i = 0; i < 2; ++i) {
      if (*streams[i] >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
        char buffer[4096];
        ssize_t n = ::read(*streams[i], buffer, sizeof buffer);
        if (n > 0) {
          sinks[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          ::close(*streams[i]);
          *streams[i] = -1;
        }
      }
    }
  }
  if (in >= 0) {
    ::close(in);
  }
}

}  // namespace

std::string OpjoinBinary() {
  return OPJOIN_BINARY;
}

void ApplyEnvironment(const std::map<std::string, std::optional<std::string>>& env) {
  for (const auto& [name, value] : env) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
}

void ExecOpjoin(const std::vector<std::string>& args) {
  std::string binary = OpjoinBinary();
  std::vector<std::string> copies = args;
  std::vector<char*> argv = {binary.data()};
  for (std::string& arg : copies) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  ::execv(binary.c_str(), argv.data());
  _exit(127);
}

Outcome RunOpjoin(const Invocation& invocation) {
  int in[2], out[2], err[2];
  Check(::pipe2(in, O_CLOEXEC) == 0 && ::pipe2(out, O_CLOEXEC) == 0 && ::pipe2(err, O_CLOEXEC) == 0,
        "pipe");
  std::signal(SIGPIPE, SIG_IGN);
  pid_t child = ::fork();
  Check(child >= 0, "fork");
  if (child == 0) {
    StartChild(invocation, in[0], out[1], err[1]);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  Outcome outcome;
  Exchange(in[1], out[0], err[0], invocation.input, outcome);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

}  // namespace opjoin::testing
