// Runs the scanner on many generated logs and checks it against a small, separate model of the
// line rules (tests/support/listing_model.h).
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/chopped_input.h"

#include "extract/listing_scanner.h"
#include "tests/support/listing_model.h"
#include "tests/support/test_input.h"

namespace opjoin {
namespace {

using model::Matches;
using model::Outcome;
using model::SplitLines;

// ---- The generator ----

class LogGenerator {
 public:
  explicit LogGenerator(std::uint32_t seed) : random_(seed) {}

  // A log with a listing-like shape: some preamble, usually a delimiter, then blocks of row
  // lines in table order with noise, faults and end markers mixed in.
  std::string ShapedLog() {
    // Half the logs are well formed, so that complete blocks are common.
    faulty_ = Chance(50);
    std::string log;
    for (int count = Below(4); count > 0; --count) {
      log += NoiseLine();
    }
    if (Chance(90)) {
      log += DelimiterLine();
    }
    int blocks = Below(5);
    for (int block = 0; block < blocks; ++block) {
      for (std::size_t row = 0; row < kRowCount; ++row) {
        while (Chance(15)) {
          log += NoiseLine();
        }
        if (faulty_ && Chance(3)) {
          continue;  // a row missing from this block
        }
        if (faulty_ && Chance(2)) {
          log += EndLine();
        }
        log += RowLine(row);
      }
    }
    if (Chance(60)) {
      log += EndLine();
    }
    for (int count = Below(3); count > 0; --count) {
      log += Chance(30) ? RowLine(Below(kRowCount)) : NoiseLine();
    }
    return Finish(log);
  }

  // Any mix of the line kinds, in any order.
  std::string MixedLog() {
    faulty_ = true;
    std::string log;
    for (int count = Below(60); count > 0; --count) {
      switch (Below(5)) {
        case 0:
          log += DelimiterLine();
          break;
        case 1:
          log += EndLine();
          break;
        case 2:
          log += NoiseLine();
          break;
        default:
          log += RowLine(Below(kRowCount));
          break;
      }
    }
    return Finish(log);
  }

  // Raw bytes, biased towards line ends and letters.
  std::string ByteSoup() {
    static constexpr std::string_view kAlphabet = "\n\n\r\r \t\0\xff\xe9sTetlmvdgcwubk*.1";
    std::string log;
    for (int count = Below(400); count > 0; --count) {
      log += kAlphabet[Below(kAlphabet.size())];
    }
    return log;
  }

  // Settings of the reader: its block size, and whether the input comes in small pieces.
  std::size_t BlockSize() { return Chance(20) ? 256 * 1024 : 128 + Below(200); }
  bool Chance(int percent) { return Below(100) < percent; }
  int Below(std::size_t bound) {
    return static_cast<int>(std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_));
  }

 private:
  std::string LineEnd() { return Chance(25) ? "\r\n" : "\n"; }

  // Up to 12 non-letters in a faulty log, so that some lines sit past the skip limit.
  std::string Lead() {
    static constexpr std::string_view kNonLetters = " \t*.0123456789-+\xe9\x01";
    std::string lead;
    int length = Chance(70) ? 0 : Below(faulty_ ? 13 : 11);
    for (int i = 0; i < length; ++i) {
      lead += kNonLetters[Below(kNonLetters.size())];
    }
    return lead;
  }

  std::string Text(std::size_t max_length) {
    static constexpr std::string_view kChars = "abcXYZ 0123456789.e-+\t\r\0\x80\xff";
    std::string text;
    int length = Below(max_length + 1);
    for (int i = 0; i < length; ++i) {
      text += kChars[Below(kChars.size())];
    }
    return text;
  }

  std::string RowLine(std::size_t row) {
    std::string name(KeywordTable[row]);
    if (faulty_ && Chance(5)) {
      name.pop_back();  // no longer a match, or a match for a shorter name
    }
    std::string line = Lead() + name;
    switch (Below(4)) {
      case 0:
        line += Text(4);  // often 10 bytes or fewer
        break;
      case 1:
        line += Text(600);  // longer than some reader blocks
        break;
      default:
        line.resize(std::max(line.size(), LabelColumnWidth), ' ');
        line += Text(40);
        break;
    }
    return line + LineEnd();
  }

  std::string DelimiterLine() {
    static const std::string_view kForms[] = {"subckt", "subckt x1", "xsubckt", "Subckt", "subck"};
    std::size_t forms = faulty_ ? std::size(kForms) : 2;  // the first two open the listing
    return Lead() + std::string(kForms[Below(forms)]) + Text(10) + LineEnd();
  }

  std::string EndLine() {
    static const std::string_view kForms[] = {"Total", "Totals", "Total elapsed time",
                                              "total", "TOTAL",  "Tota"};
    return Lead() + std::string(kForms[Below(std::size(kForms))]) + Text(10) + LineEnd();
  }

  std::string NoiseLine() {
    static const std::string_view kForms[] = {"", "  0:m1   1:m2", "ibs  0.0", "", "#"};
    std::string line = Chance(50) ? std::string(kForms[Below(std::size(kForms))]) : Text(80);
    return line + LineEnd();
  }

  // Sometimes drops the final line end, or a trailing part of the log.
  std::string Finish(std::string log) {
    if (!log.empty() && Chance(25)) {
      log.pop_back();
      if (!log.empty() && log.back() == '\r' && Chance(50)) {
        log.pop_back();
      }
    }
    if (!log.empty() && Chance(10)) {
      log.resize(Below(log.size()));
    }
    return log;
  }

  std::mt19937 random_;
  bool faulty_ = true;
};

// ---- Running the scanner ----

Outcome RealScan(int fd, std::size_t block_size, const ParameterRows& initial_rows) {
  Outcome outcome;
  outcome.rows = initial_rows;
  LineReader reader(fd, block_size);
  outcome.result = ScanListing(reader, outcome.rows, [&](std::size_t row, int block) {
    outcome.missing.emplace_back(row, block);
  });
  std::string read_error;
  EXPECT_TRUE(reader.Succeeded(&read_error)) << read_error;
  return outcome;
}

std::string Printable(std::string_view bytes) {
  std::string shown;
  for (unsigned char c : bytes) {
    if (c == '\n') {
      shown += "\\n\n";
    } else if (c == '\\' || c < 0x20 || c >= 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      shown += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

std::string Describe(const Outcome& outcome) {
  std::string text = "result " + std::to_string(outcome.result) + "\n";
  for (std::size_t row = 0; row < outcome.rows.size(); ++row) {
    text += std::to_string(row) + ": " + Printable(outcome.rows[row]) + "\n";
  }
  for (const auto& [row, block] : outcome.missing) {
    text += "missing row " + std::to_string(row) + " in block " + std::to_string(block) + "\n";
  }
  return text;
}

// Cases per kind of log; OPJOIN_PROPERTY_CASES asks for a longer run.
int CaseCount() {
  const char* asked = std::getenv("OPJOIN_PROPERTY_CASES");
  return asked != nullptr ? std::atoi(asked) : 2000;
}

void CheckAgainstModel(std::string (LogGenerator::*make)(), std::uint32_t seed) {
  LogGenerator generator(seed);
  int agreed = 0;
  int with_blocks = 0;
  int cases = CaseCount();
  for (int run = 0; run < cases; ++run) {
    std::string log = (generator.*make)();
    ParameterRows initial_rows;
    initial_rows[run % kRowCount] = "before the scan";
    std::size_t block_size = generator.BlockSize();
    bool chopped = generator.Chance(20);

    Outcome expected = model::Scan(log, initial_rows);
    Outcome actual;
    if (chopped) {
      ChoppedInput input(log, seed + run);
      actual = RealScan(input.fd(), block_size, initial_rows);
    } else {
      TestInput input(log);
      actual = RealScan(input.fd(), block_size, initial_rows);
    }
    if (actual != expected) {
      ADD_FAILURE() << "case " << run << " (block size " << block_size
                    << (chopped ? ", chopped" : "") << ") log:\n"
                    << Printable(log) << "\nmodel:\n"
                    << Describe(expected) << "scanner:\n"
                    << Describe(actual);
      return;
    }
    ++agreed;
    with_blocks += expected.result > 0 ? 1 : 0;
  }
  // The generator must reach the interesting paths, or agreement means little.
  if (make == &LogGenerator::ShapedLog) {
    EXPECT_GT(with_blocks, cases / 4) << "too few logs with a complete block";
  }
  ::testing::Test::RecordProperty("cases", agreed);
}

TEST(ScanListingProperty, AgreesWithTheModelOnListingShapedLogs) {
  CheckAgainstModel(&LogGenerator::ShapedLog, 1);
}

TEST(ScanListingProperty, AgreesWithTheModelOnMixedLines) {
  CheckAgainstModel(&LogGenerator::MixedLog, 2);
}

TEST(ScanListingProperty, AgreesWithTheModelOnRawBytes) {
  CheckAgainstModel(&LogGenerator::ByteSoup, 3);
}

// The model itself, on cases worked out by hand, so that both cannot share a mistake.
TEST(ScanListingProperty, ModelFollowsTheLineRules) {
  EXPECT_EQ(SplitLines("a\r\nb\r").size(), 2u);
  EXPECT_EQ(SplitLines("a\r\nb\r")[0].text, "a");
  EXPECT_EQ(SplitLines("a\r\nb\r")[1].text, "b\r");
  EXPECT_FALSE(SplitLines("a\r\nb\r")[1].has_line_feed);
  EXPECT_TRUE(SplitLines("\n")[0].has_line_feed);
  EXPECT_TRUE(SplitLines("").empty());

  EXPECT_TRUE(Matches("subckt", "0123456789subckt"));
  EXPECT_FALSE(Matches("subckt", "0123456789 subckt"));
  EXPECT_FALSE(Matches("gmbs", "gm"));

  std::string block;
  for (std::string_view name : KeywordTable) {
    block +=
        std::string(name) + std::string(10 - name.size(), ' ') + "|" + std::string(name) + "\n";
  }
  EXPECT_EQ(model::Scan("subckt", {}).result, -1);
  EXPECT_EQ(model::Scan("subckt\n", {}).result, 0);
  Outcome two = model::Scan("subckt\n" + block + block + "Total\n", {});
  EXPECT_EQ(two.result, 2);
  EXPECT_EQ(two.rows[1], "model     |model|model");
  block.pop_back();
  EXPECT_EQ(model::Scan("subckt\n" + block, {}).result, 1);
}

}  // namespace
}  // namespace opjoin
