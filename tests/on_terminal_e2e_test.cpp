// Runs the built opjoin on a terminal (a pseudo-terminal the test holds), as a user at a
// keyboard would: the terminal is put back as it was whatever ends the run, and no name can
// make the terminal obey its bytes.
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/terminal_run.h"

namespace opjoin::testing {
namespace {

const std::string kDialogArg = "--dialog=terminal";

// A name that would set the window's title and clear the screen, and one that would forge an
// entry of the dialog's list; as a terminal must show them, and their raw bytes.
const std::string kTitleName = "a\x1b]0;PWNED\a\x1b[2J.out";
const std::string kTitleShown = "a\\e]0;PWNED\\a\\e[2J.out";
const std::string kForgedName = "forged\n  9  entry.out";
const std::string kForgedShown = "forged\\n  9  entry.out";

bool IsCooked(const termios& modes) {
  return (modes.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO);
}

// Waits until the dialog reads keys at its prompt: keys typed before then are thrown away when
// line editing takes the terminal over.
bool WaitForPrompt(TerminalRun& run) {
  if (!run.WaitFor("File name: ")) {
    return false;
  }
  for (int tries = 0; tries < 1000 && IsCooked(run.Modes()); ++tries) {
    ::usleep(10000);
  }
  return !IsCooked(run.Modes());
}

TEST(OnTerminal, EverySignalThatEndsTheDialogPutsTheTerminalBack) {
  TempDir dir;
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGVTALRM}) {
    TerminalRun run({.args = {kDialogArg}, .folder = dir.path()});
    ASSERT_TRUE(WaitForPrompt(run)) << run.screen();
    ::kill(run.pid(), signal);
    run.Finish();
    EXPECT_EQ(run.end_signal(), signal);
    EXPECT_TRUE(IsCooked(run.Modes())) << strsignal(signal);
  }
}

TEST(OnTerminal, TheEndOfInputCancels) {
  TempDir dir;
  TerminalRun run({.args = {kDialogArg}, .folder = dir.path()});
  ASSERT_TRUE(WaitForPrompt(run));
  run.Type("\x04");  // Ctrl-D
  EXPECT_EQ(run.Finish(), 0) << run.screen();
  EXPECT_TRUE(IsCooked(run.Modes()));
  // libedit echoes the Ctrl-D; the prompt's line is written again without it.
  EXPECT_TRUE(run.screen().ends_with("^D\rFile name: \x1b[K\n")) << run.screen();
}

TEST(OnTerminal, TheDialogShowsNamesEscapedInItsListAndMessages) {
  TempDir dir;
  WriteFile(dir / kTitleName, "log");
  WriteFile(dir / kForgedName, "log");
  const std::string read_only = "ro\x1b[2J.out";
  WriteFile(dir / read_only, "log");
  ASSERT_EQ(::chmod((dir / read_only).c_str(), 0444), 0);
  TerminalRun run({.args = {kDialogArg}, .folder = dir.path()});
  ASSERT_TRUE(WaitForPrompt(run)) << run.screen();
  EXPECT_NE(run.screen().find("  1  " + kTitleShown + "\n"), std::string::npos) << run.screen();
  EXPECT_NE(run.screen().find("  2  " + kForgedShown + "\n"), std::string::npos);
  run.Type("3\r");  // the read-only file, refused with its name
  ASSERT_TRUE(run.WaitFor("ro\\e[2J.out\nThis file is read-only.")) << run.screen();
  ASSERT_TRUE(run.WaitFor("File name: "));
  EXPECT_EQ(run.screen().find(kTitleName), std::string::npos);
  EXPECT_EQ(run.screen().find(kForgedName), std::string::npos);
  EXPECT_EQ(run.screen().find(read_only), std::string::npos);
}

TEST(OnTerminal, TabCompletionListsNamesEscaped) {
  TempDir dir;
  WriteFile(dir / "tab\x1b[2Jone.out", "log");
  WriteFile(dir / "tab\x1b[2Jtwo.out", "log");
  TerminalRun run({.args = {kDialogArg}, .folder = dir.path()});
  ASSERT_TRUE(WaitForPrompt(run));
  run.Type("tab\t\t");
  ASSERT_TRUE(run.WaitFor("tab\\e[2Jone.out")) << run.screen();
  ASSERT_TRUE(run.WaitFor("tab\\e[2Jtwo.out")) << run.screen();
  // Neither in the list nor in the line being edited do the names' bytes reach the terminal.
  EXPECT_EQ(run.screen().find("\x1b[2J"), std::string::npos);
}

TEST(OnTerminal, TabCompletionOffersHiddenNamesOnlyAfterADot) {
  TempDir dir;
  for (const char* name : {"hint.out", "hold.out", ".hidden.out"}) {
    WriteFile(dir / name, "log");
  }
  TerminalRun run({.args = {kDialogArg}, .folder = dir.path()});
  ASSERT_TRUE(WaitForPrompt(run));
  run.Type("h\t\t");
  ASSERT_TRUE(run.WaitFor("hint.out")) << run.screen();
  ASSERT_TRUE(run.WaitFor("hold.out")) << run.screen();
  EXPECT_EQ(run.screen().find("hidden"), std::string::npos) << run.screen();
  run.Type("\x04");

  TerminalRun dotted({.args = {kDialogArg}, .folder = dir.path()});
  ASSERT_TRUE(WaitForPrompt(dotted));
  dotted.Type(".\t");
  EXPECT_TRUE(dotted.WaitFor("hidden.out")) << dotted.screen();  // completes ".hidden.out"
}

TEST(OnTerminal, MessagesEscapeANameOnlyOnAStreamThatIsATerminal) {
  TempDir dir;
  const std::string log = dir / kTitleName;
  const std::string shown = dir / kTitleShown;
  for (bool output_on_terminal : {true, false}) {
    TerminalRun run({.args = {log}, .output_on_terminal = output_on_terminal});
    EXPECT_EQ(run.Finish(), 2);
    // Standard error, on the terminal, always escapes.
    EXPECT_NE(run.screen().find("opjoin: " + shown + ": No such file or directory\n"),
              std::string::npos)
        << run.screen();
    if (output_on_terminal) {
      EXPECT_NE(run.screen().find("Failure opening file: " + shown + ". Quits."),
                std::string::npos);
    } else {
      EXPECT_EQ(run.out(), "Failure opening file: " + log + ". Quits.");
    }
    EXPECT_EQ(run.screen().find(kTitleName), std::string::npos);
  }
}

}  // namespace
}  // namespace opjoin::testing
