// Reads the MOS operating-point listings that simulators print as column blocks: one row per
// quantity, a label field and then one fixed-width field per device, further blocks when the
// devices do not fit across. HSPICE and ngspice print them so; what tells their listings apart
// is one ColumnLayout each, and ReadColumnListings follows any of them. (SmartSpice logs have
// their own rules, in listing_scanner.h.)
//
// A listing is a run of blocks. A block starts at a line whose first word names it, holds one
// line per row, and ends at a blank line (or, in some layouts, at the first line that is not a
// row). A block cut off by the end of the log is left out. The joined table has one line per
// row label, in order of first appearance; each device's field stands at the same column on
// every line, blank where its block has no such row.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "extract/line_reader.h"

namespace opjoin {

// What differs between the simulators' column listings.
struct ColumnLayout {
  // What starts a listing: a line whose first two words are these (a section header). Empty:
  // a listing starts at its first block.
  std::string_view header_first_word;
  std::string_view header_second_word;

  // What starts a block: a line whose first word is this.
  std::string_view block_start;
  // The row whose words after its label name the block's devices, one word per device.
  std::string_view names_row;
  // Whether one title line (such as the device model's name) may stand right before a block.
  bool titled_blocks = false;

  // What ends a block besides a blank line: a line that is not a row (see labels_right_aligned).
  bool ends_at_non_row = false;

  // Which blocks count: those whose device names all begin with this (any, when empty).
  std::string_view device_prefix;
  // Whether a listing ends where a device already in it appears again (the next print-out).
  bool repeated_device_ends_listing = false;

  // Where labels end. With a fixed label width, every row's label field has this many
  // characters and the fields field_width; otherwise both are found from each block's values,
  // which end at their fields' right edges, and field_width serves blocks of one device.
  bool fixed_widths = false;
  std::size_t label_width = 0;
  std::size_t field_width = 0;
  // Labels stand right-aligned in their field, so a row's label ends at its field's end.
  bool labels_right_aligned = false;
  // Names may begin left of their field, in the columns before it, even right after the
  // label of one of these rows (which hold names rather than values).
  bool names_may_start_left = false;
  std::array<std::string_view, 3> name_rows = {};
};

// HSPICE's "**** mosfets" sections: blocks from a "subckt" line to a blank line, label and
// field widths found from the values (9 and 11 in most logs), "gam eff" labels.
inline constexpr ColumnLayout kHspiceLayout = {
    .header_first_word = "****",
    .header_second_word = "mosfets",
    .block_start = "subckt",
    .names_row = "element",
    .titled_blocks = false,
    .ends_at_non_row = false,
    .device_prefix = "",
    .repeated_device_ends_listing = false,
    .fixed_widths = false,
    .label_width = 0,
    .field_width = 11,
    .labels_right_aligned = false,
    .names_may_start_left = true,
    .name_rows = {"subckt", "element", "model"},
};

// ngspice's "show" tables: a model line, then blocks from a "device" row to a blank line or the
// next model line; labels right-aligned in 11 characters, fields 22; MOS devices are the ones
// whose instance names begin with "m".
inline constexpr ColumnLayout kNgspiceLayout = {
    .header_first_word = "",
    .header_second_word = "",
    .block_start = "device",
    .names_row = "device",
    .titled_blocks = true,
    .ends_at_non_row = true,
    .device_prefix = "m",
    .repeated_device_ends_listing = true,
    .fixed_widths = true,
    .label_width = 11,
    .field_width = 22,
    .labels_right_aligned = true,
    .names_may_start_left = false,
    .name_rows = {},
};

// One listing, joined.
struct ColumnListing {
  std::vector<std::string> lines;  // the table, without line ends or trailing blanks
  int complete_blocks = 0;         // the counted blocks joined
  bool block_cut_off = false;      // a counted block was cut off by the end of the log
};

// Reads `log` to its end by `layout`, joins listing number `wanted` (from 1) into `listing`, and
// returns how many listings the log holds. A listing counts when it opens with a header, or,
// in layouts without one, when it holds a counted block. A read failure ends the reading as
// the end of input does; the caller checks log.Succeeded().
int ReadColumnListings(LineReader& log, const ColumnLayout& layout, int wanted,
                       ColumnListing* listing);

}  // namespace opjoin
