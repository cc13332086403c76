// Opening, replacing, failing to open and closing files in the real window,
// with the messages the user sees.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include "app/MainWindow.h"
#include "variables/ui/VariablesGrid.h"
#include "values/ui/ValuesGrid.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "testing/WindowTestSupport.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

const QString kFilter = "SPSS (*.sav *.SAV *.zsav *.ZSAV);;*.* (*)";

std::vector<std::uint8_t> EncryptedBytes() {
  std::vector<std::uint8_t> b{0x1c, 0, 0, 0, 0, 0, 0, 0};
  for (char c : std::string("ENCRYPTEDSAV")) b.push_back(static_cast<std::uint8_t>(c));
  b.resize(36 + 512, 0x5a);
  return b;
}

}  // namespace

class OpenFileHandlersTest : public QObject {
  Q_OBJECT

 private slots:
  void openShowsTheFile();
  void captionCarriesTheFullPath();
  void cancelledDialogChangesNothing();
  void failedOpenKeepsThePreviousFile_data();
  void failedOpenKeepsThePreviousFile();
  void secondFileReplacesTheFirst();
  void closeEmptiesEveryPane();
  void closeIsIgnoredWhileCounting();
  void documentButtonFollowsTheFile();
  void unknownCaseCountWarns();
  void realFiles();
};

void OpenFileHandlersTest::openShowsTheFile() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  QCOMPARE(w.Count("GetOpenFileName"), 1);
  QCOMPARE(w.ui.calls.first().caption, kFilter);
  QCOMPARE(w.ui.calls.size(), 1);
  QVERIFY(f.FileOpen());
  QCOMPARE(f.NumVars, 7);
  QCOMPARE(f.NumCases, std::int64_t(2));
  QCOMPARE(f.Values.CountColor, QColor(0, 0, 255));
  QCOMPARE(w.GridNames(), QStringList({"id", "sex", "city", "comment", "score", "born", "age"}));
  QCOMPARE(f.Variables.variablesGrid->model()->index(1, 2).data().toString(), QString("9"));
  QCOMPARE(f.Variables.variablesGrid->model()->index(4, 3).data().toString(), QString("F8.2"));
  QCOMPARE(f.StatusText(0), QString("1/7"));
  QCOMPARE(f.StatusText(1), QString("Respondent id"));
  QVERIFY(f.CloseItem->isEnabled());
  QVERIFY(f.Variables.variablesGrid->isEnabled());
  QVERIFY(f.Variables.variablesGrid->hasFocus());
  QCOMPARE(f.Values.SortKey, 1);
  QVERIFY(!f.Values.SortDescending);
}

void OpenFileHandlersTest::captionCarriesTheFullPath() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  writeSavFile(SampleDictionary(), dir.filePath("relative.sav").toStdString());
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  ShownWindow w;
  w.form.OpenDataFile("relative.sav");
  QDir::setCurrent(previous);
  QCOMPARE(w.form.FileName, std::string("relative.sav"));
  QCOMPARE(w.form.windowTitle(),
           "Brindle " + QFileInfo(dir.filePath("relative.sav")).absoluteFilePath());
  QCOMPARE(w.form.ApplicationTitle(), QString("relative.sav - Brindle"));
  QCOMPARE(QApplication::applicationDisplayName(), QString("relative.sav - Brindle"));
}

void OpenFileHandlersTest::cancelledDialogChangesNothing() {
  ShownWindow w;
  MainWindow& f = w.form;
  f.openAction->trigger();
  QVERIFY(!f.FileOpen());
  QVERIFY(!f.CloseItem->isEnabled());
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  const std::weak_ptr<SystemFile> handle = f.File;
  f.OpenBtn->trigger();
  QCOMPARE(w.Count("GetOpenFileName"), 3);
  QVERIFY(f.File == handle.lock());
  QCOMPARE(f.FileName, file->path());
  QCOMPARE(w.GridNames().size(), 7);
  QCOMPARE(w.ui.calls.size(), 3);
}

void OpenFileHandlersTest::failedOpenKeepsThePreviousFile_data() {
  QTest::addColumn<QByteArray>("content");  // empty: no file at all
  QTest::addColumn<QString>("textAfterName");
  QTest::addColumn<bool>("nameFirst");
  QTest::newRow("missing") << QByteArray() << "" << false;
  QTest::newRow("text file") << QByteArray("name,age\n1,2\n")
                             << "\nappears not to be an SPSS data file." << true;
  const std::vector<std::uint8_t> enc = EncryptedBytes();
  QTest::newRow("encrypted") << QByteArray(reinterpret_cast<const char*>(enc.data()),
                                           int(enc.size()))
                             << QString() << true;
}

void OpenFileHandlersTest::failedOpenKeepsThePreviousFile() {
  QFETCH(QByteArray, content);
  QFETCH(QString, textAfterName);
  QFETCH(bool, nameFirst);
  ShownWindow w;
  MainWindow& f = w.form;
  auto good = WriteTemp(SampleDictionary());
  w.Open(good->path());
  f.Variables.variableList.SetRecNo(3);
  const std::weak_ptr<SystemFile> handle = f.File;
  const QString caption = f.windowTitle();

  TempFile bad(std::vector<std::uint8_t>(content.begin(), content.end()));
  const QString badName = content.isEmpty() ? QString::fromStdString(bad.path()) + ".none"
                                            : QString::fromStdString(bad.path());
  w.ui.calls.clear();
  f.OpenDataFile(badName);

  // An encrypted file asks for its password first; Cancel ends there,
  // without a message (Brindle could read the file with its password).
  const bool encrypted = QByteArray(QTest::currentDataTag()) == "encrypted";
  QCOMPARE(w.Count("GetPassword"), encrypted ? 1 : 0);
  QCOMPARE(w.ui.calls.size(), 1);
  const RecordingUiService::Call call = w.ui.Last();
  if (encrypted) {
    QCOMPARE(call.kind, QString("GetPassword"));
    QCOMPARE(call.caption, badName);
  } else {
    QCOMPARE(call.kind, QString("SystemMessageBox"));
    QCOMPARE(call.caption, QString("File open error"));
    QVERIFY(call.icon == MessageIcon::Warning);
    QCOMPARE(call.text, nameFirst ? badName + textAfterName : "Cannot open file " + badName);
  }
  // The previous file stays open, on screen and named.
  QVERIFY(f.File == handle.lock());
  QCOMPARE(f.FileName, good->path());
  QCOMPARE(f.windowTitle(), caption);
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  QCOMPARE(f.StatusText(0), QString("3/7"));
  QVERIFY(f.CloseItem->isEnabled());
}

void OpenFileHandlersTest::secondFileReplacesTheFirst() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto first = WriteTemp(SampleDictionary());
  auto second = WriteTemp(ManyVariables(4), ".zsav");
  w.Open(first->path());
  const std::weak_ptr<SystemFile> oldHandle = f.File;
  f.Variables.filterCheck->setChecked(true);
  f.Variables.findNameEdit->setText("se");
  f.Variables.findLabelEdit->setText("x");
  w.Open(second->path());
  QVERIFY(f.FileOpen());
  QCOMPARE(f.FileName, second->path());
  QCOMPARE(w.GridNames(), QStringList({"v1", "v2", "v3", "v4"}));
  QCOMPARE(f.StatusText(0), QString("1/4"));
  QVERIFY(!f.Variables.filterCheck->isChecked());
  QVERIFY(f.Variables.findNameEdit->text().isEmpty());
  QVERIFY(f.Variables.findLabelEdit->text().isEmpty());
  QCOMPARE(w.Count("WarningDialog"), 0);
  // The first file is let go.
  QVERIFY(oldHandle.lock() != f.File);
  QVERIFY(oldHandle.expired());
}

void OpenFileHandlersTest::closeEmptiesEveryPane() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  f.Variables.variableList.SetRecNo(2);
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString("Male"));
  const std::weak_ptr<SystemFile> handle = f.File;
  f.CloseItem->trigger();

  QVERIFY(!f.FileOpen());
  QVERIFY(f.FileName.empty());
  QVERIFY(handle.expired());
  QCOMPARE(f.windowTitle(), QString("Brindle"));
  QCOMPARE(f.ApplicationTitle(), QString("Brindle"));
  QCOMPARE(f.Variables.variablesGrid->model()->rowCount(), 0);
  QCOMPARE(f.Values.valuesGrid->RowCount(), f.Values.MinValueRows);
  QCOMPARE(f.Values.valuesGrid->Cell(0, 0), QString("Value Label"));
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString());
  QCOMPARE(f.Values.valuesGrid->Cell(1, 1), QString());
  QCOMPARE(f.Values.valuesGrid->ColumnLists[0], QStringList({"Value Label"}));
  QVERIFY(f.Values.captionLabel->text().isEmpty());
  for (int panel = 0; panel < 3; ++panel) QVERIFY(f.StatusText(panel).isEmpty());
  QVERIFY(!f.CloseItem->isEnabled());
  QVERIFY(!f.Variables.variablesGrid->isEnabled());
  QVERIFY(!f.ShowDocBtn->isVisible());
  QVERIFY(f.openAction->isEnabled());
  QCOMPARE(f.Weighting.weightButton->toolTip(), QString("Set Weight on"));
  QVERIFY(w.ui.calls.size() == 1);
}

void OpenFileHandlersTest::closeIsIgnoredWhileCounting() {
  ShownWindow w;
  MainWindow& f = w.form;
  w.Open(LongFile().path());
  DuringPass(
      [&] {
        f.CloseItemClick();
        QVERIFY(f.FileOpen());
        QCOMPARE(w.GridNames().size(), 2);
      },
      [&] { f.ShowFrequencies(); });
  QVERIFY(f.FileOpen());
}

void OpenFileHandlersTest::documentButtonFollowsTheFile() {
  ShownWindow w;
  MainWindow& f = w.form;
  SavFile withDoc = ManyVariables(2);
  withDoc.documents = {"First line of the document", "Second line"};
  auto doc = WriteTemp(withDoc);
  auto plain = WriteTemp(ManyVariables(2));
  w.Open(doc->path());
  QVERIFY(f.HasDocument != 0);
  QVERIFY(f.ShowDocBtn->isVisible());
  QVERIFY(f.ShowDocBtn->isEnabled());
  w.Open(plain->path());
  QCOMPARE(f.HasDocument, 0);
  QVERIFY(!f.ShowDocBtn->isVisible());
  QVERIFY(!f.ShowDocBtn->isEnabled());
}

void OpenFileHandlersTest::unknownCaseCountWarns() {
  SavFile damaged = ManyVariables(2);
  damaged.headerCases = -1;
  damaged.extendedCaseCount = false;
  damaged.cases.clear();
  for (int i = 0; i < 20; ++i) damaged.cases.push_back({0.5 + i, 1.5 + i});
  SavLayout layout;
  std::vector<std::uint8_t> bytes = writeSav(damaged, &layout);
  // The data stop in the middle of a value.
  bytes.resize(layout.dataEnd - 3);
  TempFile file(bytes);

  ShownWindow w;
  MainWindow& f = w.form;
  w.Open(file.path());
  QCOMPARE(w.Count("WarningDialog"), 1);
  QCOMPARE(
      w.ui.Last().text,
      QString(
          "Cannot determine the true number of cases.\nThe estimated number (19) will be used."));
  QVERIFY(f.CaseCountEstimated);
  QCOMPARE(f.NumCases, std::int64_t(19));  // the cases that can be read
  QCOMPARE(f.Values.CountColor, QColor(255, 0, 0));
  // The variables are shown all the same.
  QCOMPARE(w.GridNames(), QStringList({"v1", "v2"}));

  auto good = WriteTemp(ManyVariables(2));
  w.Open(good->path());
  QVERIFY(!f.CaseCountEstimated);
  QCOMPARE(f.Values.CountColor, QColor(0, 0, 255));
}

void OpenFileHandlersTest::realFiles() {
  const QDir dir(BRINDLE_TESTDATA_DIR);
  const QStringList names = dir.entryList({"*.sav", "*.zsav"}, QDir::Files, QDir::Name);
  if (names.isEmpty()) QSKIP("no real data files");
  ShownWindow w;
  MainWindow& f = w.form;
  for (const QString& name : names) {
    w.Open(dir.filePath(name).toStdString());
    QVERIFY2(w.Count("SystemMessageBox") == 0, qPrintable(name + ": " + w.ui.Last().text));
    QCOMPARE(f.FileName, dir.filePath(name).toStdString());
    QVERIFY2(f.NumVars > 0, qPrintable(name));
    QCOMPARE(f.Variables.variablesGrid->model()->rowCount(), f.NumVars);
    QCOMPARE(f.StatusText(0), QString("1/%1").arg(f.NumVars));
    // Walking the whole list never fails.
    f.Variables.variablesGrid->setFocus();
    w.Key(Qt::Key_End);
    QCOMPARE(f.StatusText(0), QString("%1/%1").arg(f.NumVars));
  }
}

QTEST_MAIN(OpenFileHandlersTest)
#include "OpenFileHandlers_test.moc"
