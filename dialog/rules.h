// What an Open dialog does with the name the user typed or picked, decided in one place for
// every backend, so that they all give the dialog's flags the same effect. A backend only
// shows the decision.
#pragma once

#include <string>
#include <string_view>

#include "dialog/description.h"

namespace opjoin {

struct ChoiceDecision {
  enum class Action {
    kEnterFolder,  // show the folder `path`
    kRefuse,       // show `text` and ask again
    kAskToCreate,  // show `text`, ask whether to create the file `path`; yes accepts it
    kAccept,       // the dialog ends with `path`
  };
  Action action;
  std::string path;
  std::string text;
};

// Decides what the dialog described by `description` does with `path` (absolute):
//   - a folder is entered;
//   - a name without an extension gets the default extension, unless a file of that exact
//     name exists;
//   - a name the flags refuse (CheckChoice) is refused;
//   - under OFN_CREATEPROMPT, a file that does not exist brings the create question;
//   - any other name is accepted. The dialog never creates the file (OFN_NOTESTFILECREATE).
ChoiceDecision DecideChoice(const std::string& path, const OpenDialogDescription& description);

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

// The text a dialog shows for a refusal of `path`, or "" for kNone.
std::string RefusalText(ChoiceRefusal refusal, const std::string& path);

bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);

}  // namespace opjoin
