// The terminal dialog on Windows: drive letters, '\' and '/', the folder listing, and answers
// read as UTF-8 lines with CR LF ends.
#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>

#include "base/path.h"
#include "dialog/terminal/terminal_dialog.h"
#include "tests/support/temp_dir.h"

namespace opjoin {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Runs the dialog on `folder` with `input` as what the user typed, as from a pipe.
struct Shown {
  int result = 0;
  std::string path;
  std::string screen;
};

Shown Show(const std::string& folder, std::string_view input) {
  std::FILE* answers = std::tmpfile();
  EXPECT_NE(answers, nullptr);
  std::fwrite(input.data(), 1, input.size(), answers);
  std::rewind(answers);
  std::ostringstream screen;
  TerminalDialog dialog(LogOpenDialog(), folder,
                        std::make_unique<PlainAnswerSource>(answers, screen, false), screen, false);
  Shown shown;
  shown.result = dialog.DoModal();
  shown.path = shown.result == IDOK ? dialog.GetPathName() : "";
  shown.screen = screen.str();
  std::fclose(answers);
  return shown;
}

class WindowsTerminalDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = AbsolutePath(dir_.path(), ".");  // with '\' throughout
    std::filesystem::create_directory(dir_ / "Sim");
    WriteFile(dir_ / "inv.out", "");
    WriteFile(dir_ / "B.DAT", "");
    WriteFile(dir_ / "notes.txt", "");
    WriteFile(dir_ / "Sim/deep.out", "");
  }
  std::string At(std::string_view name) const { return AbsolutePath(root_, name); }

  TempDir dir_;
  std::string root_;
};

TEST_F(WindowsTerminalDialogTest, ListsFoldersThenMatchingFilesIgnoringCase) {
  std::string error;
  std::vector<ListedEntry> listed;
  ASSERT_TRUE(ListFolderEntries(root_, "*.out; *.dat", &listed, &error)) << error;
  std::string names;
  for (const ListedEntry& entry : listed) {
    names += entry.name + (entry.is_folder ? "\\ " : " ");
  }
  EXPECT_EQ(names, "Sim\\ B.DAT inv.out ");
}

TEST_F(WindowsTerminalDialogTest, TakesWindowsPathsInEveryShape) {
  struct Case {
    std::string input;
    std::string chosen;
  };
  const Case cases[] = {
      {At("inv.out") + "\r\n", At("inv.out")},
      {"Sim\\deep.out\r\n", At("Sim\\deep.out")},
      {"Sim/deep.out\r\n", At("Sim\\deep.out")},
      {"Sim\r\n..\\inv.out\r\n", At("inv.out")},
      {"1\r\ndeep.out\r\n", At("Sim\\deep.out")},
      {"inv\r\ny\r\n", At("inv.dat")},
      {root_.substr(0, 2) + "\\" + root_.substr(3) + "\\b.dat\r\n", At("b.dat")},
  };
  for (const Case& c : cases) {
    Shown shown = Show(root_, c.input);
    EXPECT_EQ(shown.result, IDOK) << c.input << shown.screen;
    EXPECT_EQ(shown.path, c.chosen) << c.input;
  }
}

TEST_F(WindowsTerminalDialogTest, AsksBeforeChoosingAFileThatDoesNotExist) {
  Shown shown = Show(root_, "new.out\r\nn\r\n\r\n");
  EXPECT_NE(shown.result, IDOK);
  EXPECT_NE(shown.screen.find(At("new.out") + "\nThis file does not exist.\n"), std::string::npos)
      << shown.screen;
}

}  // namespace
}  // namespace opjoin
