// Logs for the end-to-end tests: a listing framed by a log's usual lines, and the table it
// joins into.
#pragma once

#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace opjoin::testing {

inline constexpr const char* kRowNames[] = {"element", "model", "vds",  "vgs", "vbs",  "vth",
                                            "vdsat",   "id",    "gds",  "gm",  "gmbs", "cgs",
                                            "cgd",     "capbd", "weff", "leff"};

// A listing of `blocks` blocks whose row lines carry `cell` after their 10-character label,
// framed by a log's usual lines. Returns the log; `table` receives the table it joins into.
inline std::string ListingLog(int blocks, std::string_view cell, std::string* table = nullptr,
                              std::string_view preamble = "SmartSpice log\n") {
  std::string log = std::string(preamble) + "subckt\n";
  std::vector<std::string> rows(std::size(kRowNames));
  for (int block = 0; block < blocks; ++block) {
    log += "       0:m1       0:m2\n";
    for (std::size_t row = 0; row < rows.size(); ++row) {
      std::string label(kRowNames[row]);
      label.resize(10, ' ');
      std::string columns = std::string(cell) + std::to_string(block);
      log += label + columns + "\n";
      rows[row] += block == 0 ? label + columns : columns;
    }
  }
  log += "Total elapsed time 0.1\n";
  if (table != nullptr) {
    table->clear();
    for (const std::string& row : rows) {
      *table += row + "\n";
    }
  }
  return log;
}

}  // namespace opjoin::testing
