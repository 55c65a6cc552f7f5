#include "dialog/rules.h"

#include "base/path.h"
#include "base/text.h"
#include "dialog/description.h"

#include <sys/stat.h>
#include <unistd.h>

namespace opjoin {

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

ChoiceRefusal CheckChoice(const std::string& path, unsigned long flags) {
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) {
    return (flags & OFN_PATHMUSTEXIST) != 0 ? ChoiceRefusal::kFolderMissing : ChoiceRefusal::kNone;
  }
  struct stat info;
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    return ChoiceRefusal::kNotAFile;
  }
  if ((flags & OFN_NOREADONLYRETURN) == 0) {
    return ChoiceRefusal::kNone;
  }
  if (exists && ((info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) {
    return ChoiceRefusal::kReadOnlyFile;
  }
  if (::access(folder.c_str(), W_OK) != 0) {
    return ChoiceRefusal::kReadOnlyFolder;
  }
  return ChoiceRefusal::kNone;
}

std::string RefusalText(ChoiceRefusal refusal, const std::string& path) {
  switch (refusal) {
    case ChoiceRefusal::kNone:
      return {};
    case ChoiceRefusal::kFolderMissing:
      return Fill(dialog_text::kFolderMissing, {path});
    case ChoiceRefusal::kNotAFile:
      return Fill(dialog_text::kNotAFile, {path});
    case ChoiceRefusal::kReadOnlyFile:
      return Fill(dialog_text::kReadOnlyFile, {path});
    case ChoiceRefusal::kReadOnlyFolder:
      return Fill(dialog_text::kReadOnlyFolder, {path});
  }
  return {};
}

ChoiceDecision DecideChoice(const std::string& path, const OpenDialogDescription& description) {
  using Action = ChoiceDecision::Action;
  if (IsFolder(path)) {
    return {Action::kEnterFolder, path, {}};
  }
  std::string file = path;
  if (!description.default_extension.empty() && !FileExists(path)) {
    file = WithDefaultExtension(path, description.default_extension);
  }
  const ChoiceRefusal refusal = CheckChoice(file, description.flags);
  if (refusal != ChoiceRefusal::kNone) {
    return {Action::kRefuse, file, RefusalText(refusal, file)};
  }
  if ((description.flags & OFN_CREATEPROMPT) != 0 && !FileExists(file)) {
    return {Action::kAskToCreate, file, Fill(dialog_text::kFileMissing, {file})};
  }
  return {Action::kAccept, file, {}};
}

}  // namespace opjoin
