// The file properties box, the document window and the release of the file
// while the program is in the background, in the real window.
#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <vector>

#include "app/MainWindow.h"
#include "controls/DocumentWindow.h"
#include "values/ui/ValuesGrid.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "testing/WindowTestSupport.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

std::string Padded(std::string s) {
  s.resize(80, ' ');
  return s;
}

// A file with three document lines: a table row, a blank card, a short line.
SavFile WithDocument() {
  SavFile f = SampleDictionary();
  f.weight = "score";
  f.documents = {"Wave  n    mean", "", "end"};
  return f;
}

// A shown window with the file open and "Allow &write access" on.
struct ReleasingWindow : ShownWindow {
  std::unique_ptr<TempFile> file;
  explicit ReleasingWindow(const SavFile& data) : file(WriteTemp(data)) {
    Open(file->path());
    form.ReleaseFileHandle->setChecked(true);
  }
};

}  // namespace

class FileInfoHandlersTest : public QObject {
  Q_OBJECT

 private slots:
  void propertiesReport();
  void documentWindow();
  void documentBeforeAnotherExtensionRecord();
  void releaseFollowsTheApplication();
  void untouchedFileKeepsTheView();
  void changedFileIsOfferedForReload_data();
  void changedFileIsOfferedForReload();
  void deletedFileIsClosed();
  void readersTakeTheFileBackFirst();
  void openingAnotherFileWhileReleased();
  void encryptedFileWithItsPassword();
};

void FileInfoHandlersTest::propertiesReport() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto file = WriteTemp(WithDocument());
  w.Open(file->path());
  f.FileInfoItem->trigger();
  QCOMPARE(w.Count("ShowMessage"), 1);
  const auto report = w.ui.Last();
  QCOMPARE(report.caption,
           QFileInfo(QString::fromStdString(file->path())).fileName() + " - Brindle");
  const QStringList lines = report.text.split('\n');
  QCOMPARE(lines.size(), 10);
  QCOMPARE(lines[0], QString::fromStdString(file->path()));
  QCOMPARE(lines[1], QString("file date \t14 Mar 24 13:45:10"));
  QCOMPARE(lines[3], QString("variables\t7"));
  QCOMPARE(lines[4], QString("cases    \t2"));
  QVERIFY(lines[5].startsWith("case size \t") && lines[5].endsWith(" bytes"));
  QCOMPARE(lines[6], QString("weight variable\tscore"));
  QCOMPARE(lines[8], QString("character encoding\tUTF-8"));
  QCOMPARE(lines[9], QString("file contains document"));

  // The count could not be established: the estimate is named as such.
  f.CaseCountEstimated = true;
  f.NumCases = 40;
  f.InfoBtn->trigger();
  QCOMPARE(w.ui.Last().text.split('\n')[4], QString("cases    \tUNKNOWN - estimated number is 40"));
}

void FileInfoHandlersTest::documentWindow() {
  ShownWindow w;
  MainWindow& f = w.form;
  DocumentWindow& doc = *f.documentWindow;
  auto file = WriteTemp(WithDocument());
  w.Open(file->path());
  QVERIFY(!doc.isVisible());
  f.Variables.variablesGrid->setFocus();
  w.Key(Qt::Key_D, Qt::ControlModifier);
  QVERIFY(doc.isVisible());
  QCOMPARE(doc.windowTitle(),
           QFileInfo(QString::fromStdString(file->path())).fileName() + " - Documents");
  const QStringList expected{
      "File contains 3 lines of documents", "", QString::fromStdString(Padded("Wave  n    mean")),
      QString::fromStdString(Padded("")), QString::fromStdString(Padded("end"))};
  QCOMPARE(doc.Lines(), expected);
  // Showing it again lists the document once.
  f.ShowDocBtn->trigger();
  QCOMPARE(doc.Lines(), expected);

  QListWidget* list = doc.linesList;
  auto click = [list](int row, Qt::KeyboardModifiers mods) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                      list->visualItemRect(list->item(row)).center());
  };
  // Nothing selected: the empty text; a right click offers "&Copy" disabled.
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(w.ui.Last().kind, QString("SetClipboardText"));
  QCOMPARE(w.ui.clipboard, QString());
  QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                    list->visualItemRect(list->item(2)).center());
  QVERIFY(doc.variablesMenu->isVisible());
  QVERIFY(!doc.CopyDoc->isEnabled());
  doc.variablesMenu->close();
  QVERIFY(list->selectedItems().isEmpty());

  // Click, Shift+click, Ctrl+click: the count line, the empty line and the
  // last line, each with a line feed; trailing blanks kept.
  click(0, Qt::NoModifier);
  click(1, Qt::ShiftModifier);
  click(4, Qt::ControlModifier);
  QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                    list->visualItemRect(list->item(2)).center());
  QVERIFY(doc.CopyDoc->isEnabled());
  QCOMPARE(list->selectedItems().size(), 3);
  doc.variablesMenu->close();
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(w.ui.clipboard, "File contains 3 lines of documents\n\n" + expected[4] + "\n");
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(list->selectedItems().size(), 5);

  // Escape closes and empties it.
  QTest::keyClick(list, Qt::Key_Escape);
  QVERIFY(!doc.isVisible());
  QCOMPARE(list->count(), 0);

  // Opening another file empties and closes it too.
  f.ShowDocBtn->trigger();
  QVERIFY(doc.isVisible());
  w.Open(file->path());
  QVERIFY(!doc.isVisible());
  QCOMPARE(list->count(), 0);
}

void FileInfoHandlersTest::documentBeforeAnotherExtensionRecord() {
  // A record between the document and the subtype-3 record: the lines come
  // from the dictionary as read, wherever the records stand.
  SavFile bad = WithDocument();
  bad.extraExtensions.push_back({1, 1, 4, {'a', 'b', 'c', 'd'}});
  auto file = WriteTemp(bad);
  ShownWindow w;
  MainWindow& f = w.form;
  w.Open(file->path());
  QVERIFY(f.HasDocument != 0);
  f.ShowDocBtnClick();
  QCOMPARE(w.ui.Count("ShowMessage"), 0);
  QVERIFY(f.documentWindow->isVisible());
  const QStringList expected{
      "File contains 3 lines of documents", "", QString::fromStdString(Padded("Wave  n    mean")),
      QString::fromStdString(Padded("")), QString::fromStdString(Padded("end"))};
  QCOMPARE(f.documentWindow->Lines(), expected);
}

void FileInfoHandlersTest::releaseFollowsTheApplication() {
  ShownWindow w;
  MainWindow& f = w.form;
  w.Open(LongFile().path());
  const std::weak_ptr<SystemFile> held = f.File;

  // The option is off by default: switching away keeps the file.
  QVERIFY(!f.ReleaseFileHandle->isChecked());
  emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
  QVERIFY(!f.FileReleased);
  f.ReleaseFileHandle->trigger();
  QVERIFY(f.ReleaseFileHandle->isChecked());

  // A frequency pass reading the file keeps it.
  DuringPass(
      [&] {
        emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
        QVERIFY(!f.FileReleased);
      },
      [&] { f.ShowFrequencies(); });

  emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
  QVERIFY(f.FileReleased);
  QVERIFY(f.FileOpen());
  QVERIFY(held.expired());  // nothing holds the file
  emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
  QVERIFY(!f.FileReleased);
  QVERIFY(f.FileOpen());
  QCOMPARE(w.ui.calls.size(), 1);  // the Open dialog only
}

void FileInfoHandlersTest::untouchedFileKeepsTheView() {
  ReleasingWindow w(SampleDictionary());
  MainWindow& f = w.form;
  f.SortVariables("VarName");
  f.Variables.findNameEdit->setText("s");
  f.Variables.filterCheck->click();
  QCOMPARE(w.GridNames(), QStringList({"score", "sex"}));
  f.Variables.variableList.SetRecNo(2);
  const QStringList names = w.GridNames();
  const QString label = f.Values.valuesGrid->Cell(0, 1);
  QVERIFY(!label.isEmpty());

  f.ApplicationDeactivated();
  f.ApplicationActivated();
  QCOMPARE(w.GridNames(), names);
  QCOMPARE(f.Variables.variableList.RecNo(), 2);
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), label);
  QVERIFY(f.Variables.filterCheck->isChecked());
  QCOMPARE(f.Variables.variableList.SortedField(), std::string("VarName"));
  QCOMPARE(w.ui.calls.size(), 1);
}

void FileInfoHandlersTest::changedFileIsOfferedForReload_data() {
  QTest::addColumn<bool>("yes");
  QTest::addColumn<bool>("sameStamp");
  QTest::newRow("new stamp, yes reloads") << true << false;
  QTest::newRow("same stamp, no closes") << false << true;
}

void FileInfoHandlersTest::changedFileIsOfferedForReload() {
  QFETCH(bool, yes);
  QFETCH(bool, sameStamp);
  ReleasingWindow w(SampleDictionary());
  MainWindow& f = w.form;
  auto& file = w.file;
  f.Variables.variableList.SetRecNo(3);
  f.ApplicationDeactivated();

  SavFile rewritten = ManyVariables(3);
  if (!sameStamp) rewritten.creationTime = "13:45:11";
  file->write(writeSav(rewritten));
  w.ui.confirmAnswer = yes;
  f.ApplicationActivated();

  QCOMPARE(w.Count("ConfirmDialog"), 1);
  QCOMPARE(w.ui.calls.last().text,
           QString::fromStdString(file->path()) + "'s\ntime/date changed. Reload?");
  if (yes) {
    QCOMPARE(w.GridNames(), QStringList({"v1", "v2", "v3"}));
    QCOMPARE(f.Variables.variableList.RecNo(), 1);
    QCOMPARE(f.FileName, file->path());
    QVERIFY(f.FileOpen() && !f.FileReleased && !f.FileStale);
  } else {
    QVERIFY(!f.FileOpen());
    QCOMPARE(f.Variables.variablesGrid->model()->rowCount(), 0);
    QCOMPARE(f.windowTitle(), QString("Brindle"));
  }
}

void FileInfoHandlersTest::deletedFileIsClosed() {
  ReleasingWindow w(SampleDictionary());
  MainWindow& f = w.form;
  auto& file = w.file;
  f.ApplicationDeactivated();
  std::filesystem::remove(file->path());
  f.ApplicationActivated();
  QCOMPARE(w.ui.Last().kind, QString("ShowMessage"));
  QCOMPARE(w.ui.Last().text, "error reopening file " + QString::fromStdString(file->path()));
  QVERIFY(!f.FileOpen());
  QVERIFY(!f.CloseItem->isEnabled());
  QCOMPARE(f.Variables.variablesGrid->model()->rowCount(), 0);
}

void FileInfoHandlersTest::readersTakeTheFileBackFirst() {
  // A click can reach the window before the activation does: whatever reads
  // the file takes it back first, and a changed file is not read at all.
  ReleasingWindow w(WithDocument());
  MainWindow& f = w.form;
  auto& file = w.file;

  f.ApplicationDeactivated();
  f.ShowFileInfo();
  QVERIFY(!f.FileReleased);
  QVERIFY(w.ui.Last().text.contains("variables\t7"));

  f.ApplicationDeactivated();
  w.ClickRow(1);
  QVERIFY(!f.FileReleased);
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString("Male"));

  // Sort, find and filter end in a move of the cursor, and so in a read.
  f.ApplicationDeactivated();
  f.SortVariables("VarName");
  QVERIFY(!f.FileReleased);
  f.Variables.findNameEdit->setText("sex");
  f.ApplicationDeactivated();
  f.findFirstAction->trigger();
  QVERIFY(!f.FileReleased);
  f.ApplicationDeactivated();
  f.Variables.filterCheck->click();
  QVERIFY(!f.FileReleased);
  QCOMPARE(w.GridNames(), QStringList({"sex"}));
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString("Male"));
  f.Variables.filterCheck->click();

  f.ApplicationDeactivated();
  f.ShowFrequencies();
  QVERIFY(!f.FileReleased);
  QVERIFY(f.Values.FrequencyTableShown);
  QCOMPARE(f.Values.valuesGrid->Cell(2, 1), QString("1"));

  f.ApplicationDeactivated();
  f.ShowDocBtnClick();
  QVERIFY(!f.FileReleased);
  QCOMPARE(f.documentWindow->Lines().size(), 5);

  // Changed behind our back: the move shows nothing of the new file, the
  // question comes from the event loop, and No closes.
  f.ApplicationDeactivated();
  file->write(writeSav(ManyVariables(3)));
  const int calls = w.ui.calls.size();
  w.ClickRow(2);
  QVERIFY(f.FileStale);
  QCOMPARE(w.ui.calls.size(), calls);
  f.ShowFileInfo();
  f.ShowDocBtnClick();
  QCOMPARE(w.ui.calls.size(), calls);
  w.ui.confirmAnswer = false;
  QTRY_COMPARE(w.Count("ConfirmDialog"), 1);
  QVERIFY(!f.FileOpen());
  QCOMPARE(w.ui.calls.size(), calls + 1);
}

void FileInfoHandlersTest::openingAnotherFileWhileReleased() {
  // A file dropped on the window in the background: the released file's
  // handle number may be the new file's, which must stay open.
  ReleasingWindow w(ManyVariables(2));
  MainWindow& f = w.form;
  auto second = WriteTemp(SampleDictionary());
  f.ApplicationDeactivated();
  w.Open(second->path());
  QVERIFY(!f.FileReleased);
  QVERIFY(f.File != nullptr);
  QCOMPARE(f.File->caseCount(), std::int64_t(2));
  f.Variables.variableList.SetRecNo(2);
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString("Male"));
}

// An encrypted file: the password is asked until it fits, and the open file
// then works as a plain one, its report and document included; released and
// rewritten under the same password, it is reloaded without asking again.
void FileInfoHandlersTest::encryptedFileWithItsPassword() {
  ShownWindow w;
  MainWindow& f = w.form;
  TempFile file(encryptWrapper(writeSav(WithDocument()), "right"));
  const QString name = QString::fromStdString(file.path());
  w.ui.passwordAnswers = {"wrong", "right"};
  w.Open(file.path());
  QCOMPARE(w.Count("GetPassword"), 2);
  QCOMPARE(w.ui.calls[1].caption, name);
  QCOMPARE(w.ui.calls[1].text, QString("Password:"));
  QCOMPARE(w.ui.calls[2].text, QString("Wrong password"));
  QCOMPARE(w.ui.calls.size(), 3);
  QCOMPARE(w.GridNames().size(), 7);

  f.FileInfoItem->trigger();
  QVERIFY(w.ui.Last().text.contains("\nfile is encrypted\nfile contains document"));
  f.ShowDocBtnClick();
  QCOMPARE(f.documentWindow->Lines().size(), 5);
  QCOMPARE(f.documentWindow->Lines()[2], QString::fromStdString(Padded("Wave  n    mean")));
  f.documentWindow->close();

  f.ReleaseFileHandle->setChecked(true);
  f.ApplicationDeactivated();
  QVERIFY(f.FileReleased);
  f.ApplicationActivated();
  QVERIFY(!f.FileReleased && !f.FileStale && f.FileOpen());

  f.ApplicationDeactivated();
  SavFile rewritten = ManyVariables(3);
  rewritten.creationTime = "13:45:11";
  file.write(encryptWrapper(writeSav(rewritten), "right"));
  w.ui.confirmAnswer = true;
  w.ui.calls.clear();
  f.ApplicationActivated();
  QCOMPARE(w.Count("ConfirmDialog"), 1);
  QCOMPARE(w.Count("GetPassword"), 0);
  QCOMPARE(w.GridNames(), QStringList({"v1", "v2", "v3"}));
  QVERIFY(f.Key != nullptr);

  // Cancel on a second encrypted file keeps this one open.
  TempFile other(encryptWrapper(writeSav(WithDocument()), "other"));
  w.ui.calls.clear();
  f.OpenDataFile(QString::fromStdString(other.path()));
  QCOMPARE(w.Count("GetPassword"), 1);
  // Nothing to report: the user chose not to open it.
  QCOMPARE(w.ui.calls.size(), 1);
  QCOMPARE(f.FileName, file.path());
  QCOMPARE(w.GridNames(), QStringList({"v1", "v2", "v3"}));
  QVERIFY(f.Key != nullptr);
}

QTEST_MAIN(FileInfoHandlersTest)
#include "FileInfoHandlers_test.moc"
