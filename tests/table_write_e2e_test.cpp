// Runs the built opjoin where its table is written: faults and signals part way, links and
// other users' files in the table's place, and tables shared through hard links, groups and
// access control lists. Whatever happens, the old table stays as it was or the whole new one
// is there, no other file of the user's is touched, and nothing is left behind.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch.h"
#include "tests/support/listing_log.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

constexpr uid_t kNobody = 65534;
constexpr std::string_view kOldTable = "old table, longer than the lines of the new one\n";

std::string NotOpened(const std::string& table) {
  return "Failed to write data to output file " + table + " because it did not open.";
}

std::string NotWritten(const std::string& table) {
  return "Failed to write data to output file " + table + "; the file was left as it was.\n";
}

struct stat StatOf(const std::string& path) {
  struct stat info = {};
  if (::lstat(path.c_str(), &info) != 0) {
    throw std::runtime_error("cannot stat " + path);
  }
  return info;
}

// A log whose table, 1 MiB times `scale`, takes a while to write and sync.
std::string LargeLog(int scale, std::string* table) {
  return ListingLog(2, std::string(static_cast<std::size_t>(scale) << 15, '7'), table);
}

// Whether opjoin's open file `fd` is a folder; the run is held, so the descriptor stays.
bool IsFolderOf(pid_t pid, std::uint64_t fd) {
  std::error_code error;
  return std::filesystem::is_directory("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd),
                                       error);
}

// The inode of opjoin's open file `fd`, or 0; the run is held, so the descriptor stays.
ino_t FileOf(pid_t pid, std::uint64_t fd) {
  struct stat info;
  const std::string path = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Whether this test may make mounts of its own (root, with the right to a mount namespace).
bool CanMount() {
  pid_t child = ::fork();
  if (child == 0) {
    _exit(::unshare(CLONE_NEWNS) == 0 &&
                  ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
              ? 0
              : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// In the child about to become opjoin: hides its /proc/self/fd, so that a file without a name
// can never be given one and the named temporary file is used instead.
bool HideOwnDescriptors() {
  const std::string fds = "/proc/" + std::to_string(::getpid()) + "/fd";
  return ::unshare(CLONE_NEWNS) == 0 &&
         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("none", fds.c_str(), "tmpfs", 0, "size=16k") == 0;
}

// ---- Faults and signals while the table is written ----

TEST(TableWrite, AFileSizeLimitFailsTheWriteWithoutASignal) {
  TempDir dir;
  WriteFile(dir / "inv.out", ListingLog(40, " 1.0e-3 2.0e-3 3.0e-3"));
  WriteFile(dir / "inv.jtb", kOldTable);
  WriteFile(dir / "new.out", ListingLog(40, " 1.0e-3 2.0e-3 3.0e-3"));
  for (std::string name : {"inv", "new"}) {
    Launch run(dir / (name + ".out"), {.file_size_limit = 4096});
    run.Wait();
    EXPECT_EQ(run.end_signal(), 0) << name;
    EXPECT_EQ(run.exit_status(), 2) << name;
    EXPECT_EQ(run.out(), NotWritten(dir / (name + ".jtb")));
  }
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), kOldTable);
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out new.out");
}

TEST(TableWrite, AFolderInTheTablesPlaceIsLeftAlone) {
  TempDir dir;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0"));
  ASSERT_EQ(::mkdir((dir / "inv.jtb").c_str(), 0755), 0);
  Launch run(dir / "inv.out");
  run.Wait();
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), NotOpened(dir / "inv.jtb"));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "inv.jtb"));
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out");
}

// Every signal that ends a program, caught or not, including the one nobody can catch.
const int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGXCPU, SIGALRM,
                              SIGUSR1, SIGUSR2, SIGPIPE, SIGVTALRM, SIGPROF, SIGKILL};

TEST(TableWrite, ASignalWhileTheTableIsWrittenLeavesNoFileBehind) {
  for (int signal : kEndingSignals) {
    TempDir dir;
    WriteFile(dir / "inv.jtb", kOldTable);
    WriteFile(dir / "inv.out", LargeLog(1, nullptr));
    Launch run(dir / "inv.out", {.traced = true});
    // Held as the new table, complete, is synced: it has no name yet.
    ASSERT_TRUE(run.StopAtCall(SYS_fsync)) << run.out() << run.err();
    EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out") << strsignal(signal);
    ::kill(run.pid(), signal);
    run.Wait();
    EXPECT_EQ(run.end_signal(), signal) << "exit status " << run.exit_status();
    EXPECT_EQ(ReadFile(dir / "inv.jtb"), kOldTable) << strsignal(signal);
    EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out") << strsignal(signal);
  }
}

TEST(TableWrite, WithoutFilesThatHaveNoNameTheNamedTemporaryFileIsRemovedOnASignal) {
  if (!CanMount()) {
    GTEST_SKIP() << "needs a mount namespace of its own, to hide /proc/self/fd";
  }
  for (int signal : kEndingSignals) {
    if (signal == SIGKILL) {
      continue;  // cannot be caught: the named file would stay
    }
    TempDir dir;
    WriteFile(dir / "inv.jtb", kOldTable);
    WriteFile(dir / "inv.out", LargeLog(1, nullptr));
    Launch run(dir / "inv.out", {.traced = true, .prepare = HideOwnDescriptors});
    ASSERT_TRUE(run.StopAtCall(SYS_fsync)) << run.out() << run.err();
    ASSERT_TRUE(ListFolder(dir.path()).starts_with(".opjoin-")) << ListFolder(dir.path());
    ::kill(run.pid(), signal);
    run.Wait();
    EXPECT_EQ(run.end_signal(), signal) << "exit status " << run.exit_status();
    EXPECT_EQ(ReadFile(dir / "inv.jtb"), kOldTable) << strsignal(signal);
    EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out") << strsignal(signal);
  }
}

TEST(TableWrite, ASignalBeforeOrAfterTheWriteLeavesAWholeTableOrNone) {
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
    std::string written = ReadFile(dir / "inv.jtb");
    EXPECT_TRUE(written == kOldTable || written == table) << "after " << delay_ms << " ms";
    EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out");
  }
}

TEST(TableWrite, TheFolderVanishingDuringTheWriteFailsTheRun) {
  TempDir dir;
  const std::string folder = dir / "sim";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  WriteFile(folder + "/inv.out", LargeLog(1, nullptr));
  Launch run(folder + "/inv.out", {.traced = true});
  ASSERT_TRUE(run.StopAtCall(SYS_fsync));
  std::filesystem::remove_all(folder);
  run.Wait();
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), NotWritten(folder + "/inv.jtb"));
  EXPECT_EQ(ListFolder(dir.path()), "");
}

TEST(TableWrite, TheFolderMovedDuringTheWriteGetsTheTableBesideTheLog) {
  TempDir dir;
  const std::string folder = dir / "sim";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  std::string table;
  WriteFile(folder + "/inv.out", LargeLog(1, &table));
  Launch run(folder + "/inv.out", {.traced = true});
  ASSERT_TRUE(run.StopAtCall(SYS_fsync));
  std::filesystem::rename(folder, dir / "moved");
  run.Wait();
  EXPECT_EQ(run.exit_status(), 0) << run.out() << run.err();
  EXPECT_EQ(ListFolder(dir.path()), "moved");
  EXPECT_EQ(ListFolder(dir / "moved"), "inv.jtb inv.out");
  EXPECT_TRUE(ReadFile(dir / "moved/inv.jtb") == table);
}

// ---- Syncing the folder ----

TEST(TableWrite, AFolderThatCannotBeSyncedAfterTheRenameFailsTheRun) {
  TempDir dir;
  std::string table;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0", &table));
  Launch run(dir / "inv.out", {.traced = true});
  auto is_folder = [&](const Call& call) { return IsFolderOf(run.pid(), call.args[0]); };
  ASSERT_TRUE(run.StopAtCall(SYS_fsync, is_folder)) << "the folder was never synced";
  // The rename has happened by now.
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), table);
  if (!run.FailCall(EIO)) {
    GTEST_SKIP() << "cannot make a system call fail on this architecture";
  }
  run.Wait();
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), "");
  EXPECT_EQ(run.err(), "opjoin: " + (dir / "inv.jtb") +
                           ": the table was written, but its folder could not be synced to "
                           "disk: Input/output error\n");
}

TEST(TableWrite, AFolderThatMayBeWrittenButNotReadGetsItsTable) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to run as nobody";
  }
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string folder = dir / "drop";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  std::string table;
  WriteFile(folder + "/inv.out", ListingLog(2, " 1.0", &table));
  ASSERT_EQ(::chmod((folder + "/inv.out").c_str(), 0644), 0);
  ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0300), 0);
  Launch run(folder + "/inv.out", {.as_nobody = true});
  run.Wait();
  EXPECT_EQ(run.exit_status(), 0) << run.out() << run.err();
  EXPECT_EQ(ReadFile(folder + "/inv.jtb"), table);
}

// ---- Symbolic links in the table's place ----

TEST(TableWrite, LinksInTheTablesPlaceAreFollowedOnlyWhereTheKernelsRuleAllows) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to give links to another user";
  }
  struct Case {
    std::string name;
    mode_t folder_mode;
    uid_t folder_owner;
    uid_t link_owner;
    bool second_hop = false;  // the link leads to a link owned by nobody in a shared folder
    bool followed;
  };
  const Case cases[] = {
      {"another user's link in a shared folder", 01777, 0, kNobody, false, false},
      {"own link in a shared folder", 01777, 0, 0, false, true},
      {"the folder owner's link in a shared folder", 01777, kNobody, kNobody, false, true},
      {"another user's link in a folder not sticky", 0777, 0, kNobody, false, true},
      {"another user's link in a sticky folder others may not write", 01775, 0, kNobody, false,
       true},
      {"own link leading to another user's link in a shared folder", 0755, 0, 0, true, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir / "victim").c_str(), 0755), 0);
    WriteFile(dir / "victim/bashrc", "the victim's file\n");
    ASSERT_EQ(::mkdir((dir / "shared").c_str(), 01777), 0);
    ASSERT_EQ(::chmod((dir / "shared").c_str(), 01777), 0);
    ASSERT_EQ(::mkdir((dir / "runs").c_str(), 0755), 0);
    ASSERT_EQ(::chown((dir / "runs").c_str(), c.folder_owner, c.folder_owner), 0);
    ASSERT_EQ(::chmod((dir / "runs").c_str(), c.folder_mode), 0);
    std::string table;
    WriteFile(dir / "runs/run42.out", ListingLog(2, " 1.0", &table));
    std::string link_target = "../victim/bashrc";
    if (c.second_hop) {
      ASSERT_EQ(::symlink("../victim/bashrc", (dir / "shared/hop").c_str()), 0);
      ASSERT_EQ(::lchown((dir / "shared/hop").c_str(), kNobody, kNobody), 0);
      link_target = "../shared/hop";
    }
    ASSERT_EQ(::symlink(link_target.c_str(), (dir / "runs/run42.jtb").c_str()), 0);
    ASSERT_EQ(::lchown((dir / "runs/run42.jtb").c_str(), c.link_owner, c.link_owner), 0);

    Launch run(dir / "runs/run42.out");
    run.Wait();
    EXPECT_TRUE(S_ISLNK(StatOf(dir / "runs/run42.jtb").st_mode)) << c.name;
    if (c.followed) {
      EXPECT_EQ(run.exit_status(), 0) << c.name << ": " << run.err();
      EXPECT_EQ(ReadFile(dir / "victim/bashrc"), table) << c.name;
    } else {
      EXPECT_EQ(run.exit_status(), 2) << c.name;
      EXPECT_EQ(run.out(), NotOpened(dir / "runs/run42.jtb")) << c.name;
      EXPECT_NE(run.err().find("was not followed"), std::string::npos) << c.name << run.err();
      EXPECT_EQ(ReadFile(dir / "victim/bashrc"), "the victim's file\n") << c.name;
    }
    EXPECT_EQ(ListFolder(dir / "runs"), "run42.jtb run42.out") << c.name;
    EXPECT_EQ(ListFolder(dir / "victim"), "bashrc") << c.name;
  }
}

TEST(TableWrite, ALinkIsWrittenThroughWhetherItsTargetExistsOrNot) {
  TempDir dir;
  ASSERT_EQ(::mkdir((dir / "sim").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((dir / "tables").c_str(), 0755), 0);
  std::string table;
  const std::string log = ListingLog(2, " 1.0", &table);
  struct Case {
    std::string name;
    bool target_exists;
  };
  for (const Case& c : {Case{"dangling", false}, Case{"working", true}}) {
    WriteFile(dir / ("sim/" + c.name + ".out"), log);
    const std::string target = dir / ("tables/" + c.name + ".jtb");
    if (c.target_exists) {
      WriteFile(target, kOldTable);
    }
    ASSERT_EQ(::symlink(("../tables/" + c.name + ".jtb").c_str(),
                        (dir / ("sim/" + c.name + ".jtb")).c_str()),
              0);
    Launch run(dir / ("sim/" + c.name + ".out"));
    run.Wait();
    EXPECT_EQ(run.exit_status(), 0) << c.name << ": " << run.err();
    EXPECT_TRUE(S_ISLNK(StatOf(dir / ("sim/" + c.name + ".jtb")).st_mode)) << c.name;
    EXPECT_EQ(ReadFile(target), table) << c.name;
  }
  EXPECT_EQ(ListFolder(dir / "tables"), "dangling.jtb working.jtb");

  // A link into a folder that does not exist cannot be written.
  WriteFile(dir / "sim/lost.out", log);
  ASSERT_EQ(::symlink("../none/lost.jtb", (dir / "sim/lost.jtb").c_str()), 0);
  Launch lost(dir / "sim/lost.out");
  lost.Wait();
  EXPECT_EQ(lost.exit_status(), 2);
  EXPECT_EQ(lost.out(), NotOpened(dir / "sim/lost.jtb"));
  EXPECT_EQ(lost.err(), "opjoin: " + (dir / "sim/lost.jtb") + ": No such file or directory\n");
}

// ---- Tables shared with others ----

// Sets the extended attribute `name` of `path`; false where the file system has no such
// attributes.
bool SetAttribute(const std::string& path, const char* name, std::string_view value) {
  return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

std::string Attribute(const std::string& path, const char* name) {
  std::string value(4096, '\0');
  ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
  return value;
}

// An access control list as the kernel stores it: user::rw- user:1234:rw- group::r--
// mask::rw- other::r--.
std::string AclGivingUserWrite(std::uint32_t user) {
  std::string acl;
  auto add32 = [&](std::uint32_t value) { acl.append(reinterpret_cast<char*>(&value), 4); };
  auto add_entry = [&](std::uint16_t tag, std::uint16_t permissions, std::uint32_t id) {
    acl.append(reinterpret_cast<char*>(&tag), 2);
    acl.append(reinterpret_cast<char*>(&permissions), 2);
    add32(id);
  };
  add32(2);                        // version
  add_entry(0x01, 6, UINT32_MAX);  // owner
  add_entry(0x02, 6, user);        // a named user
  add_entry(0x04, 4, UINT32_MAX);  // owning group
  add_entry(0x10, 6, UINT32_MAX);  // mask
  add_entry(0x20, 4, UINT32_MAX);  // others
  return acl;
}

TEST(TableWrite, AReplacedTableKeepsItsOwnerGroupPermissionsAclAndAttributes) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to give the table to a colleague";
  }
  TempDir dir;
  const std::string path = dir / "inv.jtb";
  std::string table;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0", &table));
  WriteFile(path, kOldTable);
  ASSERT_EQ(::chown(path.c_str(), 1234, 4321), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
  const std::string acl = AclGivingUserWrite(1235);
  const bool has_acl = SetAttribute(path, "system.posix_acl_access", acl);
  if (!SetAttribute(path, "user.project", "inverter") || !SetAttribute(path, "user.note", "")) {
    GTEST_SKIP() << "this file system has no user attributes";
  }
  SetAttribute(path, "trusted.left", "alone");  // needs privileges: not carried over
  const struct stat old = StatOf(path);

  Launch run(dir / "inv.out");
  run.Wait();
  EXPECT_EQ(run.exit_status(), 0);
  EXPECT_EQ(run.err(), "");
  EXPECT_EQ(ReadFile(path), table);
  const struct stat written = StatOf(path);
  EXPECT_NE(written.st_ino, old.st_ino) << "replaced, not written in place";
  EXPECT_EQ(written.st_uid, 1234u);
  EXPECT_EQ(written.st_gid, 4321u);
  EXPECT_EQ(written.st_mode & 07777, old.st_mode & 07777);
  if (has_acl) {
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl);
  }
  EXPECT_EQ(Attribute(path, "user.project"), "inverter");
  EXPECT_EQ(::getxattr(path.c_str(), "user.note", nullptr, 0), 0);
  EXPECT_EQ(::getxattr(path.c_str(), "trusted.left", nullptr, 0), -1);
}

TEST(TableWrite, WhatCannotBeKeptIsSaidInOneWarning) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to run as nobody";
  }
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  std::string table;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0", &table));
  WriteFile(dir / "inv.jtb", kOldTable);
  ASSERT_EQ(::chown((dir / "inv.jtb").c_str(), 1234, 4321), 0);
  ASSERT_EQ(::chmod((dir / "inv.jtb").c_str(), 0666), 0);
  Launch run(dir / "inv.out", {.as_nobody = true});
  run.Wait();
  EXPECT_EQ(run.exit_status(), 0) << run.out();
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), table);
  EXPECT_EQ(run.err(), "opjoin: warning: " + (dir / "inv.jtb") +
                           ": the new table could not keep the old one's owner (Operation not "
                           "permitted), group (Operation not permitted)\n");
  EXPECT_EQ(StatOf(dir / "inv.jtb").st_mode & 07777, 0666u);
}

TEST(TableWrite, ATableWithOtherHardLinksIsWrittenInPlace) {
  TempDir dir;
  std::string table;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0", &table));
  WriteFile(dir / "inv.jtb", std::string(table.size() * 2, 'o'));  // longer than the new one
  ASSERT_EQ(::link((dir / "inv.jtb").c_str(), (dir / "mirror.jtb").c_str()), 0);
  const ino_t inode = StatOf(dir / "inv.jtb").st_ino;
  Launch run(dir / "inv.out");
  run.Wait();
  EXPECT_EQ(run.exit_status(), 0) << run.err();
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), table);
  EXPECT_EQ(ReadFile(dir / "mirror.jtb"), table);
  EXPECT_EQ(StatOf(dir / "inv.jtb").st_ino, inode);
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out mirror.jtb");
}

TEST(TableWrite, ATableInAFolderThatMayNotBeWrittenIsWrittenInPlace) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to run as nobody";
  }
  TempDir dir;
  std::string table;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0", &table));
  WriteFile(dir / "inv.jtb", kOldTable);
  ASSERT_EQ(::chown((dir / "inv.jtb").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod((dir / "inv.out").c_str(), 0644), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // root's: nobody may not write it
  Launch run(dir / "inv.out", {.as_nobody = true});
  run.Wait();
  EXPECT_EQ(run.exit_status(), 0) << run.out() << run.err();
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), table);
}

TEST(TableWrite, InASharedFolderOnlyTheUsersOwnTableIsWritten) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to give the table to another user";
  }
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
  std::string table;
  WriteFile(dir / "own.out", ListingLog(2, " 1.0", &table));
  WriteFile(dir / "own.jtb", kOldTable);
  ASSERT_EQ(::link((dir / "own.jtb").c_str(), (dir / "own-mirror.jtb").c_str()), 0);
  WriteFile(dir / "planted.out", ListingLog(2, " 1.0"));
  WriteFile(dir / "planted.jtb", kOldTable);
  ASSERT_EQ(::chown((dir / "planted.jtb").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod((dir / "planted.jtb").c_str(), 0666), 0);
  ASSERT_EQ(::link((dir / "planted.jtb").c_str(), (dir / "planted-mirror.jtb").c_str()), 0);

  Launch own(dir / "own.out");
  own.Wait();
  EXPECT_EQ(own.exit_status(), 0) << own.err();
  EXPECT_EQ(ReadFile(dir / "own-mirror.jtb"), table);

  Launch planted(dir / "planted.out");
  planted.Wait();
  EXPECT_EQ(planted.exit_status(), 2);
  EXPECT_EQ(planted.out(), NotOpened(dir / "planted.jtb"));
  EXPECT_EQ(planted.err(), "opjoin: " + (dir / "planted.jtb") +
                               ": the file belongs to another user and stands in a sticky "
                               "folder that everyone may write\n");
  EXPECT_EQ(ReadFile(dir / "planted.jtb"), kOldTable);
  EXPECT_EQ(StatOf(dir / "planted.jtb").st_uid, kNobody);
}

TEST(TableWrite, AnInPlaceWriteHoldsSignalsBackUntilTheTableIsWhole) {
  TempDir dir;
  std::string table;
  WriteFile(dir / "inv.out", ListingLog(2, " 1.0", &table));
  WriteFile(dir / "inv.jtb", std::string(table.size() * 2, 'o'));
  ASSERT_EQ(::link((dir / "inv.jtb").c_str(), (dir / "mirror.jtb").c_str()), 0);
  Launch run(dir / "inv.out", {.traced = true});
  // Held as the rows are written over the old table. A signal that is not held back ends the
  // run as soon as the call returns, with the old table's tail still in place.
  auto writes_table = [&](const Call& call) {
    return FileOf(run.pid(), call.args[0]) == StatOf(dir / "inv.jtb").st_ino;
  };
  ASSERT_TRUE(run.StopAtCall(SYS_writev, writes_table));
  ::kill(run.pid(), SIGTERM);
  run.Wait();
  EXPECT_EQ(run.end_signal(), SIGTERM);
  EXPECT_EQ(ReadFile(dir / "mirror.jtb"), table);
}

TEST(TableWrite, AnInPlaceWriteWithoutRoomLeavesTheTableAsItWas) {
  TempDir dir;
  WriteFile(dir / "inv.out", ListingLog(40, " 1.0e-3 2.0e-3 3.0e-3"));
  WriteFile(dir / "inv.jtb", kOldTable);
  ASSERT_EQ(::link((dir / "inv.jtb").c_str(), (dir / "mirror.jtb").c_str()), 0);
  Launch run(dir / "inv.out", {.file_size_limit = 4096});
  run.Wait();
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), NotWritten(dir / "inv.jtb"));
  EXPECT_EQ(run.err(), "opjoin: " + (dir / "inv.jtb") + ": File too large\n");
  EXPECT_EQ(ReadFile(dir / "mirror.jtb"), kOldTable);
}

TEST(TableWrite, AnInPlaceWriteOnAFullDiskLeavesTheTableAsItWas) {
  if (!CanMount()) {
    GTEST_SKIP() << "needs a mount namespace of its own, for a small file system";
  }
  // This test's process gets mounts of its own, on which a small file system fills up.
  ASSERT_EQ(::unshare(CLONE_NEWNS), 0);
  ASSERT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
  TempDir dir;
  ASSERT_EQ(::mount("none", dir.path().c_str(), "tmpfs", 0, "size=512k"), 0);
  WriteFile(dir / "inv.out", ListingLog(2, std::string(9000, '7')));  // a table of 288 KiB
  WriteFile(dir / "inv.jtb", kOldTable);
  ASSERT_EQ(::link((dir / "inv.jtb").c_str(), (dir / "mirror.jtb").c_str()), 0);
  Launch run(dir / "inv.out");
  run.Wait();
  EXPECT_EQ(run.exit_status(), 2);
  EXPECT_EQ(run.out(), NotWritten(dir / "inv.jtb"));
  EXPECT_EQ(run.err(), "opjoin: " + (dir / "inv.jtb") + ": No space left on device\n");
  EXPECT_EQ(ReadFile(dir / "mirror.jtb"), kOldTable);
  ::umount2(dir.path().c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace opjoin::testing
