#include <signal.h>

#include <cerrno>
#include <string>
#include <vector>

#include "base/diagnostic.h"
#include "base/ending_signals.h"

namespace opjoin {

namespace {

// Signals raised by the program's own faults: they happen again when the handler returns, so
// they are neither held back nor sent again.
constexpr int kFaults[] = {SIGILL, SIGTRAP, SIGBUS, SIGFPE, SIGSEGV, SIGSYS};

// Signals whose default action ends the process, other than faults, abort and the two that
// cannot be caught (SIGKILL, SIGSTOP).
constexpr int kSentSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGUSR1,   SIGUSR2, SIGPIPE, SIGALRM,
    SIGTERM,   SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

bool IsFault(int signal) {
  for (int fault : kFaults) {
    if (fault == signal) {
      return true;
    }
  }
  return false;
}

// The signals that can be held back: those sent from outside, the real-time ones included.
sigset_t SentSignals() {
  sigset_t set;
  ::sigemptyset(&set);
  for (int signal : kSentSignals) {
    ::sigaddset(&set, signal);
  }
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
    ::sigaddset(&set, signal);
  }
  return set;
}

// Every catchable signal that ends the process by default.
std::vector<int> EndingSignalNumbers() {
  std::vector<int> signals(std::begin(kSentSignals), std::end(kSentSignals));
  signals.insert(signals.end(), std::begin(kFaults), std::end(kFaults));
  signals.push_back(SIGABRT);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
    signals.push_back(signal);
  }
  return signals;
}

}  // namespace

EndingSignals& EndingSignals::Process() {
  static EndingSignals signals;
  return signals;
}

bool EndingSignals::Remember(Cleanup cleanup, void* data, std::string* error) {
  Held held;  // no signal between a slot filled and the handlers in place
  for (Slot& slot : slots_) {
    if (slot.cleanup.load() == nullptr) {
      if (remembered_ == 0 && !Install(error)) {
        return false;
      }
      slot.data.store(data);
      slot.cleanup.store(cleanup);
      ++remembered_;
      return true;
    }
  }
  *error = "too many clean-ups wait for a signal";  // a fault of the program's own
  return false;
}

void EndingSignals::Forget(Cleanup cleanup, void* data) {
  Held held;
  for (Slot& slot : slots_) {
    if (slot.cleanup.load() == cleanup && slot.data.load() == data) {
      slot.cleanup.store(nullptr);
      if (--remembered_ == 0) {
        Uninstall();
      }
      return;
    }
  }
}

bool EndingSignals::Install(std::string* error) {
  struct sigaction handler = {};
  handler.sa_sigaction = Handle;
  handler.sa_flags = SA_SIGINFO | SA_RESTART;
  ::sigfillset(&handler.sa_mask);  // one clean-up at a time, whatever arrives meanwhile
  for (int signal : EndingSignalNumbers()) {
    struct sigaction& previous = previous_[static_cast<std::size_t>(signal)];
    if (::sigaction(signal, nullptr, &previous) != 0) {
      *error = ErrnoText(errno);
      Uninstall();
      return false;
    }
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) {
      continue;  // ignored on purpose by whoever started the program
    }
    if (::sigaction(signal, &handler, nullptr) != 0) {
      *error = ErrnoText(errno);
      Uninstall();
      return false;
    }
    installed_[static_cast<std::size_t>(signal)] = true;
  }
  return true;
}

// Putting back actions that were read successfully cannot fail.
void EndingSignals::Uninstall() {
  for (std::size_t signal = 0; signal < installed_.size(); ++signal) {
    if (installed_[signal]) {
      ::sigaction(static_cast<int>(signal), &previous_[signal], nullptr);
      installed_[signal] = false;
    }
  }
}

// The slots stay filled: should the process live on (a handler before ours let it), the
// clean-ups are forgotten as usual, and running one twice does no harm.
void EndingSignals::RunCleanups() {
  for (Slot& slot : slots_) {
    if (Cleanup cleanup = slot.cleanup.load()) {
      cleanup(slot.data.load());
    }
  }
}

void EndingSignals::Handle(int signal, siginfo_t* info, void*) {
  const int saved_errno = errno;
  EndingSignals& self = Process();
  self.RunCleanups();
  const std::size_t index = static_cast<std::size_t>(signal);
  ::sigaction(signal, &self.previous_[index], nullptr);
  self.installed_[index] = false;
  // A fault happens again when the handler returns, and then meets the previous action. A sent
  // signal is sent again: it stays blocked until the handler returns, then takes its course, so
  // the exit status still shows it.
  if (!IsFault(signal) || info == nullptr || info->si_code <= 0) {
    ::raise(signal);
  }
  errno = saved_errno;
}

EndingSignals::Held::Held() {
  const sigset_t sent = SentSignals();
  // Blocking valid signals cannot fail.
  ::sigprocmask(SIG_BLOCK, &sent, &saved_);
}

EndingSignals::Held::~Held() {
  ::sigprocmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace opjoin
