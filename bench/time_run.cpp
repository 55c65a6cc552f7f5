// time_run: runs a command once and reports its wall time, CPU time and peak memory.
//
//   time_run COMMAND [ARG...]
//
// Prints "WALL_SECONDS CPU_SECONDS PEAK_KIB" on standard error after the command ends; the
// command's own output goes where time_run's goes. The CPU time is user plus system time from
// wait4(), which stays meaningful when other processes compete for the processors. Exits with
// the command's status, or 127 when it could not run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

double Seconds(const timespec& t) {
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}
double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("Usage: time_run COMMAND [ARG...]\n", stderr);
    return 2;
  }
  timespec start;
  timespec end;
  if (clock_gettime(CLOCK_MONOTONIC, &start) != 0) {
    std::perror("time_run: clock_gettime");
    return 127;
  }
  pid_t child = fork();
  if (child < 0) {
    std::perror("time_run: fork");
    return 127;
  }
  if (child == 0) {
    execvp(argv[1], argv + 1);
    std::fprintf(stderr, "time_run: %s: %s\n", argv[1], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("time_run: wait4");
      return 127;
    }
  }
  if (clock_gettime(CLOCK_MONOTONIC, &end) != 0) {
    std::perror("time_run: clock_gettime");
    return 127;
  }
  std::fprintf(stderr, "%.6f %.6f %ld\n", Seconds(end) - Seconds(start),
               Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss);
  if (WIFEXITED(status)) {
    return WEXITSTATUS(status);
  }
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
