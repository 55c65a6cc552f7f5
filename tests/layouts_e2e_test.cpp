// Runs the built opjoin on HSPICE and ngspice logs, and with --layout and --listing, and checks
// what a user sees: the table's bytes, the messages and the exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_opjoin.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

const std::string kExamples = std::string(OPJOIN_SOURCE_DIR) + "/examples";

const std::string kNoCompleteBlock =
    "\nFailed to find a complete listing block. Probably bad input file!\n";
const std::string kDelimiterMissing =
    "\nFailed to find start delimiter. Probably bad input file!\n";

Outcome Join(const std::string& log, std::vector<std::string> options = {}) {
  options.push_back(log);
  return RunOpjoin({.args = options});
}

std::string WithCrLf(std::string_view text) {
  std::string crlf;
  for (char c : text) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  return crlf;
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

// The example's MOS section, from its header to the end of its blocks.
std::string MosSection(const std::string& log) {
  std::size_t begin = log.find(" **** mosfets");
  return log.substr(begin, log.find("          ***** job concluded") - begin);
}

TEST(Layouts, JoinsTheHspiceExampleIntoItsTable) {
  TempDir dir;
  const std::string log = ReadFile(kExamples + "/amp.lis");
  const std::string table = ReadFile(kExamples + "/amp.jtb");
  WriteFile(dir / "amp.lis", log);
  WriteFile(dir / "crlf.lis", WithCrLf(log));
  struct Case {
    std::string log;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"amp.lis", {}},
      {"amp.lis", {"--layout=hspice"}},
      {"crlf.lis", {}},  // the table still has LF line ends
  };
  for (const Case& c : cases) {
    Outcome outcome = Join(dir / c.log, c.options);
    EXPECT_EQ(outcome.exit_status, 0) << c.log;
    // Falling back from the SmartSpice rules says nothing of their warnings.
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    std::string name = c.log.substr(0, c.log.find('.'));
    EXPECT_EQ(ReadFile(dir / (name + ".jtb")), table) << c.log;
  }
}

TEST(Layouts, TheSmartSpiceRulesReadAnHspiceLogAsBefore) {
  TempDir dir;
  WriteFile(dir / "amp.lis", ReadFile(kExamples + "/amp.lis"));
  Outcome outcome = Join(dir / "amp.lis", {"--layout=smartspice"});
  EXPECT_EQ(outcome.exit_status, 2);
  EXPECT_EQ(outcome.out, kNoCompleteBlock);
  // Their search for missing rows goes on as it always did, with its warnings.
  EXPECT_NE(outcome.err.find("opjoin: warning: " + (dir / "amp.lis") + ": block 1 has no"),
            std::string::npos)
      << outcome.err;
  EXPECT_EQ(ListFolder(dir.path()), "amp.lis");
}

TEST(Layouts, PicksAListingOfSeveral) {
  TempDir dir;
  const std::string example = ReadFile(kExamples + "/amp.lis");
  // A second run (an .alter) with another current for m1.
  std::string second = Replaced(MosSection(example), "365.9575u", "111.1111u");
  const std::string log = dir / "runs.lis";
  WriteFile(log, example + second + "          ***** job concluded\n");
  const std::string first_table = ReadFile(kExamples + "/amp.jtb");
  const std::string note = "opjoin: " + log +
                           ": the log has 2 MOS listings; the table holds listing %d "
                           "(--listing=N picks another)\n";
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string err;
    std::string table;  // empty: none written
  };
  const Case cases[] = {
      {{}, 0, Replaced(note, "%d", "1"), first_table},
      {{"--listing=1"}, 0, Replaced(note, "%d", "1"), first_table},
      {{"--listing", "2", "--layout=hspice"},
       0,
       Replaced(note, "%d", "2"),
       Replaced(first_table, "365.9575u", "111.1111u")},
      {{"--listing=3"},
       2,
       "opjoin: " + log + ": --listing=3 is past the last listing: the log has 2 MOS listings\n",
       ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir / "runs.jtb");
    Outcome outcome = Join(log, c.options);
    EXPECT_EQ(outcome.exit_status, c.status);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.err);
    if (c.table.empty()) {
      EXPECT_FALSE(std::filesystem::exists(dir / "runs.jtb"));
    } else {
      EXPECT_EQ(ReadFile(dir / "runs.jtb"), c.table);
    }
  }
  // One listing: no note; one past it: the count says so.
  WriteFile(dir / "one.lis", example);
  EXPECT_EQ(Join(dir / "one.lis", {"--listing=2"}).err,
            "opjoin: " + (dir / "one.lis") +
                ": --listing=2 is past the last listing: the log has 1 MOS listing\n");
}

TEST(Layouts, ASmartSpiceLogHasOneListing) {
  TempDir dir;
  WriteFile(dir / "inv.out", ReadFile(kExamples + "/inv.out"));
  Outcome outcome = Join(dir / "inv.out", {"--listing=2"});
  EXPECT_EQ(outcome.exit_status, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "opjoin: " + (dir / "inv.out") +
                             ": --listing=2: the SmartSpice rules read only the first listing of "
                             "a log; --layout=hspice or --layout=ngspice read others\n");
  EXPECT_EQ(ListFolder(dir.path()), "inv.out");
  for (std::string layout : {"--layout=auto", "--layout=smartspice"}) {
    outcome = Join(dir / "inv.out", {layout, "--listing=1"});
    EXPECT_EQ(outcome.exit_status, 0) << layout;
    EXPECT_EQ(ReadFile(dir / "inv.jtb"), ReadFile(kExamples + "/inv.jtb"));
  }
}

TEST(Layouts, HspiceLogsWithoutAJoinableListing) {
  TempDir dir;
  const std::string example = ReadFile(kExamples + "/amp.lis");
  const std::string section = MosSection(example);
  // No MOS section: its voltage-source section still has a "subckt" line for the SmartSpice
  // rules, which find no complete block.
  WriteFile(dir / "none.lis", Replaced(example, section, ""));
  // The log ends inside the second block, as one copied while the simulation ran.
  WriteFile(dir / "cut.lis", example.substr(0, example.find("  ibd", example.find("0:m7"))));
  // A section whose only block is cut off.
  WriteFile(dir / "cut_first.lis", example.substr(0, example.find("  ibd")));
  const std::string cut_warning = "opjoin: warning: " + (dir / "cut_first.lis") +
                                  ": the end of the log cuts off a block of listing 1; the "
                                  "table leaves it out\n";
  struct Case {
    std::string log;
    std::vector<std::string> options;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"none.lis", {"--layout=hspice"}, 2, kDelimiterMissing, ""},
      {"none.lis", {}, 2, kNoCompleteBlock, ""},
      {"cut_first.lis", {"--layout=hspice"}, 2, kNoCompleteBlock, cut_warning},
      {"cut_first.lis", {}, 2, kNoCompleteBlock, cut_warning},
      {"cut.lis", {}, 0, "", Replaced(cut_warning, "cut_first.lis", "cut.lis")},
  };
  for (const Case& c : cases) {
    Outcome outcome = Join(dir / c.log, c.options);
    EXPECT_EQ(outcome.exit_status, c.status) << c.log;
    EXPECT_EQ(outcome.out, c.out) << c.log;
    EXPECT_EQ(outcome.err, c.err) << c.log;
  }
  // The cut-off block is left out: the table holds the first block's six transistors.
  std::string table = ReadFile(dir / "cut.jtb");
  std::string element_row = table.substr(0, table.find('\n', table.find("element")));
  EXPECT_EQ(element_row.substr(element_row.find("element")),
            "element  0:m1       0:m2       0:m3       0:m4       0:m5       0:m6");
}

// A small ngspice log: one "show" of two BSIM4 devices, a level-1 device and a resistor.
const char kNgspiceLog[] =
    "Circuit: * two inverters\n"
    "\n"
    "Doing analysis at TEMP = 27.000000 and TNOM = 27.000000\n"
    "\n"
    "No. of Data Rows : 1\n"
    " BSIM4: Berkeley Short Channel IGFET Model-4\n"
    "     device                    m2                    m1\n"
    "      model                    p4                    n4\n"
    "         gm           0.000761759           0.000643055\n"
    "        vth              0.33456              0.348058\n"
    "\n"
    " Mos1: Level 1 MOSfet model with Meyer capacitance model\n"
    "     device                    m5\n"
    "      model                 nmos1\n"
    "         gm                     0\n"
    "\n"
    " Resistor: Simple linear resistor\n"
    "     device                    r1\n"
    "      model                     R\n"
    " resistance                 10000\n"
    "\n"
    "Note: No \".plot\", \".print\", or \".fourier\" lines; no simulations run\n";

const char kNgspiceTable[] =
    "     device                    m2                    m1                    m5\n"
    "      model                    p4                    n4                 nmos1\n"
    "         gm           0.000761759           0.000643055                     0\n"
    "        vth              0.33456              0.348058\n";

TEST(Layouts, JoinsAnNgspiceLog) {
  TempDir dir;
  WriteFile(dir / "inv.log", kNgspiceLog);
  for (std::string layout : {"--layout=auto", "--layout=ngspice"}) {
    Outcome outcome = Join(dir / "inv.log", {layout});
    EXPECT_EQ(outcome.exit_status, 0) << layout;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(ReadFile(dir / "inv.jtb"), kNgspiceTable);
  }
  // The example, from a real ngspice run.
  WriteFile(dir / "example.log", ReadFile(kExamples + "/inv_ngspice.log"));
  EXPECT_EQ(Join(dir / "example.log").exit_status, 0);
  EXPECT_EQ(ReadFile(dir / "example.jtb"), ReadFile(kExamples + "/inv_ngspice.jtb"));
  // The other layouts find nothing of theirs in it.
  EXPECT_EQ(Join(dir / "inv.log", {"--layout=hspice"}).out, kDelimiterMissing);
  EXPECT_EQ(Join(dir / "inv.log", {"--layout=smartspice"}).out, kDelimiterMissing);
}

}  // namespace
}  // namespace opjoin::testing
