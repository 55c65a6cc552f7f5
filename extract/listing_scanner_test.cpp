#include "extract/listing_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_input.h"

namespace opjoin {
namespace {

TEST(MatchKeyword, TestsTheFirstWordAfterAtMostTenNonLetters) {
  struct Case {
    std::string_view name;
    std::string_view line;
    int expected;
  };
  const Case cases[] = {
      {"subckt", "subckt", 0},
      {"subckt", " subckt x1", 0},
      {"subckt", "*subckt", 0},
      {"subckt", "          subckt", 0},   // ten blanks
      {"subckt", "           subckt", 1},  // eleven blanks
      {"subckt", "xsubckt", 1},
      {"subckt", "subck", 1},
      {"subckt", "", 1},
      {"subckt", "12345.6789\xe9subckt", 1},  // a byte above 127 is no letter
      {"subckt", "1\xe9subckt", 0},
      {"gm", "gmbs  1e-3", 0},
      {"vds", "vdsat 0.2", 0},
      {"Total", "Totals", 0},
      {"Total", "  Total elapsed time", 0},
      {"Total", "TOTAL", 1},
      {"Total", "total", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchKeyword(c.name, c.line), c.expected) << c.name << " in '" << c.line << "'";
  }
}

// A row line of block `block`: the name in a 10-character label, then two 11-character columns.
std::string RowLine(std::string_view name, int block) {
  std::string line(name);
  line.resize(LabelColumnWidth, ' ');
  for (int column = 0; column < 2; ++column) {
    std::string cell = std::string(name) + std::to_string(block) + "_" + std::to_string(column);
    line += std::string(11 - cell.size(), ' ') + cell;
  }
  return line;
}

// The sixteen row lines of one block, with unrelated lines before and between them.
std::string Block(int block) {
  std::string text = "\n     0:m1       1:m2\n";
  for (std::string_view name : KeywordTable) {
    text += RowLine(name, block) + "\n";
    if (name == "id") {
      text += "ibs         0.0        0.0\n";
    }
  }
  return text;
}

// Row `row` joined over blocks 0 to blocks-1.
std::string Joined(std::size_t row, int blocks) {
  std::string joined = RowLine(KeywordTable[row], 0);
  for (int block = 1; block < blocks; ++block) {
    joined += RowLine(KeywordTable[row], block).substr(LabelColumnWidth);
  }
  return joined;
}

const std::string kPreamble = "SmartSpice log\nTotal nodes 12\n* subckt x1 follows\nsubckt\n";

struct Scan {
  int result;
  ParameterRows rows;
  std::vector<std::pair<std::size_t, int>> missing;
};

Scan ScanText(std::string_view text) {
  TestInput input(text);
  LineReader reader(input.fd(), 128);
  Scan scan{};
  scan.result = ScanListing(reader, scan.rows, [&](std::size_t row, int block) {
    scan.missing.emplace_back(row, block);
  });
  return scan;
}

TEST(ScanListing, MissingDelimiterLeavesRowsUntouched) {
  for (std::string_view text : {"", "no listing here\n", "xsubckt\n", "subckt"}) {
    TestInput input(text);
    LineReader reader(input.fd());
    ParameterRows rows;
    rows[3] = "kept";
    EXPECT_EQ(ScanListing(reader, rows, [](std::size_t, int) {}), DelimiterMissing) << text;
    EXPECT_EQ(rows[3], "kept");
  }
}

TEST(ScanListing, OneBlockGivesTheLinesWhole) {
  Scan scan = ScanText(kPreamble + Block(0) + "Total elapsed time 0.1\n");
  EXPECT_EQ(scan.result, 1);
  for (std::size_t row = 0; row < kRowCount; ++row) {
    EXPECT_EQ(scan.rows[row], RowLine(KeywordTable[row], 0));
  }
  EXPECT_TRUE(scan.missing.empty());
}

TEST(ScanListing, EndMarkerInsideABlockKeepsWhatThatBlockAppended) {
  std::string fourth = Block(3);
  fourth.insert(fourth.find("vth"), "Total elapsed time 1.0\n");
  Scan scan = ScanText(kPreamble + Block(0) + Block(1) + Block(2) + fourth + Block(4));
  EXPECT_EQ(scan.result, 3);
  for (std::size_t row = 0; row < kRowCount; ++row) {
    EXPECT_EQ(scan.rows[row], Joined(row, row < 5 ? 4 : 3)) << KeywordTable[row];
  }
}

TEST(ScanListing, EndOfInputCountsOnlyCompleteBlocks) {
  std::string two = kPreamble + Block(0) + Block(1);
  EXPECT_EQ(ScanText(two).result, 2);
  EXPECT_EQ(ScanText(two.substr(0, two.size() - 1)).result, 2);  // no final line feed
  EXPECT_EQ(ScanText(two.substr(0, two.size() - 40)).result, 1);
  EXPECT_EQ(ScanText(kPreamble).result, 0);
  EXPECT_EQ(ScanText(kPreamble + "element x\nTotal\n" + Block(1)).result, 0);
}

TEST(ScanListing, EndMarkerCountsOnlyAfterTheDelimiterAndInCapitals) {
  Scan scan =
      ScanText("Total\n" + kPreamble + Block(0) + "total\n" + Block(1) + "  Totals\n" + Block(2));
  EXPECT_EQ(scan.result, 2);
  EXPECT_EQ(scan.rows[15], Joined(15, 2));
}

TEST(ScanListing, ShortLaterRowLinesAppendNothing) {
  std::string second = Block(1);
  second.replace(second.find("vgs"), RowLine("vgs", 1).size(), "vgs       ");  // exactly 10
  second.replace(second.find("vbs"), RowLine("vbs", 1).size(), "vbs");
  Scan scan = ScanText(kPreamble + Block(0) + second + "Total\n");
  EXPECT_EQ(scan.result, 2);
  EXPECT_EQ(scan.rows[3], RowLine("vgs", 0));
  EXPECT_EQ(scan.rows[4], RowLine("vbs", 0));
  EXPECT_EQ(scan.rows[5], Joined(5, 2));
}

TEST(ScanListing, LongRowLinesAreTakenWhole) {
  std::string wide(200, '7');
  std::string first = Block(0);
  std::string second = Block(1);
  first.insert(first.find('\n', first.find("gds")), wide);
  second.insert(second.find('\n', second.find("gds")), wide);
  Scan scan = ScanText(kPreamble + first + second + "Total\n");
  EXPECT_EQ(scan.result, 2);
  EXPECT_EQ(scan.rows[8], RowLine("gds", 0) + wide + RowLine("gds", 1).substr(10) + wide);
}

TEST(ScanListing, CrLfLogJoinsLikeLfLog) {
  std::string text = kPreamble + Block(0) + Block(1) + "Total\n";
  std::string crlf;
  for (char c : text) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  Scan lf_scan = ScanText(text);
  Scan crlf_scan = ScanText(crlf);
  EXPECT_EQ(crlf_scan.result, 2);
  EXPECT_EQ(crlf_scan.rows, lf_scan.rows);
}

TEST(ScanListing, FirstWordPrefixIsTaken) {
  std::string block = Block(0);
  block.erase(block.find("gm  "), RowLine("gm", 0).size() + 1);  // gmbs now stands for gm
  Scan scan = ScanText(kPreamble + block + "Total\n");
  EXPECT_EQ(scan.rows[9], RowLine("gmbs", 0));
}

TEST(ScanListing, ReportsARowMissingFromABlock) {
  std::string second = Block(1);
  second.erase(second.find("weff"), RowLine("weff", 1).size() + 1);
  Scan scan = ScanText(kPreamble + Block(0) + second + Block(2) + "Total\n");
  ASSERT_EQ(scan.missing.size(), 1u);
  EXPECT_EQ(scan.missing[0], std::make_pair(std::size_t{14}, 2));
  // As before, the search for weff goes on into block 3, so the rows no longer line up.
  EXPECT_EQ(scan.rows[14], Joined(14, 1) + RowLine("weff", 2).substr(10));
  EXPECT_EQ(scan.result, 2);
}

}  // namespace
}  // namespace opjoin
