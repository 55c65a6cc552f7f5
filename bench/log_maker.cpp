#include "bench/log_maker.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <string>
#include <string_view>

namespace opjoin::bench {

namespace {

// Listing layout: a label column, then one column per transistor.
constexpr std::size_t kLabelWidth = 10;
constexpr std::size_t kColumnWidth = 11;

// Deterministic pseudo-random numbers (splitmix64), so that every run writes the same file.
class Random {
 public:
  std::uint64_t Next() {
    state_ += 0x9e3779b97f4a7c15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  std::uint64_t Below(std::uint64_t limit) { return Next() % limit; }

 private:
  std::uint64_t state_ = 42;
};

// Buffered output to a file descriptor that counts what it wrote and turns every line feed
// into CR LF when asked. It keeps the errno of the first failed write.
class Output {
 public:
  Output(int fd, bool crlf) : fd_(fd), crlf_(crlf) { buffer_.reserve(kFlushAt + 4096); }

  void Line(std::string_view text) {
    buffer_.append(text);
    if (crlf_) {
      buffer_.push_back('\r');
    }
    buffer_.push_back('\n');
    written_ += text.size() + (crlf_ ? 2 : 1);
    if (buffer_.size() >= kFlushAt) {
      Flush();
    }
  }

  // Writes out what is buffered, unless an earlier write failed.
  void Flush() {
    std::size_t done = 0;
    while (error_ == 0 && done < buffer_.size()) {
      ssize_t got = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got <= 0) {
        error_ = got < 0 ? errno : EIO;
      }
      done += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    buffer_.clear();
  }

  std::uint64_t written() const { return written_; }
  int error() const { return error_; }

 private:
  static constexpr std::size_t kFlushAt = 1 << 20;
  int fd_;
  bool crlf_;
  std::string buffer_;
  std::uint64_t written_ = 0;
  int error_ = 0;
};

// A number like "-1.23456e-09", with `digits` digits after the point.
void AppendScientific(std::string& out, Random& random, int digits) {
  if (random.Below(4) == 0) {
    out.push_back('-');
  }
  out.push_back(static_cast<char>('1' + random.Below(9)));
  out.push_back('.');
  for (int i = 0; i < digits; ++i) {
    out.push_back(static_cast<char>('0' + random.Below(10)));
  }
  out.append(random.Below(5) == 0 ? "e+" : "e-");
  std::uint64_t exponent = 1 + random.Below(15);
  out.push_back(static_cast<char>('0' + exponent / 10));
  out.push_back(static_cast<char>('0' + exponent % 10));
}

// Appends one listing cell: a blank, then `text` right-aligned in the rest of the column.
void AppendCell(std::string& out, std::string_view text) {
  std::size_t width = kColumnWidth - 1;
  out.push_back(' ');
  if (text.size() < width) {
    out.append(width - text.size(), ' ');
  }
  out.append(text);
}

// Transient print-out: mostly rows of numbers, now and then a text line. Some text lines
// hold "subckt" or "Total" where they must not open or end a listing.
class Filler {
 public:
  explicit Filler(Random& random) : random_(random) {}

  void WriteUntil(Output& out, std::uint64_t size) {
    while (out.written() < size) {
      line_.clear();
      ++line_number_;
      if (line_number_ % 40 == 1) {
        line_ = "       time         v(out)        v(in)       i(vdd)      v(net12)";
      } else if (line_number_ % 997 == 0) {
        line_ = "  warning: instance x" + std::to_string(line_number_ % 64) +
                ".m3 of subckt inv has a floating bulk";
      } else if (line_number_ % 1499 == 0) {
        line_ =
            "  step " + std::to_string(line_number_) + ": time step too small, checking breakpoint";
      } else if (line_number_ % 2003 == 0) {
        line_ = "Total iterations so far " + std::to_string(line_number_ / 7);
      } else {
        NumberRow();
      }
      std::uint64_t room = size - out.written();
      if (line_.size() + 1 > room) {
        line_.resize(room > 1 ? room - 1 : 0, ' ');
      }
      out.Line(line_);
    }
  }

 private:
  void NumberRow() {
    line_.push_back(' ');
    AppendScientific(line_, random_, 5);
    std::size_t columns = 2 + random_.Below(4);
    for (std::size_t c = 0; c < columns; ++c) {
      line_.append("   ");
      AppendScientific(line_, random_, 5);
    }
  }

  Random& random_;
  std::string line_;
  std::uint64_t line_number_ = 0;
};

// Row names of one block in the order the simulator prints them: the sixteen joined rows
// with others (which opjoin passes over) between them.
const std::string_view kListingRows[] = {"element", "model", "region", "vds",  "vgs",   "vbs",
                                         "vth",     "vdsat", "id",     "ibs",  "ibd",   "gds",
                                         "gm",      "gmbs",  "cgs",    "cgd",  "cgb",   "capbd",
                                         "capbs",   "weff",  "leff",   "beta", "gameff"};

// HSPICE's rows, as its MOS sections print them.
const std::string_view kHspiceRows[] = {"subckt", "element", "model",   "region", "id",  "ibs",
                                        "ibd",    "vgs",     "vds",     "vbs",    "vth", "vdsat",
                                        "vod",    "beta",    "gam eff", "gm",     "gds", "gmb",
                                        "cdtot",  "cgtot",   "cstot",   "cbtot",  "cgs", "cgd"};
constexpr std::size_t kHspiceLabelWidth = 9;

// Some of ngspice's BSIM4 rows.
const std::string_view kNgspiceRows[] = {
    "device", "model", "l",   "w",   "m",   "nf",  "gmbs",  "gm",    "gds", "vdsat",
    "vth",    "id",    "ibd", "ibs", "vbs", "vgs", "vds",   "cgg",   "cgs", "cgd",
    "cbg",    "cbd",   "cbs", "cdg", "cdd", "cds", "capbd", "capbs", "qg",  "qb"};
constexpr std::size_t kNgspiceLabelWidth = 11;
constexpr std::size_t kNgspiceFieldWidth = 22;

// About the bytes WriteListing writes for `shape`, so that a listing can end a log.
std::uint64_t ListingSizeEstimate(const LogShape& shape) {
  std::uint64_t rows = std::size(kListingRows);
  std::uint64_t line = kLabelWidth + shape.columns * kColumnWidth;
  if (shape.layout == LogShape::Layout::kHspice) {
    rows = std::size(kHspiceRows);
  } else if (shape.layout == LogShape::Layout::kNgspice) {
    rows = std::size(kNgspiceRows);
    line = kNgspiceLabelWidth + shape.columns * kNgspiceFieldWidth;
  }
  return shape.blocks * (rows + 4) * (line + (shape.crlf ? 2 : 1)) + 200;
}

// An HSPICE "**** mosfets" section: label field 9, fields 11, names near their field's start.
void WriteHspiceListing(Output& out, Random& random, const LogShape& shape) {
  std::string line;
  std::string cell;
  out.Line(" **** mosfets");
  out.Line("");
  out.Line("");
  for (std::uint64_t block = 0; block < shape.blocks; ++block) {
    std::uint64_t first = block * shape.columns;
    for (std::string_view name : kHspiceRows) {
      line.assign(name == "subckt" || name == "element" || name == "model" || name == "region"
                      ? " "
                      : "  ");
      line.append(name);
      line.resize(kHspiceLabelWidth, ' ');
      for (std::uint64_t c = 0; c < shape.columns; ++c) {
        cell.clear();
        if (name == "subckt") {
          cell = " x1";
          cell.resize(kColumnWidth, ' ');
        } else if (name == "element" || name == "model") {
          cell = name == "element" ? " 0:m" + std::to_string(first + c + 1)
                                   : (random.Below(2) == 0 ? " 0:nch.1" : " 0:pch.1");
          cell.resize(kColumnWidth, ' ');
        } else {
          std::string value;
          if (name == "region") {
            value = random.Below(3) == 0 ? "Linear" : "Saturati";
          } else {
            AppendScientific(value, random, 3);
          }
          AppendCell(cell, value);
        }
        line += cell;
      }
      out.Line(line);
    }
    out.Line("");
    out.Line("");
    out.Line("");
  }
  out.Line("          ***** job concluded");
}

// The output of ngspice's "show m": a model line before each block of a table, labels
// right-aligned in 11 characters, fields of 22.
void WriteNgspiceListing(Output& out, Random& random, const LogShape& shape) {
  std::string line;
  std::string value;
  for (std::uint64_t block = 0; block < shape.blocks; ++block) {
    std::uint64_t first = block * shape.columns;
    out.Line(" BSIM4: Berkeley Short Channel IGFET Model-4");
    for (std::string_view name : kNgspiceRows) {
      line.assign(kNgspiceLabelWidth - name.size(), ' ');
      line.append(name);
      for (std::uint64_t c = 0; c < shape.columns; ++c) {
        value.clear();
        if (name == "device") {
          // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) of "m" + a string.
          value.push_back('m');
          value += std::to_string(first + c + 1);
        } else if (name == "model") {
          value = random.Below(2) == 0 ? "nch" : "pch";
        } else {
          AppendScientific(value, random, 5);
        }
        line.append(kNgspiceFieldWidth - value.size(), ' ');
        line.append(value);
      }
      out.Line(line);
    }
    out.Line("");
  }
}

void WriteListing(Output& out, Random& random, const LogShape& shape) {
  if (shape.layout == LogShape::Layout::kHspice) {
    WriteHspiceListing(out, random, shape);
    return;
  }
  if (shape.layout == LogShape::Layout::kNgspice) {
    WriteNgspiceListing(out, random, shape);
    return;
  }
  std::string line;
  std::string cell;
  out.Line(" ****  mosfets");
  out.Line("");
  for (std::uint64_t block = 0; block < shape.blocks; ++block) {
    std::uint64_t first = block * shape.columns;
    line = "subckt    ";
    for (std::uint64_t c = 0; c < shape.columns; ++c) {
      AppendCell(line, "x1");
    }
    out.Line(line);
    for (std::string_view name : kListingRows) {
      line.assign(name);
      line.resize(kLabelWidth, ' ');
      for (std::uint64_t c = 0; c < shape.columns; ++c) {
        cell.clear();
        if (name == "element") {
          cell = "0:m" + std::to_string(first + c + 1);
        } else if (name == "model") {
          cell = random.Below(2) == 0 ? "0:nch" : "0:pch";
        } else if (name == "region") {
          cell = random.Below(3) == 0 ? "Linear" : "Saturati";
        } else {
          AppendScientific(cell, random, 3);
        }
        AppendCell(line, cell);
      }
      out.Line(line);
    }
    out.Line("");
  }
  if (shape.total_line) {
    out.Line("Total elapsed time for the operating point: 0.02 seconds");
  }
}

}  // namespace

int WriteLog(int fd, const LogShape& shape) {
  Random random;
  Output out(fd, shape.crlf);
  Filler filler(random);
  out.Line("SmartSpice log written by make_log for opjoin benchmarks");
  out.Line("Total memory in use at start: 2048 kB");
  std::uint64_t before = 0;
  switch (shape.where) {
    case LogShape::Where::kStart:
      break;
    case LogShape::Where::kMiddle:
      before = shape.size / 2;
      break;
    case LogShape::Where::kEnd:
      before = shape.size - std::min(shape.size, ListingSizeEstimate(shape));
      break;
  }
  filler.WriteUntil(out, before);
  WriteListing(out, random, shape);
  filler.WriteUntil(out, shape.size);
  out.Flush();
  return out.error();
}

}  // namespace opjoin::bench
