// The Open dialog in a window, on Qt Widgets. Qt's own file dialog does most of the work; this
// file adds what it lacks: the shared rules for the chosen name, the create question, and file
// matching that agrees with the terminal dialog.
//
// How the dialog's flags take effect here:
//   OFN_ENABLESIZING      the window can be resized and has a size grip.
//   OFN_NONETWORKBUTTON   only local files: the dialog accepts no URL scheme but file.
//   OFN_HIDEREADONLY      Qt's dialog has no "open read-only" box to hide.
//   OFN_PATHMUSTEXIST     a name whose folder does not exist is refused with a message.
//   OFN_NOREADONLYRETURN  read-only files and files in folders that cannot be written are
//                         refused with a message; the dialog stays open.
//   OFN_CREATEPROMPT      a name of a file that does not exist brings "Create the file?"; Yes
//                         closes the dialog with that name.
//   OFN_NOTESTFILECREATE  the dialog never creates a file.
//   OFN_NOCHANGEDIR       Qt's dialog never changes the working folder.
//   OFN_OVERWRITEPROMPT   a save dialog's flag, without meaning here.

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/path.h"
#include "dialog/description.h"
#include "dialog/rules.h"
#include "dialog/window/display_linux.h"
#include "dialog/window/qt_window_dialog.h"

namespace opjoin {

namespace {

// Paths pass between Qt and the rest of the program in the file system's own encoding, so that
// names that are not valid UTF-8 survive the trip.
std::string ToLocalPath(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString FromLocalPath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// --- Starting Qt ----------------------------------------------------------------------

// The folders where Qt looks for its platform plugins.
std::vector<std::string> PluginFolders() {
  std::vector<std::string> folders = {
      ToLocalPath(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms")};
  const std::string platform_folder = Environment("QT_QPA_PLATFORM_PLUGIN_PATH");
  if (!platform_folder.empty()) {
    folders.push_back(platform_folder);
  }
  const std::string plugin_path = Environment("QT_PLUGIN_PATH");
  std::size_t start = 0;
  while (start < plugin_path.size()) {
    std::size_t end = std::min(plugin_path.find(':', start), plugin_path.size());
    if (end > start) {
      folders.push_back(plugin_path.substr(start, end - start) + "/platforms");
    }
    start = end + 1;
  }
  return folders;
}

// While Qt starts, up to the dialog's first showing: a fatal message of Qt's would abort the
// process, so it ends the program as a dialog that could not start instead. Qt's message
// handlers take no context, hence these variables.
FatalStartupHandler fatal_startup_handler = nullptr;
QtMessageHandler previous_message_handler = nullptr;
int fatal_warnings_left = 0;   // QT_FATAL_WARNINGS: the Nth warning or critical is fatal
int fatal_criticals_left = 0;  // QT_FATAL_CRITICALS: the Nth critical is fatal

// How many messages of a kind Qt lets pass before one is fatal, as Qt reads `variable`: unset
// means never (0), a number N the Nth, anything else the first.
int FatalCountdown(const char* variable) {
  const std::string value = Environment(variable);
  if (value.empty()) {
    return 0;
  }
  const int count = std::atoi(value.c_str());
  return count > 0 ? count : 1;
}

// Whether Qt ends the process after passing on this message.
bool IsFatal(QtMsgType type) {
  auto count_down = [](int& left) { return left > 0 && --left == 0; };
  switch (type) {
    case QtFatalMsg:
      return true;
    case QtCriticalMsg: {
      const bool fatal_critical = count_down(fatal_criticals_left);
      const bool fatal_warning = count_down(fatal_warnings_left);  // criticals count as warnings
      return fatal_critical || fatal_warning;
    }
    case QtWarningMsg:
      return count_down(fatal_warnings_left);
    default:
      return false;
  }
}

void HandleStartupMessage(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
  if (IsFatal(type) && fatal_startup_handler != nullptr) {
    fatal_startup_handler(message.toLocal8Bit().constData());
  }
  if (previous_message_handler != nullptr) {
    previous_message_handler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
  }
}

void WatchStartupMessages(FatalStartupHandler on_fatal) {
  fatal_startup_handler = on_fatal;
  fatal_warnings_left = FatalCountdown("QT_FATAL_WARNINGS");
  fatal_criticals_left = FatalCountdown("QT_FATAL_CRITICALS");
  previous_message_handler = qInstallMessageHandler(HandleStartupMessage);
}

void StopWatchingStartupMessages() {
  if (fatal_startup_handler != nullptr) {
    qInstallMessageHandler(previous_message_handler);
    fatal_startup_handler = nullptr;
  }
}

// Qt keeps a reference to the argument count and the arguments for the application's life.
// "-platform NAME" hands Qt the platform chosen here, whatever QT_QPA_PLATFORM says.
int application_argc = 3;
char application_name[] = "opjoin";
char platform_option[] = "-platform";
std::string platform_name;
char* application_argv[] = {application_name, platform_option, nullptr, nullptr};

std::unique_ptr<QApplication> StartApplication(const std::string& platform,
                                               FatalStartupHandler on_fatal) {
  platform_name = platform;
  application_argv[2] = platform_name.data();
  WatchStartupMessages(on_fatal);
  return std::make_unique<QApplication>(application_argc, application_argv);
}

// --- The dialog ---------------------------------------------------------------------------

// Shows folders, and files whose names match the selected filter entry's patterns. Qt's own
// name filters would need their own pattern syntax and treat "*.*" as needing a dot.
class PatternFilterProxy final : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void SetPatterns(const std::string& patterns) {
    patterns_ = patterns;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const QModelIndex entry = files->index(row, 0, parent);
    return files->isDir(entry) || MatchesFilter(patterns_, ToLocalPath(files->fileName(entry)));
  }

 private:
  std::string patterns_;
};

class LogFileDialog final : public QFileDialog {
 public:
  explicit LogFileDialog(const OpenDialogDescription& description);

  // The chosen file's absolute path, once the dialog was accepted.
  const std::string& Choice() const { return choice_; }

 protected:
  // Applies the checks to the chosen name and closes the dialog only for a name that passes.
  void accept() override;

 private:
  void ShowFilterEntries();
  void SizeForReading();
  void UseFilterEntry(int index);
  bool AllowedToCreate(const ChoiceDecision& decision);

  const OpenDialogDescription& description_;
  PatternFilterProxy* proxy_;  // owned by the dialog
  std::string choice_;
};

LogFileDialog::LogFileDialog(const OpenDialogDescription& description)
    : QFileDialog(nullptr, QString::fromStdString(description.title), QDir::currentPath()),
      description_(description),
      proxy_(new PatternFilterProxy(this)) {
  // Qt's own widgets, not the desktop's native dialog: they behave alike on every desktop, and
  // only they pass the user's choice through accept() below.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::AnyFile);  // names that do not exist reach accept()
  setSupportedSchemes({QStringLiteral("file")});
  // The default extension is the shared rules' to add (DecideChoice): Qt's own default
  // suffix would be added even to a name that exists without one.
  setSizeGripEnabled((description.flags & OFN_ENABLESIZING) != 0);
  setProxyModel(proxy_);
  ShowFilterEntries();
  SizeForReading();
}

// Opens large enough, and widens the detail view's columns to their contents whenever a folder
// has been read, so that a file's size, type and date read whole.
void LogFileDialog::SizeForReading() {
  resize(900, 540);
  auto* view = findChild<QTreeView*>();
  auto* files = static_cast<QFileSystemModel*>(proxy_->sourceModel());
  if (view == nullptr || files == nullptr) {
    return;
  }
  connect(files, &QFileSystemModel::directoryLoaded, view, [view] {
    for (int column = 1; column < view->header()->count(); ++column) {
      view->resizeColumnToContents(column);
    }
  });
}

void LogFileDialog::ShowFilterEntries() {
  QStringList shown;
  for (const FilterEntry& entry : description_.filters) {
    shown << QString::fromStdString(entry.shown_text);
  }
  setNameFilters(shown);
  const int selected = static_cast<int>(description_.selected_filter);
  if (selected < nameFilters().size()) {
    selectNameFilter(nameFilters().at(selected));
    UseFilterEntry(selected);
  }
  // Qt applies its own matching when the user picks an entry; this runs after it.
  connect(this, &QFileDialog::filterSelected, this,
          [this](const QString& text) { UseFilterEntry(nameFilters().indexOf(text)); });
}

void LogFileDialog::UseFilterEntry(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= description_.filters.size()) {
    return;
  }
  // The proxy does all the matching, so the file model lists every name.
  static_cast<QFileSystemModel*>(proxy_->sourceModel())->setNameFilters({});
  proxy_->SetPatterns(description_.filters[static_cast<std::size_t>(index)].patterns);
}

void LogFileDialog::accept() {
  const QStringList files = selectedFiles();
  if (files.isEmpty()) {
    return;
  }
  const ChoiceDecision decision = DecideChoice(ToLocalPath(files.first()), description_);
  switch (decision.action) {
    case ChoiceDecision::Action::kEnterFolder:
      QFileDialog::accept();  // opens the folder
      return;
    case ChoiceDecision::Action::kRefuse:
      QMessageBox::warning(this, windowTitle(), FromLocalPath(decision.text));
      return;
    case ChoiceDecision::Action::kAskToCreate:
      if (!AllowedToCreate(decision)) {
        return;
      }
      break;
    case ChoiceDecision::Action::kAccept:
      break;
  }
  choice_ = decision.path;
  QDialog::accept();
}

// A name that does not exist is taken only when the user says it may be created. The dialog
// itself never creates it.
bool LogFileDialog::AllowedToCreate(const ChoiceDecision& decision) {
  const QString question =
      FromLocalPath(decision.text) + "\n" +
      QString::fromUtf8(dialog_text::kCreateQuestion.data(),
                        static_cast<qsizetype>(dialog_text::kCreateQuestion.size()));
  return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

class GuiOpenDialog final : public OpenDialog {
 public:
  GuiOpenDialog(std::unique_ptr<QApplication> application, const OpenDialogDescription& description)
      : application_(std::move(application)), description_(description) {}

  int DoModal() override {
    LogFileDialog dialog(description_);
    // Shown once the event loop runs: the start is over, whatever Qt says from now on.
    QTimer::singleShot(0, &dialog, StopWatchingStartupMessages);
    const int result = dialog.exec();
    StopWatchingStartupMessages();
    if (result != QDialog::Accepted) {
      return IDCANCEL;
    }
    path_ = dialog.Choice();
    return IDOK;
  }

  std::string GetPathName() const override { return path_; }

 private:
  std::unique_ptr<QApplication> application_;  // null when the caller made its own
  OpenDialogDescription description_;
  std::string path_;
};

}  // namespace

bool StartQtDialog(const OpenDialogDescription& description, FatalStartupHandler on_fatal,
                   std::unique_ptr<OpenDialog>* dialog, std::string* error) {
  std::unique_ptr<QApplication> application;
  if (QApplication::instance() == nullptr) {
    std::string platform;
    if (!ChooseQtPlatform(PluginFolders(), &platform, error)) {
      return false;
    }
    application = StartApplication(platform, on_fatal);
  }
  *dialog = std::make_unique<GuiOpenDialog>(std::move(application), description);
  return true;
}

}  // namespace opjoin

extern "C" opjoin::OpenDialog* opjoin_start_qt_dialog(
    const opjoin::OpenDialogDescription* description, opjoin::FatalStartupHandler on_fatal,
    std::string* error) {
  std::unique_ptr<opjoin::OpenDialog> dialog;
  return opjoin::StartQtDialog(*description, on_fatal, &dialog, error) ? dialog.release() : nullptr;
}
