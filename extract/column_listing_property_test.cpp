// Runs the column-listing reader on many generated HSPICE and ngspice logs whose tables are known
// before the log is written: the generator keeps each listing's devices, rows and values, and
// the expected table is laid out from them, not read back from the log. Raw mixes of listing
// lines check that the reader gives the same whatever the size of its reads.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/chopped_input.h"

#include "extract/column_listing.h"
#include "tests/support/test_input.h"

namespace opjoin {
namespace {

struct Reading {
  int listings = 0;
  ColumnListing listing;

  bool operator==(const Reading& other) const {
    return listings == other.listings && listing.lines == other.listing.lines &&
           listing.complete_blocks == other.listing.complete_blocks &&
           listing.block_cut_off == other.listing.block_cut_off;
  }
};

// A generated log and the reading it must give.
struct Case {
  std::string log;
  int wanted = 1;
  Reading expected;
};

class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}
  int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(engine_); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(items.size())))];
  }

 private:
  std::mt19937 engine_;
};

// One block as generated: its devices, its rows, whether the reader counts it and whether the
// end of the log cuts it off.
struct Block {
  std::vector<std::string> devices;
  std::vector<std::string> rows;
  bool counts = true;
  bool cut_off = false;
};

struct Listing {
  std::vector<Block> blocks;
};

// A line with `text` placed at column `at` (growing it as needed).
void Put(std::string& line, std::size_t at, std::string_view text) {
  if (line.size() < at + text.size()) {
    line.resize(at + text.size(), ' ');
  }
  line.replace(at, text.size(), text);
}

std::string WithoutTrailingBlanks(std::string line) {
  return line.erase(line.find_last_not_of(' ') + 1);
}

// Lays out the table of `listing` by `line_of`(row, devices with their blocks' rows), which
// places each present device's text at its column: rows in order of first appearance, blank
// where a device's block lacks the row.
template <typename LineOf>
Reading ExpectedReading(const Listing& listing, int listings, LineOf line_of) {
  Reading reading;
  reading.listings = listings;
  std::vector<std::string> order;
  std::vector<const Block*> joined;
  for (const Block& block : listing.blocks) {
    if (!block.counts) {
      continue;
    }
    if (block.cut_off) {
      reading.listing.block_cut_off = true;
      continue;
    }
    joined.push_back(&block);
    for (const std::string& row : block.rows) {
      if (std::find(order.begin(), order.end(), row) == order.end()) {
        order.push_back(row);
      }
    }
  }
  reading.listing.complete_blocks = static_cast<int>(joined.size());
  for (const std::string& row : order) {
    reading.listing.lines.push_back(WithoutTrailingBlanks(line_of(row, joined)));
  }
  return reading;
}

// ---- HSPICE ----

class HspiceGenerator {
 public:
  explicit HspiceGenerator(std::uint32_t seed) : random_(seed) {}

  Case Make() {
    label_width_ = 9 + static_cast<std::size_t>(random_.Below(5));
    field_width_ = 11 + static_cast<std::size_t>(random_.Below(4));
    crlf_ = random_.Chance(20);
    std::vector<Listing> listings(static_cast<std::size_t>(1 + random_.Below(3)));
    Case c;
    c.wanted = 1 + random_.Below(static_cast<int>(listings.size()) + 1);
    bool cut = random_.Chance(15);
    Noise(c.log);
    for (std::size_t l = 0; l < listings.size(); ++l) {
      Listing& listing = listings[l];
      int blocks = random_.Chance(5) ? 0 : 1 + random_.Below(4);
      Line(c.log, random_.Chance(50) ? " **** mosfets" : "  ****   mosfets  ");
      Blanks(c.log, 1 + random_.Below(2));
      for (int b = 0; b < blocks; ++b) {
        listing.blocks.push_back(MakeBlock(b == 0 && field_width_ != 11, b > 0));
        bool last = l + 1 == listings.size() && b + 1 == blocks;
        if (last && cut) {
          listing.blocks.back().cut_off = true;
          WriteBlock(c.log, listing.blocks.back(), true);
          break;
        }
        WriteBlock(c.log, listing.blocks.back(), false);
        Blanks(c.log, 1 + random_.Below(3));
      }
      if (!cut || l + 1 < listings.size()) {
        Line(c.log, random_.Pick(std::vector<std::string>{"          ***** job concluded",
                                                          " ****  voltage sources",
                                                          "  total elapsed time  0.1"}));
        Noise(c.log);
      }
    }
    if (static_cast<std::size_t>(c.wanted) <= listings.size()) {
      c.expected = ExpectedReading(
          listings[static_cast<std::size_t>(c.wanted) - 1], static_cast<int>(listings.size()),
          [&](const std::string& row, const std::vector<const Block*>& joined) {
            return TableLine(row, joined);
          });
    } else {
      c.expected.listings = static_cast<int>(listings.size());
    }
    return c;
  }

 private:
  static inline const std::vector<std::string> kValueRows = {
      "region", "id",      "ibs", "vgs", "vds", "vbs",   "vth", "vdsat", "vod",
      "beta",   "gam eff", "gm",  "gds", "gmb", "cdtot", "cgs", "cgd"};

  static bool IsName(std::string_view row) {
    return row == "subckt" || row == "element" || row == "model";
  }

  Block MakeBlock(bool at_least_two, bool may_add_rows) {
    Block block;
    int devices = (at_least_two ? 2 : 1) + random_.Below(5);
    for (int d = 0; d < devices; ++d) {
      int number = random_.Chance(10) ? 100 + random_.Below(900) : random_.Below(20);
      // Short enough that neighbouring names never touch, as in HSPICE's listings.
      block.devices.push_back(std::to_string(number) + ":m" + std::to_string(next_device_++ % 100));
    }
    block.rows = {"subckt", "element", "model"};
    int value_rows = 0;
    for (const std::string& row : kValueRows) {
      if (random_.Chance(row == "region" || !faulty_rows_ ? 100 : 85)) {
        block.rows.push_back(row);
        ++value_rows;
      }
    }
    if (may_add_rows && random_.Chance(20)) {
      block.rows.push_back("ibd");  // a row no earlier block had
    }
    if (value_rows < 4) {
      block.rows.insert(block.rows.end(), {"gm", "gds", "cgs", "cgd"});
    }
    return block;
  }

  // The text of `row` for `device`: names near their field's start (the colon at its third
  // column, so a long number begins left of the field), values at its right edge, "0." as
  // HSPICE prints it, a little left of the edge.
  std::string Text(const std::string& row, const std::string& device) const {
    if (row == "subckt") {
      return device.back() % 2 == 0 ? "" : "x" + device.substr(device.find(':') + 2);
    }
    if (row == "element") {
      return device;
    }
    if (row == "model") {
      return device.back() % 3 == 0 ? "0:pch.2" : "0:nch.1";
    }
    if (row == "region") {
      return device.back() % 2 == 0 ? "Saturati" : "Cutoff";
    }
    if (row == "vbs" && device.back() % 2 == 0) {
      return "0.     ";
    }
    std::size_t hash = std::hash<std::string>{}(row + device);
    std::string text = hash % 3 == 0 ? "-" : "";
    text += std::to_string(hash % 1000) + "." + std::to_string(hash / 1000 % 10000);
    return text + "munpf"[hash / 7 % 5];
  }

  // Places `device`'s text for `row` in the field that ends at column `field_end`.
  void PutText(std::string& line, const std::string& row, const std::string& device,
               std::size_t field_end) const {
    std::string text = Text(row, device);
    if (text.empty()) {
      return;
    }
    std::size_t field = field_end - field_width_;
    if (IsName(row)) {
      std::size_t colon = text.find(':');
      Put(line, field + 2 - (colon == std::string::npos ? 1 : colon), text);
    } else {
      Put(line, field_end - text.size(), text);
    }
  }

  std::string Label(const std::string& row) const {
    std::string label = (IsName(row) || row == "region" ? " " : "  ") + row;
    label.resize(label_width_, ' ');
    return label;
  }

  std::string TableLine(const std::string& row, const std::vector<const Block*>& joined) const {
    std::string line = Label(row);
    std::size_t field_end = label_width_;
    for (const Block* block : joined) {
      bool has_row = std::find(block->rows.begin(), block->rows.end(), row) != block->rows.end();
      for (const std::string& device : block->devices) {
        field_end += field_width_;
        if (has_row) {
          PutText(line, row, device, field_end);
        }
      }
    }
    return line;
  }

  void WriteBlock(std::string& log, const Block& block, bool cut_off) {
    std::size_t lines = block.rows.size();
    if (cut_off) {
      lines = 1 + static_cast<std::size_t>(random_.Below(static_cast<int>(block.rows.size())));
    }
    for (std::size_t r = 0; r < lines; ++r) {
      std::string line = Label(block.rows[r]);
      std::size_t field_end = label_width_;
      for (const std::string& device : block.devices) {
        field_end += field_width_;
        PutText(line, block.rows[r], device, field_end);
      }
      if (random_.Chance(50)) {
        line = WithoutTrailingBlanks(line);
      } else {
        line.resize(label_width_ + block.devices.size() * field_width_ + 3, ' ');
      }
      Line(log, line);
    }
  }

  void Noise(std::string& log) {
    static const std::vector<std::string> kNoise = {
        " .subckt inv a y vdd",
        " ****  voltage sources",
        " subckt",
        " element  0:vdd      0:vin",
        "  volts      1.8000   900.0000m",
        "  mosfets **** are below",
        "",
        "  ****** operating point information tnom=  25.000 temp=  25.000",
        "   -500.0000m           1.000e+20                     117.4381k"};
    for (int n = random_.Below(6); n > 0; --n) {
      Line(log, random_.Pick(kNoise));
    }
  }

  void Blanks(std::string& log, int count) {
    for (int i = 0; i < count; ++i) {
      Line(log, random_.Chance(20) ? "  " : "");
    }
  }

  void Line(std::string& log, std::string_view text) {
    log += text;
    log += crlf_ ? "\r\n" : "\n";
  }

  Random random_;
  std::size_t label_width_ = 9;
  std::size_t field_width_ = 11;
  bool crlf_ = false;
  bool faulty_rows_ = true;
  int next_device_ = 1;
};

// ---- ngspice ----

class NgspiceGenerator {
 public:
  explicit NgspiceGenerator(std::uint32_t seed) : random_(seed) {}

  Case Make() {
    crlf_ = random_.Chance(20);
    Case c;
    std::vector<Listing> counted;
    int shows = 1 + random_.Below(3);
    std::vector<std::string> previous_devices;
    bool previous_mos = true;
    Line(c.log, "Circuit: * generated");
    Line(c.log, "");
    bool cut = random_.Chance(15);
    for (int s = 0; s < shows; ++s) {
      bool last_show = s + 1 == shows;
      // A show right after the same devices' show needs nothing between them; otherwise a
      // line outside any table ends the previous one.
      bool repeat = s > 0 && random_.Chance(40);
      if (s > 0 && !repeat) {
        Line(c.log, "@m1[gm] = 6.430547e-04");
        if (random_.Chance(50)) {
          Line(c.log, "");
        }
      }
      Listing listing;
      bool only_others = !repeat && random_.Chance(10);
      int kinds = 1 + random_.Below(3);
      for (int kind = 0; kind < kinds; ++kind) {
        // A repeated show repeats its first kind of device too.
        bool mos =
            repeat && kind == 0 ? previous_mos : !only_others && (kind == 0 || random_.Chance(70));
        std::vector<std::string> rows = Rows(mos);
        std::vector<std::string> devices;
        if (repeat && kind == 0) {
          devices = previous_devices;
        } else {
          for (int n = 1 + random_.Below(5); n > 0; --n) {
            std::string device = mos ? "m" : "r";
            device += random_.Chance(30) ? ".x1." : "";
            devices.push_back(device + std::to_string(next_device_++));
          }
        }
        if (kind == 0) {
          previous_devices = devices;
          previous_mos = mos;
        }
        std::size_t per_block = 1 + static_cast<std::size_t>(random_.Below(4));
        for (std::size_t first = 0; first < devices.size(); first += per_block) {
          Block block;
          block.devices.assign(devices.begin() + static_cast<std::ptrdiff_t>(first),
                               devices.begin() + static_cast<std::ptrdiff_t>(
                                                     std::min(devices.size(), first + per_block)));
          block.rows = rows;
          block.counts = mos;
          bool last = last_show && kind + 1 == kinds && first + per_block >= devices.size();
          block.cut_off = last && cut;
          WriteBlock(c.log, block,
                     mos ? "BSIM4: Berkeley Short Channel IGFET Model-4"
                         : "Resistor: Simple linear resistor");
          if (!block.cut_off && (random_.Chance(70) || last)) {
            Line(c.log, "");  // else the next title ends the block
          }
          listing.blocks.push_back(block);
        }
      }
      bool has_mos = std::any_of(listing.blocks.begin(), listing.blocks.end(),
                                 [](const Block& block) { return block.counts; });
      if (has_mos) {
        counted.push_back(listing);
      }
    }
    if (!cut) {
      Line(c.log, "Note: No \".plot\", \".print\", or \".fourier\" lines; no simulations run");
    }
    c.wanted = 1 + random_.Below(static_cast<int>(counted.size()) + 1);
    if (static_cast<std::size_t>(c.wanted) <= counted.size()) {
      c.expected = ExpectedReading(
          counted[static_cast<std::size_t>(c.wanted) - 1], static_cast<int>(counted.size()),
          [&](const std::string& row, auto& joined) { return TableLine(row, joined); });
    } else {
      c.expected.listings = static_cast<int>(counted.size());
    }
    return c;
  }

 private:
  std::vector<std::string> Rows(bool mos) {
    static const std::vector<std::string> kMos = {"l",   "w",  "gmbs", "gm",  "gds", "vdsat",
                                                  "vth", "id", "vgs",  "vds", "cgs", "capbd"};
    static const std::vector<std::string> kOther = {"resistance", "ac", "i", "p"};
    std::vector<std::string> rows = {"device", "model"};
    for (const std::string& row : mos ? kMos : kOther) {
      if (random_.Chance(75)) {
        rows.push_back(row);
      }
    }
    return rows;
  }

  static std::string Text(const std::string& row, const std::string& device) {
    if (row == "device") {
      return device;
    }
    if (row == "model") {
      return device[0] == 'm' ? "n4" : "R";
    }
    std::size_t hash = std::hash<std::string>{}(row + device);
    return std::to_string(hash % 10000) + "e-" + std::to_string(hash / 10000 % 20);
  }

  static std::string Row(const std::string& label) {
    return std::string(11 - label.size(), ' ') + label;
  }

  static void PutField(std::string& line, std::size_t index, const std::string& text) {
    Put(line, 11 + (index + 1) * 22 - text.size(), text);
  }

  static std::string TableLine(const std::string& row, const std::vector<const Block*>& joined) {
    std::string line = Row(row);
    std::size_t index = 0;
    for (const Block* block : joined) {
      bool has_row = std::find(block->rows.begin(), block->rows.end(), row) != block->rows.end();
      for (const std::string& device : block->devices) {
        if (has_row) {
          PutField(line, index, Text(row, device));
        }
        ++index;
      }
    }
    return line;
  }

  void WriteBlock(std::string& log, const Block& block, std::string_view title) {
    std::string title_line(" ");
    Line(log, title_line.append(title));
    std::size_t lines = block.rows.size();
    if (block.cut_off) {
      lines = 1 + static_cast<std::size_t>(random_.Below(static_cast<int>(block.rows.size())));
    }
    for (std::size_t r = 0; r < lines; ++r) {
      std::string line = Row(block.rows[r]);
      for (std::size_t d = 0; d < block.devices.size(); ++d) {
        PutField(line, d, Text(block.rows[r], block.devices[d]));
      }
      Line(log, line);
    }
  }

  void Line(std::string& log, std::string_view text) {
    log += text;
    log += crlf_ ? "\r\n" : "\n";
  }

  Random random_;
  bool crlf_ = false;
  int next_device_ = 1;
};

// ---- Running the reader ----

Reading ReadFrom(int fd, const ColumnLayout& layout, int wanted, std::size_t block_size) {
  LineReader log(fd, block_size);
  Reading reading;
  reading.listings = ReadColumnListings(log, layout, wanted, &reading.listing);
  std::string error;
  EXPECT_TRUE(log.Succeeded(&error)) << error;
  return reading;
}

// Reads `log` from a file with the given block size, or, when `chopped`, from a socket that
// hands it over in small pieces.
Reading ReadLog(const std::string& log, const ColumnLayout& layout, int wanted,
                std::size_t block_size, bool chopped, std::uint32_t seed) {
  if (chopped) {
    ChoppedInput input(log, seed);
    return ReadFrom(input.fd(), layout, wanted, block_size);
  }
  TestInput input(log);
  return ReadFrom(input.fd(), layout, wanted, block_size);
}

std::string Describe(const Reading& reading) {
  std::string text = "listings " + std::to_string(reading.listings) + ", blocks " +
                     std::to_string(reading.listing.complete_blocks) +
                     (reading.listing.block_cut_off ? ", one cut off" : "") + "\n";
  for (const std::string& line : reading.listing.lines) {
    text += "|" + line + "|\n";
  }
  return text;
}

int CaseCount() {
  const char* asked = std::getenv("OPJOIN_PROPERTY_CASES");
  return asked != nullptr ? std::atoi(asked) : 1000;
}

template <typename Generator>
void CheckGeneratedLogs(const ColumnLayout& layout, std::uint32_t seed) {
  Generator generator(seed);
  Random random(seed + 1);
  int with_blocks = 0;
  const int cases = CaseCount();
  for (int run = 0; run < cases; ++run) {
    Case c = generator.Make();
    std::size_t block_size =
        random.Chance(20) ? 256 * 1024 : 128 + static_cast<std::size_t>(random.Below(200));
    bool chopped = random.Chance(20);
    Reading actual = ReadLog(c.log, layout, c.wanted, block_size, chopped, seed + run);
    if (!(actual == c.expected)) {
      ADD_FAILURE() << "case " << run << " (block size " << block_size
                    << (chopped ? ", chopped" : "") << ", listing " << c.wanted << ") log:\n"
                    << c.log << "\nexpected:\n"
                    << Describe(c.expected) << "read:\n"
                    << Describe(actual);
      return;
    }
    with_blocks += c.expected.listing.complete_blocks > 0 ? 1 : 0;
  }
  // The generator must reach joined tables often, or agreement means little.
  EXPECT_GT(with_blocks, cases / 3);
}

TEST(ColumnListingProperty, HspiceLogsGiveTheTablesTheyWereWrittenFrom) {
  CheckGeneratedLogs<HspiceGenerator>(kHspiceLayout, 11);
}

TEST(ColumnListingProperty, NgspiceLogsGiveTheTablesTheyWereWrittenFrom) {
  CheckGeneratedLogs<NgspiceGenerator>(kNgspiceLayout, 12);
}

// Lines of both layouts' listings in any order, and raw bytes: the reading must not depend on
// how the input arrives, and its table has no trailing blanks.
TEST(ColumnListingProperty, AnyMixOfLinesReadsTheSameWhateverTheReads) {
  static const std::vector<std::string> kLines = {
      " **** mosfets",
      "",
      "  ",
      " subckt",
      " element  0:m1       0:m2",
      " element100:m3",
      " model    0:nch      0:pch",
      "  id       1.0000u   -2.0000u",
      "  gam eff  1.0m  2.0m",
      "     device                    m2                    m1",
      "         gm           0.000761759           0.000643055",
      " BSIM4: Berkeley Short Channel IGFET Model-4",
      "@m1[gm] = 1",
      "\x01\xff\t\r",
      "          ***** job concluded"};
  Random random(13);
  const int cases = CaseCount();
  for (int run = 0; run < cases; ++run) {
    std::string log;
    for (int n = random.Below(80); n > 0; --n) {
      log += random.Pick(kLines);
      if (random.Chance(10)) {
        log += std::string(static_cast<std::size_t>(random.Below(300)), 'x');
      }
      log += random.Chance(20) ? "\r\n" : "\n";
    }
    if (!log.empty() && random.Chance(20)) {
      log.resize(static_cast<std::size_t>(random.Below(static_cast<int>(log.size()))));
    }
    const ColumnLayout& layout = random.Chance(50) ? kHspiceLayout : kNgspiceLayout;
    int wanted = 1 + random.Below(3);
    Reading whole = ReadLog(log, layout, wanted, 256 * 1024, false, 0);
    Reading pieces = ReadLog(log, layout, wanted, 128 + static_cast<std::size_t>(random.Below(100)),
                             random.Chance(50), static_cast<std::uint32_t>(run));
    ASSERT_EQ(pieces, whole) << "case " << run << " log:\n" << log;
    for (const std::string& line : whole.listing.lines) {
      ASSERT_TRUE(line.empty() || line.back() != ' ') << "case " << run;
    }
    ASSERT_EQ(whole.listing.lines.empty(), whole.listing.complete_blocks == 0) << "case " << run;
  }
}

}  // namespace
}  // namespace opjoin
