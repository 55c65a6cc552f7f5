// A deliberately simple model of how the scanner reads a log, for tests and fuzzing to check
// the scanner against. It splits the whole input into lines first and then walks them with
// plain loops, so it shares nothing with the block-wise reader. It favours plainness over
// speed: it holds the whole log and every line in memory.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "extract/listing_scanner.h"

namespace opjoin::model {

struct Line {
  std::string text;  // without its line end
  bool has_line_feed;
};

// Lines end at LF; a CR right before an LF belongs to the line end. A last line without LF
// is still a line; an empty input has no lines.
inline std::vector<Line> SplitLines(std::string_view input) {
  std::vector<Line> lines;
  std::string current;
  for (std::size_t at = 0; at < input.size(); ++at) {
    if (input[at] == '\n') {
      if (!current.empty() && current.back() == '\r') {
        current.pop_back();
      }
      lines.push_back({current, true});
      current.clear();
    } else {
      current += input[at];
    }
  }
  if (!current.empty()) {
    lines.push_back({current, false});
  }
  return lines;
}

inline bool Matches(std::string_view name, std::string_view line) {
  std::size_t at = 0;
  for (int skipped = 0; skipped < 10 && at < line.size(); ++skipped) {
    char c = line[at];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (letter) {
      break;
    }
    ++at;
  }
  return line.size() - at >= name.size() && line.compare(at, name.size(), name) == 0;
}

inline const std::vector<std::string> kNames = {"element", "model", "vds",  "vgs", "vbs",  "vth",
                                                "vdsat",   "id",    "gds",  "gm",  "gmbs", "cgs",
                                                "cgd",     "capbd", "weff", "leff"};

// What a scan gives: its result, the rows, and each (row, block) reported missing.
struct Outcome {
  int result = 0;
  ParameterRows rows;
  std::vector<std::pair<std::size_t, int>> missing;

  bool operator==(const Outcome&) const = default;
};

// Scans `input` as the scanner would, starting from `initial_rows`.
inline Outcome Scan(std::string_view input, const ParameterRows& initial_rows) {
  std::vector<Line> lines = SplitLines(input);
  Outcome outcome;
  outcome.rows = initial_rows;

  std::size_t next = 0;
  while (next < lines.size() && !Matches("subckt", lines[next].text)) {
    ++next;
  }
  if (next == lines.size() || !lines[next].has_line_feed) {
    outcome.result = -1;
    return outcome;
  }
  ++next;

  int blocks = 0;
  bool done = false;
  bool last_line_unterminated = false;
  while (!done && !last_line_unterminated) {
    std::size_t wanted = 0;
    while (wanted < 16 && !done) {
      if (next == lines.size()) {
        done = true;
        break;
      }
      const Line& line = lines[next++];
      last_line_unterminated = !line.has_line_feed;
      if (Matches("Total", line.text)) {
        done = true;
      }
      if (Matches(kNames[wanted], line.text)) {
        if (blocks == 0) {
          outcome.rows[wanted] = line.text;
        } else if (line.text.size() > 10) {
          outcome.rows[wanted] += line.text.substr(10);
        }
        ++wanted;
      } else if (wanted > 0 && Matches("element", line.text)) {
        outcome.missing.emplace_back(wanted, blocks + 1);
      }
    }
    if (!done) {
      ++blocks;
    }
  }
  outcome.result = blocks;
  return outcome;
}

}  // namespace opjoin::model
