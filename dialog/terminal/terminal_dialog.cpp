#include "dialog/terminal/terminal_dialog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "base/diagnostic.h"
#include "base/path.h"
#include "base/text.h"
#include "dialog/rules.h"
#include "dialog/terminal/terminal_dialog_platform.h"

// How the dialog's flags take effect here:
//   OFN_PATHMUSTEXIST     a name whose folder does not exist is refused and asked again.
//   OFN_CREATEPROMPT      a name of a file that does not exist brings "Create the file?".
//   OFN_NOTESTFILECREATE  the dialog never creates a file, test or otherwise.
//   OFN_NOREADONLYRETURN  read-only files and files in folders that cannot be written are refused.
//   OFN_NOCHANGEDIR       the dialog never changes the working folder: it keeps the shown
//                         folder to itself.
// Without meaning on a terminal: OFN_OVERWRITEPROMPT (a save dialog's), OFN_HIDEREADONLY (there
// is no "open read-only" choice to hide), OFN_NONETWORKBUTTON (no network places) and
// OFN_ENABLESIZING (the terminal has its own size).

namespace opjoin {

namespace {

constexpr std::string_view kFileNamePrompt = "File name: ";
constexpr std::string_view kCreatePrompt = "Create the file? (y/n) ";
constexpr std::string_view kAnswerHelp =
    "Answer with a number from the list, or a file or folder name (relative to the folder\n"
    "above, absolute, or starting with ~); a folder is opened, \"..\" is the parent.\n"
    ":N shows the files of type N. An empty line cancels.\n";

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

bool IsNumber(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The number `text` stands for, or 0 when it is not a number or too large to be one.
std::size_t ParseNumber(std::string_view text) {
  std::size_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() ? number : 0;
}

// `path` (absolute) with its folder part resolved, so that the name returned carries no "..".
std::string WithResolvedFolder(const std::string& path) {
  return AbsolutePath(ResolvedPath(FolderOf(path)), FileNameOf(path));
}

bool ComesFirst(const ListedEntry& a, const ListedEntry& b) {
  if (a.is_folder != b.is_folder) {
    return a.is_folder;
  }
  std::string a_lower = Lowercase(a.name);
  std::string b_lower = Lowercase(b.name);
  return a_lower != b_lower ? a_lower < b_lower : a.name < b.name;
}

}  // namespace

// The working folder the dialog starts in. Should it be gone, the dialog starts at "/".
std::string StartFolder() {
  std::string folder;
  std::string error;
  if (WorkingFolder(&folder, &error)) {
    return folder;
  }
  Diagnose("cannot get the working folder", error + "; the dialog starts at /");
  return "/";
}

std::string ExpandHome(std::string_view path) {
  if (!path.starts_with('~')) {
    return std::string(path);
  }
  std::size_t slash = 1;
  while (slash < path.size() && !IsSeparator(path[slash])) {
    ++slash;
  }
  if (slash == path.size()) {
    slash = std::string_view::npos;
  }
  std::string home =
      HomeFolderOf(path.substr(1, slash == std::string_view::npos ? slash : slash - 1));
  if (home.empty()) {
    return std::string(path);
  }
  return slash == std::string_view::npos ? home : home + std::string(path.substr(slash));
}

std::optional<std::vector<ListedEntry>> ListFolderEntries(const std::string& folder,
                                                          std::string_view patterns,
                                                          std::string& error) {
  std::vector<FolderItem> items;
  if (!ReadFolder(folder, &items, &error)) {
    return std::nullopt;
  }
  std::vector<ListedEntry> entries;
  for (FolderItem& item : items) {
    if (item.name.starts_with('.')) {
      continue;
    }
    if (item.kind == FolderItem::Kind::kFolder) {
      entries.push_back({std::move(item.name), true});
    } else if (item.kind == FolderItem::Kind::kFile && MatchesFilter(patterns, item.name)) {
      entries.push_back({std::move(item.name), false});
    }
  }
  std::sort(entries.begin(), entries.end(), ComesFirst);
  return entries;
}

std::optional<std::string> PlainAnswerSource::ReadAnswer(std::string_view prompt,
                                                         const std::string&) {
  if (!(screen_ << prompt << std::flush)) {
    return std::nullopt;  // a dialog that cannot be seen is not answered
  }
  std::string answer;
  int read_error = 0;
  for (;;) {
    errno = 0;
    int c = std::getc(input_);
    if (c == EOF) {
      read_error = errno;
      break;
    }
    answer += static_cast<char>(c);
    if (c == '\n') {
      break;
    }
  }
  if (answer.empty()) {
    screen_ << '\n';
    if (!std::feof(input_)) {
      screen_ << "opjoin: cannot read standard input: " << ErrnoText(read_error) << '\n';
    }
    screen_ << std::flush;
    return std::nullopt;
  }
  if (answer.ends_with('\n')) {
    answer.pop_back();
  }
  if (answer.ends_with('\r')) {
    answer.pop_back();
  }
  // Nothing echoes a line read from a pipe: show it, so the screen reads as the dialog went.
  screen_ << answer << '\n' << std::flush;
  return answer;
}

TerminalDialog::TerminalDialog(OpenDialogDescription description, std::string folder,
                               std::unique_ptr<AnswerSource> answers, std::ostream& screen)
    : description_(std::move(description)),
      folder_(std::move(folder)),
      answers_(std::move(answers)),
      screen_(screen) {}

int TerminalDialog::DoModal() {
  bool redraw = true;
  for (;;) {
    if (redraw && !Draw()) {
      return IDCANCEL;
    }
    std::optional<std::string> answer = answers_->ReadAnswer(kFileNamePrompt, folder_);
    if (!answer) {
      return IDCANCEL;
    }
    switch (Answer(std::string(Trim(*answer)))) {
      case Outcome::kAskAgain:
        redraw = false;
        break;
      case Outcome::kRedraw:
        redraw = true;
        break;
      case Outcome::kChosen:
        return IDOK;
      case Outcome::kCancelled:
        return IDCANCEL;
    }
  }
}

bool TerminalDialog::Say(std::string_view text) {
  screen_ << text << std::flush;
  return screen_.good();
}

// Shows the title, the folder, the file types with the selected one marked and the numbered
// list. A screen that cannot be written cancels the dialog: it cannot be answered unseen.
bool TerminalDialog::Draw() {
  std::string text = "\n" + description_.title + "\nLook in: " + folder_ + "\nFiles of type:\n";
  std::string patterns = "*";
  for (std::size_t i = 0; i < description_.filters.size(); ++i) {
    const bool selected = i == description_.selected_filter;
    text += (selected ? "  > :" : "    :") + std::to_string(i + 1) + " " +
            description_.filters[i].shown_text + "\n";
    if (selected) {
      patterns = description_.filters[i].patterns;
    }
  }
  std::string error;
  std::optional<std::vector<ListedEntry>> entries = ListFolderEntries(folder_, patterns, error);
  listed_ = entries ? std::move(*entries) : std::vector<ListedEntry>();
  if (!entries) {
    text += "  (this folder cannot be read: " + error + ")\n";
  } else if (listed_.empty()) {
    text += "  (no folders or matching files)\n";
  }
  const std::size_t width = std::to_string(listed_.size()).size();
  for (std::size_t i = 0; i < listed_.size(); ++i) {
    std::string number = std::to_string(i + 1);
    text += "  " + std::string(width - number.size(), ' ') + number + "  " + listed_[i].name +
            (listed_[i].is_folder ? "/" : "") + "\n";
  }
  return Say(text + std::string(kAnswerHelp));
}

TerminalDialog::Outcome TerminalDialog::Answer(const std::string& answer) {
  if (answer.empty()) {
    return Outcome::kCancelled;
  }
  if (answer.find('\0') != std::string::npos) {
    return Say("A name cannot contain a NUL character.\n") ? Outcome::kAskAgain
                                                           : Outcome::kCancelled;
  }
  if (answer.starts_with(':')) {
    return SwitchFilter(std::string_view(answer).substr(1));
  }
  if (IsNumber(answer)) {
    return PickListed(answer);
  }
  std::string path = AbsolutePath(folder_, ExpandHome(answer));
  if (IsFolder(path)) {
    return Enter(path);
  }
  // Only a typed name gets the default extension; one picked from the list is taken as it is.
  if (!description_.default_extension.empty()) {
    path = WithDefaultExtension(path, description_.default_extension);
  }
  return Choose(path);
}

TerminalDialog::Outcome TerminalDialog::SwitchFilter(std::string_view number) {
  std::size_t entry = IsNumber(number) ? ParseNumber(number) : 0;
  if (entry == 0 || entry > description_.filters.size()) {
    return Say("There is no file type :" + std::string(number) +
               "; the types are :1 to :" + std::to_string(description_.filters.size()) + ".\n")
               ? Outcome::kAskAgain
               : Outcome::kCancelled;
  }
  description_.selected_filter = entry - 1;
  return Outcome::kRedraw;
}

TerminalDialog::Outcome TerminalDialog::PickListed(std::string_view number) {
  std::size_t index = ParseNumber(number);
  if (index == 0 || index > listed_.size()) {
    return Say("There is no number " + std::string(number) + " in the list.\n")
               ? Outcome::kAskAgain
               : Outcome::kCancelled;
  }
  const ListedEntry& entry = listed_[index - 1];
  std::string path = AbsolutePath(folder_, entry.name);
  return entry.is_folder ? Enter(path) : Choose(path);
}

TerminalDialog::Outcome TerminalDialog::Enter(const std::string& folder) {
  std::string resolved = ResolvedPath(folder);
  std::string error;
  if (!CanOpenFolder(resolved, &error)) {
    return Say(resolved + "\nThis folder cannot be opened: " + error + ".\n") ? Outcome::kAskAgain
                                                                              : Outcome::kCancelled;
  }
  folder_ = resolved;
  return Outcome::kRedraw;
}

TerminalDialog::Outcome TerminalDialog::Choose(const std::string& typed_path) {
  const std::string path = WithResolvedFolder(typed_path);
  const ChoiceRefusal refusal = CheckChoice(path, description_.flags);
  if (refusal != ChoiceRefusal::kNone) {
    return Say(RefusalText(refusal, path) + "\n") ? Outcome::kAskAgain : Outcome::kCancelled;
  }
  if (HasFlag(OFN_CREATEPROMPT) && !FileExists(path)) {
    return AskToCreate(path);
  }
  chosen_path_ = path;
  return Outcome::kChosen;
}

// "Yes" returns the name without creating the file (OFN_NOTESTFILECREATE); anything else asks
// for a name again.
TerminalDialog::Outcome TerminalDialog::AskToCreate(const std::string& path) {
  if (!Say(path + "\nThis file does not exist.\n")) {
    return Outcome::kCancelled;
  }
  std::optional<std::string> reply = answers_->ReadAnswer(kCreatePrompt, folder_);
  if (!reply) {
    return Outcome::kCancelled;
  }
  const std::string answer = Lowercase(Trim(*reply));
  if (answer == "y" || answer == "yes") {
    chosen_path_ = path;
    return Outcome::kChosen;
  }
  return Outcome::kAskAgain;
}

}  // namespace opjoin
