// Finds the MOS operating-point listing in a SmartSpice log and joins its column blocks.
//
// The listing starts after the first line that begins with "subckt" and ends at a line that
// begins with "Total". Each block holds one line per row name of KeywordTable, in table order,
// with other lines in between. The first block's lines go into the rows whole; later blocks
// add what follows their 10-character label column.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "extract/line_reader.h"

namespace opjoin {

inline constexpr std::size_t kRowCount = 16;

// The row names, in the order of the rows and of the table's lines.
inline constexpr std::array<std::string_view, kRowCount> KeywordTable = {
    "element", "model", "vds",  "vgs", "vbs", "vth",   "vdsat", "id",
    "gds",     "gm",    "gmbs", "cgs", "cgd", "capbd", "weff",  "leff"};

inline constexpr std::string_view StartDelimiter = "subckt";
inline constexpr std::string_view EndMarker = "Total";
// Leading non-letters skipped before a name is compared.
inline constexpr std::size_t LeadSkipLimit = 10;
// Characters at the start of a row line that hold its label.
inline constexpr std::size_t LabelColumnWidth = 10;

// The joined rows, indexed like KeywordTable, without line ends.
using ParameterRows = std::array<std::string, kRowCount>;

// What ScanListing returns when no line opens the listing.
inline constexpr int DelimiterMissing = -1;

// Returns 0 when `line` begins with `name` after at most LeadSkipLimit non-letters, and 1
// otherwise, as a string comparison would. Only ASCII letters count as letters.
int MatchKeyword(std::string_view name, std::string_view line);

// Called when the search for row `row` (1 or above) meets the first row of another block:
// `row` is missing from block `block` (counted from 1), so later rows may not line up.
using RowMissingHandler = std::function<void(std::size_t row, int block)>;

// Reads `log` to the end of the listing, assigning the rows from the first block and appending
// to them from later ones, and tells `on_row_missing` (which must be callable) about each row
// missing from a block. Returns DelimiterMissing, or the number of complete blocks read.
// A read failure ends the scan as the end of input does; the caller checks log.Succeeded().
int ScanListing(LineReader& log, ParameterRows& rows, const RowMissingHandler& on_row_missing);

}  // namespace opjoin
