// Runs the built opjoin on logs a user might pick by mistake or on purpose: things that are not
// files, odd bytes, odd names, and faults and signals while the table is written. Whatever
// happens, the run ends with its message and status, and never leaves a partial table or a
// temporary file behind.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/run_opjoin.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

const char* const kRowNames[] = {"element", "model", "vds",  "vgs", "vbs",  "vth",
                                 "vdsat",   "id",    "gds",  "gm",  "gmbs", "cgs",
                                 "cgd",     "capbd", "weff", "leff"};

// A listing of `blocks` blocks whose row lines carry `cell` after their 10-character label,
// framed by a log's usual lines. Returns the log; `table` receives the table it joins into.
std::string ListingLog(int blocks, std::string_view cell, std::string* table = nullptr,
                       std::string_view preamble = "SmartSpice log\n") {
  std::string log = std::string(preamble) + "subckt\n";
  std::vector<std::string> rows(std::size(kRowNames));
  for (int block = 0; block < blocks; ++block) {
    log += "       0:m1       0:m2\n";
    for (std::size_t row = 0; row < rows.size(); ++row) {
      std::string label(kRowNames[row]);
      label.resize(10, ' ');
      std::string columns = std::string(cell) + std::to_string(block);
      log += label + columns + "\n";
      rows[row] += block == 0 ? label + columns : columns;
    }
  }
  log += "Total elapsed time 0.1\n";
  if (table != nullptr) {
    table->clear();
    for (const std::string& row : rows) {
      *table += row + "\n";
    }
  }
  return log;
}

// The bytes of the file at `path`, read in one go: some tables here are megabytes long.
std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(std::filesystem::file_size(path), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    throw std::runtime_error("cannot read " + path);
  }
  return bytes;
}

// ---- Running opjoin under the test's control ----

// Changes the working folder one name at a time, so that the path may be longer than the
// system takes in one call.
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

struct LaunchOptions {
  std::string folder;                      // working folder; empty keeps the test's own
  bool as_nobody = false;                  // drop root rights, so permissions apply
  rlim_t file_size_limit = RLIM_INFINITY;  // with SIGXFSZ left at its default action
};

// A running opjoin whose standard output and error go to files, for tests that act on the
// process while it runs.
class Launch {
 public:
  Launch(const std::string& log, const LaunchOptions& options = {}) {
    std::string binary = OpjoinBinary();
    std::string arg = log;
    // Made before the start, so that a run ended at once still leaves them to read.
    WriteFile(output_ / "out", "");
    WriteFile(output_ / "err", "");
    pid_ = ::fork();
    if (pid_ < 0) {
      throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
      Start(binary, arg, options);
    }
  }

  pid_t pid() const { return pid_; }

  // Waits for the end. A run that takes longer than a minute is taken for a hang: it is
  // killed, and the test fails.
  void Wait() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      pid_t done = ::waitpid(pid_, &status_, WNOHANG);
      if (done == pid_ || (done < 0 && errno != EINTR)) {
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        ADD_FAILURE() << "opjoin did not end";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    out_ = ReadWhole(output_ / "out");
    err_ = ReadWhole(output_ / "err");
  }

  // The exit status, or -1 when a signal ended the run.
  int exit_status() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
  int end_signal() const { return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  [[noreturn]] void Start(std::string& binary, std::string& arg, const LaunchOptions& options) {
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open((output_ / "out").c_str(), O_WRONLY);
    int err = ::open((output_ / "err").c_str(), O_WRONLY);
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
    if (options.as_nobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      _exit(126);
    }
    char* argv[] = {binary.data(), arg.data(), nullptr};
    ::execv(binary.c_str(), argv);
    _exit(127);
  }

  TempDir output_;
  pid_t pid_ = -1;
  int status_ = 0;
  std::string out_;
  std::string err_;
};

// Watches a folder for opjoin's temporary file.
class TempFileWatch {
 public:
  explicit TempFileWatch(const std::string& folder) : folder_(folder) {
    fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd_ < 0 || ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE) < 0) {
      throw std::runtime_error("cannot watch " + folder);
    }
  }
  ~TempFileWatch() { ::close(fd_); }
  TempFileWatch(const TempFileWatch&) = delete;
  TempFileWatch& operator=(const TempFileWatch&) = delete;

  // Stops `run` while its temporary file exists, and returns the file's path. Returns an empty
  // string, with the run stopped or ended, when the write finished or failed first.
  std::string StopMidWrite(const Launch& run) {
    std::string temp = NextTempFile(run);
    if (temp.empty()) {
      return {};
    }
    ::kill(run.pid(), SIGSTOP);
    siginfo_t info = {};
    // WNOWAIT leaves an ended run for Launch::Wait() to collect.
    if (::waitid(P_PID, static_cast<id_t>(run.pid()), &info, WSTOPPED | WEXITED | WNOWAIT) != 0 ||
        info.si_code != CLD_STOPPED) {
      return {};
    }
    return std::filesystem::exists(temp) ? temp : std::string();
  }

 private:
  std::string NextTempFile(const Launch& run) {
    alignas(inotify_event) char buffer[4096];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd watch = {fd_, POLLIN, 0};
      if (::poll(&watch, 1, 100) < 0 && errno != EINTR) {
        return {};
      }
      ssize_t got = ::read(fd_, buffer, sizeof buffer);
      for (ssize_t at = 0; at < got;) {
        auto* event = reinterpret_cast<inotify_event*>(buffer + at);
        if (event->len > 0 && std::string_view(event->name).starts_with(".opjoin-")) {
          return folder_ + "/" + event->name;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      siginfo_t info = {};
      if (got <= 0 &&
          ::waitid(P_PID, static_cast<id_t>(run.pid()), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
          info.si_pid != 0) {
        return {};  // the run ended without making the file
      }
    }
    return {};  // a hang, which Launch::Wait() reports
  }

  std::string folder_;
  int fd_;
};

std::string OpenFailure(const std::string& path) {
  return "Failure opening file: " + path + ". Quits.";
}

// ---- Logs that are not regular files ----

TEST(HostileInput, LogsThatAreNotReadableFilesAreRefusedAtOnce) {
  TempDir dir;
  ASSERT_EQ(::mkdir((dir / "folder.out").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo.out").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("nowhere.out", (dir / "broken.out").c_str()), 0);
  ASSERT_EQ(::symlink("loop.out", (dir / "loop.out").c_str()), 0);
  WriteFile(dir / "plain.out", ListingLog(1, " 1.0"));
  WriteFile(dir / "secret.out", ListingLog(1, " 1.0"));
  ASSERT_EQ(::chmod((dir / "secret.out").c_str(), 0), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // nobody may look inside

  struct Case {
    std::string log;
    bool as_nobody = false;
  };
  const Case cases[] = {
      {dir / "folder.out"},
      {dir / "fifo.out"},
      {"/dev/zero"},
      {"/dev/urandom"},
      {"/dev/null"},
      {dir / "broken.out"},
      {dir / "loop.out"},
      {dir / "plain.out/x.out"},
      {dir / "secret.out", true},
      {dir / "missing/inv.out"},
  };
  for (const Case& c : cases) {
    Launch run(c.log, {.as_nobody = c.as_nobody});
    run.Wait();
    EXPECT_EQ(run.exit_status(), 2) << c.log;
    EXPECT_EQ(run.out(), OpenFailure(c.log));
    EXPECT_TRUE(run.err().starts_with("opjoin: " + c.log + ": ")) << run.err();
  }
  EXPECT_EQ(ListFolder(dir.path()), "broken.out fifo.out folder.out loop.out plain.out secret.out");
}

TEST(HostileInput, AReadErrorEndsTheRunWithItsMessage) {
  // The process's own memory reads as an error at offset 0, where nothing is mapped.
  Launch run("/proc/self/mem");
  run.Wait();
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), "Failure reading file: /proc/self/mem. Quits.\n");
  EXPECT_TRUE(run.err().starts_with("opjoin: /proc/self/mem: ")) << run.err();
}

TEST(HostileInput, ALogCutShortWhileReadEndsNormally) {
  // The log is cut to nothing once opjoin has begun to read it. Depending on how far it got,
  // it finds no listing or the whole one: either way it ends with its message and status.
  TempDir dir;
  std::string table;
  std::string filler;
  for (int line = 0; line < 400000; ++line) {
    filler += " 1.0e-3 progress: time step accepted, newton iterations 3\n";
  }
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0", &table, filler));
  int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, (dir / "inv.out").c_str(), IN_ACCESS), 0);
  Launch run(dir / "inv.out");
  alignas(inotify_event) char event[sizeof(inotify_event) + NAME_MAX + 1];
  pollfd wait_for_read = {watch, POLLIN, 0};
  if (::poll(&wait_for_read, 1, 10000) > 0 && ::read(watch, event, sizeof event) > 0) {
    ::kill(run.pid(), SIGSTOP);
    ::truncate((dir / "inv.out").c_str(), 0);
    ::kill(run.pid(), SIGCONT);
  }
  ::close(watch);
  run.Wait();
  if (run.exit_status() == 0) {
    EXPECT_EQ(ReadWhole(dir / "inv.jtb"), table);
  } else {
    EXPECT_EQ(run.exit_status(), 2);
    EXPECT_EQ(run.out(), "\nFailed to find start delimiter. Probably bad input file!\n");
    EXPECT_EQ(ListFolder(dir.path()), "inv.out");
  }
}

// ---- Odd content ----

TEST(HostileInput, OddBytesAndOddSizesEndNormally) {
  std::mt19937 random(7);
  std::string binary(1 << 20, '\0');
  for (char& byte : binary) {
    byte = static_cast<char>(random() & 0xff);
  }
  std::string odd_cells = std::string(" \0\0nul\xff\xfe\xc3\x28\xed\xa0\x80 ", 15);
  std::string wide_cell(64 << 10, '9');
  std::string million_lines;
  for (int line = 0; line < 1000000; ++line) {
    million_lines += "x\n";
  }
  std::string huge_line(4 << 20, 'x');

  std::string odd_table;
  std::string odd_log = ListingLog(2, odd_cells, &odd_table, std::string("\0\xff\n", 3));
  std::string wide_table;
  std::string wide_log = ListingLog(1, wide_cell, &wide_table);
  std::string plain_table;
  std::string after_lines_log = ListingLog(2, " 1.0", &plain_table, million_lines);
  std::string after_huge_line_log = ListingLog(2, " 1.0", nullptr, huge_line + "\r\n");

  const std::string kNoDelimiter = "\nFailed to find start delimiter. Probably bad input file!\n";
  struct Case {
    std::string name;
    std::string log;
    std::string out;    // standard output
    std::string table;  // empty when none is written
  };
  const Case cases[] = {
      {"binary", binary, kNoDelimiter, ""},
      {"nul-and-invalid-utf8", odd_log, "", odd_table},
      {"wide-row", wide_log, "", wide_table},
      {"million-lines", after_lines_log, "", plain_table},
      {"after-huge-line", after_huge_line_log, "", plain_table},
      {"one-huge-line", huge_line, kNoDelimiter, ""},
      {"delimiter-after-huge-line", huge_line + "\nsubckt", kNoDelimiter, ""},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / (c.name + ".out"), c.log);
    Launch run(dir / (c.name + ".out"));
    run.Wait();
    EXPECT_EQ(run.exit_status(), c.table.empty() ? 2 : 0) << c.name << ": " << run.err();
    EXPECT_EQ(run.out(), c.out) << c.name;
    if (c.table.empty()) {
      EXPECT_FALSE(std::filesystem::exists(dir / (c.name + ".jtb"))) << c.name;
    } else {
      EXPECT_TRUE(ReadWhole(dir / (c.name + ".jtb")) == c.table) << c.name;
    }
  }
}

// ---- Faults while writing ----

constexpr std::string_view kOldTable = "old table\n";

std::string WriteFailure(const std::string& table) {
  return "Failed to write data to output file " + table + "; the file was left as it was.\n";
}

TEST(HostileInput, AFileSizeLimitFailsTheWriteWithoutASignal) {
  TempDir dir;
  WriteFile(dir / "inv.out", ListingLog(40, " 1.0e-3 2.0e-3 3.0e-3"));
  WriteFile(dir / "inv.jtb", kOldTable);
  WriteFile(dir / "new.out", ListingLog(40, " 1.0e-3 2.0e-3 3.0e-3"));
  for (std::string name : {"inv", "new"}) {
    Launch run(dir / (name + ".out"), {.file_size_limit = 4096});
    run.Wait();
    EXPECT_EQ(run.end_signal(), 0) << name;
    EXPECT_EQ(run.exit_status(), 2) << name;
    EXPECT_EQ(run.out(), WriteFailure(dir / (name + ".jtb")));
  }
  EXPECT_EQ(ReadWhole(dir / "inv.jtb"), kOldTable);
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out new.out");
}

TEST(HostileInput, AFolderInTheTablesPlaceIsLeftAlone) {
  TempDir dir;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0"));
  ASSERT_EQ(::mkdir((dir / "inv.jtb").c_str(), 0755), 0);
  Launch run(dir / "inv.out");
  run.Wait();
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), "Failed to write data to output file " + (dir / "inv.jtb") +
                           " because it did not open.");
  EXPECT_TRUE(std::filesystem::is_empty(dir / "inv.jtb"));
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out");
}

// A log whose table, 1 MiB times `scale`, takes a while to write and sync.
std::string LargeLog(int scale, std::string* table) {
  return ListingLog(2, std::string(static_cast<std::size_t>(scale) << 15, '7'), table);
}

// Runs opjoin on `folder`/inv.out and calls `act` with the run stopped while its temporary
// file exists, and with the table the log gives. Tries larger tables when the write outran the
// stop, putting back the table that was there. Returns false when it never caught the write in
// the middle.
template <typename Act>
bool ActMidWrite(const std::string& folder, Act act) {
  const std::string old_table = folder + "/inv.jtb";
  const bool had_table = std::filesystem::exists(old_table);
  const std::string old_text = had_table ? ReadWhole(old_table) : "";
  for (int scale = 1; scale <= 16; scale *= 4) {
    std::string table;
    WriteFile(folder + "/inv.out", LargeLog(scale, &table));
    TempFileWatch watch(folder);
    Launch run(folder + "/inv.out");
    if (!watch.StopMidWrite(run).empty()) {
      act(run, table);
      return true;
    }
    ::kill(run.pid(), SIGCONT);
    run.Wait();
    if (had_table) {
      WriteFile(old_table, old_text);
    } else {
      std::filesystem::remove(old_table);
    }
  }
  return false;
}

TEST(HostileInput, ASignalDuringTheWriteRemovesTheTemporaryFile) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    TempDir dir;
    WriteFile(dir / "inv.jtb", kOldTable);
    bool caught = ActMidWrite(dir.path(), [&](Launch& run, const std::string&) {
      ::kill(run.pid(), signal);
      ::kill(run.pid(), SIGCONT);
      run.Wait();
      EXPECT_EQ(run.end_signal(), signal) << "exit status " << run.exit_status();
    });
    ASSERT_TRUE(caught) << "the write always finished before it could be stopped";
    EXPECT_EQ(ReadWhole(dir / "inv.jtb"), kOldTable) << strsignal(signal);
    EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out") << strsignal(signal);
  }
}

TEST(HostileInput, ASignalBeforeOrAfterTheWriteLeavesAWholeTableOrNone) {
  // However the signal falls, the folder holds the old table or the whole new one, and nothing
  // else. Sent at once, it lands before the write; sent late, after it.
  for (int delay_ms : {0, 1, 3, 10, 30}) {
    TempDir dir;
    std::string table;
    WriteFile(dir / "inv.out", LargeLog(1, &table));
    WriteFile(dir / "inv.jtb", kOldTable);
    Launch run(dir / "inv.out");
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    ::kill(run.pid(), SIGTERM);
    run.Wait();
    std::string written = ReadWhole(dir / "inv.jtb");
    EXPECT_TRUE(written == kOldTable || written == table) << "after " << delay_ms << " ms";
    EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out");
  }
}

TEST(HostileInput, TheFolderVanishingDuringTheWriteFailsTheRun) {
  TempDir dir;
  std::string folder = dir / "sim";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  bool caught = ActMidWrite(folder, [&](Launch& run, const std::string&) {
    std::filesystem::remove_all(folder);
    ::kill(run.pid(), SIGCONT);
    run.Wait();
    EXPECT_EQ(run.exit_status(), 2);
    EXPECT_EQ(run.out(), WriteFailure(folder + "/inv.jtb"));
  });
  ASSERT_TRUE(caught) << "the write always finished before it could be stopped";
  EXPECT_EQ(ListFolder(dir.path()), "");
}

TEST(HostileInput, TheFolderMovedDuringTheWriteGetsTheTableBesideTheLog) {
  TempDir dir;
  std::string folder = dir / "sim";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  std::string expected;
  bool caught = ActMidWrite(folder, [&](Launch& run, const std::string& table) {
    expected = table;
    std::filesystem::rename(folder, dir / "moved");
    ::kill(run.pid(), SIGCONT);
    run.Wait();
    EXPECT_EQ(run.exit_status(), 0) << run.out() << run.err();
  });
  ASSERT_TRUE(caught) << "the write always finished before it could be stopped";
  EXPECT_EQ(ListFolder(dir.path()), "moved");
  EXPECT_EQ(ListFolder(dir / "moved"), "inv.jtb inv.out");
  EXPECT_TRUE(ReadWhole(dir / "moved/inv.jtb") == expected);
}

// ---- Paths ----

// Makes the folders of the relative `path` below `base`, one at a time, so that the whole
// path may be longer than the system takes in one call.
void MakeFolders(const std::string& base, const std::string& path) {
  int folder = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const auto& part : std::filesystem::path(path)) {
    int next = -1;
    if (folder >= 0 && (::mkdirat(folder, part.c_str(), 0755) == 0 || errno == EEXIST)) {
      next = ::openat(folder, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    ::close(folder);
    folder = next;
  }
  if (folder < 0) {
    throw std::runtime_error("cannot make " + path + " in " + base);
  }
  ::close(folder);
}

// Folders nested below `base` until the path is about `length` bytes long.
std::string DeepFolder(const std::string& base, std::size_t length) {
  std::string relative;
  while (base.size() + relative.size() + 100 < length) {
    relative += (relative.empty() ? "" : "/") + std::string(90, 'd');
  }
  MakeFolders(base, relative);
  return base + "/" + relative;
}

TEST(HostileInput, TablesLandBesideLogsWithOddNames) {
  TempDir dir;
  std::string table;
  std::string log = ListingLog(2, " 1.0", &table);
  std::string deep = DeepFolder(dir.path(), PATH_MAX - 40);

  struct Case {
    std::string log;
    std::string table;
  };
  const std::vector<Case> cases = {
      {dir / "with blanks .out", dir / "with blanks .jtb"},
      {dir / "quotes'\"`$(x).out", dir / "quotes'\"`$(x).jtb"},
      {dir / "new\nline.out", dir / "new\nline.jtb"},
      {dir / "latin1-\xe9\xff.out", dir / "latin1-\xe9\xff.jtb"},
      {dir / "-dash.out", dir / "-dash.jtb"},
      {dir / (std::string(251, 'n') + ".out"), dir / (std::string(251, 'n') + ".jtb")},
      {deep + "/inv.out", deep + "/inv.jtb"},
  };
  for (const Case& c : cases) {
    WriteFile(c.log, log);
    Launch run(c.log);
    run.Wait();
    EXPECT_EQ(run.exit_status(), 0) << c.log << ": " << run.out() << run.err();
    EXPECT_EQ(ReadWhole(c.table), table) << c.log;
  }
}

TEST(HostileInput, RelativeAndLinkedLogsAreNamedAsGiven) {
  TempDir dir;
  std::string table;
  MakeFolders(dir.path(), "real/sim");
  WriteFile(dir / "real/sim/inv.out", ListingLog(2, " 1.0", &table));
  ASSERT_EQ(::symlink("real/sim/inv.out", (dir / "link.out").c_str()), 0);
  ASSERT_EQ(::symlink("real/sim", (dir / "sim").c_str()), 0);

  struct Case {
    std::string log;
    std::string table;
  };
  const Case cases[] = {
      {"link.out", dir / "link.jtb"},
      {"sim/inv.out", dir / "real/sim/inv.jtb"},
      {"./real//sim/../sim/inv.out", dir / "real/sim/inv.jtb"},
  };
  for (const Case& c : cases) {
    Launch run(c.log, {.folder = dir.path()});
    run.Wait();
    EXPECT_EQ(run.exit_status(), 0) << c.log << ": " << run.out() << run.err();
    EXPECT_EQ(ReadWhole(c.table), table) << c.log;
    std::filesystem::remove(c.table);
  }
}

TEST(HostileInput, NamesPastTheSystemsLimitsFailWithTheirMessage) {
  TempDir dir;
  std::string log = ListingLog(2, " 1.0");
  // The log's name fits, but the table's, four bytes longer, does not.
  std::string longest = dir / std::string(NAME_MAX, 'n');
  WriteFile(longest, log);
  Launch long_name(longest);
  long_name.Wait();
  EXPECT_EQ(long_name.exit_status(), 2);
  EXPECT_EQ(long_name.out(),
            "Failed to write data to output file " + longest + ".jtb because it did not open.");

  // A relative name that is short, in a folder whose absolute path is too long to open.
  std::string deep = DeepFolder(dir.path(), PATH_MAX + 200);
  Launch too_deep("inv.out", {.folder = deep});
  too_deep.Wait();
  EXPECT_EQ(too_deep.exit_status(), 2);
  EXPECT_EQ(too_deep.out(), OpenFailure(deep + "/inv.out"));
}

TEST(HostileInput, ALogInTheRootFolderGetsItsTableThere) {
  if (::access("/", W_OK) != 0) {
    GTEST_SKIP() << "the root folder is not writable here";
  }
  std::string name = "/opjoin-hostile-" + std::to_string(::getpid());
  std::string table;
  WriteFile(name + ".out", ListingLog(2, " 1.0", &table));
  Launch run(name + ".out", {.folder = "/"});
  run.Wait();
  EXPECT_EQ(run.exit_status(), 0) << run.out() << run.err();
  std::string written = std::filesystem::exists(name + ".jtb") ? ReadWhole(name + ".jtb") : "";
  std::filesystem::remove(name + ".out");
  std::filesystem::remove(name + ".jtb");
  EXPECT_EQ(written, table);
}

}  // namespace
}  // namespace opjoin::testing
