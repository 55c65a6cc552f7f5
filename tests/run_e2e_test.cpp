// Runs the built opjoin on real logs in a temporary folder and checks what a user sees: the
// messages, the exit status and the table's bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/support/run_opjoin.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

const std::string kExamples = std::string(OPJOIN_SOURCE_DIR) + "/examples";

const char* const kRowNames[] = {"element", "model", "vds",  "vgs", "vbs",  "vth",
                                 "vdsat",   "id",    "gds",  "gm",  "gmbs", "cgs",
                                 "cgd",     "capbd", "weff", "leff"};

// One block: each row's 10-character label, then `columns` 11-character cells.
std::string Block(int block, std::string_view line_end = "\n", int columns = 2) {
  std::string text = std::string("                 ") + std::string(line_end);
  for (std::string_view name : kRowNames) {
    std::string line(name);
    line.resize(10, ' ');
    for (int column = 0; column < columns; ++column) {
      std::string cell = std::to_string(block * 100 + column) + "e-3";
      line += std::string(11 - cell.size(), ' ') + cell;
    }
    text += line + std::string(line_end);
  }
  return text;
}

std::string Log(std::string_view listing, std::string_view line_end = "\n") {
  return "SmartSpice log" + std::string(line_end) + "Total nodes 4" + std::string(line_end) +
         "subckt" + std::string(line_end) + std::string(listing) + "Total elapsed time 0.1" +
         std::string(line_end);
}

// The table two blocks of Block() give.
std::string TwoBlockTable(int columns = 2) {
  std::string first = Block(0, "\n", columns);
  std::string second = Block(1, "\n", columns);
  std::string table;
  std::size_t a = first.find('\n') + 1;
  std::size_t b = second.find('\n') + 1;
  while (a < first.size()) {
    std::size_t a_end = first.find('\n', a);
    std::size_t b_end = second.find('\n', b);
    table += first.substr(a, a_end - a) + second.substr(b + 10, b_end - b - 10) + "\n";
    a = a_end + 1;
    b = b_end + 1;
  }
  return table;
}

Outcome Join(const std::string& log, const Invocation& base = {}) {
  Invocation invocation = base;
  invocation.args.push_back(log);
  return RunOpjoin(invocation);
}

TEST(Run, JoinsTheSampleLogIntoItsTable) {
  TempDir dir;
  WriteFile(dir / "inv.out", ReadFile(kExamples + "/inv.out"));
  Outcome outcome = Join("inv.out", {.folder = dir.path()});
  EXPECT_EQ(outcome.exit_status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), ReadFile(kExamples + "/inv.jtb"));
}

TEST(Run, JoinsCrLfLogsAndLongRowsLikeTheirLfOriginals) {
  TempDir dir;
  WriteFile(dir / "lf.out", Log(Block(0) + Block(1)));
  WriteFile(dir / "crlf.out", Log(Block(0, "\r\n") + Block(1, "\r\n"), "\r\n"));
  WriteFile(dir / "wide.dat", Log(Block(0, "\n", 30) + Block(1, "\n", 30)));
  for (std::string name : {"lf", "crlf"}) {
    EXPECT_EQ(Join(dir / (name + ".out")).exit_status, 0);
    EXPECT_EQ(ReadFile(dir / (name + ".jtb")), TwoBlockTable()) << name;
  }
  EXPECT_EQ(Join(dir / "wide.dat").exit_status, 0);
  EXPECT_EQ(ReadFile(dir / "wide.jtb"), TwoBlockTable(30));
}

TEST(Run, ReportsEachFailureWithItsMessageAndStatus) {
  TempDir dir;
  WriteFile(dir / "plain.out", "no listing in here\nTotal\n");
  WriteFile(dir / "short.out", Log(Block(0).substr(0, 200)));
  ASSERT_EQ(::mkdir((dir / "folder.out").c_str(), 0755), 0);
  WriteFile(dir / "ro.out", Log(Block(0)));
  WriteFile(dir / "ro.jtb", "old\n");
  ASSERT_EQ(::chmod((dir / "ro.jtb").c_str(), 0444), 0);
  WriteFile(dir / "self.jtb", Log(Block(0)));

  struct Case {
    std::string log;
    std::string out;
  };
  const Case cases[] = {
      {dir / "missing.out", "Failure opening file: " + (dir / "missing.out") + ". Quits."},
      {dir / "folder.out", "Failure opening file: " + (dir / "folder.out") + ". Quits."},
      // A file named as a folder, as the shell and open() refuse it.
      {dir / "self.jtb/", "Failure opening file: " + (dir / "self.jtb/") + ". Quits."},
      {dir / "plain.out", "\nFailed to find start delimiter. Probably bad input file!\n"},
      {dir / "short.out", "\nFailed to find a complete listing block. Probably bad input file!\n"},
      {dir / "ro.out",
       "Failed to write data to output file " + (dir / "ro.jtb") + " because it did not open."},
      {dir / "self.jtb",
       "Refusing to write output file " + (dir / "self.jtb") + ": it is the log file itself.\n"},
  };
  for (const Case& c : cases) {
    Outcome outcome = Join(c.log);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.exit_status, 2) << c.log;
  }
  EXPECT_EQ(ReadFile(dir / "ro.jtb"), "old\n");
  EXPECT_EQ(ReadFile(dir / "self.jtb"), Log(Block(0)));
  EXPECT_EQ(ListFolder(dir.path()), "folder.out plain.out ro.jtb ro.out self.jtb short.out");
}

TEST(Run, AFailedWriteKeepsTheOldTable) {
  TempDir dir;
  WriteFile(dir / "inv.out", Log(Block(0, "\n", 400) + Block(1, "\n", 400)));
  WriteFile(dir / "inv.jtb", "old table\n");
  Outcome outcome = Join(dir / "inv.out", {.file_size_limit = 8192});
  EXPECT_EQ(outcome.exit_status, 2);
  EXPECT_EQ(outcome.out, "Failed to write data to output file " + (dir / "inv.jtb") +
                             "; the file was left as it was.\n");
  EXPECT_NE(outcome.err.find("File too large"), std::string::npos) << outcome.err;
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), "old table\n");
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out");
}

TEST(Run, WarnsWhenARowIsMissingFromABlock) {
  TempDir dir;
  std::string second = Block(1);
  second.erase(second.find("cgd"), second.find('\n', second.find("cgd")) - second.find("cgd") + 1);
  WriteFile(dir / "gap.out", Log(Block(0) + second + Block(2)));
  Outcome outcome = Join(dir / "gap.out");
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "opjoin: warning: " + (dir / "gap.out") +
                             ": block 2 has no \"cgd\" row; the joined rows may not line up\n");
}

TEST(Run, TellsTwentyMissingRowsOneByOneAndCountsTheRest) {
  // After the first "element" line, each further one meets the search for "model": a warning
  // each time.
  auto warning = [](const std::string& log) {
    return "opjoin: warning: " + log +
           ": block 1 has no \"model\" row; the joined rows may not line up\n";
  };
  struct Case {
    int element_lines;
    std::string last_line;  // the line after the twenty warnings, if any
  };
  const Case cases[] = {
      {21, ""},
      {22, ": 1 more rows are missing from blocks; the joined rows may not line up\n"},
      {200000, ": 199979 more rows are missing from blocks; the joined rows may not line up\n"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    std::string log = "subckt\n";
    for (int line = 0; line < c.element_lines; ++line) {
      log += "element   0:m1\n";
    }
    WriteFile(dir / "flood.out", log);
    Outcome outcome = Join(dir / "flood.out");
    EXPECT_EQ(outcome.exit_status, 2);
    std::string expected;
    for (int shown = 0; shown < 20; ++shown) {
      expected += warning(dir / "flood.out");
    }
    if (!c.last_line.empty()) {
      expected += "opjoin: warning: " + (dir / "flood.out") + c.last_line;
    }
    EXPECT_EQ(outcome.err, expected) << c.element_lines;
  }
}

TEST(Run, AnswersHelpVersionAndBadOptions) {
  Outcome help = RunOpjoin({.args = {"--help"}});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: opjoin")) << help.out;
  Outcome version = RunOpjoin({.args = {"--version"}});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_TRUE(version.out.starts_with("opjoin ")) << version.out;

  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"--dialog=web"}, {"a.out", "b.out"}, {""}}) {
    Outcome bad = RunOpjoin({.args = args});
    EXPECT_EQ(bad.exit_status, 2) << args[0];
    EXPECT_EQ(bad.out, "");
    EXPECT_NE(bad.err.find("Usage: opjoin"), std::string::npos);
  }
}

TEST(Run, GraphicalDialogWithoutADisplayFailsToStart) {
  TempDir dir;
  Outcome outcome =
      RunOpjoin({.args = {"--dialog=gui"},
                 .folder = dir.path(),
                 .env = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}}});
  EXPECT_EQ(outcome.exit_status, 1);
  EXPECT_EQ(outcome.out, "");
  // The reason (no display, or no window dialog in this build), then the start-up failure.
  EXPECT_TRUE(outcome.err.starts_with("opjoin: ")) << outcome.err;
  EXPECT_TRUE(outcome.err.ends_with("\nFatal Error: MFC initialization failed\n")) << outcome.err;
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 2) << outcome.err;
  EXPECT_EQ(ListFolder(dir.path()), "");
}

TEST(Run, AutomaticDialogFallsBackToTheTerminalWhenTheDisplayDoesNotAnswer) {
  TempDir dir;
  Outcome outcome = RunOpjoin({.input = "\n",
                               .folder = dir.path(),
                               .env = {{"DISPLAY", ":65000"}, {"WAYLAND_DISPLAY", std::nullopt}}});
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("Load SmartSpice Log File"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find("Fatal Error"), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace opjoin::testing
