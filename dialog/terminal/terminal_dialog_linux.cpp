// The terminal dialog on Linux: folders read with readdir, answers edited with libedit on a
// terminal.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <editline/readline.h>

#include <cerrno>
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
#include "dialog/terminal/terminal_dialog.h"
#include "dialog/terminal/terminal_dialog_platform.h"

namespace opjoin {

namespace {

using namespace dialog_text;

// Closes a folder whose reading has already failed or was only a test that it opens: the
// result of closing it then changes nothing.
struct FolderCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using FolderHandle = std::unique_ptr<DIR, FolderCloser>;

bool IsOpen(int fd) {
  return ::fcntl(fd, F_GETFL) != -1;
}

bool IsOpenForReading(int fd) {
  int mode = ::fcntl(fd, F_GETFL);
  return mode != -1 && (mode & O_ACCMODE) != O_WRONLY;
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

bool ReadFolder(const std::string& folder, std::vector<FolderItem>* items, std::string* error) {
  FolderHandle dir(::opendir(folder.c_str()));
  if (!dir) {
    *error = ErrnoText(errno);
    return false;
  }
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
    if (name == "." || name == "..") {
      continue;
    }
    struct stat info;
    if (::stat(AbsolutePath(folder, name).c_str(), &info) != 0) {
      continue;
    }
    FolderItem::Kind kind = S_ISDIR(info.st_mode)   ? FolderItem::Kind::kFolder
                            : S_ISREG(info.st_mode) ? FolderItem::Kind::kFile
                                                    : FolderItem::Kind::kOther;
    items->push_back({std::move(name), kind});
  }
  if (::closedir(dir.release()) != 0) {
    *error = ErrnoText(errno);
    return false;
  }
  return true;
}

bool CanOpenFolder(const std::string& folder, std::string* error) {
  FolderHandle dir(::opendir(folder.c_str()));
  if (!dir) {
    *error = ErrnoText(errno);
    return false;
  }
  return true;
}

std::string ResolvedPath(const std::string& path) {
  MallocedChars real(::realpath(path.c_str(), nullptr));
  return real ? std::string(real.get()) : path;
}

std::string HomeFolderOf(std::string_view user) {
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
    std::string clean_line = "\r";  // built piece by piece: GCC 12 warns falsely on a + b + c
    clean_line += prompt;
    clean_line += "\x1b[K\n";
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
