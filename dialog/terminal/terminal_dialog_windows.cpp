// The terminal dialog on Windows: folders read with FindFirstFileW, answers read wide from the
// console (ReadConsoleW) or as UTF-8 lines from a pipe, and the screen written through the
// console's wide output (base/console.h).
#include <cerrno>
#include <memory>
#include <ostream>
#include <streambuf>

#include "base/console.h"
#include "base/diagnostic.h"
#include "base/path.h"
#include "base/text.h"
#include "base/wide_windows.h"
#include "dialog/terminal/terminal_dialog.h"
#include "dialog/terminal/terminal_dialog_platform.h"

// After the dialog's description, whose IDOK and OFN_* the system's header makes macros.
#include <windows.h>

namespace opjoin {

namespace {

// Standard error as a C++ stream, so that the dialog's screen goes where diagnostics go and
// shows any name correctly on a console.
class StandardErrorBuffer final : public std::streambuf {
 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      pending_ += traits_type::to_char_type(c);
    }
    return c == traits_type::eof() ? traits_type::not_eof(c) : c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    return count;
  }
  int sync() override {
    bool ok = pending_.empty() || WriteText(StandardStream::kError, pending_);
    pending_.clear();
    return ok ? 0 : -1;
  }

 private:
  std::string pending_;
};

std::ostream& Screen() {
  static StandardErrorBuffer buffer;
  static std::ostream screen(&buffer);
  return screen;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

bool IsOpenHandle(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Answers typed on the console, read wide so that any name can be typed.
class ConsoleAnswerSource final : public AnswerSource {
 public:
  ConsoleAnswerSource(HANDLE console, std::ostream& screen) : console_(console), screen_(screen) {}

  bool ReadAnswer(std::string_view prompt, const std::string&, std::optional<std::string>* answer,
                  std::string* error) override {
    errno = 0;
    if (!(screen_ << prompt << std::flush)) {
      *error = ScreenFailure();
      return false;
    }
    std::wstring line;
    for (;;) {
      wchar_t buffer[256];
      DWORD read = 0;
      if (!::ReadConsoleW(console_, buffer, 256, &read, nullptr)) {
        *error = Fill(dialog_text::kStandardInputUnread, {SystemErrorText(::GetLastError())});
        return false;
      }
      if (read == 0 || (read >= 1 && buffer[0] == 0x1A && line.empty())) {
        // The end of input, or Ctrl-Z and Enter: the dialog is cancelled.
        answer->reset();
        if (!(screen_ << '\n' << std::flush)) {
          *error = ScreenFailure();
          return false;
        }
        return true;
      }
      line.append(buffer, read);
      if (line.ends_with(L'\n')) {
        break;
      }
    }
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) {
      line.pop_back();
    }
    *answer = WideToUtf8(line);
    return true;
  }

 private:
  HANDLE console_;
  std::ostream& screen_;
};

}  // namespace

bool ReadFolder(const std::string& folder, std::vector<FolderItem>* items, std::string* error) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileExW(Utf8ToWide(AbsolutePath(folder, "*")).c_str(), FindExInfoBasic,
                                     &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    *error = SystemErrorText(::GetLastError());
    return false;
  }
  do {
    std::string name = WideToUtf8(found.cFileName);
    if (name == "." || name == "..") {
      continue;
    }
    FolderItem::Kind kind =
        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FolderItem::Kind::kFolder
        : (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0  ? FolderItem::Kind::kOther
                                                                 : FolderItem::Kind::kFile;
    items->push_back({std::move(name), kind});
  } while (::FindNextFileW(search, &found));
  DWORD failure = ::GetLastError();
  ::FindClose(search);
  if (failure != ERROR_NO_MORE_FILES) {
    *error = SystemErrorText(failure);
    return false;
  }
  return true;
}

bool CanOpenFolder(const std::string& folder, std::string* error) {
  std::vector<FolderItem> items;
  return ReadFolder(folder, &items, error);
}

std::string ResolvedPath(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    return path;
  }
  std::wstring full(size, L'\0');
  DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) {
    return path;
  }
  full.resize(length);
  return WideToUtf8(full);
}

std::string HomeFolderOf(std::string_view user) {
  if (!user.empty()) {
    return "";  // other users' folders are not for this program to look up
  }
  DWORD size = ::GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0);
  if (size == 0) {
    return "";
  }
  std::wstring home(size, L'\0');
  DWORD length = ::GetEnvironmentVariableW(L"USERPROFILE", home.data(), size);
  home.resize(length < size ? length : 0);
  return WideToUtf8(home);
}

bool StartTerminalDialog(const OpenDialogDescription& description,
                         std::unique_ptr<OpenDialog>* dialog, std::string* error) {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  HANDLE screen = ::GetStdHandle(STD_ERROR_HANDLE);
  if (!IsOpenHandle(input)) {
    *error = dialog_text::kStandardInputClosed;
    return false;
  }
  if (!IsOpenHandle(screen)) {
    *error = dialog_text::kStandardErrorClosed;
    return false;
  }
  // Names are escaped on a console, as on a terminal.
  const bool screen_is_console = IsConsole(screen);
  std::unique_ptr<AnswerSource> answers;
  if (IsConsole(input)) {
    answers = std::make_unique<ConsoleAnswerSource>(input, Screen());
  } else {
    answers = std::make_unique<PlainAnswerSource>(stdin, Screen(), screen_is_console);
  }
  *dialog = std::make_unique<TerminalDialog>(description, StartFolder(), std::move(answers),
                                             Screen(), screen_is_console);
  return true;
}

}  // namespace opjoin
