// Frequency tables: on the pane alone, the rows, caption, count and
// statistics box of each kind of variable and a pass cut short by the data;
// in the real window, what the window decides (a file without a case
// count) and what the user may do while a long pass runs (Escape, moving,
// closing).
#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <functional>

#include "app/MainWindow.h"
#include "testing/PaneTestSupport.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

// 1 grade  F1.0, labels 1 Low, 2 High, missing 9
// 2 city   A3, label AMS Amsterdam, missing "xx"
// 3 note   A12
SavFile Mixed() {
  SavFile f;
  Variable grade = Variable::numeric("grade", "Grade");
  grade.print = Format{5, 1, 0};
  grade.numericLabels = {{1, "Low"}, {2, "High"}};
  grade.missingCode = 1;
  grade.missing[0] = 9;
  Variable city = Variable::string("city", 3, "City");
  city.stringLabels = {{"AMS", "Amsterdam"}};
  city.stringMissing = {"xx"};
  Variable note = Variable::string("note", 12, "Note");
  f.variables = {grade, city, note};
  f.cases = {{1.0, std::string("AMS"), std::string("b")},
             {1.0, std::string("BER"), std::string("a")},
             {2.0, std::string("AMS"), std::string("b  ")},
             {9.0, std::string("ams"), std::string("B")},
             {sysmis(), std::string("xx"), std::string("b")}};
  return f;
}

// Two numeric variables a and b over many cases, so that a pass runs through
// many batches and lets the window handle its events between them.
QStringList Row(const ValuesGrid* g, int row) {
  QStringList cells;
  for (int c = 0; c < ValuesGrid::kColumns; ++c) cells << g->Cell(c, row);
  return cells;
}

// Runs `during` at the first chance the window gets while the pass that
// `start` begins reads the cases.
}  // namespace

class ValuesPaneFrequenciesTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void tableOfEachKind_data();
  void tableOfEachKind();
  void statisticsBox();
  void truncatedDataWarns();
  void fileWithoutCaseCountReplacesTheTable();
  void escapeCancels();
  void moveDuringPassShowsAfterIt();
  void fileLeftAloneDuringPass_data();
  void fileLeftAloneDuringPass();

 private:
  // The pane alone, or the window, showing frequencies over Mixed().
  ShownValuesPane& Pane();
  ShownWindow& Window();
  std::unique_ptr<ShownValuesPane> m_p;
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

void ValuesPaneFrequenciesTest::init() { m_file = WriteTemp(Mixed()); }

void ValuesPaneFrequenciesTest::cleanup() {
  m_p.reset();
  m_w.reset();
  m_file.reset();
}

ShownValuesPane& ValuesPaneFrequenciesTest::Pane() {
  m_p = std::make_unique<ShownValuesPane>();
  m_p->pane.SetFrequenciesMode(true);
  if (!m_p->Open(m_file->path())) qFatal("cannot open %s", m_file->path().c_str());
  return *m_p;
}

ShownWindow& ValuesPaneFrequenciesTest::Window() {
  m_w = std::make_unique<ShownWindow>();
  Action(m_w->form, "FrequenciesShown")->trigger();
  m_w->Open(m_file->path());
  return *m_w;
}

void ValuesPaneFrequenciesTest::tableOfEachKind_data() {
  QTest::addColumn<int>("recNo");
  QTest::addColumn<QList<QStringList>>("rows");
  QTest::addColumn<bool>("memoShown");
  QTest::addColumn<bool>("labelColumnHidden");
  // System-missing first, user-missing marked, percentages of the 5 cases
  // and of the 3 valid ones.
  QTest::newRow("numeric") << 1
                           << QList<QStringList>{{"", "SYSMIS", "1", "20.0", "MISS"},
                                                 {"Low", "1", "2", "40.0", "66.7"},
                                                 {"High", "2", "1", "20.0", "33.3"},
                                                 {"", "9", "1", "20.0", "MISS"}}
                           << true << false;
  // Byte order: upper case before lower case; "xx" is missing.
  QTest::newRow("short string") << 2
                                << QList<QStringList>{{"Amsterdam", "AMS", "2", "40.0", "50.0"},
                                                      {"", "BER", "1", "20.0", "25.0"},
                                                      {"", "ams", "1", "20.0", "25.0"},
                                                      {"", "xx", "1", "20.0", "MISS"}}
                                << false << false;
  // Trailing blanks do not make a value of their own; without labels the
  // label column gives way.
  QTest::newRow("long string") << 3
                               << QList<QStringList>{{"", "B", "1", "20.0", "20.0"},
                                                     {"", "a", "1", "20.0", "20.0"},
                                                     {"", "b", "3", "60.0", "60.0"}}
                               << false << true;
}

void ValuesPaneFrequenciesTest::tableOfEachKind() {
  QFETCH(int, recNo);
  QFETCH(QList<QStringList>, rows);
  QFETCH(bool, memoShown);
  QFETCH(bool, labelColumnHidden);
  ShownValuesPane& p = Pane();
  ValuesPane& f = p.pane;
  // Come from a variable with a longer table, so that every row is refilled.
  p.table.SetRecNo(recNo == 1 ? 2 : 1);
  p.table.SetRecNo(recNo);
  const QString decimal = QString::fromStdString(NumberSeparators{}.decimal);
  for (QStringList& row : rows)
    for (int c = 1; c < 5; ++c) row[c].replace('.', decimal);

  const int n = int(rows.size());
  QVERIFY(f.frequencyTableShown());
  QVERIFY(!f.Counting());
  QCOMPARE(f.valueRowCount(), n);
  QCOMPARE(p.countText, QString::number(n));
  QCOMPARE(f.captionLabel()->text(), QString::fromStdString(p.table.Current()->VarName));
  QCOMPARE(Row(f.valuesGrid(), 0),
           QStringList({"Value Label", "Value", "Freq", "% Total", "% Valid"}));
  for (int r = 0; r < n; ++r) {
    QStringList shown = Row(f.valuesGrid(), r + 1);
    shown[1] = shown[1].trimmed();  // print formats pad to their width
    QCOMPARE(shown, rows[r]);
  }
  QCOMPARE(Row(f.valuesGrid(), n + 1), QStringList(QVector<QString>(5)));
  QCOMPARE(f.valuesGrid()->FillRows(), n + 1);
  QCOMPARE(f.valuesGrid()->RowCount(), std::max(f.minValueRows(), n + 1));
  QCOMPARE(f.valuesGrid()->Selection().left, -1);
  QCOMPARE(f.statisticsText()->isVisible(), memoShown);
  QCOMPARE(f.valuesGrid()->ColWidth(0) == 0, labelColumnHidden);
  if (labelColumnHidden)
    QCOMPARE(f.valuesGrid()->ColWidth(1),
             f.valuesGrid()->SavedLabelWidth + f.valuesGrid()->SavedValueWidth);
}

void ValuesPaneFrequenciesTest::statisticsBox() {
  ShownValuesPane& p = Pane();
  ValuesPane& f = p.pane;
  p.table.SetRecNo(1);
  const QStringList lines = f.statisticsText()->toPlainText().split('\n');
  QCOMPARE(lines.size(), 3);
  // Valid 1, 1, 2: sum 4; user- and system-missing count as missing.
  QVERIFY(lines[0].startsWith("valid\t3\tminimum\t"));
  QVERIFY(lines[1].startsWith("missing\t2\tmaximum\t"));
  QCOMPARE(lines[2].section('\t', 0, 2), QString("total\t5\tsum"));
  QCOMPARE(lines[2].section('\t', 3, 3).trimmed(), QString("4"));
  QCOMPARE(lines[2].section('\t', 4, 4), QString("variance"));
  // The box takes room from the grid: the rows follow, so a short table
  // needs no scroll bar.
  QCoreApplication::processEvents();
  QCOMPARE(f.valuesGrid()->RowCount(), f.minValueRows());
  QCOMPARE(f.valuesGrid()->verticalScrollBar()->maximum(), 0);
  // A string's table hides the box; labels keep it hidden.
  p.table.SetRecNo(2);
  QVERIFY(!f.statisticsText()->isVisible());
  p.table.SetRecNo(1);
  QVERIFY(f.statisticsText()->isVisible());
  p.Toggle();
  QVERIFY(!f.statisticsText()->isVisible());
  QVERIFY(!f.frequencyTableShown());
}

void ValuesPaneFrequenciesTest::truncatedDataWarns() {
  SavFile f;
  Variable v = Variable::numeric("v");
  v.print = Format{5, 1, 0};
  f.variables = {v};
  for (int i = 0; i < 20; ++i) f.cases.push_back({double(1 + i % 2)});
  SavLayout layout;
  std::vector<std::uint8_t> bytes = writeSav(f, &layout);
  // Small integers are stored in the command blocks, eight cases to a block:
  // two blocks hold the first 16 cases.
  bytes.resize(layout.dataStart + 16);
  TempFile cut(bytes);
  ShownValuesPane& p = Pane();
  QVERIFY(p.Open(cut.path()));
  ValuesPane& w = p.pane;
  QCOMPARE(p.file.NumCases, 20);
  QCOMPARE(p.Count("WarningDialog"), 1);
  QVERIFY(p.ui.Last().text.contains("16 of 20"));
  // The cases read, as a share of those read.
  const QString half =
      QString("50.0").replace('.', QString::fromStdString(NumberSeparators{}.decimal));
  QCOMPARE(w.valueRowCount(), 2);
  for (int r = 1; r <= 2; ++r) {
    QCOMPARE(w.valuesGrid()->Cell(1, r).trimmed(), QString::number(r));
    QCOMPARE(w.valuesGrid()->Cell(2, r), QString("8"));
    QCOMPARE(w.valuesGrid()->Cell(3, r), half);
  }
  QCOMPARE(w.captionLabel()->text(), QString("v"));
}

// A file whose cases cannot all be read and whose header has no count: its
// table counts the cases that could be read; with none of them, the pane is
// emptied. Nothing of the previous file stays on screen.
void ValuesPaneFrequenciesTest::fileWithoutCaseCountReplacesTheTable() {
  MainWindow& w = Window().form;
  QCOMPARE(w.valuesPane().captionLabel()->text(), QString("grade"));
  SavFile f;
  f.compression = Compression::None;
  f.headerCases = -1;
  f.extendedCaseCount = false;
  f.variables = {Variable::numeric("v")};
  for (int i = 0; i < 7; ++i) f.cases.push_back({double(i % 3)});
  SavLayout layout;
  std::vector<std::uint8_t> bytes = writeSav(f, &layout);
  TempFile partial(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 3));
  m_w->Open(partial.path());
  QCOMPARE(m_w->Count("WarningDialog"), 1);
  QVERIFY(m_w->ui.Last().text.contains("(6)"));
  QVERIFY(w.fileState().CaseCountEstimated);
  QCOMPARE(w.fileState().NumCases, 6);
  QCOMPARE(w.valuesPane().captionLabel()->text(), QString("v"));
  QCOMPARE(w.valuesPane().valueRowCount(), 3);
  QCOMPARE(w.StatusText(2), QString("3"));
  QCOMPARE(w.valuesPane().valuesGrid()->Cell(2, 1), QString("2"));

  TempFile none(
      std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + long(layout.dataStart) + 3));
  m_w->Open(LongFile().path());
  m_w->Open(none.path());
  QCOMPARE(w.fileState().NumCases, 0);
  QVERIFY(w.valuesPane().frequencyTableShown());
  QCOMPARE(w.valuesPane().captionLabel()->text(), QString());
  QCOMPARE(w.valuesPane().valueRowCount(), 0);
  QCOMPARE(w.StatusText(2), QString());
  QCOMPARE(w.valuesPane().valuesGrid()->Cell(1, 1), QString());
  QCOMPARE(w.valuesPane().valuesGrid()->ColumnLists[0].size(), 1);
  QVERIFY(!w.valuesPane().statisticsText()->isVisible());
  // The toggle still leads to the labels.
  w.ToggleDisplayLabels();
  QVERIFY(!w.valuesPane().frequencyTableShown());
  QCOMPARE(w.valuesPane().captionLabel()->text(), QString("v"));
}

void ValuesPaneFrequenciesTest::escapeCancels() {
  MainWindow& f = Window().form;
  m_w->Open(LongFile().path());
  QCOMPARE(f.valuesPane().valueRowCount(), 7);
  QVERIFY(f.valuesPane().statisticsText()->isVisible());
  const QString status = f.StatusText(2);
  DuringPass(
      [&] {
        QVERIFY(f.Counting());
        PressInVarGrid(f, Qt::Key_Escape);
      },
      [&] { f.ShowFrequencies(); });
  // Only the title row is left; the box keeps its place with nothing in it.
  QVERIFY(f.valuesPane().frequencyTableShown());
  QVERIFY(!f.Counting());
  QCOMPARE(f.valuesPane().valuesGrid()->ColumnLists[0].size(), 1);
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(1, 1), QString());
  QCOMPARE(f.valuesPane().captionLabel()->text(), QString());
  QCOMPARE(f.StatusText(2), status);
  QVERIFY(f.valuesPane().statisticsText()->isVisible());
  QVERIFY(f.valuesPane().statisticsText()->toPlainText().isEmpty());
  // The next pass runs to the end again.
  f.ShowFrequencies();
  QCOMPARE(f.valuesPane().valueRowCount(), 7);
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(2, 1), QString("28572"));
}

void ValuesPaneFrequenciesTest::moveDuringPassShowsAfterIt() {
  MainWindow& f = Window().form;
  m_w->Open(LongFile().path());
  int rowsDuringPass = -1;
  DuringPass(
      [&] {
        PressInVarGrid(f, Qt::Key_Down);
        QCOMPARE(f.variablesPane().variableList().RecNo(), 2);
        // The pane waits for the pass.
        rowsDuringPass = f.valuesPane().valueRowCount();
        QCOMPARE(f.valuesPane().captionLabel()->text(), QString("a"));
      },
      [&] { f.ShowFrequencies(); });
  QCOMPARE(rowsDuringPass, 0);
  QCOMPARE(f.valuesPane().captionLabel()->text(), QString("b"));
  QCOMPARE(f.valuesPane().valueRowCount(), 3);
  QCOMPARE(f.StatusText(0), QString("2/2"));
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(2, 1), QString("66667"));
}

void ValuesPaneFrequenciesTest::fileLeftAloneDuringPass_data() {
  QTest::addColumn<QString>("action");
  QTest::newRow("close the window") << "window";
  QTest::newRow("close the file") << "file";
  QTest::newRow("open another file") << "open";
}

void ValuesPaneFrequenciesTest::fileLeftAloneDuringPass() {
  QFETCH(QString, action);
  MainWindow& f = Window().form;
  m_w->Open(LongFile().path());
  const std::weak_ptr<SystemFile> handle = f.fileState().File;
  DuringPass(
      [&] {
        if (action == "window") f.close();
        if (action == "file") Action(f, "CloseItem")->trigger();
        if (action == "open") f.OpenDataFile(QString::fromStdString(m_file->path()));
        QVERIFY(f.fileState().File == handle.lock());
        QVERIFY(f.isVisible());
      },
      [&] { f.ShowFrequencies(); });
  if (action == "window") {
    // The close asked for during the pass happens after it.
    QVERIFY(!f.isVisible());
    QVERIFY(!f.fileState().FileOpen());
  } else {
    QVERIFY(f.isVisible());
    QVERIFY(f.fileState().File == handle.lock());
    QCOMPARE(f.valuesPane().valueRowCount(), 7);
    QCOMPARE(f.valuesPane().captionLabel()->text(), QString("a"));
  }
}

QTEST_MAIN(ValuesPaneFrequenciesTest)
#include "ValuesPaneFrequencies_test.moc"
