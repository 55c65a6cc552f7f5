// The signals that end the program, and what must be done before one does: a temporary file
// removed, a terminal put back as it was.
#pragma once

#include <signal.h>

#include <array>
#include <atomic>
#include <string>

namespace opjoin {

// The process's one set of handlers for the signals that would end it. Parts of the program
// ask it to run a clean-up before such a signal takes its course, and to hold those signals
// back over steps that must not be cut in two.
class EndingSignals {
 public:
  // Run from a signal handler: may only make async-signal-safe calls.
  using Cleanup = void (*)(void* data);

  // The process's one instance.
  static EndingSignals& Process();

  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;

  // Until Forget(cleanup, data), every catchable signal that would end the process first runs
  // cleanup(data), then ends it as it would have without the handler (or hands the signal on to
  // the handler that was there before). Signals the process ignores stay ignored. False, with
  // `error` set, when the handlers cannot be put in place.
  bool Remember(Cleanup cleanup, void* data, std::string* error);
  void Forget(Cleanup cleanup, void* data);

  // While alive, the ending signals sent to the process wait, and take effect when it ends.
  // Faults (a bad memory access) cannot wait and are not held.
  class Held {
   public:
    Held();
    // Putting back a mask that was read cannot fail.
    ~Held();
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

   private:
    sigset_t saved_;
  };

 private:
  EndingSignals() = default;

  bool Install(std::string* error);
  void Uninstall();
  void RunCleanups();
  static void Handle(int signal, siginfo_t* info, void* context);

  struct Slot {
    std::atomic<Cleanup> cleanup{nullptr};
    std::atomic<void*> data{nullptr};
  };
  static_assert(std::atomic<Cleanup>::is_always_lock_free);
  static_assert(std::atomic<void*>::is_always_lock_free);

  std::array<Slot, 4> slots_;
  int remembered_ = 0;
  // What each signal did before the handlers were put in place; installed_ marks the signals
  // that got the handler.
  std::array<struct sigaction, NSIG> previous_ = {};
  std::array<bool, NSIG> installed_ = {};
};

}  // namespace opjoin
