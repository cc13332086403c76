// The values pane in the real window: value labels of every kind of
// variable, captionLabel, the count panel, the frequencies switch and the fitting
// of the columns.
#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

QStringList Column(const ValuesGrid* grid, int col, int rows) {
  QStringList cells;
  for (int r = 1; r <= rows; ++r) cells << grid->Cell(col, r);
  return cells;
}

bool SameImage(const QIcon& a, const QIcon& b) {
  return a.pixmap(16, 16).toImage() == b.pixmap(16, 16).toImage();
}

}  // namespace

class ValuesPaneLabelsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void labelsOfEachKind_data();
  void labelsOfEachKind();
  void manyLabelsGrowTheGrid();
  void frequenciesShownClick();
  void labelColumnFillsTheGrid();
  void longStringTableWidensTheValueColumn();

 private:
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

void ValuesPaneLabelsTest::init() {
  m_w = std::make_unique<ShownWindow>();
  m_file = WriteTemp(SampleDictionary());
  m_w->Open(m_file->path());
}

void ValuesPaneLabelsTest::cleanup() {
  m_w.reset();
  m_file.reset();
}

void ValuesPaneLabelsTest::labelsOfEachKind_data() {
  QTest::addColumn<int>("recNo");
  QTest::addColumn<QStringList>("labels");
  QTest::addColumn<QStringList>("values");  // "." stands for the decimal separator
  QTest::addColumn<QString>("caption");
  QTest::newRow("numeric without labels") << 1 << QStringList() << QStringList() << "id";
  QTest::newRow("numeric, no decimals")
      << 2 << QStringList({"Male", "Female"}) << QStringList({" 1", " 2"}) << "sex";
  QTest::newRow("short string") << 3 << QStringList({"Amsterdam", "Berlin"})
                                << QStringList({"AMS", "BER"}) << "city";
  QTest::newRow("long string") << 4 << QStringList({"Nothing to say"}) << QStringList({"none"})
                               << "comment";
  QTest::newRow("numeric with decimals")
      << 5 << QStringList({"Low", "High"}) << QStringList({"     1.50", "    10.25"}) << "score";
  QTest::newRow("date: the number, not the date")
      << 6 << QStringList({"New year 2003"}) << QStringList({" 13254624000"}) << "born";
}

void ValuesPaneLabelsTest::labelsOfEachKind() {
  QFETCH(int, recNo);
  QFETCH(QStringList, labels);
  QFETCH(QStringList, values);
  QFETCH(QString, caption);
  MainWindow& f = m_w->form;
  // Come from a variable with labels, so that every row is refilled.
  f.variablesPane().variableList().SetRecNo(recNo == 2 ? 5 : 2);
  f.variablesPane().variableList().SetRecNo(recNo);
  const QString decimal = QString::fromStdString(f.Separators().decimal);
  for (QString& v : values) v.replace('.', decimal);

  const int n = int(labels.size());
  QCOMPARE(f.valuesPane().valueRowCount(), n);
  QCOMPARE(f.StatusText(2), QString::number(n));
  QCOMPARE(f.valuesPane().captionLabel()->text(), caption);
  QCOMPARE(Column(f.valuesPane().valuesGrid(), 0, n), labels);
  QStringList shown = Column(f.valuesPane().valuesGrid(), 1, n);
  // String values come as the file holds them, blank padding and all.
  if (recNo == 3 || recNo == 4)
    for (QString& v : shown) v = v.trimmed();
  QCOMPARE(shown, values);
  for (int c = 2; c < 5; ++c)
    QCOMPARE(Column(f.valuesPane().valuesGrid(), c, n), QStringList(QVector<QString>(n)));
  // Nothing of the previous variable is left below.
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(0, n + 1), QString());
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(1, n + 1), QString());
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(0, 0), QString("Value Label"));
  QCOMPARE(f.valuesPane().valuesGrid()->ColumnLists[0].size(), n + 1);
  QCOMPARE(f.valuesPane().valuesGrid()->Selection().left, -1);
  QVERIFY(!f.valuesPane().frequencyTableShown());
  QCOMPARE(f.valuesPane().valuesGrid()->RowCount(), std::max(f.valuesPane().minValueRows(), n + 1));
}

void ValuesPaneLabelsTest::manyLabelsGrowTheGrid() {
  SavFile many = ManyVariables(1);
  const int count = 80;
  for (int k = 1; k <= count; ++k)
    many.variables[0].numericLabels.push_back({double(k), "Label of " + std::to_string(k)});
  auto file = WriteTemp(many);
  m_w->Open(file->path());
  MainWindow& f = m_w->form;
  QVERIFY(count + 1 > f.valuesPane().minValueRows());
  QCOMPARE(f.valuesPane().valuesGrid()->RowCount(), count + 1);
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(0, count), QString("Label of 80"));
  QCOMPARE(f.StatusText(2), QString("80"));
  // The scroll bar that comes with the long list takes its room from the label column.
  // The view lays itself out and shows the scroll bar in posted steps.
  for (int round = 0; round < 3; ++round) QApplication::processEvents();
  QVERIFY(f.valuesPane().valuesGrid()->verticalScrollBar()->isVisible());
  int sum = 0;
  for (int c = 0; c < 5; ++c) sum += f.valuesPane().valuesGrid()->ColWidth(c);
  QCOMPARE(sum, f.valuesPane().valuesGrid()->viewport()->width());
  // Back to a file with few labels: the grid shrinks to what fits.
  m_w->Open(m_file->path());
  QCOMPARE(f.valuesPane().valuesGrid()->RowCount(), f.valuesPane().minValueRows());
  // A resize keeps the larger of the two.
  f.variablesPane().variableList().SetRecNo(2);
  f.resize(1000, 400);
  QCOMPARE(f.valuesPane().valuesGrid()->RowCount(), std::max(f.valuesPane().minValueRows(), 3));
}

void ValuesPaneLabelsTest::frequenciesShownClick() {
  MainWindow& f = m_w->form;
  f.variablesPane().variableList().SetRecNo(2);
  Action(f, "FrequenciesShown")->trigger();
  QVERIFY(Action(f, "FrequenciesShown")->isChecked());
  QVERIFY(f.FrequenciesMode());
  QVERIFY(Action(f, "FrequenciesBtn")->isChecked());
  QCOMPARE(Action(f, "FrequenciesBtn")->toolTip(), QString("Display value labels"));
  QVERIFY(SameImage(Action(f, "FrequenciesBtn")->icon(), ToolImage(11)));
  // The labels stay until the variable changes.
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(0, 1), QString("Male"));
  Action(f, "FrequenciesBtn")->trigger();
  QVERIFY(!Action(f, "FrequenciesShown")->isChecked());
  QVERIFY(!Action(f, "FrequenciesBtn")->isChecked());
  QCOMPARE(Action(f, "FrequenciesBtn")->toolTip(), QString("Display frequencies"));
  QVERIFY(SameImage(Action(f, "FrequenciesBtn")->icon(), ToolImage(10)));
  // The F6 shortcut reaches the same handler.
  QVERIFY(QTest::qWaitForWindowActive(&f));
  QTest::keyClick(&f, Qt::Key_F6);
  QVERIFY(Action(f, "FrequenciesShown")->isChecked());
  QVERIFY(Action(f, "FrequenciesBtn")->isChecked());
}

void ValuesPaneLabelsTest::labelColumnFillsTheGrid() {
  MainWindow& f = m_w->form;
  ValuesGrid* g = f.valuesPane().valuesGrid();
  auto sum = [g] {
    int s = 0;
    for (int c = 0; c < 5; ++c) s += g->ColWidth(c);
    return s;
  };
  QCOMPARE(sum(), g->viewport()->width());
  QCOMPARE(g->SavedLabelWidth, g->ColWidth(0));
  QCOMPARE(g->SavedValueWidth, g->ColWidth(1));
  const int label = g->ColWidth(0);
  // A wider count column narrows the label column by as much.
  g->SetColWidth(2, g->ColWidth(2) + 20);
  QCOMPARE(g->ColWidth(0), label - 20);
  QCOMPARE(sum(), g->viewport()->width());
  QCOMPARE(g->SavedLabelWidth, label - 20);
  // A narrower pane: the label column gives way, down to a few characters.
  Splitter(f)->setSizes({Splitter(f)->width() - 150, 147});
  f.SplitterMoved();
  QCOMPARE(g->ColWidth(0), 4 * g->fontMetrics().averageCharWidth());
  // Refilling keeps the fitted widths.
  Splitter(f)->setSizes({300, Splitter(f)->width() - 303});
  f.SplitterMoved();
  const int fitted = g->ColWidth(0);
  f.variablesPane().variableList().SetRecNo(3);
  QCOMPARE(g->ColWidth(0), fitted);
}

void ValuesPaneLabelsTest::longStringTableWidensTheValueColumn() {
  MainWindow& f = m_w->form;
  ValuesGrid* g = f.valuesPane().valuesGrid();
  f.variablesPane().variableList().SetRecNo(4);  // comment, A20
  f.ShowFrequencies();
  QVERIFY(f.valuesPane().frequencyTableShown());
  const int label = g->ColWidth(0);
  const int value = g->ColWidth(1);
  g->SetColWidth(4, g->ColWidth(4) + 10);
  QCOMPARE(g->ColWidth(0), label);
  QCOMPARE(g->ColWidth(1), value - 10);
  // Labels again: the label column is back at its remembered width.
  f.ToggleDisplayLabels();
  QVERIFY(!f.valuesPane().frequencyTableShown());
  QCOMPARE(g->ColWidth(0), g->SavedLabelWidth);
  QCOMPARE(g->ColWidth(1), g->SavedValueWidth);
}

QTEST_MAIN(ValuesPaneLabelsTest)
#include "ValuesPaneLabels_test.moc"
