// The graphical Open dialog, driven in-process on Qt's offscreen platform: each test starts the
// dialog, acts on it as a user would once it is shown, and checks what DoModal() returns.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>

#include "dialog/description.h"
#include "dialog/window/qt_window_dialog.h"

namespace opjoin {
namespace {

using DialogScript = std::function<void(QFileDialog&)>;

void MakeFile(const QString& path) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

QLineEdit& NameEdit(QFileDialog& dialog) {
  return *dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

QComboBox& FilterCombo(QFileDialog& dialog) {
  return *dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
}

// Types `name` into the file name box and presses Enter, as a user would. The box must have
// the focus first, or the file list's selection overwrites what was typed.
void TypeName(QFileDialog& dialog, const QString& name) {
  dialog.activateWindow();
  QTRY_VERIFY(NameEdit(dialog).hasFocus());
  QTest::keyClicks(&NameEdit(dialog), name);
  QTest::keyClick(&NameEdit(dialog), Qt::Key_Return);
}

// The names the file list shows, sorted.
QStringList ShownNames(QFileDialog& dialog) {
  auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
  QStringList names;
  for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
    names << view->model()->index(row, 0, view->rootIndex()).data().toString();
  }
  names.sort();
  return names;
}

// Answers the next message box over `dialog` with `answer` once it shows, keeping its text in
// `text`. The watch ends with the dialog.
void AnswerMessageBox(QFileDialog& dialog, QMessageBox::StandardButton answer, QString* text) {
  auto* poll = new QTimer(&dialog);
  QObject::connect(poll, &QTimer::timeout, [poll, answer, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return;
    }
    poll->deleteLater();
    *text = box->text();
    box->button(answer)->click();
  });
  poll->start(10);
}

}  // namespace

class GuiDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QString start_folder_;

  QString In(const QString& name) const { return folder_->filePath(name); }

  // Shows the log dialog, runs `script` on it once it is up, and returns DoModal()'s result
  // with the chosen path. Checks that the working folder is the same afterwards.
  std::pair<int, QString> Run(const DialogScript& script) {
    std::unique_ptr<OpenDialog> dialog;
    std::string error;
    StartQtDialog(LogOpenDialog(), nullptr, &dialog, &error);
    [&] { QVERIFY2(dialog != nullptr, error.c_str()); }();
    if (dialog == nullptr) {
      return {-1, {}};
    }
    QTimer::singleShot(0, [&script] {
      auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (shown != nullptr) {
        script(*shown);
      }
    });
    // A script that failed part-way would leave the dialog open for ever.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
      while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
      }
    });
    safety.start(20000);
    const int result = dialog->DoModal();
    [&] { QCOMPARE(QDir::currentPath(), folder_->path()); }();
    return {result, result == IDOK ? QString::fromStdString(dialog->GetPathName()) : QString()};
  }

 private slots:
  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    start_folder_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder_->path()));
    MakeFile(In("inv.out"));
    MakeFile(In("inv.dat"));
  }

  void cleanup() {
    QVERIFY(QDir::setCurrent(start_folder_));
    folder_.reset();
  }

  void showsTheLogDialog() {
    auto [result, path] = Run([](QFileDialog& dialog) {
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Load SmartSpice Log File"));
      QComboBox& filters = FilterCombo(dialog);
      QCOMPARE(filters.count(), 2);
      QCOMPARE(filters.itemText(0), QStringLiteral("SmartSpice Log File (*.out; *.dat)"));
      QCOMPARE(filters.itemText(1), QStringLiteral("All Files (*.*)"));
      QCOMPARE(filters.currentIndex(), 0);
      QVERIFY(dialog.isSizeGripEnabled());
      const QSize before = dialog.size();
      dialog.resize(before + QSize(120, 80));
      QCOMPARE(dialog.size(), before + QSize(120, 80));
      QCOMPARE(dialog.supportedSchemes(), QStringList{QStringLiteral("file")});
      dialog.reject();
    });
    QCOMPARE(result, IDCANCEL);
  }

  void choosesTypedName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");  // relative to the folder
    QTest::newRow("existing log") << "inv.out"
                                  << "inv.out";
    QTest::newRow("no extension gets .dat") << "inv"
                                            << "inv.dat";
    QTest::newRow("leading dot is no extension") << ".rc"
                                                 << ".rc.dat";
    QTest::newRow("other extension kept") << "notes.txt"
                                          << "notes.txt";
    QTest::newRow("existing name without extension kept") << "README"
                                                          << "README";
    QTest::newRow("name in a subfolder") << "sub/deep.out"
                                         << "sub/deep.out";
    QTest::newRow("absolute path") << "FOLDER/sub/deep.out"
                                   << "sub/deep.out";
  }

  void choosesTypedName() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    typed.replace("FOLDER", folder_->path());
    QVERIFY(QDir(folder_->path()).mkdir("sub"));
    for (const char* name : {".rc.dat", "notes.txt", "README", "sub/deep.out"}) {
      MakeFile(In(name));
    }
    auto [result, path] = Run([&typed](QFileDialog& dialog) { TypeName(dialog, typed); });
    QCOMPARE(result, IDOK);
    QCOMPARE(path, In(chosen));
  }

  void cancels_data() {
    QTest::addColumn<DialogScript>("cancel");
    QTest::newRow("Cancel button") << DialogScript([](QFileDialog& dialog) {
      auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
      buttons->button(QDialogButtonBox::Cancel)->click();
    });
    QTest::newRow("Escape") << DialogScript(
        [](QFileDialog& dialog) { QTest::keyClick(&NameEdit(dialog), Qt::Key_Escape); });
    QTest::newRow("window closed") << DialogScript([](QFileDialog& dialog) { dialog.close(); });
  }

  void cancels() {
    QFETCH(DialogScript, cancel);
    auto [result, path] = Run([&cancel](QFileDialog& dialog) {
      QTest::keyClicks(&NameEdit(dialog), "typed-but-cancelled");
      cancel(dialog);
    });
    QCOMPARE(result, IDCANCEL);
    QCOMPARE(QDir(folder_->path()).entryList(QDir::Files), (QStringList{"inv.dat", "inv.out"}));
  }

  void createPromptYesTakesTheName() {
    QString question;
    auto [result, path] = Run([&question](QFileDialog& dialog) {
      AnswerMessageBox(dialog, QMessageBox::Yes, &question);
      TypeName(dialog, "new.out");
    });
    QCOMPARE(result, IDOK);
    QCOMPARE(path, In("new.out"));
    QVERIFY2(question.contains(In("new.out")) && question.contains("Create the file?"),
             qPrintable(question));
    QVERIFY(!QFile::exists(In("new.out")));
  }

  void createPromptNoKeepsTheDialogOpen() {
    QString question;
    bool still_open = false;
    auto [result, path] = Run([&](QFileDialog& dialog) {
      AnswerMessageBox(dialog, QMessageBox::No, &question);
      TypeName(dialog, "new");
      still_open = dialog.isVisible();
      dialog.reject();
    });
    QCOMPARE(result, IDCANCEL);
    QVERIFY(still_open);
    QVERIFY2(question.contains(In("new.dat")), qPrintable(question));
    QVERIFY(!QFile::exists(In("new.dat")));
  }

  void refusesWithAMessage_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("read-only file") << "locked.out"
                                    << "read-only";
    QTest::newRow("folder that does not exist") << "nowhere/inv.out"
                                                << "does not exist";
    if (::geteuid() != 0) {  // root may write anywhere
      QTest::newRow("file in a read-only folder") << "shut/inv.out"
                                                  << "folder cannot be written";
    }
  }

  void refusesWithAMessage() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    MakeFile(In("locked.out"));
    QVERIFY(QFile::setPermissions(In("locked.out"), QFile::ReadOwner));
    QVERIFY(QDir(folder_->path()).mkdir("shut"));
    MakeFile(In("shut/inv.out"));
    QVERIFY(::chmod(qPrintable(In("shut")), 0500) == 0);
    QString shown;
    bool still_open = false;
    auto [result, path] = Run([&](QFileDialog& dialog) {
      AnswerMessageBox(dialog, QMessageBox::Ok, &shown);
      TypeName(dialog, typed);
      still_open = dialog.isVisible();
      dialog.reject();
    });
    ::chmod(qPrintable(In("shut")), 0700);
    QCOMPARE(result, IDCANCEL);
    QVERIFY(still_open);
    QVERIFY2(shown.contains(In(typed)) && shown.contains(message), qPrintable(shown));
  }

  void filterEntriesMatchAsTheirPatterns() {
    QVERIFY(QDir(folder_->path()).mkdir("sub"));
    for (const char* name : {"LOUD.OUT", "run.Dat", "plain", "notes.txt", "inv.out.bak"}) {
      MakeFile(In(name));
    }
    Run([&](QFileDialog& dialog) {
      QTRY_COMPARE(ShownNames(dialog),
                   (QStringList{"LOUD.OUT", "inv.dat", "inv.out", "run.Dat", "sub"}));
      QTest::keyClick(&FilterCombo(dialog), Qt::Key_Down);
      QTRY_COMPARE(ShownNames(dialog), (QStringList{"LOUD.OUT", "inv.dat", "inv.out", "inv.out.bak",
                                                    "notes.txt", "plain", "run.Dat", "sub"}));
      QTest::keyClick(&FilterCombo(dialog), Qt::Key_Up);
      QTRY_COMPARE(ShownNames(dialog).size(), 5);
      dialog.reject();
    });
  }
};

}  // namespace opjoin

QTEST_MAIN(opjoin::GuiDialogTest)
#include "qt_window_dialog_test.moc"
