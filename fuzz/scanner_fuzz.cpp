// Feeds arbitrary bytes to the line reader and the scanner, and checks the scanner against the
// simple model of the line rules. The first byte picks the reader's block size, so that lines
// and line ends fall across block boundaries in every way.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "extract/line_reader.h"
#include "extract/listing_scanner.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/listing_model.h"

namespace {

using opjoin::fuzz::MemoryFile;

void Require(bool holds, const char* what) {
  opjoin::fuzz::Require(holds, "scanner and model disagree", what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  // The reader takes at least 128 bytes a block; larger blocks up to 128 + 4 * 255.
  std::size_t block_size = 128 + 4 * std::size_t{data[0]};
  std::string_view log(reinterpret_cast<const char*>(data) + 1, size - 1);

  opjoin::ParameterRows initial;
  initial[7] = "before";
  opjoin::model::Outcome expected = opjoin::model::Scan(log, initial);

  int fd = MemoryFile(log);
  opjoin::model::Outcome actual;
  actual.rows = initial;
  opjoin::LineReader reader(fd, block_size);
  actual.result = opjoin::ScanListing(reader, actual.rows, [&](std::size_t row, int block) {
    actual.missing.emplace_back(row, block);
  });
  ::close(fd);

  std::string read_error;
  Require(reader.Succeeded(&read_error), "read error");
  Require(actual.result == expected.result, "block count");
  Require(actual.rows == expected.rows, "rows");
  Require(actual.missing == expected.missing, "missing rows");
  return 0;
}
