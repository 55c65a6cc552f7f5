#include "dialog/terminal/terminal_dialog.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <editline/readline.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "base/diagnostic.h"
#include "base/ending_signals.h"
#include "base/malloced.h"
#include "base/path.h"
#include "base/terminal_text.h"
#include "base/text.h"
#include "dialog/rules.h"

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

// Closes a folder whose reading has already failed or was only a test that it opens: the
// result of closing it then changes nothing.
struct FolderCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using FolderHandle = std::unique_ptr<DIR, FolderCloser>;

// `path` with symbolic links, "." and ".." resolved, or unchanged when it cannot be resolved.
std::string Resolved(const std::string& path) {
  MallocedChars real(::realpath(path.c_str(), nullptr));
  return real ? std::string(real.get()) : path;
}

// `path` (absolute) with its folder part resolved, so that the name returned carries no "..".
std::string WithResolvedFolder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string folder = Resolved(slash == 0 ? "/" : path.substr(0, slash));
  return AbsolutePath(folder, path.substr(slash + 1));
}

bool ComesFirst(const ListedEntry& a, const ListedEntry& b) {
  if (a.is_folder != b.is_folder) {
    return a.is_folder;
  }
  std::string a_lower = Lowercase(a.name);
  std::string b_lower = Lowercase(b.name);
  return a_lower != b_lower ? a_lower < b_lower : a.name < b.name;
}

std::string HomeOf(std::string_view user) {
  if (user.empty()) {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
      return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
  }
  const passwd* entry = ::getpwnam(std::string(user).c_str());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

bool IsOpen(int fd) {
  return ::fcntl(fd, F_GETFL) != -1;
}

bool IsOpenForReading(int fd) {
  int mode = ::fcntl(fd, F_GETFL);
  return mode != -1 && (mode & O_ACCMODE) != O_WRONLY;
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

// Tab completion. libedit's callbacks take no context, so the folder that relative names are
// completed in is kept here while an answer is read.
const std::string* completion_folder = nullptr;

// The next name that completes `text`, relative to the shown folder unless `text` is absolute
// or starts with "~"; folders end in "/". libedit's own filename completion finds the names.
// Names beginning with "." are hidden from the list, so they are offered only to a typed name
// that begins with "." too.
char* NextCompletion(const char* text, int state) {
  const bool rooted = text[0] == '/' || text[0] == '~';
  std::string prefix;
  if (!rooted) {
    prefix = *completion_folder;
    if (!prefix.ends_with('/')) {
      prefix += '/';
    }
  }
  const bool hidden_asked_for = FileNameOf(text).starts_with('.');
  for (;; state = 1) {
    MallocedChars match(rl_filename_completion_function((prefix + text).c_str(), state));
    if (!match) {
      return nullptr;
    }
    std::string name = std::string(match.get()).substr(prefix.size());
    if (FileNameOf(name).starts_with('.') && !hidden_asked_for) {
      continue;
    }
    if (IsFolder(AbsolutePath(*completion_folder, ExpandHome(name)))) {
      name += '/';
    }
    return ::strdup(name.c_str());
  }
}

// libedit inserts the first entry (what all matches share) into the line, where it shows
// control characters as ^X and other bytes as octal escapes itself (the program keeps the C
// locale), and lists the others when there are several: those it prints as they are, so they
// are escaped here, as every name the dialog shows.
char** CompleteAnswer(const char* text, int, int) {
  // Our matches are all there is: no fallback to completion in the working folder.
  rl_attempted_completion_over = 1;
  char** matches = rl_completion_matches(text, NextCompletion);
  if (matches != nullptr && matches[1] != nullptr && matches[2] != nullptr) {
    for (char** match = matches + 1; *match != nullptr; ++match) {
      char* shown = ::strdup(TerminalEscaped(*match).c_str());
      if (shown != nullptr) {
        std::free(*match);
        *match = shown;
      }
    }
  }
  return matches;
}

// The reason a write to the screen failed, just after it did.
std::string ScreenFailure() {
  return Fill(kScreenUnwritten, {ErrnoText(errno != 0 ? errno : EIO)});
}

// The terminal's modes, put back by any signal that ends the program while this is alive.
class TerminalModes {
 public:
  TerminalModes() = default;
  ~TerminalModes() {
    if (saved_) {
      EndingSignals::Process().Forget(Restore, this);
    }
  }
  TerminalModes(const TerminalModes&) = delete;
  TerminalModes& operator=(const TerminalModes&) = delete;

  bool Save(std::string* error) {
    if (::tcgetattr(STDIN_FILENO, &modes_) != 0) {
      *error = Fill(kStandardInputUnread, {ErrnoText(errno)});
      return false;
    }
    saved_ = EndingSignals::Process().Remember(Restore, this, error);
    return saved_;
  }

 private:
  static void Restore(void* self) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &static_cast<TerminalModes*>(self)->modes_);
  }

  termios modes_ = {};
  bool saved_ = false;
};

}  // namespace

std::string ExpandHome(std::string_view path) {
  if (!path.starts_with('~')) {
    return std::string(path);
  }
  std::size_t slash = path.find('/');
  std::string home = HomeOf(path.substr(1, slash == std::string_view::npos ? slash : slash - 1));
  if (home.empty()) {
    return std::string(path);
  }
  return slash == std::string_view::npos ? home : home + std::string(path.substr(slash));
}

bool ListFolderEntries(const std::string& folder, std::string_view patterns,
                       std::vector<ListedEntry>* listed, std::string* error) {
  FolderHandle dir(::opendir(folder.c_str()));
  if (!dir) {
    *error = ErrnoText(errno);
    return false;
  }
  std::vector<ListedEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) {
        *error = ErrnoText(errno);
        return false;
      }
      break;
    }
    std::string name = entry->d_name;
    if (name.starts_with('.')) {
      continue;
    }
    // A link to nothing, or a name removed meanwhile, offers nothing to open: it is not listed.
    struct stat info;
    if (::stat(AbsolutePath(folder, name).c_str(), &info) != 0) {
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      entries.push_back({name, true});
    } else if (S_ISREG(info.st_mode) && MatchesFilter(patterns, name)) {
      entries.push_back({name, false});
    }
  }
  if (::closedir(dir.release()) != 0) {
    *error = ErrnoText(errno);
    return false;
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
  char* line = nullptr;
  std::size_t capacity = 0;
  errno = 0;
  ssize_t length = ::getline(&line, &capacity, input_);
  const int read_error = errno;
  MallocedChars owner(line);
  if (length < 0) {
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
  std::string text(line, static_cast<std::size_t>(length));
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

EditedAnswerSource::EditedAnswerSource() {
  rl_readline_name = "opjoin";
  rl_instream = stdin;
  rl_outstream = stderr;
  // An answer is one name, blanks and all: complete the whole line, unquoted.
  rl_basic_word_break_characters = "";
  rl_attempted_completion_function = CompleteAnswer;
  rl_completion_append_character = '\0';
  using_history();
}

bool EditedAnswerSource::ReadAnswer(std::string_view prompt, const std::string& folder,
                                    std::optional<std::string>* answer, std::string* error) {
  // libedit puts the terminal back itself for the signals it knows; this covers every other
  // signal that would end the program with the terminal raw and silent.
  TerminalModes modes;
  if (!modes.Save(error)) {
    return false;
  }
  completion_folder = &folder;
  errno = 0;
  MallocedChars line(::readline(std::string(prompt).c_str()));
  const int read_error = errno;
  completion_folder = nullptr;
  if (!line) {
    // The end of input, or a read error: libedit tells them apart only by errno.
    if (read_error == EIO || read_error == EBADF || read_error == EISDIR || read_error == EINVAL ||
        read_error == ENXIO) {
      *error = Fill(kStandardInputUnread, {ErrnoText(read_error)});
      return false;
    }
    answer->reset();
    errno = 0;
    // libedit shows the Ctrl-D that ended the input as "^D": write the prompt's line again
    // without it, and leave that line.
    const std::string clean_line = "\r" + std::string(prompt) + "\x1b[K\n";
    if (std::fputs(clean_line.c_str(), stderr) == EOF || std::fflush(stderr) != 0) {
      *error = ScreenFailure();
      return false;
    }
    return true;
  }
  if (!Trim(line.get()).empty()) {
    add_history(line.get());
  }
  *answer = std::string(line.get());
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
  std::string resolved = Resolved(folder);
  FolderHandle dir(::opendir(resolved.c_str()));
  if (!dir) {
    const int error = errno;
    return SayAndAskAgain(Fill(kFolderNotOpened, {Shown(resolved), ErrnoText(error)}) + "\n");
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

bool StartTerminalDialog(const OpenDialogDescription& description,
                         std::unique_ptr<OpenDialog>* dialog, std::string* error) {
  if (!IsOpenForReading(STDIN_FILENO)) {
    *error = kStandardInputClosed;
    return false;
  }
  if (!IsOpen(STDERR_FILENO)) {
    *error = kStandardErrorClosed;
    return false;
  }
  const bool screen_is_terminal = IsTerminal(STDERR_FILENO);
  std::unique_ptr<AnswerSource> answers;
  if (IsTerminal(STDIN_FILENO) && screen_is_terminal) {
    answers = std::make_unique<EditedAnswerSource>();
  } else {
    answers = std::make_unique<PlainAnswerSource>(stdin, std::cerr, screen_is_terminal);
  }
  *dialog = std::make_unique<TerminalDialog>(description, StartFolder(), std::move(answers),
                                             std::cerr, screen_is_terminal);
  return true;
}

}  // namespace opjoin
