// Runs the built opjoin without a log, so that it asks in the terminal Open dialog, and answers
// the dialog through a pipe as a script would. Checks the screen on standard error, the
// messages, the exit status and the table written for the chosen log.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/support/launch.h"
#include "tests/support/run_opjoin.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

// The operating-point listing of a two-transistor inverter, in one block of columns.
const std::string kRows =
    "element   0:mn1      0:mp1\n"
    "model     0:nch      0:pch\n"
    "vds       1.2000     -1.2000\n"
    "vgs       1.8000     -0.6000\n"
    "vbs       0.0000     0.0000\n"
    "vth       0.4512     -0.4820\n"
    "vdsat     0.8721     -0.1795\n"
    "id        1.5342e-04 -1.5342e-04\n"
    "gds       2.1044e-06 3.3570e-05\n"
    "gm        3.0412e-04 4.7710e-04\n"
    "gmbs      6.4833e-05 9.8120e-05\n"
    "cgs       2.4411e-15 3.1290e-15\n"
    "cgd       5.5092e-16 1.2015e-15\n"
    "capbd     9.8800e-16 2.0105e-15\n"
    "weff      1.0000e-06 2.0000e-06\n"
    "leff      1.8000e-07 1.8000e-07\n";
const std::string kLog =
    "SmartSpice 4.20.2\n\n* inverter\nsubckt\n" + kRows + "\nTotal elapsed time:  0.04 seconds\n";
const std::string kScreenTitle = "Load SmartSpice Log File\nLook in: ";
const std::string kDialogArg = "--dialog=terminal";

// The folder a user might run opjoin in: sim/ with a log, a log, a read-only log, a log with a
// ".dat" extension, a log named unlike a log, and a note.
class TerminalDialogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkdir((dir_ / "sim").c_str(), 0755), 0);
    for (const char* name : {"inv.out", "ro.out", "run.dat", "inv.log", "sim/deep.out"}) {
      WriteFile(dir_ / name, kLog);
    }
    WriteFile(dir_ / "notes.txt", "to do\n");
    ASSERT_EQ(::chmod((dir_ / "ro.out").c_str(), 0444), 0);
    root_ = std::filesystem::canonical(dir_.path()).string();
  }

  Outcome Answer(const std::string& answers) {
    return RunOpjoin({.args = {kDialogArg}, .input = answers, .folder = dir_.path()});
  }

  // The folder's names, sorted, with `name` added.
  std::string NamesWith(std::string name) const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.insert(entry.path().filename().string());
    }
    names.insert(name);
    std::string listing;
    for (const std::string& each : names) {
      listing += (listing.empty() ? "" : " ") + each;
    }
    return listing;
  }

  TempDir dir_;
  std::string root_;
};

TEST_F(TerminalDialogRun, JoinsTheLogChosenByNameOrNumber) {
  struct Case {
    std::string answers;
    std::string table;  // where the table lands, relative to the folder
  };
  const Case cases[] = {
      {"inv.out\n", "inv.jtb"},
      {root_ + "/inv.out\n", "inv.jtb"},
      {"2\n", "inv.jtb"},  // 1 sim/, 2 inv.out, 3 ro.out, 4 run.dat
      {"1\ndeep.out\n", "sim/deep.jtb"},
      {"sim\n1\n", "sim/deep.jtb"},
      {"sim/../run.dat\n", "run.jtb"},
      {":2\n2\n", "inv.jtb"},  // All Files: 1 sim/, 2 inv.log, 3 inv.out, ...
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir_ / "inv.jtb");
    std::filesystem::remove(dir_ / "run.jtb");
    std::filesystem::remove(dir_ / "sim/deep.jtb");
    Outcome outcome = Answer(c.answers);
    EXPECT_EQ(outcome.exit_status, 0) << c.answers << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(ReadFile(dir_ / c.table), kRows) << c.answers << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with("opjoin: wrote " + root_ + "/" + c.table + "\n"))
        << c.answers << outcome.err;
  }
}

TEST_F(TerminalDialogRun, ShowsTheDialogOnStandardError) {
  Outcome outcome = Answer(":2\n");
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_EQ(outcome.out, "");
  const std::string all_files = "\n" + kScreenTitle + root_ +
                                "\nFiles of type:\n"
                                "    :1 SmartSpice Log File (*.out; *.dat) \n"
                                "  > :2 All Files (*.*) \n"
                                "  1  sim/\n"
                                "  2  inv.log\n"
                                "  3  inv.out\n"
                                "  4  notes.txt\n"
                                "  5  ro.out\n"
                                "  6  run.dat\n";
  EXPECT_NE(outcome.err.find(all_files), std::string::npos) << outcome.err;
  EXPECT_TRUE(outcome.err.ends_with("File name: \n")) << outcome.err;
}

TEST_F(TerminalDialogRun, CancelsOnAnEmptyLineOrTheEndOfInput) {
  const std::string before = ListFolder(dir_.path());
  for (std::string answers : {"\n", "", "sim\n\n", "new.out\nn\n\n"}) {
    Outcome outcome = Answer(answers);
    EXPECT_EQ(outcome.exit_status, 0) << answers;
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find(kScreenTitle), std::string::npos);
    EXPECT_EQ(ListFolder(dir_.path()), before);
  }
}

TEST_F(TerminalDialogRun, AddsTheDefaultExtensionToATypedName) {
  Outcome outcome = Answer("run\n");
  EXPECT_EQ(outcome.exit_status, 0) << outcome.err;
  EXPECT_EQ(ReadFile(dir_ / "run.jtb"), kRows);
}

TEST_F(TerminalDialogRun, ReturnsAFileToBeCreatedWithoutCreatingIt) {
  Outcome outcome = Answer("new\nyes\n");
  EXPECT_EQ(outcome.exit_status, 2);
  EXPECT_EQ(outcome.out, "Failure opening file: " + root_ + "/new.dat. Quits.");
  EXPECT_NE(outcome.err.find(root_ + "/new.dat\nThis file does not exist.\nCreate the file? (y/n) "
                                     "yes\n"),
            std::string::npos)
      << outcome.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "new.dat"));
}

TEST_F(TerminalDialogRun, AsksAgainWhenTheFileIsNotToBeCreated) {
  const std::string before = NamesWith("inv.jtb");
  Outcome outcome = Answer("new.out\nNo\ninv.out\n");
  EXPECT_EQ(outcome.exit_status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("Create the file? (y/n) No\nFile name: inv.out\n"), std::string::npos)
      << outcome.err;
  EXPECT_EQ(NamesWith("inv.jtb"), before);
}

TEST_F(TerminalDialogRun, RefusesAReadOnlyLogAndAsksAgain) {
  for (std::string answers : {"ro.out\ninv.out\n", "3\ninv.out\n"}) {
    std::filesystem::remove(dir_ / "inv.jtb");
    Outcome outcome = Answer(answers);
    EXPECT_EQ(outcome.exit_status, 0) << outcome.err;
    EXPECT_NE(outcome.err.find(root_ + "/ro.out\nThis file is read-only. Choose another file.\n"
                                       "File name: inv.out\n"),
              std::string::npos)
        << outcome.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "ro.jtb"));
    EXPECT_EQ(ReadFile(dir_ / "inv.jtb"), kRows);
  }
}

TEST_F(TerminalDialogRun, RefusesANameInAFolderThatDoesNotExist) {
  Outcome outcome = Answer("none/inv.out\n\n");
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(
      outcome.err.find(root_ + "/none/inv.out\nThe path does not exist. Check the path and try "
                               "again.\n"),
      std::string::npos)
      << outcome.err;
}

TEST(TerminalDialogStart, FailsWhenItCannotBeAnsweredOrShown) {
  TempDir dir;
  struct Case {
    std::string input;
    std::string error_output;
    std::string reason;  // the last line on standard error
  };
  const Case cases[] = {
      {"/", "", "opjoin: cannot read standard input: Is a directory\n"},
      // This test's own memory, read from its start, where nothing is mapped.
      {"/proc/" + std::to_string(::getpid()) + "/mem", "",
       "opjoin: cannot read standard input: Input/output error\n"},
      {"/dev/null", "/dev/full", ""},
  };
  for (const Case& c : cases) {
    Launch run({.args = {kDialogArg},
                .folder = dir.path(),
                .input = c.input,
                .error_output = c.error_output});
    run.Wait();
    EXPECT_EQ(run.exit_status(), 2) << c.input << " " << c.error_output;
    EXPECT_EQ(run.out(), "");
    EXPECT_TRUE(run.err().ends_with(c.reason)) << run.err();
  }
}

TEST(TerminalDialogStart, FailsWithoutStandardInputAndSaysWhy) {
  TempDir dir;
  Outcome outcome = RunOpjoin({.args = {kDialogArg}, .close_input = true, .folder = dir.path()});
  EXPECT_EQ(outcome.exit_status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "opjoin: standard input is not open for reading, so the terminal dialog cannot be "
            "answered\nFatal Error: MFC initialization failed\n");
}

// opjoin started with its standard input and error on pipes that stay open, so that the test
// can look at the process between answers.
class LiveOpjoin {
 public:
  LiveOpjoin(const std::string& folder) {
    int in[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    std::signal(SIGPIPE, SIG_IGN);
    pid_ = ::fork();
    if (pid_ < 0) {
      throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(err[1], 2);
      std::string binary = OpjoinBinary();
      std::string arg = kDialogArg;
      char* argv[] = {binary.data(), arg.data(), nullptr};
      if (::chdir(folder.c_str()) == 0) {
        ::execv(binary.c_str(), argv);
      }
      _exit(127);
    }
    ::close(in[0]);
    ::close(err[1]);
    in_ = in[1];
    err_ = err[0];
  }
  ~LiveOpjoin() {
    if (in_ >= 0) {
      ::close(in_);
    }
    Finish();
  }

  void Send(std::string_view text) {
    ASSERT_EQ(::write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // Reads the screen until `text` appears after what earlier calls found; false after ten
  // seconds without it.
  bool WaitFor(const std::string& text) {
    std::size_t found;
    while ((found = screen_.find(text, seen_)) == std::string::npos) {
      pollfd ready = {err_, POLLIN, 0};
      if (::poll(&ready, 1, 10000) <= 0) {
        return false;
      }
      char buffer[4096];
      ssize_t n = ::read(err_, buffer, sizeof buffer);
      if (n <= 0) {
        return false;
      }
      screen_.append(buffer, static_cast<std::size_t>(n));
    }
    seen_ = found + text.size();
    return true;
  }

  std::string WorkingFolder() const {
    return std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/cwd").string();
  }

  // Closes standard input and returns the exit status.
  int Finish() {
    if (pid_ <= 0) {
      return status_;
    }
    if (in_ >= 0) {
      ::close(in_);
      in_ = -1;
    }
    char buffer[4096];
    while (::read(err_, buffer, sizeof buffer) > 0) {
    }
    ::close(err_);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
  }

 private:
  pid_t pid_ = 0;
  int in_ = -1;
  int err_ = -1;
  int status_ = -1;
  std::string screen_;
  std::size_t seen_ = 0;  // where the text found last ends
};

TEST_F(TerminalDialogRun, KeepsTheWorkingFolderWhileBrowsing) {
  LiveOpjoin opjoin(dir_.path());
  ASSERT_TRUE(opjoin.WaitFor("File name: "));
  opjoin.Send("sim\n");
  ASSERT_TRUE(opjoin.WaitFor("Look in: " + root_ + "/sim\n"));
  ASSERT_TRUE(opjoin.WaitFor("File name: "));
  EXPECT_EQ(opjoin.WorkingFolder(), root_);
  opjoin.Send("..\n");
  ASSERT_TRUE(opjoin.WaitFor("Look in: " + root_ + "\n"));
  opjoin.Send("sim/deep.out\n");
  EXPECT_EQ(opjoin.Finish(), 0);
  EXPECT_EQ(ReadFile(dir_ / "sim/deep.jtb"), kRows);
}

}  // namespace
}  // namespace opjoin::testing
