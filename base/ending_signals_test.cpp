#include "base/ending_signals.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace opjoin {
namespace {

// Runs `body` in a child process, with a pipe on which clean-ups and the body report by
// writing a byte. Returns the child's wait status and what was reported, in order.
std::pair<int, std::string> InChild(const std::function<void(int report)>& body) {
  int fds[2];
  if (::pipe(fds) != 0) {
    return {-1, ""};
  }
  pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    body(fds[1]);
    _exit(0);
  }
  ::close(fds[1]);
  std::string reported;
  char byte;
  while (::read(fds[0], &byte, 1) == 1) {
    reported += byte;
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return {status, reported};
}

// Writes `byte` to the test's pipe; a child that cannot report ends with status 4.
void Report(int fd, char byte) {
  if (::write(fd, &byte, 1) != 1) {
    _exit(4);
  }
}

int report_fd = -1;
void ReportCleanup(void*) {
  Report(report_fd, 'c');
}

TEST(EndingSignals, ACleanupRunsBeforeTheSignalEndsTheProcess) {
  for (int signal : {SIGTERM, SIGUSR1, SIGALRM, SIGXCPU, SIGRTMIN + 3}) {
    auto [status, reported] = InChild([signal](int report) {
      report_fd = report;
      std::string error;
      if (!EndingSignals::Process().Remember(ReportCleanup, nullptr, &error)) {
        _exit(3);
      }
      ::raise(signal);
      Report(report, 'x');  // never reached
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << strsignal(signal);
    EXPECT_EQ(reported, "c") << strsignal(signal);
  }
}

TEST(EndingSignals, AnIgnoredSignalStaysIgnored) {
  auto [status, reported] = InChild([](int report) {
    report_fd = report;
    std::signal(SIGUSR2, SIG_IGN);
    std::string error;
    EndingSignals::Process().Remember(ReportCleanup, nullptr, &error);
    ::raise(SIGUSR2);
    Report(report, 'a');
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(reported, "a");
}

TEST(EndingSignals, AHeldSignalWaitsForTheStepToEnd) {
  auto [status, reported] = InChild([](int report) {
    report_fd = report;
    std::string error;
    EndingSignals::Process().Remember(ReportCleanup, nullptr, &error);
    {
      EndingSignals::Held held;
      ::raise(SIGTERM);
      Report(report, 's');  // the step goes on to its end
    }
    Report(report, 'x');  // never reached
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(reported, "sc");
}

TEST(EndingSignals, AForgottenCleanupDoesNotRun) {
  auto [status, reported] = InChild([](int report) {
    report_fd = report;
    std::string error;
    EndingSignals::Process().Remember(ReportCleanup, nullptr, &error);
    EndingSignals::Process().Forget(ReportCleanup, nullptr);
    ::raise(SIGTERM);
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(reported, "");
}

}  // namespace
}  // namespace opjoin
