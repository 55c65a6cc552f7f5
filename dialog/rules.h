// The checks an Open dialog makes on the file the user chose, shared by every backend so that
// both give the same flags the same effect.
#pragma once

#include <string>
#include <string_view>

namespace opjoin {

enum class ChoiceRefusal {
  kNone,
  kFolderMissing,   // the file's folder does not exist
  kNotAFile,        // the name is taken by something other than a regular file
  kReadOnlyFile,    // no write permission bit, or not writable by this user
  kReadOnlyFolder,  // the file's folder cannot be written
};

// Why a dialog with `flags` (OFN_*) refuses `path` (absolute), or kNone. A missing folder is
// refused under OFN_PATHMUSTEXIST, a read-only file or folder under OFN_NOREADONLYRETURN, and
// anything but a regular file always. A file that does not exist is not refused here: that
// brings the create question.
ChoiceRefusal CheckChoice(const std::string& path, unsigned long flags);

// The text a dialog shows for a refusal of `path`.
std::string RefusalText(ChoiceRefusal refusal, const std::string& path);

// What the checks ask of the system, in rules_linux.cpp and rules_windows.cpp. Links are
// followed.
enum class FileKind { kMissing, kRegular, kFolder, kOther };
FileKind KindOf(const std::string& path);
bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);
// Linux: no write permission bit, or not writable by this user. Windows: the read-only
// attribute.
bool IsReadOnlyFile(const std::string& path);
// Whether files can be made in `folder`. Windows answers true: there a folder's read-only
// attribute does not keep files out, and only trying tells what its security allows.
bool FolderIsWritable(const std::string& folder);

}  // namespace opjoin
