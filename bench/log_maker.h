// Writes large simulation logs for measuring opjoin.
//
// A log is transient print-out (numeric columns with a few text lines between them) with the
// MOS operating-point listing at its start, in its middle or at its end, in the layout of
// SmartSpice, HSPICE (a "**** mosfets" section) or ngspice (the tables of "show"). The listing
// has any number of column blocks of any width, and the whole file can use CR LF line ends.
#pragma once

#include <cstdint>

namespace opjoin::bench {

struct LogShape {
  enum class Layout { kSmartSpice, kHspice, kNgspice } layout = Layout::kSmartSpice;
  std::uint64_t size = 64ull << 20;  // bytes of the whole log; the listing may make it longer
  enum class Where { kStart, kMiddle, kEnd } where = Where::kEnd;
  std::uint64_t blocks = 4;
  std::uint64_t columns = 8;  // transistors per block
  bool crlf = false;
  bool total_line = true;  // a "Total" line right after a SmartSpice listing
};

// Writes a log of `shape` to `fd`. The same shape always gives the same bytes. Returns 0, or
// the errno of a failed write.
int WriteLog(int fd, const LogShape& shape);

}  // namespace opjoin::bench
