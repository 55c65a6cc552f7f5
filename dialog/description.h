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

// What a dialog's DoModal() returns when the user chose a file; anything else is a cancel,
// except kDialogFailed: the dialog itself failed, and FailureReason() says why.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int kDialogFailed = -1;

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

// Whether `file_name` matches one of the ';'-separated patterns. Matching ignores case, and
// "*.*" matches every name, with or without a dot.
bool MatchesFilter(std::string_view patterns, std::string_view file_name);

class OpenDialog {
 public:
  virtual ~OpenDialog() = default;
  // Shows the dialog until the user chooses a file (IDOK) or cancels (anything else).
  virtual int DoModal() = 0;
  // The chosen file's absolute path, after DoModal() returned IDOK.
  virtual std::string GetPathName() const = 0;
  // Why DoModal() returned kDialogFailed.
  virtual std::string FailureReason() const { return {}; }
};

}  // namespace opjoin
