#include "tests/support/launch.h"

#include <elf.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/ptrace.h>
#include <sys/uio.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/run_opjoin.h"

namespace opjoin::testing {

namespace {

constexpr uid_t kNobody = 65534;

// The stop of a traced process at a system call, as PTRACE_O_TRACESYSGOOD marks it.
constexpr int kCallStop = SIGTRAP | 0x80;

}  // namespace

bool ChangeFolder(const std::string& path) {
  if (path.starts_with('/') && ::chdir("/") != 0) {
    return false;
  }
  for (const auto& part : std::filesystem::path(path).relative_path()) {
    if (::chdir(part.c_str()) != 0) {
      return false;
    }
  }
  return true;
}

Launch::Launch(const std::string& log, LaunchOptions options)
    : Launch([&] {
        options.args.insert(options.args.begin(), log);
        return std::move(options);
      }()) {}

Launch::Launch(LaunchOptions options) : traced_(options.traced) {
  // Made before the start, so that a run ended at once still leaves them to read.
  WriteFile(output_ / "out", "");
  WriteFile(output_ / "err", "");
  pid_ = ::fork();
  if (pid_ < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    Start(options);
  }
  if (traced_) {
    // Held at the start of the program, by the SIGTRAP that follows exec.
    if (!WaitForStop() ||
        ::ptrace(PTRACE_SETOPTIONS, pid_, 0, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL) != 0) {
      throw std::runtime_error("cannot trace opjoin");
    }
  }
}

Launch::~Launch() {
  if (!ended_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
}

void Launch::Start(const LaunchOptions& options) {
  int in = ::open(options.input.c_str(), O_RDONLY);
  int out = ::open((output_ / "out").c_str(), O_WRONLY);
  const std::string error_output =
      options.error_output.empty() ? output_ / "err" : options.error_output;
  int err = ::open(error_output.c_str(), O_WRONLY);
  if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
      ::dup2(err, 2) < 0) {
    _exit(126);
  }
  if (!options.folder.empty() && !ChangeFolder(options.folder)) {
    _exit(126);
  }
  struct rlimit no_core = {0, 0};  // a quit signal is expected to end some runs
  if (::setrlimit(RLIMIT_CORE, &no_core) != 0) {
    _exit(126);
  }
  if (options.file_size_limit != RLIM_INFINITY) {
    std::signal(SIGXFSZ, SIG_DFL);
    struct rlimit limit = {options.file_size_limit, options.file_size_limit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      _exit(126);
    }
  }
  if (options.address_space_limit != RLIM_INFINITY) {
    struct rlimit limit = {options.address_space_limit, options.address_space_limit};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) {
      _exit(126);
    }
  }
  ApplyEnvironment(options.env);
  if (options.prepare && !options.prepare()) {
    _exit(125);
  }
  if (options.as_nobody && ::geteuid() == 0 &&
      (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
    _exit(126);
  }
  if (options.traced && ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
    _exit(126);
  }
  ExecOpjoin(options.args);
}

// Waits for the traced run's next stop. False when it ended instead.
bool Launch::WaitForStop() {
  while (::waitpid(pid_, &status_, __WALL) < 0) {
    if (errno != EINTR) {
      throw std::runtime_error("waitpid failed");
    }
  }
  if (!WIFSTOPPED(status_)) {
    ended_ = true;
    return false;
  }
  return true;
}

void Launch::Continue(int signal) {
  ::ptrace(PTRACE_SYSCALL, pid_, 0, signal);
}

bool Launch::StopAtCall(long number, const std::function<bool(const Call&)>& match) {
  if (!traced_ || ended_) {
    return false;
  }
  for (;;) {
    Continue(pending_signal_);
    pending_signal_ = 0;
    if (!WaitForStop()) {
      return false;
    }
    const int stop = WSTOPSIG(status_);
    if (stop != kCallStop) {
      pending_signal_ = stop;  // a signal on its way: handed on with the next step
      continue;
    }
    __ptrace_syscall_info info = {};
    if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid_, sizeof info, &info) <= 0) {
      throw std::runtime_error("cannot read the system call");
    }
    if (info.op != PTRACE_SYSCALL_INFO_ENTRY || static_cast<long>(info.entry.nr) != number) {
      continue;
    }
    Call call{number, {}};
    std::copy(std::begin(info.entry.args), std::end(info.entry.args), call.args.begin());
    if (!match || match(call)) {
      return true;
    }
  }
}

bool Launch::FailCall(int error) {
#if defined(__x86_64__)
  user_regs_struct regs;
  if (::ptrace(PTRACE_GETREGS, pid_, 0, &regs) != 0) {
    return false;
  }
  regs.orig_rax = static_cast<unsigned long long>(-1);  // no such call: it is skipped
  if (::ptrace(PTRACE_SETREGS, pid_, 0, &regs) != 0) {
    return false;
  }
  Continue(0);
  if (!WaitForStop() || ::ptrace(PTRACE_GETREGS, pid_, 0, &regs) != 0) {
    return false;
  }
  regs.rax = static_cast<unsigned long long>(-error);
  return ::ptrace(PTRACE_SETREGS, pid_, 0, &regs) == 0;
#elif defined(__aarch64__)
  int skipped = -1;
  iovec number = {&skipped, sizeof skipped};
  if (::ptrace(PTRACE_SETREGSET, pid_, NT_ARM_SYSTEM_CALL, &number) != 0) {
    return false;
  }
  Continue(0);
  user_regs_struct regs;
  iovec all = {&regs, sizeof regs};
  if (!WaitForStop() || ::ptrace(PTRACE_GETREGSET, pid_, NT_PRSTATUS, &all) != 0) {
    return false;
  }
  regs.regs[0] = static_cast<unsigned long long>(-error);
  return ::ptrace(PTRACE_SETREGSET, pid_, NT_PRSTATUS, &all) == 0;
#else
  (void)error;
  return false;
#endif
}

void Launch::Detach() {
  if (traced_ && !ended_) {
    ::ptrace(PTRACE_DETACH, pid_, 0, pending_signal_);
  }
  traced_ = false;
}

void Launch::Wait() {
  Detach();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ended_) {
    pid_t done = ::waitpid(pid_, &status_, WNOHANG);
    if (done == pid_) {
      ended_ = WIFEXITED(status_) || WIFSIGNALED(status_);
      continue;
    }
    if (done < 0 && errno != EINTR) {
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status_, 0);
      ended_ = true;
      ADD_FAILURE() << "opjoin did not end";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  out_ = ReadFile(output_ / "out");
  err_ = ReadFile(output_ / "err");
}

int Launch::exit_status() const {
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int Launch::end_signal() const {
  return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

}  // namespace opjoin::testing
