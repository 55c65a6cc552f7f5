// The Open dialog on a terminal: drawn on standard error, answered one line at a time on
// standard input, with line editing where standard input is a terminal.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/description.h"
#include "dialog/rules.h"

namespace opjoin {

// Starts the dialog into `dialog`. Fails when standard input is not open for reading or
// standard error is not open: the dialog could then be neither answered nor seen.
bool StartTerminalDialog(const OpenDialogDescription& description,
                         std::unique_ptr<OpenDialog>* dialog, std::string* error);

// Where the dialog's answers come from.
class AnswerSource {
 public:
  virtual ~AnswerSource() = default;
  // Shows `prompt` and reads one answer, without its line end, into `answer`; nullopt at the
  // end of input. `folder` is the folder the dialog shows, against which a relative name is
  // taken. False, with `error` set, when the input cannot be read or the screen written.
  virtual bool ReadAnswer(std::string_view prompt, const std::string& folder,
                          std::optional<std::string>* answer, std::string* error) = 0;
};

// Answers read with plain line reads from `input`, for a pipe or a file. Prompts and what was
// read are written to `screen`, so that the screen reads as a record of the dialog; what was
// read is escaped there when `escape_names` (the screen is a terminal).
class PlainAnswerSource final : public AnswerSource {
 public:
  PlainAnswerSource(std::FILE* input, std::ostream& screen, bool escape_names)
      : input_(input), screen_(screen), escape_names_(escape_names) {}
  bool ReadAnswer(std::string_view prompt, const std::string& folder,
                  std::optional<std::string>* answer, std::string* error) override;

 private:
  std::FILE* input_;
  std::ostream& screen_;
  bool escape_names_;
};

// Answers read from the terminal with line editing, history and Tab completion of names in the
// shown folder (libedit), whose lists show names escaped. Uses standard input and standard
// error. Whatever signal ends the program while an answer is read, the terminal is put back
// as it was.
class EditedAnswerSource final : public AnswerSource {
 public:
  EditedAnswerSource();
  bool ReadAnswer(std::string_view prompt, const std::string& folder,
                  std::optional<std::string>* answer, std::string* error) override;
};

// `path` with a leading "~" or "~user" replaced by that home folder. Other paths, and those
// naming an unknown user, are returned unchanged.
std::string ExpandHome(std::string_view path);

// One line of the dialog's list.
struct ListedEntry {
  std::string name;
  bool is_folder = false;
};

// Lists into `listed` the sub-folders of `folder`, then the regular files whose names match
// `patterns`, each sorted by name ignoring case. Names beginning with "." are left out, as
// `ls` does.
bool ListFolderEntries(const std::string& folder, std::string_view patterns,
                       std::vector<ListedEntry>* listed, std::string* error);

class TerminalDialog final : public OpenDialog {
 public:
  // Shows `folder` (absolute) first; never changes the process's working folder. Names are
  // shown escaped when `escape_names` (the screen is a terminal).
  TerminalDialog(OpenDialogDescription description, std::string folder,
                 std::unique_ptr<AnswerSource> answers, std::ostream& screen, bool escape_names);

  // IDOK, IDCANCEL for an empty answer or the end of input, or kDialogFailed when the answers
  // cannot be read or the screen cannot be written.
  int DoModal() override;
  std::string GetPathName() const override { return chosen_path_; }
  std::string Failure() const override { return failure_; }

  // The folder shown now.
  const std::string& Folder() const { return folder_; }

 private:
  enum class Outcome { kAskAgain, kRedraw, kChosen, kCancelled, kFailed };

  bool Draw();
  bool Say(std::string_view text);
  Outcome SayAndAskAgain(std::string_view text);
  std::string Shown(std::string_view name) const;
  std::string ShownText(const ChoiceDecision& decision) const;
  Outcome Read(std::string_view prompt, std::optional<std::string>* answer);
  Outcome Answer(const std::string& answer);
  Outcome SwitchFilter(std::string_view number);
  Outcome PickListed(std::string_view number);
  Outcome Enter(const std::string& folder);
  Outcome Act(const std::string& path);
  Outcome AskToCreate(const ChoiceDecision& decision);

  OpenDialogDescription description_;
  std::string folder_;
  std::unique_ptr<AnswerSource> answers_;
  std::ostream& screen_;
  std::vector<ListedEntry> listed_;
  std::string chosen_path_;
  bool escape_names_;
  std::string failure_;
};

}  // namespace opjoin
