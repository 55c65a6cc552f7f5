#include "dialog/terminal/terminal_dialog.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sstream>

#include <gtest/gtest.h>

#include "base/malloced.h"
#include "tests/support/temp_dir.h"

namespace opjoin {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Answers from a script; like a pipe, shows each prompt with the answer after it.
class ScriptedAnswers final : public AnswerSource {
 public:
  ScriptedAnswers(std::vector<std::string> lines, std::ostream& screen)
      : lines_(lines.begin(), lines.end()), screen_(screen) {}
  bool ReadAnswer(std::string_view prompt, const std::string&, std::optional<std::string>* answer,
                  std::string*) override {
    screen_ << prompt;
    answer->reset();
    if (!lines_.empty()) {
      *answer = lines_.front();
      lines_.pop_front();
      screen_ << **answer << '\n';
    }
    return true;
  }

 private:
  std::deque<std::string> lines_;
  std::ostream& screen_;
};

struct Shown {
  int result = 0;
  std::string path;    // GetPathName() after IDOK
  std::string folder;  // the folder shown at the end
  std::string screen;
};

Shown Show(const std::string& folder, std::vector<std::string> answers,
           const OpenDialogDescription& description = LogOpenDialog(), bool escape_names = false) {
  std::ostringstream screen;
  TerminalDialog dialog(description, folder,
                        std::make_unique<ScriptedAnswers>(std::move(answers), screen), screen,
                        escape_names);
  Shown shown;
  shown.result = dialog.DoModal();
  if (shown.result == IDOK) {
    shown.path = dialog.GetPathName();
  }
  shown.folder = dialog.Folder();
  shown.screen = screen.str();
  return shown;
}

std::string Real(const std::string& path) {
  MallocedChars real(::realpath(path.c_str(), nullptr));
  return real ? real.get() : path;
}

// A folder of logs and other files, as a user's simulation folder might hold:
// sim/ (with deep.out), alpha.dat, Beta.OUT, inv.dat, inv.out, notes, ro.out (read-only),
// .hidden.out, zeta.txt.
class TerminalDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkdir((dir_ / "sim").c_str(), 0755), 0);
    for (const char* name : {"alpha.dat", "Beta.OUT", "inv.dat", "inv.out", "notes", "ro.out",
                             ".hidden.out", "zeta.txt", "sim/deep.out"}) {
      WriteFile(dir_ / name, "log\n");
    }
    ASSERT_EQ(::chmod((dir_ / "ro.out").c_str(), 0444), 0);
    root_ = Real(dir_.path());
  }

  std::string At(std::string_view name) const { return root_ + "/" + std::string(name); }

  TempDir dir_;
  std::string root_;  // the folder with links resolved, as the dialog reports it
};

TEST_F(TerminalDialogTest, ListsFoldersThenMatchingFilesSortedIgnoringCase) {
  std::string error;
  std::vector<ListedEntry> logs;
  ASSERT_TRUE(ListFolderEntries(root_, "*.out; *.dat", &logs, &error)) << error;
  std::string names;
  for (const ListedEntry& entry : logs) {
    names += entry.name + (entry.is_folder ? "/ " : " ");
  }
  EXPECT_EQ(names, "sim/ alpha.dat Beta.OUT inv.dat inv.out ro.out ");

  std::vector<ListedEntry> all;
  ASSERT_TRUE(ListFolderEntries(root_, "*.*", &all, &error)) << error;
  EXPECT_EQ(all.size(), 8u);  // notes and zeta.txt too; .hidden.out stays hidden

  std::vector<ListedEntry> none;
  EXPECT_FALSE(ListFolderEntries(At("none"), "*.*", &none, &error));
  EXPECT_EQ(error, std::strerror(ENOENT));
}

TEST_F(TerminalDialogTest, LeavesOutLinksToNothingAndSpecialFiles) {
  ASSERT_EQ(::symlink("gone.out", (dir_ / "dangling.out").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir_ / "pipe.out").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("sim", (dir_ / "link").c_str()), 0);
  std::string error;
  std::vector<ListedEntry> listed;
  ASSERT_TRUE(ListFolderEntries(root_, "*.*", &listed, &error)) << error;
  std::string names;
  for (const ListedEntry& entry : listed) {
    names += entry.name + (entry.is_folder ? "/ " : " ");
  }
  EXPECT_EQ(names, "link/ sim/ alpha.dat Beta.OUT inv.dat inv.out notes ro.out zeta.txt ");
}

TEST_F(TerminalDialogTest, ShowsTitleFolderFileTypesAndNumberedList) {
  Shown shown = Show(root_, {":2"});
  EXPECT_EQ(shown.result, IDCANCEL);
  const std::string first_screen =
      "\nLoad SmartSpice Log File\n"
      "Look in: " +
      root_ +
      "\n"
      "Files of type:\n"
      "  > :1 SmartSpice Log File (*.out; *.dat) \n"
      "    :2 All Files (*.*) \n"
      "  1  sim/\n"
      "  2  alpha.dat\n"
      "  3  Beta.OUT\n"
      "  4  inv.dat\n"
      "  5  inv.out\n"
      "  6  ro.out\n";
  EXPECT_TRUE(shown.screen.starts_with(first_screen)) << shown.screen;
  EXPECT_NE(shown.screen.find("An empty line cancels.\nFile name: :2\n"), std::string::npos);
  // After ":2" the second entry is marked and every file is listed.
  std::size_t second = shown.screen.find("Files of type:", first_screen.size());
  ASSERT_NE(second, std::string::npos);
  EXPECT_NE(shown.screen.find("    :1 SmartSpice Log File (*.out; *.dat) \n"
                              "  > :2 All Files (*.*) \n",
                              second),
            std::string::npos);
  EXPECT_NE(shown.screen.find("  6  notes\n", second), std::string::npos) << shown.screen;
  EXPECT_NE(shown.screen.find("  8  zeta.txt\n", second), std::string::npos);
}

TEST_F(TerminalDialogTest, ReturnsTheChosenFile) {
  ::setenv("HOME", root_.c_str(), 1);
  struct Case {
    std::vector<std::string> answers;
    std::string chosen;  // relative to the test folder
  };
  const Case cases[] = {
      {{"5"}, "inv.out"},
      {{"inv.out"}, "inv.out"},
      {{"  inv.out\t"}, "inv.out"},
      {{"sim/deep.out"}, "sim/deep.out"},
      {{"1", "deep.out"}, "sim/deep.out"},
      {{"sim", "../inv.out"}, "inv.out"},
      {{"sim/", "..", "inv.out"}, "inv.out"},
      {{"./sim/../inv.out"}, "inv.out"},
      {{"~/inv.out"}, "inv.out"},
      {{"~", "sim", "deep.out"}, "sim/deep.out"},
      {{"Beta.OUT"}, "Beta.OUT"},
      // A typed name without an extension gets ".dat"; a listed one is taken as it is.
      {{"inv"}, "inv.dat"},
      {{"sim/../inv"}, "inv.dat"},
      {{":2", "6"}, "notes"},
      {{":2", ":1", "4"}, "inv.dat"},
  };
  for (const Case& c : cases) {
    Shown shown = Show(root_, c.answers);
    EXPECT_EQ(shown.result, IDOK) << c.answers[0] << "\n" << shown.screen;
    EXPECT_EQ(shown.path, At(c.chosen)) << c.answers[0];
  }
  EXPECT_EQ(Show("/", {At("inv.out")}).path, At("inv.out"));
}

TEST_F(TerminalDialogTest, CancelsOnAnEmptyLineOrTheEndOfInput) {
  for (std::vector<std::string> answers : std::vector<std::vector<std::string>>{
           {}, {""}, {"  \r"}, {"sim", ""}, {"nothing.out"}, {"ro.out", ""}}) {
    Shown shown = Show(root_, answers);
    EXPECT_NE(shown.result, IDOK) << shown.screen;
  }
}

TEST_F(TerminalDialogTest, RefusesWhatCannotBeChosenAndAsksAgain) {
  struct Case {
    std::string answer;
    std::string says;
  };
  const Case cases[] = {
      {"ro.out", At("ro.out") + "\nThis file is read-only. Choose another file.\n"},
      {"6", At("ro.out") + "\nThis file is read-only. Choose another file.\n"},
      {"none/inv.out",
       At("none/inv.out") + "\nThe path does not exist. Check the path and try again.\n"},
      {"none/inv",
       At("none/inv.dat") + "\nThe path does not exist. Check the path and try again.\n"},
      {"0", "There is no number 0 in the list.\n"},
      {"7", "There is no number 7 in the list.\n"},
      {"99999999999999999999999", "There is no number 99999999999999999999999 in the list.\n"},
      {":3", "There is no file type :3; the types are :1 to :2.\n"},
      {":", "There is no file type :; the types are :1 to :2.\n"},
      {":all", "There is no file type :all; the types are :1 to :2.\n"},
      {std::string("a\0b", 3), "A name cannot contain a NUL character.\n"},
  };
  for (const Case& c : cases) {
    Shown shown = Show(root_, {c.answer, "inv.out"});
    EXPECT_EQ(shown.result, IDOK) << c.answer;
    EXPECT_EQ(shown.path, At("inv.out"));
    EXPECT_NE(shown.screen.find(c.says + "File name: inv.out\n"), std::string::npos)
        << shown.screen;
  }
}

TEST_F(TerminalDialogTest, RefusesAFileOfAnotherKind) {
  ASSERT_EQ(::mkfifo((dir_ / "pipe.out").c_str(), 0644), 0);
  Shown shown = Show(root_, {"pipe.out", ""});
  EXPECT_EQ(shown.result, IDCANCEL);
  EXPECT_NE(shown.screen.find(At("pipe.out") + "\nThis is not a file. Choose a file.\n"),
            std::string::npos);
}

TEST_F(TerminalDialogTest, AsksWhetherToCreateAFileThatDoesNotExist) {
  const std::string before = testing::ListFolder(root_);
  struct Case {
    std::vector<std::string> answers;
    int result;
    std::string chosen;
  };
  const Case cases[] = {
      {{"new.out", "y"}, IDOK, "new.out"},
      {{"new.out", "YES"}, IDOK, "new.out"},
      {{"new.out", " Yes "}, IDOK, "new.out"},
      {{"new", "y"}, IDOK, "new.dat"},
      {{"new.out", "n", "inv.out"}, IDOK, "inv.out"},
      {{"new.out", "yep", "inv.out"}, IDOK, "inv.out"},
      {{"new.out", ""}, IDCANCEL, ""},
      {{"new.out", "n", ""}, IDCANCEL, ""},
      {{"new.out"}, IDCANCEL, ""},
  };
  for (const Case& c : cases) {
    Shown shown = Show(root_, c.answers);
    EXPECT_EQ(shown.result, c.result) << c.answers[1];
    EXPECT_EQ(shown.path, c.chosen.empty() ? "" : At(c.chosen));
    const std::string question = At(c.answers[0] == "new" ? "new.dat" : "new.out") +
                                 "\nThis file does not exist.\nCreate the file? (y/n) ";
    EXPECT_NE(shown.screen.find(question), std::string::npos) << shown.screen;
  }
  // Nothing was created, not even to test the name.
  EXPECT_EQ(testing::ListFolder(root_), before);
}

TEST_F(TerminalDialogTest, WithoutTheFlagsReturnsNamesItWouldOtherwiseQuestion) {
  OpenDialogDescription plain = LogOpenDialog();
  plain.flags = 0;
  plain.default_extension.clear();
  for (const char* name : {"new.out", "ro.out", "none/inv.out", "notes"}) {
    Shown shown = Show(root_, {name}, plain);
    EXPECT_EQ(shown.result, IDOK) << shown.screen;
    EXPECT_EQ(shown.path, At(name));
  }
}

TEST_F(TerminalDialogTest, KeepsTheWorkingFolder) {
  std::string before = Real(".");
  Shown shown = Show(root_, {"sim", "deep.out"});
  EXPECT_EQ(shown.folder, At("sim"));
  EXPECT_EQ(Real("."), before);
}

TEST_F(TerminalDialogTest, RefusesFilesInAFolderThatCannotBeWritten) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root may write anywhere";
  }
  ASSERT_EQ(::chmod(At("sim").c_str(), 0555), 0);
  for (const char* name : {"sim/deep.out", "sim/new.out"}) {
    Shown shown = Show(root_, {name, ""});
    EXPECT_EQ(shown.result, IDCANCEL);
    EXPECT_NE(shown.screen.find(At(name) + "\nThis folder cannot be written."), std::string::npos)
        << shown.screen;
  }
}

TEST_F(TerminalDialogTest, StaysWhereItIsWhenAFolderCannotBeOpened) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root may open any folder";
  }
  ASSERT_EQ(::chmod(At("sim").c_str(), 0), 0);
  Shown shown = Show(root_, {"sim", "inv.out"});
  EXPECT_EQ(shown.path, At("inv.out"));
  EXPECT_NE(shown.screen.find(At("sim") + "\nThis folder cannot be opened: "), std::string::npos);
}

TEST_F(TerminalDialogTest, ShowsAFolderThatCannotBeRead) {
  Shown shown = Show(At("gone"), {"", ""});
  EXPECT_NE(shown.screen.find(
                "  (this folder cannot be read: " + std::string(std::strerror(ENOENT)) + ")\n"),
            std::string::npos);
  Shown empty = Show(At("sim"), {":1"});
  EXPECT_NE(empty.screen.find("  1  deep.out\n"), std::string::npos);
  ASSERT_EQ(::unlink(At("sim/deep.out").c_str()), 0);
  empty = Show(At("sim"), {""});
  EXPECT_NE(empty.screen.find("  (no folders or matching files)\n"), std::string::npos);
}

TEST_F(TerminalDialogTest, FailsWhenTheScreenCannotBeWritten) {
  std::ostringstream screen;
  screen.setstate(std::ios::badbit);
  TerminalDialog dialog(
      LogOpenDialog(), root_,
      std::make_unique<ScriptedAnswers>(std::vector<std::string>{"inv.out"}, screen), screen,
      false);
  EXPECT_EQ(dialog.DoModal(), kDialogFailed);
  EXPECT_TRUE(dialog.Failure().starts_with("cannot write the dialog to standard error: "))
      << dialog.Failure();
}

TEST_F(TerminalDialogTest, ShowsNamesEscapedOnATerminal) {
  WriteFile(At("a\x1b]0;PWNED\a\x1b[2J.out"), "log");
  WriteFile(At("forged\n  9  entry.out"), "log");
  for (bool escape_names : {true, false}) {
    Shown shown = Show(root_, {"none/x.out", ""}, LogOpenDialog(), escape_names);
    if (escape_names) {
      EXPECT_NE(shown.screen.find("  a\\e]0;PWNED\\a\\e[2J.out\n"), std::string::npos)
          << shown.screen;
      EXPECT_NE(shown.screen.find("  forged\\n  9  entry.out\n"), std::string::npos);
      EXPECT_EQ(shown.screen.find('\x1b'), std::string::npos);
    } else {
      EXPECT_NE(shown.screen.find("  a\x1b]0;PWNED\a\x1b[2J.out\n"), std::string::npos);
      EXPECT_NE(shown.screen.find("  forged\n  9  entry.out\n"), std::string::npos);
    }
  }
}

// Reads every answer `answers` gives; false when reading failed, with `error` set.
bool ReadAll(AnswerSource& answers, std::vector<std::string>* read, std::string* error) {
  for (;;) {
    std::optional<std::string> answer;
    if (!answers.ReadAnswer("? ", "/", &answer, error)) {
      return false;
    }
    if (!answer) {
      return true;
    }
    read->push_back(*answer);
  }
}

TEST(PlainAnswerSource, ReadsLinesAndEchoesThemAfterThePrompt) {
  std::string input = "inv.out\r\nsim\n\nlast\x1b[2J";
  std::FILE* file = ::fmemopen(input.data(), input.size(), "r");
  ASSERT_NE(file, nullptr);
  for (bool escape_names : {false, true}) {
    std::rewind(file);
    std::ostringstream screen;
    PlainAnswerSource answers(file, screen, escape_names);
    std::vector<std::string> read;
    std::string error;
    EXPECT_TRUE(ReadAll(answers, &read, &error)) << error;
    EXPECT_EQ(read, (std::vector<std::string>{"inv.out", "sim", "", "last\x1b[2J"}));
    EXPECT_EQ(screen.str(), escape_names ? "? inv.out\n? sim\n? \n? last\\e[2J\n? \n"
                                         : "? inv.out\n? sim\n? \n? last\x1b[2J\n? \n");
  }
  std::fclose(file);
}

TEST(PlainAnswerSource, FailsWhenTheInputCannotBeRead) {
  std::FILE* folder = std::fopen("/", "r");
  ASSERT_NE(folder, nullptr);
  std::ostringstream screen;
  PlainAnswerSource answers(folder, screen, false);
  std::vector<std::string> read;
  std::string error;
  EXPECT_FALSE(ReadAll(answers, &read, &error));
  std::fclose(folder);
  EXPECT_EQ(error, "cannot read standard input: " + std::string(std::strerror(EISDIR)));
}

TEST(ExpandHome, ReplacesATildeWithTheHomeFolder) {
  ::setenv("HOME", "/home/engineer", 1);
  const passwd* root = ::getpwnam("root");
  ASSERT_NE(root, nullptr);
  const std::string root_home = root->pw_dir;
  const std::pair<std::string, std::string> cases[] = {
      {"~", "/home/engineer"},
      {"~/sim/inv.out", "/home/engineer/sim/inv.out"},
      {"~root", root_home},
      {"~root/inv.out", root_home + "/inv.out"},
      {"~no-such-user-here/inv.out", "~no-such-user-here/inv.out"},
      {"sim/~/inv.out", "sim/~/inv.out"},
      {"/tmp/inv.out", "/tmp/inv.out"},
  };
  for (const auto& [typed, expanded] : cases) {
    EXPECT_EQ(ExpandHome(typed), expanded);
  }
}

}  // namespace
}  // namespace opjoin
