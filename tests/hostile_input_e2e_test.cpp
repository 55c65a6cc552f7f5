// Runs the built opjoin on logs a user might pick by mistake or on purpose: things that are not
// files, odd bytes, odd names. Whatever happens, the run ends with its message and status.
// Faults while the table is written are in table_write_e2e_test.cpp.
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
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch.h"
#include "tests/support/listing_log.h"
#include "tests/support/run_opjoin.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

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
    EXPECT_EQ(ReadFile(dir / "inv.jtb"), table);
  } else {
    EXPECT_EQ(run.exit_status(), 2);
    EXPECT_EQ(run.out(), "\nFailed to find start delimiter. Probably bad input file!\n");
    EXPECT_EQ(ListFolder(dir.path()), "inv.out");
  }
}

// Whether the binary under test runs where `new` cannot fail for want of address space: the
// sanitizers and valgrind keep memory of their own.
bool NewCanFail() {
#if defined(__SANITIZE_ADDRESS__)
  return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return false;
#endif
#endif
  const char* preload = std::getenv("LD_PRELOAD");
  return preload == nullptr || std::strstr(preload, "vgpreload") == nullptr;
}

TEST(HostileInput, AListingTooLargeForTheMemoryEndsWithItsReason) {
  if (!NewCanFail()) {
    GTEST_SKIP() << "the sanitizers and valgrind do not let new fail";
  }
  TempDir dir;
  WriteFile(dir / "huge.out", ListingLog(3, std::string(1 << 20, '9')));  // a 48 MiB table
  WriteFile(dir / "huge.jtb", "old table\n");
  Launch run(dir / "huge.out", {.address_space_limit = 32 << 20});
  run.Wait();
  EXPECT_EQ(run.end_signal(), 0);
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), "");
  EXPECT_EQ(run.err(),
            "opjoin: " + (dir / "huge.out") + ": not enough memory to join the listing\n");
  EXPECT_EQ(ReadFile(dir / "huge.jtb"), "old table\n");
  EXPECT_EQ(ListFolder(dir.path()), "huge.jtb huge.out");
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
      EXPECT_TRUE(ReadFile(dir / (c.name + ".jtb")) == c.table) << c.name;
    }
  }
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
    EXPECT_EQ(ReadFile(c.table), table) << c.log;
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
    EXPECT_EQ(ReadFile(c.table), table) << c.log;
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
  std::string written = std::filesystem::exists(name + ".jtb") ? ReadFile(name + ".jtb") : "";
  std::filesystem::remove(name + ".out");
  std::filesystem::remove(name + ".jtb");
  EXPECT_EQ(written, table);
}

}  // namespace
}  // namespace opjoin::testing
