// Feeds arbitrary bytes to the column-listing reader under both simulator layouts. The first
// byte picks the layout, the listing asked for and the reader's block size; the reading must
// be the same with that block size as with a large one, and its table must have no trailing
// blanks and hold lines exactly when it joined a block.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "extract/column_listing.h"
#include "extract/line_reader.h"
#include "fuzz/fuzz_support.h"

namespace {

using opjoin::fuzz::MemoryFile;

void Require(bool holds, const char* what) {
  opjoin::fuzz::Require(holds, "column listing reader", what);
}

struct Reading {
  int listings;
  opjoin::ColumnListing listing;
};

Reading Read(std::string_view log, const opjoin::ColumnLayout& layout, int wanted,
             std::size_t block_size) {
  int fd = MemoryFile(log);
  opjoin::LineReader reader(fd, block_size);
  Reading reading;
  reading.listings = opjoin::ReadColumnListings(reader, layout, wanted, &reading.listing);
  std::string error;
  Require(reader.Succeeded(&error), "read error");
  ::close(fd);
  return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const opjoin::ColumnLayout& layout =
      (data[0] & 1) != 0 ? opjoin::kNgspiceLayout : opjoin::kHspiceLayout;
  int wanted = 1 + ((data[0] >> 1) & 3);
  std::size_t block_size = 128 + 8 * static_cast<std::size_t>(data[0] >> 3);
  std::string_view log(reinterpret_cast<const char*>(data) + 1, size - 1);

  Reading small = Read(log, layout, wanted, block_size);
  Reading large = Read(log, layout, wanted, 64 * 1024);  // larger than any input
  Require(small.listings == large.listings, "listing count depends on the block size");
  Require(small.listing.lines == large.listing.lines, "table depends on the block size");
  Require(small.listing.complete_blocks == large.listing.complete_blocks,
          "block count depends on the block size");
  Require(small.listing.block_cut_off == large.listing.block_cut_off,
          "cut-off block depends on the block size");
  Require(large.listing.lines.empty() == (large.listing.complete_blocks == 0),
          "a table without blocks, or blocks without a table");
  Require(large.listings > 0 || large.listing.complete_blocks == 0, "blocks without a listing");
  for (const std::string& line : large.listing.lines) {
    Require(line.empty() || line.back() != ' ', "trailing blank");
  }
  return 0;
}
