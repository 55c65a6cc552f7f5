#include "output/temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <random>
#include <string_view>

namespace opjoin {

namespace {

// The signals that end the program while a user or a supervisor can be expected to send them.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// The temporary file being written: its name, or null, in the folder open as temp_folder. A
// signal handler reads them, so they are lock-free.
std::atomic<const char*> temp_in_progress{nullptr};
std::atomic<int> temp_folder{-1};
static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

// What each ending signal did before the write began, for the handler to hand the signal on.
struct sigaction previous_actions[std::size(kEndingSignals)];

void RemoveTempAndResignal(int signal) {
  if (const char* temp = temp_in_progress.exchange(nullptr)) {
    ::unlinkat(temp_folder.load(), temp, 0);
  }
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (kEndingSignals[i] == signal) {
      ::sigaction(signal, &previous_actions[i], nullptr);
    }
  }
  // The signal stays blocked until the handler returns, then ends the program as it would
  // have without the handler, so the exit status still shows it.
  ::raise(signal);
}

sigset_t EndingSignalSet() {
  sigset_t set;
  ::sigemptyset(&set);
  for (int signal : kEndingSignals) {
    ::sigaddset(&set, signal);
  }
  return set;
}

// Holds the ending signals back for one step that must not be cut in two.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t ending = EndingSignalSet();
    held_ = ::sigprocmask(SIG_BLOCK, &ending, &saved_) == 0;
  }
  // Restoring a mask that was read successfully cannot fail.
  ~SignalsHeld() {
    if (held_) {
      ::sigprocmask(SIG_SETMASK, &saved_, nullptr);
    }
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

  bool held() const { return held_; }

 private:
  sigset_t saved_;
  bool held_;
};

#ifdef O_PATH
// Enough to create, rename and remove files in the folder, even one that may not be listed.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// A name for a temporary file, ".opjoin-" and six random letters or digits.
std::string TempName(std::minstd_rand& random) {
  static constexpr std::string_view kChars =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = ".opjoin-";
  for (int i = 0; i < 6; ++i) {
    name += kChars[random() % kChars.size()];
  }
  return name;
}

}  // namespace

TempFile::TempFile() {
  struct sigaction handler = {};
  handler.sa_handler = RemoveTempAndResignal;
  handler.sa_mask = EndingSignalSet();
  for (std::size_t i = 0; i < std::size(kEndingSignals) && ready_; ++i) {
    ready_ = ::sigaction(kEndingSignals[i], nullptr, &previous_actions[i]) == 0 &&
             (previous_actions[i].sa_handler == SIG_IGN ||
              ::sigaction(kEndingSignals[i], &handler, nullptr) == 0);
    installed_ = i + 1;
  }
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  ::sigemptyset(&ignore.sa_mask);
  ready_ = ready_ && ::sigaction(SIGXFSZ, &ignore, &previous_file_size_action_) == 0;
  file_size_action_changed_ = ready_;
}

TempFile::~TempFile() {
  if (folder_ >= 0) {
    ::close(folder_);
  }
  if (file_size_action_changed_) {
    ::sigaction(SIGXFSZ, &previous_file_size_action_, nullptr);
  }
  for (std::size_t i = 0; i < installed_; ++i) {
    ::sigaction(kEndingSignals[i], &previous_actions[i], nullptr);
  }
}

int TempFile::Create(const std::string& folder) {
  if (!ready_) {
    errno = EINVAL;
    return -1;
  }
  folder_ = ::open(folder.c_str(), kFolderFlags);
  if (folder_ < 0) {
    return -1;
  }
  std::minstd_rand random(static_cast<std::uint_fast32_t>(
      ::getpid() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
  SignalsHeld held;
  if (!held.held()) {
    return -1;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    name_ = TempName(random);
    int fd = ::openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      temp_folder.store(folder_);
      temp_in_progress.store(name_.c_str());
      return fd;
    }
    if (errno != EEXIST) {
      return -1;
    }
  }
  return -1;
}

int TempFile::Finish(const std::string& target_name, int error) {
  SignalsHeld held;
  if (error == 0 && ::renameat(folder_, name_.c_str(), folder_, target_name.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(folder_, name_.c_str(), 0);
  }
  temp_in_progress.store(nullptr);
  return error;
}

}  // namespace opjoin
