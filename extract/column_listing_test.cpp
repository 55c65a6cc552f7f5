#include "extract/column_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_input.h"

namespace opjoin {
namespace {

struct Reading {
  int listings = 0;
  ColumnListing listing;
};

Reading Read(std::string_view text, const ColumnLayout& layout, int wanted = 1,
             std::size_t block_size = 128) {
  TestInput input(text);
  LineReader log(input.fd(), block_size);
  Reading reading;
  reading.listings = ReadColumnListings(log, layout, wanted, &reading.listing);
  std::string error;
  EXPECT_TRUE(log.Succeeded(&error)) << error;
  return reading;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

std::string WithoutTrailingBlanks(std::string_view text) {
  std::string stripped;
  for (char c : text) {
    if (c == '\n') {
      stripped.erase(stripped.find_last_not_of(' ') + 1);
    }
    stripped += c;
  }
  return stripped;
}

std::string WithCrLf(std::string_view text) {
  std::string crlf;
  for (char c : text) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  return crlf;
}

// ---- HSPICE ----

// Builds HSPICE listings and the tables they give. Device k is named "k:mk" in a field whose
// colon stands at the field's third column, as HSPICE prints names, so a name with a long
// number begins left of its field; values end at their field's right edge.
class Hspice {
 public:
  Hspice(std::size_t label_width, std::size_t field_width)
      : label_width_(label_width), field_width_(field_width) {}

  static inline const std::vector<std::string> kRows = {
      "subckt", "element", "model",   "region", "id",  "vgs", "vds",
      "vth",    "vod",     "gam eff", "gm",     "gds", "cgd"};

  // A block of `devices`, with `rows`.
  std::string Block(const std::vector<int>& devices,
                    const std::vector<std::string>& rows = kRows) const {
    std::string text;
    for (const std::string& row : rows) {
      std::vector<int> present(devices.begin(), devices.end());
      text += Line(row, devices, present) + "   \n";  // trailing blanks, as HSPICE writes them
    }
    return text + "\n\n\n";
  }

  // The table line of `row` over `devices`, blank where a device's block lacks the row.
  std::string TableLine(const std::string& row, const std::vector<int>& devices,
                        const std::vector<int>& present) const {
    std::string line = Line(row, devices, present);
    return line.erase(line.find_last_not_of(' ') + 1);
  }

  static std::string Section(std::string_view blocks) {
    return std::string(" **** mosfets\n\n\n") + std::string(blocks) + " ***** job concluded\n";
  }

 private:
  static bool IsName(std::string_view row) {
    return row == "subckt" || row == "element" || row == "model";
  }

  static std::string Value(std::string_view row, int device) {
    if (row == "subckt") {
      std::string name = device % 2 == 0 ? "" : "x";  // blank at top level
      return name.empty() ? name : name.append(std::to_string(device));
    }
    if (row == "element") {
      return std::to_string(device) + ":m" + std::to_string(device);
    }
    if (row == "model") {
      return "0:nch.1";
    }
    if (row == "region") {
      return device % 3 == 0 ? "Linear" : "Saturati";
    }
    return std::to_string(device * 37 % 1000) + "." + std::to_string(row.size()) + "m";
  }

  std::string Line(const std::string& row, const std::vector<int>& devices,
                   const std::vector<int>& present) const {
    std::string line(label_width_ + devices.size() * field_width_, ' ');
    std::string label = (IsName(row) || row == "region" ? " " : "  ") + row;
    line.replace(0, label.size(), label);
    for (std::size_t k = 0; k < devices.size(); ++k) {
      if (std::find(present.begin(), present.end(), devices[k]) == present.end()) {
        continue;
      }
      std::string text = Value(row, devices[k]);
      std::size_t field = label_width_ + k * field_width_;
      std::size_t start = field + field_width_ - text.size();
      if (IsName(row)) {
        std::size_t colon = text.find(':');
        start = field + 2 - (colon == std::string::npos ? 1 : colon);
      }
      line.replace(start, text.size(), text);
    }
    return line;
  }

  std::size_t label_width_;
  std::size_t field_width_;
};

TEST(HspiceListing, JoinsBlocksOfEachWidthWithAShortLastBlock) {
  struct Case {
    std::size_t label_width;
    std::size_t field_width;
  };
  for (Case c : {Case{9, 11}, Case{10, 11}, Case{12, 13}, Case{9, 12}}) {
    Hspice hspice(c.label_width, c.field_width);
    // Device 100's name begins left of its field, the first of its block.
    std::string log = " ****  voltage sources\n\n subckt\n element  0:vdd\n  volts     1.8\n\n" +
                      Hspice::Section(hspice.Block({1, 2, 3}) + hspice.Block({100, 5, 6}) +
                                      hspice.Block({8}));  // top level: a blank subckt row
    std::vector<int> all = {1, 2, 3, 100, 5, 6, 8};
    std::string expected;
    for (const std::string& row : Hspice::kRows) {
      expected += hspice.TableLine(row, all, all) + "\n";
    }
    Reading reading = Read(log, kHspiceLayout);
    EXPECT_EQ(reading.listings, 1);
    EXPECT_EQ(reading.listing.complete_blocks, 3);
    EXPECT_FALSE(reading.listing.block_cut_off);
    EXPECT_EQ(Lines(reading.listing.lines), expected) << c.label_width << "/" << c.field_width;
    // The same from Windows, without trailing blanks, and whatever the reader's block size.
    EXPECT_EQ(Lines(Read(WithCrLf(log), kHspiceLayout).listing.lines), expected);
    EXPECT_EQ(Lines(Read(WithoutTrailingBlanks(log), kHspiceLayout).listing.lines), expected);
    EXPECT_EQ(Lines(Read(log, kHspiceLayout, 1, 256 * 1024).listing.lines), expected);
  }
}

TEST(HspiceListing, RowsMissingFromABlockStayBlankAndRowsNewToALaterBlockComeLast) {
  Hspice hspice(9, 11);
  std::vector<std::string> without_vod = Hspice::kRows;
  without_vod.erase(std::find(without_vod.begin(), without_vod.end(), "vod"));
  std::vector<std::string> with_beta = Hspice::kRows;
  with_beta.push_back("beta");
  std::string log = Hspice::Section(hspice.Block({1, 2}, without_vod) + hspice.Block({3, 4}) +
                                    hspice.Block({5}, with_beta));
  // The first block sets the order; vod, missing from it, comes after its rows, then beta.
  std::vector<int> all = {1, 2, 3, 4, 5};
  std::string expected;
  for (const std::string& row : without_vod) {
    expected += hspice.TableLine(row, all, all) + "\n";
  }
  expected += hspice.TableLine("vod", all, {3, 4, 5}) + "\n";
  expected += hspice.TableLine("beta", all, {5}) + "\n";
  EXPECT_EQ(Lines(Read(log, kHspiceLayout).listing.lines), expected);
}

TEST(HspiceListing, ReadsOnlyTheMosSections) {
  Hspice hspice(9, 11);
  std::string before =
      " .subckt inv a y\n"
      " ****  voltage sources\n\n"
      " subckt\n element  0:vdd\n  volts      1.8000\n  current  -16.4654u\n\n"
      "  ***** mosfets\n  ** mosfets\n";  // not headers: the first word is not "****"
  std::string log = before + Hspice::Section(hspice.Block({1, 2}));
  Reading reading = Read(log, kHspiceLayout);
  EXPECT_EQ(reading.listings, 1);
  ASSERT_EQ(reading.listing.lines.size(), Hspice::kRows.size());
  EXPECT_EQ(reading.listing.lines[1], " element  1:m1       2:m2");
}

TEST(HspiceListing, CountsListingsAndJoinsTheOneAskedFor) {
  Hspice hspice(9, 11);
  std::string log = Hspice::Section(hspice.Block({1, 2})) + "  total elapsed time\n" +
                    Hspice::Section(hspice.Block({3, 4}) + hspice.Block({5})) +
                    Hspice::Section(hspice.Block({6}));
  struct Case {
    int wanted;
    int blocks;
    std::string element_row;
  };
  const Case cases[] = {
      {1, 1, " element  1:m1       2:m2"},
      {2, 2, " element  3:m3       4:m4       5:m5"},
      {3, 1, " element  6:m6"},
      {4, 0, ""},
  };
  for (const Case& c : cases) {
    Reading reading = Read(log, kHspiceLayout, c.wanted);
    EXPECT_EQ(reading.listings, 3);
    EXPECT_EQ(reading.listing.complete_blocks, c.blocks) << c.wanted;
    EXPECT_EQ(reading.listing.lines.size() > 1 ? reading.listing.lines[1] : "", c.element_row);
  }
}

TEST(HspiceListing, ListingsWithoutACompleteBlock) {
  Hspice hspice(9, 11);
  std::string block = hspice.Block({1, 2});
  struct Case {
    std::string log;
    int listings;
    bool cut_off;
  };
  const Case cases[] = {
      {"no section here\n subckt\n element 0:m1\n", 0, false},
      {" **** mosfets\n\n  all devices are off\n subckt\n element 0:m1\n\n", 1, false},
      {" **** mosfets\n\n" + block.substr(0, block.find("  vth")), 1, true},
      {" **** mosfets\n\n" + block.substr(0, block.find("\n\n") + 1), 1, true},  // no blank
  };
  for (const Case& c : cases) {
    Reading reading = Read(c.log, kHspiceLayout);
    EXPECT_EQ(reading.listings, c.listings) << c.log;
    EXPECT_EQ(reading.listing.complete_blocks, 0);
    EXPECT_EQ(reading.listing.block_cut_off, c.cut_off) << c.log;
    EXPECT_TRUE(reading.listing.lines.empty());
  }
  // A block cut off after complete ones is left out; the others are joined.
  Reading reading = Read(" **** mosfets\n\n" + block + block.substr(0, 200), kHspiceLayout);
  EXPECT_EQ(reading.listing.complete_blocks, 1);
  EXPECT_TRUE(reading.listing.block_cut_off);
  EXPECT_EQ(reading.listing.lines[1], " element  1:m1       2:m2");
}

// ---- ngspice ----

// A row of an ngspice table: the label right-aligned in 11 characters, fields of 22.
std::string NgRow(std::string_view label, const std::vector<std::string>& values) {
  std::string line = std::string(11 - label.size(), ' ') + std::string(label);
  for (const std::string& value : values) {
    line += std::string(22 - value.size(), ' ') + value;
  }
  return line;
}

// A table of `devices` with rows "model" and `rows`; each value names its device and row.
std::string NgTable(std::string_view title, const std::vector<std::string>& devices,
                    const std::vector<std::string>& rows, std::string_view end = "\n") {
  std::string text(" ");
  text.append(title).append("\n").append(NgRow("device", devices)).append("\n");
  std::vector<std::string> models;
  for (const std::string& device : devices) {
    models.push_back(device.starts_with("m") ? "nch" : "R");
  }
  text += NgRow("model", models) + "\n";
  for (const std::string& row : rows) {
    std::vector<std::string> values;
    for (const std::string& device : devices) {
      values.push_back(row + "." + device);
    }
    text += NgRow(row, values) + "\n";
  }
  return text + std::string(end);
}

const char kBsim[] = "BSIM4: Berkeley Short Channel IGFET Model-4";
const char kMos1[] = "Mos1: Level 1 MOSfet model with Meyer capacitance model";
const char kResistor[] = "Resistor: Simple linear resistor";

TEST(NgspiceListing, JoinsTheMosTablesOfOneShow) {
  std::string log =
      "Circuit: inverters\n\nNo. of Data Rows : 1\n" +
      NgTable(kBsim, {"m.x1.mp", "m4", "m2"}, {"gm", "vth", "cgs"}) +
      NgTable(kBsim, {"m1"}, {"gm", "vth", "cgs"}) + NgTable(kMos1, {"m5"}, {"id", "gm"}) +
      NgTable(kResistor, {"r1", "r2"}, {"resistance", "i"}) + "@m1[gm] = 6.430547e-04\n";
  std::vector<std::string> mos = {"m.x1.mp", "m4", "m2", "m1", "m5"};
  std::string expected;
  for (std::string row : {"device", "model", "gm", "vth", "cgs", "id"}) {
    std::vector<std::string> values;
    for (const std::string& device : mos) {
      bool level1 = device == "m5";
      if (row == "device") {
        values.push_back(device);
      } else if (row == "model") {
        values.push_back("nch");
      } else if ((row == "vth" || row == "cgs") && level1) {
        values.push_back("");
      } else if (row == "id" && !level1) {
        values.push_back("");
      } else {
        values.push_back(row + "." + device);
      }
    }
    std::string line = NgRow(row, values);
    expected += line.erase(line.find_last_not_of(' ') + 1) + "\n";
  }
  Reading reading = Read(log, kNgspiceLayout);
  EXPECT_EQ(reading.listings, 1);
  EXPECT_EQ(reading.listing.complete_blocks, 3);
  EXPECT_EQ(Lines(reading.listing.lines), expected);
  EXPECT_EQ(Lines(Read(WithCrLf(log), kNgspiceLayout).listing.lines), expected);
}

TEST(NgspiceListing, ABlockMayEndAtTheNextTitleWithoutABlankLine) {
  std::string log = NgTable(kBsim, {"m3", "m2"}, {"gm"}, "") +  // no blank line after it
                    NgTable(kBsim, {"m1"}, {"gm"}, "") + "\n";
  Reading reading = Read(log, kNgspiceLayout);
  EXPECT_EQ(reading.listing.complete_blocks, 2);
  ASSERT_EQ(reading.listing.lines.size(), 3u);
  EXPECT_EQ(reading.listing.lines[2], NgRow("gm", {"gm.m3", "gm.m2", "gm.m1"}));
}

TEST(NgspiceListing, EachShowIsAListing) {
  std::string show_m = NgTable(kBsim, {"m2", "m1"}, {"gm"});
  std::string show_r = NgTable(kResistor, {"r1"}, {"i"});
  struct Case {
    std::string log;
    int listings;
  };
  const Case cases[] = {
      {show_m + show_m, 2},                       // the same devices again: the next show
      {show_m + "@m1[gm] = 1e-3\n" + show_m, 2},  // a line outside any table ends one
      {show_r + "\n" + show_m + "done\n", 1},     // a show of no MOS device is no listing
      {show_r, 0},
      {"device is not a table\nno\n", 0},
  };
  for (const Case& c : cases) {
    Reading reading = Read(c.log, kNgspiceLayout, 2);
    EXPECT_EQ(reading.listings, c.listings) << c.log;
    if (c.listings == 2) {
      EXPECT_EQ(reading.listing.complete_blocks, 1);
      EXPECT_EQ(reading.listing.lines[0], NgRow("device", {"m2", "m1"}));
    }
  }
}

TEST(NgspiceListing, ATableCutOffByTheEndOfTheLogIsLeftOut) {
  std::string log = NgTable(kBsim, {"m3", "m2"}, {"gm"}) + NgTable(kBsim, {"m1"}, {"gm"}, "");
  Reading reading = Read(log, kNgspiceLayout);
  EXPECT_EQ(reading.listing.complete_blocks, 1);
  EXPECT_TRUE(reading.listing.block_cut_off);
  EXPECT_EQ(reading.listing.lines[0], NgRow("device", {"m3", "m2"}));
}

}  // namespace
}  // namespace opjoin
