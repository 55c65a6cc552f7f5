// Google Benchmark of the listing scanner and the column-listing reader alone, on logs held in
// memory (a memfd, so that reads cost what reads from the page cache cost). Reports bytes per
// second.
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "bench/log_maker.h"
#include "extract/column_listing.h"
#include "extract/listing_scanner.h"

namespace {

using opjoin::bench::LogShape;

// A generated log in an anonymous in-memory file.
class MemoryLog {
 public:
  explicit MemoryLog(const LogShape& shape) : fd_(::memfd_create("log", MFD_CLOEXEC)) {
    if (fd_ < 0 || opjoin::bench::WriteLog(fd_, shape) != 0) {
      throw std::runtime_error(std::string("cannot make the log: ") + std::strerror(errno));
    }
    size_ = ::lseek(fd_, 0, SEEK_END);
  }
  ~MemoryLog() { ::close(fd_); }
  MemoryLog(const MemoryLog&) = delete;
  MemoryLog& operator=(const MemoryLog&) = delete;

  // The descriptor, positioned at the start.
  int Rewound() const {
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
      throw std::runtime_error("cannot rewind the log");
    }
    return fd_;
  }
  std::int64_t size() const { return size_; }

 private:
  int fd_;
  std::int64_t size_ = 0;
};

void Scan(benchmark::State& state, const LogShape& shape) {
  MemoryLog log(shape);
  int blocks = 0;
  for (auto _ : state) {
    opjoin::LineReader reader(log.Rewound());
    opjoin::ParameterRows rows;
    // The program always reports missing rows, which makes the scan look for one more name.
    int missing = 0;
    blocks = opjoin::ScanListing(reader, rows, [&](std::size_t, int) { ++missing; });
    benchmark::DoNotOptimize(missing);
    benchmark::DoNotOptimize(rows);
  }
  if (blocks != static_cast<int>(shape.blocks)) {
    state.SkipWithError("the scan did not read every block");
  }
  state.SetBytesProcessed(state.iterations() * log.size());
}

// A log of state.range(0) MiB with a small listing at its end: nearly all the time goes to
// finding the start delimiter.
void BM_ListingAtEnd(benchmark::State& state) {
  LogShape shape;
  shape.size = static_cast<std::uint64_t>(state.range(0)) << 20;
  Scan(state, shape);
}
BENCHMARK(BM_ListingAtEnd)->Arg(64)->Unit(benchmark::kMillisecond);

// The column-listing reader on a log of state.range(0) MiB in `layout` with the same listing
// at its end: nearly all the time goes to finding the listing's start, as for the scanner.
void ReadColumns(benchmark::State& state, LogShape::Layout layout,
                 const opjoin::ColumnLayout& rules) {
  LogShape shape;
  shape.size = static_cast<std::uint64_t>(state.range(0)) << 20;
  shape.layout = layout;
  MemoryLog log(shape);
  int blocks = 0;
  for (auto _ : state) {
    opjoin::LineReader reader(log.Rewound());
    opjoin::ColumnListing listing;
    opjoin::ReadColumnListings(reader, rules, 1, &listing);
    blocks = listing.complete_blocks;
    benchmark::DoNotOptimize(listing);
  }
  if (blocks != static_cast<int>(shape.blocks)) {
    state.SkipWithError("the reader did not join every block");
  }
  state.SetBytesProcessed(state.iterations() * log.size());
}

void BM_HspiceListingAtEnd(benchmark::State& state) {
  ReadColumns(state, LogShape::Layout::kHspice, opjoin::kHspiceLayout);
}
BENCHMARK(BM_HspiceListingAtEnd)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_NgspiceListingAtEnd(benchmark::State& state) {
  ReadColumns(state, LogShape::Layout::kNgspice, opjoin::kNgspiceLayout);
}
BENCHMARK(BM_NgspiceListingAtEnd)->Arg(64)->Unit(benchmark::kMillisecond);

// The same log read line by line, as the scan did before it skipped to the delimiter: the
// cost of looking at every line.
void BM_EveryLine(benchmark::State& state) {
  LogShape shape;
  shape.size = static_cast<std::uint64_t>(state.range(0)) << 20;
  MemoryLog log(shape);
  for (auto _ : state) {
    opjoin::LineReader reader(log.Rewound());
    std::size_t lines = 0;
    while (reader.NextLine()) {
      lines += reader.Head().empty() ? 0 : 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * log.size());
}
BENCHMARK(BM_EveryLine)->Arg(64)->Unit(benchmark::kMillisecond);

// A listing of state.range(0) blocks of eight transistors and nothing else.
void BM_ManyBlocks(benchmark::State& state) {
  LogShape shape;
  shape.size = 0;
  shape.where = LogShape::Where::kStart;
  shape.blocks = static_cast<std::uint64_t>(state.range(0));
  Scan(state, shape);
}
BENCHMARK(BM_ManyBlocks)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

// A listing of one block state.range(0) transistors wide: each row line is that wide.
void BM_WideRows(benchmark::State& state) {
  LogShape shape;
  shape.size = 0;
  shape.where = LogShape::Where::kStart;
  shape.blocks = 1;
  shape.columns = static_cast<std::uint64_t>(state.range(0));
  Scan(state, shape);
}
BENCHMARK(BM_WideRows)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace
