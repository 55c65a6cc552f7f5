#include "dialog/terminal/terminal_dialog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "base/diagnostic.h"
#include "base/path.h"
#include "base/terminal_text.h"
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

using namespace dialog_text;

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

std::string ScreenFailure() {
  return Fill(kScreenUnwritten, {ErrnoText(errno != 0 ? errno : EIO)});
}

// The working folder the dialog starts in. Should it be gone, the dialog starts at "/".
std::string StartFolder() {
  std::string folder;
  std::string error;
  if (WorkingFolder(&folder, &error)) {
    return folder;
  }
  Diagnose(kNoWorkingFolder, Fill(kStartsAtRoot, {error}));
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

bool ListFolderEntries(const std::string& folder, std::string_view patterns,
                       std::vector<ListedEntry>* listed, std::string* error) {
  std::vector<FolderItem> items;
  if (!ReadFolder(folder, &items, error)) {
    return false;
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
  *listed = std::move(entries);
  return true;
}

bool PlainAnswerSource::ReadAnswer(std::string_view prompt, const std::string&,
                                   std::optional<std::string>* answer, std::string* error) {
  errno = 0;
  if (!(screen_ << prompt << std::flush)) {
    *error = ScreenFailure();  // a dialog that cannot be seen cannot be answered
    return false;
  }
  // Read a byte at a time: getline() is not on every platform, and answers are short.
  std::string text;
  int read_error = 0;
  for (;;) {
    errno = 0;
    int c = std::getc(input_);
    if (c == EOF) {
      read_error = errno;
      break;
    }
    text += static_cast<char>(c);
    if (c == '\n') {
      break;
    }
  }
  if (text.empty()) {
    if (!std::feof(input_)) {
      *error = Fill(kStandardInputUnread, {ErrnoText(read_error != 0 ? read_error : EIO)});
      return false;
    }
    answer->reset();
    errno = 0;
    if (!(screen_ << '\n' << std::flush)) {
      *error = ScreenFailure();
      return false;
    }
    return true;
  }
  if (text.ends_with('\n')) {
    text.pop_back();
  }
  if (text.ends_with('\r')) {
    text.pop_back();
  }
  // Nothing echoes a line read from a pipe: show it, so the screen reads as the dialog went.
  errno = 0;
  if (!(screen_ << (escape_names_ ? TerminalEscaped(text) : text) << '\n' << std::flush)) {
    *error = ScreenFailure();
    return false;
  }
  *answer = std::move(text);
  return true;
}

TerminalDialog::TerminalDialog(OpenDialogDescription description, std::string folder,
                               std::unique_ptr<AnswerSource> answers, std::ostream& screen,
                               bool escape_names)
    : description_(std::move(description)),
      folder_(std::move(folder)),
      answers_(std::move(answers)),
      screen_(screen),
      escape_names_(escape_names) {}

int TerminalDialog::DoModal() {
  bool redraw = true;
  for (;;) {
    if (redraw && !Draw()) {
      return kDialogFailed;
    }
    std::optional<std::string> answer;
    Outcome outcome = Read(kFileNamePrompt, &answer);
    if (outcome == Outcome::kAskAgain) {
      outcome = Answer(std::string(Trim(*answer)));
    }
    switch (outcome) {
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
      case Outcome::kFailed:
        return kDialogFailed;
    }
  }
}

// Reads an answer to `prompt`: kAskAgain with the answer, kCancelled at the end of input, or
// kFailed.
TerminalDialog::Outcome TerminalDialog::Read(std::string_view prompt,
                                             std::optional<std::string>* answer) {
  if (!answers_->ReadAnswer(prompt, folder_, answer, &failure_)) {
    return Outcome::kFailed;
  }
  return *answer ? Outcome::kAskAgain : Outcome::kCancelled;
}

// A screen that cannot be written fails the dialog: it cannot be answered unseen.
bool TerminalDialog::Say(std::string_view text) {
  errno = 0;
  if (!(screen_ << text << std::flush)) {
    failure_ = ScreenFailure();
    return false;
  }
  return true;
}

TerminalDialog::Outcome TerminalDialog::SayAndAskAgain(std::string_view text) {
  return Say(text) ? Outcome::kAskAgain : Outcome::kFailed;
}

// A name or path as the screen shows it.
std::string TerminalDialog::Shown(std::string_view name) const {
  return escape_names_ ? TerminalEscaped(name) : std::string(name);
}

// The text of a decision as the screen shows it. Every such text begins with the decision's
// path, which is escaped with the rest left as it is.
std::string TerminalDialog::ShownText(const ChoiceDecision& decision) const {
  if (!decision.text.starts_with(decision.path)) {
    return decision.text;
  }
  return Shown(decision.path) + decision.text.substr(decision.path.size());
}

// Shows the title, the folder, the file types with the selected one marked and the numbered
// list.
bool TerminalDialog::Draw() {
  std::string text = "\n" + description_.title + "\n" + std::string(kLookIn) + Shown(folder_) +
                     "\n" + std::string(kFilesOfType) + "\n";
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
  listed_.clear();
  if (!ListFolderEntries(folder_, patterns, &listed_, &error)) {
    text += Fill(kFolderUnreadable, {error}) + "\n";
  } else if (listed_.empty()) {
    text += std::string(kNothingListed) + "\n";
  }
  const std::size_t width = std::to_string(listed_.size()).size();
  for (std::size_t i = 0; i < listed_.size(); ++i) {
    std::string number = std::to_string(i + 1);
    text += "  " + std::string(width - number.size(), ' ') + number + "  " +
            Shown(listed_[i].name) + (listed_[i].is_folder ? "/" : "") + "\n";
  }
  return Say(text + std::string(kAnswerHelp));
}

TerminalDialog::Outcome TerminalDialog::Answer(const std::string& answer) {
  if (answer.empty()) {
    return Outcome::kCancelled;
  }
  if (answer.find('\0') != std::string::npos) {
    return SayAndAskAgain(std::string(kNulInName) + "\n");
  }
  if (answer.starts_with(':')) {
    return SwitchFilter(std::string_view(answer).substr(1));
  }
  if (IsNumber(answer)) {
    return PickListed(answer);
  }
  return Act(AbsolutePath(folder_, ExpandHome(answer)));
}

TerminalDialog::Outcome TerminalDialog::SwitchFilter(std::string_view number) {
  std::size_t entry = IsNumber(number) ? ParseNumber(number) : 0;
  if (entry == 0 || entry > description_.filters.size()) {
    return SayAndAskAgain(
        Fill(kNoSuchType, {Shown(number), std::to_string(description_.filters.size())}) + "\n");
  }
  description_.selected_filter = entry - 1;
  return Outcome::kRedraw;
}

TerminalDialog::Outcome TerminalDialog::PickListed(std::string_view number) {
  std::size_t index = ParseNumber(number);
  if (index == 0 || index > listed_.size()) {
    return SayAndAskAgain(Fill(kNoSuchNumber, {number}) + "\n");
  }
  return Act(AbsolutePath(folder_, listed_[index - 1].name));
}

TerminalDialog::Outcome TerminalDialog::Enter(const std::string& folder) {
  std::string resolved = ResolvedPath(folder);
  std::string error;
  if (!CanOpenFolder(resolved, &error)) {
    return SayAndAskAgain(Fill(kFolderNotOpened, {Shown(resolved), error}) + "\n");
  }
  folder_ = resolved;
  return Outcome::kRedraw;
}

// Shows what the dialog's rules decide for `path` (absolute, as typed or picked). Its folder is
// resolved first, so that the name chosen carries no "..".
TerminalDialog::Outcome TerminalDialog::Act(const std::string& path) {
  const ChoiceDecision decision = DecideChoice(WithResolvedFolder(path), description_);
  switch (decision.action) {
    case ChoiceDecision::Action::kEnterFolder:
      return Enter(decision.path);
    case ChoiceDecision::Action::kRefuse:
      return SayAndAskAgain(ShownText(decision) + "\n");
    case ChoiceDecision::Action::kAskToCreate:
      return AskToCreate(decision);
    case ChoiceDecision::Action::kAccept:
      break;
  }
  chosen_path_ = decision.path;
  return Outcome::kChosen;
}

// "Yes" returns the name without creating the file; anything else asks for a name again.
TerminalDialog::Outcome TerminalDialog::AskToCreate(const ChoiceDecision& decision) {
  if (!Say(ShownText(decision) + "\n")) {
    return Outcome::kFailed;
  }
  std::optional<std::string> reply;
  const Outcome read = Read(std::string(kCreateQuestion) + std::string(kYesNo), &reply);
  if (read != Outcome::kAskAgain) {
    return read;
  }
  const std::string answer = Lowercase(Trim(*reply));
  if (answer == "y" || answer == "yes") {
    chosen_path_ = decision.path;
    return Outcome::kChosen;
  }
  return Outcome::kAskAgain;
}

}  // namespace opjoin
