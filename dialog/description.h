// The Open dialog that asks for the log: its one description, which every backend shows, and
// the small interface every backend implements.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace opjoin {

// Open-dialog flags, with the names and values of the platform the program began on. Each
// backend gives the effect the flag has there; the comments say what that is.
inline constexpr unsigned long OFN_OVERWRITEPROMPT = 0x2;  // no effect on an Open dialog
inline constexpr unsigned long OFN_HIDEREADONLY = 0x4;     // no "open read-only" choice
inline constexpr unsigned long OFN_NOCHANGEDIR = 0x8;      // working folder unchanged afterwards
inline constexpr unsigned long OFN_PATHMUSTEXIST = 0x800;  // a name in a missing folder is refused
inline constexpr unsigned long OFN_CREATEPROMPT = 0x2000;  // a missing file brings "create it?"
inline constexpr unsigned long OFN_NOREADONLYRETURN = 0x8000;   // read-only files are refused
inline constexpr unsigned long OFN_NOTESTFILECREATE = 0x10000;  // the file is never created
inline constexpr unsigned long OFN_NONETWORKBUTTON = 0x20000;   // no network places
inline constexpr unsigned long OFN_ENABLESIZING = 0x800000;     // the dialog can be resized

// What a dialog's DoModal() returns when the user chose a file; anything else is a cancel.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

struct FilterEntry {
  std::string shown_text;  // "All Files (*.*) ", trailing blank included
  std::string patterns;    // "*.out; *.dat"
};

struct OpenDialogDescription {
  std::string title;
  std::vector<FilterEntry> filters;
  std::size_t selected_filter = 0;
  std::string default_extension;  // without its dot
  unsigned long flags = 0;
};

// Filter entries as "shown|patterns|shown|patterns||".
inline constexpr std::string_view LogFilterString =
    "SmartSpice Log File (*.out; *.dat) |*.out; *.dat|All Files (*.*) |*.*||";
inline constexpr std::string_view DefaultExtension = "dat";

std::vector<FilterEntry> ParseFilterString(std::string_view filter);

// The dialog that asks for the log.
const OpenDialogDescription& LogOpenDialog();

// Everything the dialogs say besides the description's title and file types. Each "%s" is
// filled in, in order (see Fill).
namespace dialog_text {
// The answers to a dialog's rules (see DecideChoice).
inline constexpr std::string_view kFolderMissing =
    "%s\nThe path does not exist. Check the path and try again.";
inline constexpr std::string_view kNotAFile = "%s\nThis is not a file. Choose a file.";
inline constexpr std::string_view kReadOnlyFile =
    "%s\nThis file is read-only. Choose another file.";
inline constexpr std::string_view kReadOnlyFolder =
    "%s\nThis folder cannot be written. Choose a file in another folder.";
inline constexpr std::string_view kFileMissing = "%s\nThis file does not exist.";
inline constexpr std::string_view kCreateQuestion = "Create the file?";

// The terminal dialog.
inline constexpr std::string_view kLookIn = "Look in: ";
inline constexpr std::string_view kFilesOfType = "Files of type:";
inline constexpr std::string_view kFolderUnreadable = "  (this folder cannot be read: %s)";
inline constexpr std::string_view kNothingListed = "  (no folders or matching files)";
inline constexpr std::string_view kAnswerHelp =
    "Answer with a number from the list, or a file or folder name (relative to the folder\n"
    "above, absolute, or starting with ~); a folder is opened, \"..\" is the parent.\n"
    ":N shows the files of type N. An empty line cancels.\n";
inline constexpr std::string_view kFileNamePrompt = "File name: ";
inline constexpr std::string_view kYesNo = " (y/n) ";
inline constexpr std::string_view kNulInName = "A name cannot contain a NUL character.";
inline constexpr std::string_view kNoSuchType =
    "There is no file type :%s; the types are :1 to :%s.";
inline constexpr std::string_view kNoSuchNumber = "There is no number %s in the list.";
inline constexpr std::string_view kFolderNotOpened = "%s\nThis folder cannot be opened: %s.";
inline constexpr std::string_view kNoWorkingFolder = "cannot get the working folder";
inline constexpr std::string_view kStartsAtRoot = "%s; the dialog starts at /";
inline constexpr std::string_view kStandardInputUnread = "cannot read standard input: %s";
inline constexpr std::string_view kScreenUnwritten =
    "cannot write the dialog to standard error: %s";

// The window dialog.
inline constexpr std::string_view kWindowNotLoaded = "cannot load the window dialog: %s";
inline constexpr std::string_view kNoWindowDialog = "this build has no window dialog";
inline constexpr std::string_view kStandardInputClosed =
    "standard input is not open for reading, so the terminal dialog cannot be answered";
inline constexpr std::string_view kStandardErrorClosed =
    "standard error is not open, so the terminal dialog cannot be shown";
inline constexpr std::string_view kNoDisplay = "no display is set (DISPLAY, WAYLAND_DISPLAY)";
inline constexpr std::string_view kDisplaySilent = "display %s does not answer";
inline constexpr std::string_view kDisplayRefused = "cannot connect to display %s";
inline constexpr std::string_view kWaylandSilent = "the Wayland compositor %s does not answer";
inline constexpr std::string_view kWaylandRefused =
    "cannot connect to the Wayland compositor %s: %s";
inline constexpr std::string_view kNoQtPlugin = "Qt's %s platform plugin is not installed";
inline constexpr std::string_view kReasonsJoined = "; ";
inline constexpr std::string_view kNoSuchFile = "%s: no such file";

// The system's Open dialog on Windows.
inline constexpr std::string_view kNoDesktop = "no window can be made: there is no desktop";
inline constexpr std::string_view kNoWindows = "no window can be made: %s";
inline constexpr std::string_view kCommonDialogFailed = "the Open dialog failed (error 0x%s%s)";
inline constexpr std::string_view kNameTooLong = ": the chosen name is too long";
inline constexpr std::string_view kNameInvalid = ": the file name is not valid";
inline constexpr std::string_view kOutOfMemory = ": out of memory";
}  // namespace dialog_text

// Whether `file_name` matches one of the ';'-separated patterns. Matching ignores case, and
// "*.*" matches every name, with or without a dot.
bool MatchesFilter(std::string_view patterns, std::string_view file_name);

// What DoModal() returns when the dialog itself failed: it could not read its answers or show
// itself. OpenDialog::Failure() says why.
inline constexpr int kDialogFailed = 0;

class OpenDialog {
 public:
  virtual ~OpenDialog() = default;
  // Shows the dialog until the user chooses a file (IDOK), cancels, or the dialog fails
  // (kDialogFailed).
  virtual int DoModal() = 0;
  // The chosen file's absolute path, after DoModal() returned IDOK.
  virtual std::string GetPathName() const = 0;
  // Why the dialog failed, after DoModal() returned kDialogFailed.
  virtual std::string Failure() const { return {}; }
};

}  // namespace opjoin
