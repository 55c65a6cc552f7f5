#include "extract/column_listing.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/text.h"

namespace opjoin {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool IsBlankLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(), IsBlank);
}

// A word of a line: where it begins and where it ends (one past its last character).
struct Word {
  std::size_t begin;
  std::size_t end;
};

std::vector<Word> Words(std::string_view line) {
  std::vector<Word> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsBlank(line[at])) {
      ++at;
    }
    if (at == line.size()) {
      break;
    }
    std::size_t begin = at;
    while (at < line.size() && !IsBlank(line[at])) {
      ++at;
    }
    words.push_back({begin, at});
  }
  return words;
}

// The first two words of a line, as far as its first LineReader::kHeadSize bytes show them:
// the words that open a listing or a block are looked for there, as the search for them does.
std::pair<std::string_view, std::string_view> FirstWords(std::string_view line) {
  line = line.substr(0, std::min(line.size(), LineReader::kHeadSize));
  std::string_view words[2];
  std::size_t at = 0;
  for (std::string_view& word : words) {
    while (at < line.size() && IsBlank(line[at])) {
      ++at;
    }
    std::size_t begin = at;
    while (at < line.size() && !IsBlank(line[at])) {
      ++at;
    }
    word = line.substr(begin, at - begin);
  }
  return {words[0], words[1]};
}

// Where a block's label field ends and how wide its fields are.
struct Geometry {
  std::size_t label_width = 0;
  std::size_t field_width = 0;
  bool operator==(const Geometry&) const = default;
};

// The geometry that the row `line` suggests for a block of `devices` devices, whose values end
// at their fields' right edges: the ends of its last `devices` words, equally spaced, with a
// label before them. False when the line does not fit that shape.
bool GeometryOfRow(std::string_view line, std::size_t devices, std::size_t single_field_width,
                   Geometry* geometry) {
  std::vector<Word> words = Words(line);
  if (devices == 0 || words.size() < devices + 1) {
    return false;
  }
  const std::size_t first_value = words.size() - devices;
  std::size_t width = single_field_width;
  if (devices >= 2) {
    width = words[first_value + 1].end - words[first_value].end;
    for (std::size_t i = first_value + 1; i < words.size(); ++i) {
      if (words[i].end - words[i - 1].end != width) {
        return false;
      }
    }
  }
  std::size_t first_end = words[first_value].end;
  if (width == 0 || first_end <= width || words[first_value - 1].end > first_end - width) {
    return false;
  }
  *geometry = {first_end - width, width};
  return true;
}

// The geometry most rows of the block agree on (name rows may disagree: names need not stand
// at their fields' right edges). False when no row fits.
bool MeasureGeometry(const std::vector<std::string>& lines, std::size_t devices,
                     std::size_t single_field_width, Geometry* geometry) {
  std::vector<std::pair<Geometry, int>> votes;
  for (const std::string& line : lines) {
    Geometry candidate;
    if (!GeometryOfRow(line, devices, single_field_width, &candidate)) {
      continue;
    }
    auto vote = std::find_if(votes.begin(), votes.end(),
                             [&](const auto& entry) { return entry.first == candidate; });
    if (vote == votes.end()) {
      votes.emplace_back(candidate, 1);
    } else {
      ++vote->second;
    }
  }
  if (votes.empty()) {
    return false;
  }
  // The first of the most frequent, so that a tie goes to the earlier row.
  *geometry = std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) {
                return a.second < b.second;
              })->first;
  return true;
}

// The joined table of one listing. Every row's text is kept as long as the label field plus a
// field for every device so far, so that each device's field stands at the same column.
class Joiner {
 public:
  explicit Joiner(const ColumnLayout& layout) : layout_(layout) {}

  // Adds a block of `devices` devices whose lines have `geometry`.
  void Add(const std::vector<std::string>& lines, std::size_t devices, Geometry geometry) {
    if (devices_ == 0) {
      table_ = geometry;
    }
    std::unordered_map<std::string, int> seen_in_block;
    for (const std::string& line : lines) {
      std::size_t spill = SpillWidth(line, geometry.label_width);
      std::string_view label_field =
          std::string_view(line).substr(0, std::min(line.size(), geometry.label_width - spill));
      std::string key(Trim(label_field));
      key += '\n' + std::to_string(seen_in_block[key]++);  // a label's n-th row in a block
      std::string& text = RowFor(key, label_field);
      if (spill > 0) {  // then the line reaches past the label field
        Place(text, std::string_view(line).substr(geometry.label_width - spill, spill));
      }
      AppendFields(text, line, devices, geometry);
    }
    devices_ += devices;
    for (std::string& text : rows_) {
      text.resize(RowWidth(), ' ');
    }
  }

  // The table's lines, without trailing blanks.
  std::vector<std::string> Lines() && {
    for (std::string& text : rows_) {
      text.erase(text.find_last_not_of(' ') + 1);
    }
    return std::move(rows_);
  }

  // The field width of the blocks joined so far; 0 before the first.
  std::size_t FieldWidth() const { return devices_ == 0 ? 0 : table_.field_width; }

 private:
  std::size_t RowWidth() const { return table_.label_width + devices_ * table_.field_width; }

  // How many characters of the label field belong to the first device's name, which begins
  // left of its field: the part of a word running across the field's start that follows the
  // label (a name row's label may run straight into it).
  std::size_t SpillWidth(std::string_view line, std::size_t label_width) const {
    if (!layout_.names_may_start_left || line.size() <= label_width ||
        IsBlank(line[label_width - 1]) || IsBlank(line[label_width])) {
      return 0;
    }
    std::size_t begin = label_width - 1;
    while (begin > 0 && !IsBlank(line[begin - 1])) {
      --begin;
    }
    std::string_view left_part = line.substr(begin, label_width - begin);
    for (std::string_view label : layout_.name_rows) {
      if (!label.empty() && left_part.size() > label.size() && left_part.starts_with(label)) {
        return left_part.size() - label.size();
      }
    }
    bool label_before = !IsBlankLine(line.substr(0, begin));
    return label_before ? left_part.size() : 0;
  }

  // The row with `key`, made with `label_field` and blank fields for the devices so far when
  // it is new.
  std::string& RowFor(const std::string& key, std::string_view label_field) {
    auto [at, added] = index_.try_emplace(key, rows_.size());
    if (added) {
      std::string text(label_field.substr(0, std::min(label_field.size(), table_.label_width)));
      text.resize(RowWidth(), ' ');
      rows_.push_back(std::move(text));
    }
    return rows_[at->second];
  }

  // Puts the start of a name that begins left of its field into the columns before the
  // field, when they are blank, as the log has it.
  void Place(std::string& text, std::string_view spill) const {
    if (spill.empty() || spill.size() > text.size()) {
      return;
    }
    std::size_t at = text.size() - spill.size();
    if (IsBlankLine(std::string_view(text).substr(at))) {
      text.replace(at, spill.size(), spill);
    }
  }

  // Appends the fields of `devices` devices from `line`, each made as wide as the table's.
  void AppendFields(std::string& text, std::string_view line, std::size_t devices,
                    Geometry geometry) const {
    const std::size_t width = table_.field_width;
    for (std::size_t device = 0; device < devices; ++device) {
      std::size_t begin = geometry.label_width + device * geometry.field_width;
      std::string_view field =
          begin < line.size() ? line.substr(begin, geometry.field_width) : std::string_view();
      std::size_t start = text.size();
      text.append(field);
      text.resize(start + geometry.field_width, ' ');
      // A block of other widths: keep the fields' right edges, where the values end.
      if (geometry.field_width > width) {
        text.erase(start, geometry.field_width - width);
      } else if (geometry.field_width < width) {
        text.insert(start, width - geometry.field_width, ' ');
      }
    }
  }

  const ColumnLayout& layout_;
  Geometry table_;
  std::size_t devices_ = 0;
  std::vector<std::string> rows_;
  std::unordered_map<std::string, std::size_t> index_;
};

// One pass over the log: finds each listing, follows its blocks, joins the wanted listing's
// counted blocks and counts the listings.
class ListingReader {
 public:
  ListingReader(LineReader& log, const ColumnLayout& layout, int wanted, ColumnListing* listing)
      : log_(log), layout_(layout), wanted_(wanted), listing_(listing), joiner_(layout) {}

  int Read() {
    std::string line;
    for (;;) {
      if (!in_listing_) {
        if (!SkipToListingStart()) {
          break;
        }
        line.clear();
        log_.AppendLine(line, 0);
        StartListing(line);
        continue;
      }
      if (!log_.NextLine()) {
        break;
      }
      line.clear();
      log_.AppendLine(line, 0);
      Handle(line);
    }
    if (in_block_) {
      EndBlock(false);
    }
    listing_->lines = std::move(joiner_).Lines();
    return listings_;
  }

 private:
  bool HasHeader() const { return !layout_.header_first_word.empty(); }

  bool OpensListing(std::string_view line) const {
    auto [first, second] = FirstWords(line);
    if (HasHeader()) {
      return first == layout_.header_first_word && second == layout_.header_second_word;
    }
    return first == layout_.block_start;
  }

  bool StartsBlock(std::string_view line) const {
    return FirstWords(line).first == layout_.block_start;
  }

  // A row's label ends at the end of its label field, where a field begins.
  bool IsRow(std::string_view line) const {
    std::size_t end = layout_.label_width;
    return line.size() >= end && !IsBlank(line[end - 1]) &&
           (line.size() == end || IsBlank(line[end]));
  }

  // Moves to the next line that opens a listing, passing over the lines before it without
  // looking at each: only lines that hold the listing's opening word near their start can.
  bool SkipToListingStart() {
    std::string_view needle = HasHeader() ? layout_.header_second_word : layout_.block_start;
    while (log_.SkipToLineContaining(needle, LineReader::kHeadSize - needle.size())) {
      if (OpensListing(log_.Head())) {
        return true;
      }
    }
    return false;
  }

  void StartListing(std::string_view line) {
    in_listing_ = true;
    title_pending_ = false;
    current_ = 0;
    devices_.clear();
    if (HasHeader()) {
      CountListing();
    } else {
      Handle(line);
    }
  }

  void EndListing() {
    in_listing_ = false;
    title_pending_ = false;
    current_ = 0;
  }

  void CountListing() { current_ = ++listings_; }

  // Whether the lines of the block being read are needed: it may be joined, or it may start
  // the wanted listing (when a repeated device begins a new listing).
  bool KeepLines() const {
    bool may_be_wanted = current_ == 0 && listings_ < wanted_;
    bool may_start_listing = layout_.repeated_device_ends_listing && listings_ < wanted_;
    return current_ == wanted_ || may_be_wanted || may_start_listing;
  }

  void Handle(std::string_view line) {
    if (in_block_) {
      if (IsBlankLine(line)) {
        EndBlock(true);
        return;
      }
      if (!layout_.ends_at_non_row || IsRow(line)) {
        AddToBlock(line);
        return;
      }
      EndBlock(true);  // and the line is read again, outside the block
    }
    if (IsBlankLine(line)) {
      if (title_pending_) {
        EndListing();  // what looked like a title is followed by no block
      }
      return;
    }
    if (StartsBlock(line)) {
      title_pending_ = false;
      in_block_ = true;
      block_ = {};
      AddToBlock(line);
      return;
    }
    if (layout_.titled_blocks && !title_pending_) {
      title_pending_ = true;  // a title, if a block follows
      return;
    }
    EndListing();
    if (OpensListing(line)) {
      StartListing(line);
    }
  }

  // Whether `line` is the row naming the block's devices. Its label may run straight into the
  // first name, when names may begin left of their field.
  bool IsNamesRow(std::string_view line) const {
    std::string_view first = FirstWords(line).first;
    return first == layout_.names_row ||
           (layout_.names_may_start_left && first.starts_with(layout_.names_row));
  }

  void AddToBlock(std::string_view line) {
    if (!block_.has_names && IsNamesRow(line)) {
      block_.has_names = true;
      std::vector<Word> words = Words(line);
      std::size_t glued = words[0].begin + layout_.names_row.size();  // a name after the label
      if (glued < words[0].end) {
        block_.names.emplace_back(line.substr(glued, words[0].end - glued));
      }
      for (std::size_t i = 1; i < words.size(); ++i) {
        block_.names.emplace_back(line.substr(words[i].begin, words[i].end - words[i].begin));
      }
    }
    if (KeepLines()) {
      block_.lines.emplace_back(line);
    }
  }

  bool Counts(const std::vector<std::string>& names) const {
    return std::all_of(names.begin(), names.end(), [&](const std::string& name) {
      return std::string_view(name).starts_with(layout_.device_prefix);
    });
  }

  bool AnyAlreadyListed(const std::vector<std::string>& names) const {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return devices_.contains(name); });
  }

  void EndBlock(bool complete) {
    in_block_ = false;
    if (complete && block_.names.empty()) {
      return;  // no devices: not a block of the listing's kind
    }
    if (layout_.repeated_device_ends_listing && AnyAlreadyListed(block_.names)) {
      EndListing();  // the block opens the next print-out
      in_listing_ = true;
      devices_.clear();
    }
    devices_.insert(block_.names.begin(), block_.names.end());
    bool counts = block_.has_names ? Counts(block_.names) : layout_.device_prefix.empty();
    if (!counts) {
      return;
    }
    if (current_ == 0) {
      CountListing();
    }
    if (current_ != wanted_) {
      return;
    }
    if (!complete) {
      listing_->block_cut_off = true;
      return;
    }
    Geometry geometry{layout_.label_width, layout_.field_width};
    // A block of one device shows no field width: the listing's, or the usual one, serves.
    std::size_t single_width =
        joiner_.FieldWidth() != 0 ? joiner_.FieldWidth() : layout_.field_width;
    if (!layout_.fixed_widths &&
        !MeasureGeometry(block_.lines, block_.names.size(), single_width, &geometry)) {
      return;  // no row shows where the fields end
    }
    joiner_.Add(block_.lines, block_.names.size(), geometry);
    ++listing_->complete_blocks;
  }

  struct Block {
    std::vector<std::string> lines;  // kept when they may be joined
    bool has_names = false;
    std::vector<std::string> names;
  };

  LineReader& log_;
  const ColumnLayout& layout_;
  const int wanted_;
  ColumnListing* listing_;
  Joiner joiner_;

  bool in_listing_ = false;
  bool in_block_ = false;
  bool title_pending_ = false;  // a line outside a block that a block must follow
  int listings_ = 0;
  int current_ = 0;  // the number of the listing being read, 0 while it does not count yet
  Block block_;
  std::unordered_set<std::string> devices_;  // the devices of the listing being read
};

}  // namespace

int ReadColumnListings(LineReader& log, const ColumnLayout& layout, int wanted,
                       ColumnListing* listing) {
  *listing = {};
  return ListingReader(log, layout, wanted, listing).Read();
}

}  // namespace opjoin
