#include "extract/listing_scanner.h"

#include <algorithm>
#include <array>
#include <span>

namespace opjoin {

namespace {

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool Matches(std::string_view name, std::string_view line) {
  return MatchKeyword(name, line) == 0;
}

// Skips lines up to and including the first one that opens the listing. Only lines that
// hold the delimiter near their start are looked at.
bool FindStartDelimiter(LineReader& log) {
  while (log.SkipToLineContaining(StartDelimiter, LeadSkipLimit)) {
    if (Matches(StartDelimiter, log.Head())) {
      // A delimiter on the last line, without a line feed, opens nothing.
      log.SkipLine();
      return !log.AtEof();
    }
  }
  return false;
}

// Makes room in `row` for about `piece` more bytes. Every later block lengthens a row by about
// the same amount, so a row grows to many times its first length. Its capacity grows by a
// quarter at a time, not the library's doubling: the rows then hold at most a quarter more than
// the table, and growing one costs its old and new copies at once, so the memory a listing
// needs stays within about 1.3 to 1.45 times its table.
void GrowFor(std::string& row, std::size_t piece) {
  if (row.capacity() - row.size() >= piece) {
    return;
  }
  // A fresh string: reserve() on the row itself would at least double it (libstdc++).
  std::string grown;
  grown.reserve(std::max(row.size() + row.size() / 4, row.size() + piece));
  grown = row;
  row.swap(grown);
}

// Moves to the next line that can matter while row `row` is sought: one that may begin with the
// row's name, the end marker, or the first row's name (which tells that `row` is missing from
// its block). Every other line would be passed over anyway, so it is not looked at.
bool NextLineFor(LineReader& log, std::size_t row) {
  const std::array<std::string_view, 3> names = {KeywordTable[row], EndMarker, KeywordTable[0]};
  std::size_t count = row > 0 ? 3 : 2;  // the first row's name is already the sought one
  return log.SkipToLineContaining(std::span(names.data(), count), LeadSkipLimit);
}

void TakeRow(LineReader& log, std::string& row, int block_count) {
  if (block_count == 0) {
    row.clear();
    log.AppendLine(row, 0);
  } else {
    GrowFor(row, row.size() / static_cast<std::size_t>(block_count));
    log.AppendLine(row, LabelColumnWidth);
  }
}

}  // namespace

int MatchKeyword(std::string_view name, std::string_view line) {
  std::size_t skipped = 0;
  while (skipped < LeadSkipLimit && skipped < line.size() && !IsLetter(line[skipped])) {
    ++skipped;
  }
  return line.substr(skipped).starts_with(name) ? 0 : 1;
}

int ScanListing(LineReader& log, ParameterRows& rows, const RowMissingHandler& on_row_missing) {
  if (!FindStartDelimiter(log)) {
    return DelimiterMissing;
  }
  int block_count = 0;
  bool done = false;
  while (!log.AtEof() && !done) {
    std::size_t row = 0;
    while (row < kRowCount && !done) {
      if (!NextLineFor(log, row)) {
        done = true;
        break;
      }
      std::string_view head = log.Head();
      if (Matches(EndMarker, head)) {
        done = true;
      }
      if (!Matches(KeywordTable[row], head)) {
        if (row > 0 && Matches(KeywordTable[0], head)) {
          on_row_missing(row, block_count + 1);
        }
        continue;
      }
      TakeRow(log, rows[row], block_count);
      ++row;
    }
    if (!done) {
      ++block_count;
    }
  }
  return block_count;
}

}  // namespace opjoin
