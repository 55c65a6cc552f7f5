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
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/path.h"
#include "dialog/description.h"
#include "dialog/rules.h"
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

// --- Reaching a display -------------------------------------------------------------------
// Qt ends the process when its platform plugin cannot connect, so the connection is tried
// here first, the way the plugin would make it.

bool XServerAnswers() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

bool WaylandCompositorAnswers() {
  std::string socket_path = Environment("WAYLAND_DISPLAY");
  if (socket_path.empty()) {
    socket_path = "wayland-0";  // the client library's default
  }
  if (socket_path.front() != '/') {
    const std::string runtime_folder = Environment("XDG_RUNTIME_DIR");
    if (runtime_folder.empty()) {
      return false;
    }
    socket_path = runtime_folder + "/" + socket_path;
  }
  sockaddr_un address{};
  if (socket_path.size() >= sizeof(address.sun_path)) {
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  const bool answers =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  const bool closed = ::close(fd) == 0;
  return answers && closed;
}

// The platform plugins Qt tries, in order: QT_QPA_PLATFORM's ';'-separated list (each name
// may carry ":options"), or by default Wayland then X in a Wayland session, else X.
std::vector<std::string> PlatformsQtTries() {
  const std::string chosen = Environment("QT_QPA_PLATFORM");
  if (chosen.empty()) {
    if (Environment("XDG_SESSION_TYPE") == "wayland") {
      return {"wayland", "xcb"};
    }
    return {"xcb"};
  }
  std::vector<std::string> platforms;
  std::size_t start = 0;
  while (start <= chosen.size()) {
    std::size_t end = chosen.find(';', start);
    if (end == std::string::npos) {
      end = chosen.size();
    }
    std::string entry = chosen.substr(start, end - start);
    platforms.push_back(entry.substr(0, entry.find(':')));
    start = end + 1;
  }
  return platforms;
}

bool PlatformReachable(const std::string& platform) {
  if (platform == "xcb") {
    return XServerAnswers();
  }
  if (platform.starts_with("wayland")) {
    return WaylandCompositorAnswers();
  }
  // offscreen, minimal, vnc, linuxfb and the like need no display server.
  return !platform.empty();
}

bool DisplayReachable() {
  for (const std::string& platform : PlatformsQtTries()) {
    if (PlatformReachable(platform)) {
      return true;
    }
  }
  return false;
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
    if (dialog.exec() != QDialog::Accepted) {
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

// Qt keeps a reference to the argument count and the arguments for the application's life.
int application_argc = 1;
char application_name[] = "opjoin";
char* application_argv[] = {application_name, nullptr};

}  // namespace

std::unique_ptr<OpenDialog> StartQtDialog(const OpenDialogDescription& description) {
  std::unique_ptr<QApplication> application;
  if (QApplication::instance() == nullptr) {
    if (!DisplayReachable()) {
      return nullptr;
    }
    application = std::make_unique<QApplication>(application_argc, application_argv);
  }
  return std::make_unique<GuiOpenDialog>(std::move(application), description);
}

}  // namespace opjoin

extern "C" opjoin::OpenDialog* opjoin_start_qt_dialog(
    const opjoin::OpenDialogDescription* description) {
  return opjoin::StartQtDialog(*description).release();
}
