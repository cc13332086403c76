// File > Export in the window: the save dialog through the recorded service,
// the data of the variables of the view, the chosen kind of values, and the
// message when the target cannot be written.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainWindow.h"
#include "export/ExcelExport.h"
#include "export/StataExport.h"
#include "testing/WindowTestSupport.h"

using namespace brindle;
using namespace brindle::testing;

class ExportHandlersTest : public QObject {
  Q_OBJECT
 private slots:
  void menuFollowsTheOpenFile();
  void exportsWhatTheDialogChose();
  void failureAndCancelLeaveNothing();
  void shortDataIsWrittenWithAWarning();
  void parquetByTheFilterOrTheName();
  void excelByTheFilterOrTheName();
  void stataByTheFilterOrTheName();
};

namespace {

QString ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<missing>");
  return QString::fromUtf8(f.readAll());
}

QAction* Item(MainWindow& f, int i) { return Menu(f, "Exportmnu")->actions().at(i); }

// A window with the sample dictionary open and an empty folder for targets.
struct OpenedSample {
  ShownWindow w;
  std::unique_ptr<TempFile> file = WriteTemp(SampleDictionary());
  QTemporaryDir dir;
  OpenedSample() { w.Open(file->path()); }
};

}  // namespace

void ExportHandlersTest::menuFollowsTheOpenFile() {
  ShownWindow w;
  MainWindow& f = w.form;
  QCOMPARE(Menu(f, "Exportmnu")->title(), QString("E&xport"));
  QStringList texts;
  for (QAction* a : Menu(f, "Exportmnu")->actions()) texts << a->text();
  QCOMPARE(texts, QStringList({"&Data", "&Variable properties", "Value &labels"}));
  QVERIFY(Menu(f, "Exportmnu")->menuAction()->isVisible());
  QVERIFY(!Menu(f, "Exportmnu")->menuAction()->isEnabled());
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  QVERIFY(Menu(f, "Exportmnu")->menuAction()->isEnabled());
  Action(f, "CloseItem")->trigger();
  QVERIFY(!Menu(f, "Exportmnu")->menuAction()->isEnabled());
}

void ExportHandlersTest::exportsWhatTheDialogChose() {
  OpenedSample s;
  MainWindow& f = s.w.form;
  const QString target = s.dir.filePath("out.csv");

  // Filtered to three variables: only those, as labels.
  f.variablesPane().findNameEdit()->setText("c");
  f.variablesPane().filterCheck()->click();
  QCOMPARE(s.w.GridNames(), QStringList({"city", "comment", "score"}));
  s.w.ui.saveFileAnswers << target;
  s.w.ui.saveFilterAnswer = 2;
  Item(f, 0)->trigger();
  QCOMPARE(s.w.ui.Count("GetSaveFileName"), 1);
  QVERIFY2(s.w.ui.Last().caption.startsWith("Export data\nCSV, values (*.csv)\n"),
           qPrintable(s.w.ui.Last().caption));
  QVERIFY(s.w.ui.Last().text.endsWith(
      QFileInfo(QString::fromStdString(s.file->path())).completeBaseName() + ".csv"));
  QCOMPARE(ReadAll(target),
           QString("city,comment,score\nAmsterdam,fine,Low\nBerlin,Nothing to say,High\n"));

  // Formatted values of every variable once the filter is off.
  f.variablesPane().filterCheck()->click();
  s.w.ui.saveFileAnswers << target;
  s.w.ui.saveFilterAnswer = 1;
  Item(f, 0)->trigger();
  QCOMPARE(ReadAll(target), QString("id,sex,city,comment,score,born,age\n"
                                    "1,1,AMS,fine,1.50,2002-10-22,30\n"
                                    "2,2,BER,none,10.25,2002-10-22,40\n"));

  s.w.ui.saveFileAnswers << target;
  Item(f, 2)->trigger();
  QVERIFY2(ReadAll(target).startsWith(
               "variable,value,label\nsex,1,Male\nsex,2,Female\ncity,AMS,Amsterdam\n"),
           qPrintable(ReadAll(target)));
  s.w.ui.saveFileAnswers << target;
  Item(f, 1)->trigger();
  QVERIFY2(ReadAll(target).contains("\nsex,Sex,numeric,1,F1,9,2,scale,\n"),
           qPrintable(ReadAll(target)));
  QCOMPARE(s.w.ui.Count("SystemMessageBox"), 0);
}

void ExportHandlersTest::failureAndCancelLeaveNothing() {
  OpenedSample s;
  MainWindow& f = s.w.form;
  // The dialog cancelled: nothing written, nothing said.
  Item(f, 0)->trigger();
  QCOMPARE(s.w.ui.Count("GetSaveFileName"), 1);
  QVERIFY(QDir(s.dir.path()).isEmpty());
  QCOMPARE(s.w.ui.Count("SystemMessageBox"), 0);
  // A folder that is not there: an error message naming it.
  s.w.ui.saveFileAnswers << s.dir.filePath("gone/out.csv");
  Item(f, 1)->trigger();
  QCOMPARE(s.w.ui.Count("SystemMessageBox"), 1);
  QCOMPARE(s.w.ui.Last().caption, QString("Export error"));
  QVERIFY2(s.w.ui.Last().text.contains("gone"), qPrintable(s.w.ui.Last().text));
  QVERIFY(QDir(s.dir.path()).isEmpty());
}

// A header that promises more cases than the data holds: the file is
// written with the cases there are, and a warning says how many and why.
void ExportHandlersTest::shortDataIsWrittenWithAWarning() {
  SavFile sample = SampleDictionary();
  sample.headerCases = 100;
  sample.extendedCases = 100;
  const auto file = WriteTemp(sample);
  ShownWindow w;
  w.Open(file->path());
  const int openMessages = w.ui.calls.size();
  QTemporaryDir dir;
  const QString target = dir.filePath("short.csv");
  w.ui.saveFileAnswers << target;
  w.ui.saveFilterAnswer = 1;
  Item(w.form, 0)->trigger();
  QCOMPARE(ReadAll(target), QString("id,sex,city,comment,score,born,age\n"
                                    "1,1,AMS,fine,1.50,2002-10-22,30\n"
                                    "2,2,BER,none,10.25,2002-10-22,40\n"));
  QCOMPARE(w.ui.calls.size(), openMessages + 2);  // the save dialog, the warning
  QCOMPARE(w.ui.Last().kind, QString("SystemMessageBox"));
  QCOMPARE(w.ui.Last().caption, QString("Export data"));
  QCOMPARE(w.ui.Last().icon, MessageIcon::Warning);
  QCOMPARE(w.ui.Last().text, QString("short.csv is written with the 2 cases that could be read.\n\n"
                                     "The data ended early: only 2 of 100 cases could be read. "
                                     "The export holds the 2 cases read."));
  // The dictionary exports need no data: no warning.
  w.ui.saveFileAnswers << dir.filePath("vars.csv");
  Item(w.form, 1)->trigger();
  QCOMPARE(w.ui.Last().kind, QString("GetSaveFileName"));
  QVERIFY(ReadAll(dir.filePath("vars.csv")).startsWith("name,label,"));
}

// The Parquet filters, and a .parquet name under "All files": a Parquet file
// of the view's variables whose footer names them and holds the dictionary.
void ExportHandlersTest::parquetByTheFilterOrTheName() {
  OpenedSample s;
  MainWindow& f = s.w.form;
  f.variablesPane().findNameEdit()->setText("c");
  f.variablesPane().filterCheck()->click();
  const struct {
    int filter;
    const char* name;
  } cases[] = {{3, "typed.parquet"}, {4, "labels.parquet"}, {8, "any.PARQUET"}};
  for (const auto& c : cases) {
    const QString target = s.dir.filePath(c.name);
    s.w.ui.saveFileAnswers << target;
    s.w.ui.saveFilterAnswer = c.filter;
    Item(f, 0)->trigger();
    QFile file(target);
    QVERIFY2(file.open(QIODevice::ReadOnly), c.name);
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.startsWith("PAR1") && bytes.endsWith("PAR1"), c.name);
    QVERIFY2(bytes.contains("comment") && bytes.contains("score") &&
                 !bytes.contains("\x04"
                                 "born"),
             c.name);
    QVERIFY2(bytes.contains("brindle.dictionary"), c.name);
  }
  QVERIFY2(s.w.ui.Last().caption.contains("\nParquet, value labels (*.parquet)\n"),
           qPrintable(s.w.ui.Last().caption));
  QCOMPARE(s.w.ui.Count("SystemMessageBox"), 0);
}

// The Excel filters, and a .xlsx name under "All files": a workbook (a zip).
void ExportHandlersTest::excelByTheFilterOrTheName() {
  if (!ExcelAvailable()) QSKIP("built without libxlsxwriter");
  OpenedSample s;
  const struct {
    int filter;
    const char* name;
  } cases[] = {{5, "values.xlsx"}, {6, "labels.xlsx"}, {8, "any.XLSX"}};
  for (const auto& c : cases) {
    const QString target = s.dir.filePath(c.name);
    s.w.ui.saveFileAnswers << target;
    s.w.ui.saveFilterAnswer = c.filter;
    Item(s.w.form, 0)->trigger();
    QFile file(target);
    QVERIFY2(file.open(QIODevice::ReadOnly), c.name);
    QVERIFY2(file.read(2) == "PK", c.name);
  }
  QVERIFY2(s.w.ui.Last().caption.contains(
               "\nExcel workbook, value labels (*.xlsx)\nStata 14 (*.dta)\nAll files (*)"),
           qPrintable(s.w.ui.Last().caption));
  QCOMPARE(s.w.ui.Count("SystemMessageBox"), 0);
}

// The Stata filter, and a .dta name under "All files".
void ExportHandlersTest::stataByTheFilterOrTheName() {
  if (!StataAvailable()) QSKIP("built without libreadstat");
  OpenedSample s;
  for (const auto& c : {std::pair{7, "data.dta"}, std::pair{8, "any.DTA"}}) {
    const QString target = s.dir.filePath(c.second);
    s.w.ui.saveFileAnswers << target;
    s.w.ui.saveFilterAnswer = c.first;
    Item(s.w.form, 0)->trigger();
    QFile file(target);
    QVERIFY2(file.open(QIODevice::ReadOnly), c.second);
    QVERIFY2(file.read(11) == "<stata_dta>", c.second);
    // The string variables' labels cannot go along: an information says so.
    QCOMPARE(s.w.ui.Last().kind, QString("SystemMessageBox"));
    QCOMPARE(s.w.ui.Last().icon, MessageIcon::Information);
    QVERIFY2(s.w.ui.Last().text.startsWith("Value labels Stata cannot hold"),
             qPrintable(s.w.ui.Last().text));
  }
}

QTEST_MAIN(ExportHandlersTest)
#include "ExportHandlers_test.moc"
