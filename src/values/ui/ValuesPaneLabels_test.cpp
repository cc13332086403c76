// The values pane alone, in a host widget of its own: value labels of every
// kind of variable, its caption and row count, and the fitting of its rows
// and columns. The frequencies switch (window actions, its tool button and
// F6) stays a window test.
#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "testing/PaneTestSupport.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/ValuesGrid.h"

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
  std::unique_ptr<ShownValuesPane> m_p;
  std::unique_ptr<TempFile> m_file;
};

void ValuesPaneLabelsTest::init() {
  m_p = std::make_unique<ShownValuesPane>();
  m_file = WriteTemp(SampleDictionary());
  QVERIFY(m_p->Open(m_file->path()));
}

void ValuesPaneLabelsTest::cleanup() {
  m_p.reset();
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
  ValuesPane& f = m_p->pane;
  // Come from a variable with labels, so that every row is refilled.
  m_p->table.SetRecNo(recNo == 2 ? 5 : 2);
  m_p->table.SetRecNo(recNo);
  const QString decimal = QString::fromStdString(NumberSeparators{}.decimal);
  for (QString& v : values) v.replace('.', decimal);

  const int n = int(labels.size());
  QCOMPARE(f.valueRowCount(), n);
  QCOMPARE(m_p->countText, QString::number(n));
  QCOMPARE(f.captionLabel()->text(), caption);
  QCOMPARE(Column(f.valuesGrid(), 0, n), labels);
  QStringList shown = Column(f.valuesGrid(), 1, n);
  // String values come as the file holds them, blank padding and all.
  if (recNo == 3 || recNo == 4)
    for (QString& v : shown) v = v.trimmed();
  QCOMPARE(shown, values);
  for (int c = 2; c < 5; ++c)
    QCOMPARE(Column(f.valuesGrid(), c, n), QStringList(QVector<QString>(n)));
  // Nothing of the previous variable is left below.
  QCOMPARE(f.valuesGrid()->Cell(0, n + 1), QString());
  QCOMPARE(f.valuesGrid()->Cell(1, n + 1), QString());
  QCOMPARE(f.valuesGrid()->Cell(0, 0), QString("Value Label"));
  QCOMPARE(f.valuesGrid()->ColumnLists[0].size(), n + 1);
  QCOMPARE(f.valuesGrid()->Selection().left, -1);
  QVERIFY(!f.frequencyTableShown());
  QCOMPARE(f.valuesGrid()->RowCount(), std::max(f.minValueRows(), n + 1));
}

void ValuesPaneLabelsTest::manyLabelsGrowTheGrid() {
  SavFile many = ManyVariables(1);
  const int count = 80;
  for (int k = 1; k <= count; ++k)
    many.variables[0].numericLabels.push_back({double(k), "Label of " + std::to_string(k)});
  auto file = WriteTemp(many);
  QVERIFY(m_p->Open(file->path()));
  ValuesPane& f = m_p->pane;
  QVERIFY(count + 1 > f.minValueRows());
  QCOMPARE(f.valuesGrid()->RowCount(), count + 1);
  QCOMPARE(f.valuesGrid()->Cell(0, count), QString("Label of 80"));
  QCOMPARE(m_p->countText, QString("80"));
  // The scroll bar that comes with the long list takes its room from the label column.
  // The view lays itself out and shows the scroll bar in posted steps.
  for (int round = 0; round < 3; ++round) QApplication::processEvents();
  QVERIFY(f.valuesGrid()->verticalScrollBar()->isVisible());
  int sum = 0;
  for (int c = 0; c < 5; ++c) sum += f.valuesGrid()->ColWidth(c);
  QCOMPARE(sum, f.valuesGrid()->viewport()->width());
  // Back to a file with few labels: the grid shrinks to what fits.
  QVERIFY(m_p->Open(m_file->path()));
  QCOMPARE(f.valuesGrid()->RowCount(), f.minValueRows());
  // A resize keeps the larger of the two.
  m_p->table.SetRecNo(2);
  m_p->Resize(600, 200);
  QCOMPARE(f.valuesGrid()->RowCount(), std::max(f.minValueRows(), 3));
}

// The window's actions switch the mode; the pane's own part is tested above.
void ValuesPaneLabelsTest::frequenciesShownClick() {
  ShownWindow w;
  w.Open(m_file->path());
  MainWindow& f = w.form;
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
  ValuesGrid* g = m_p->pane.valuesGrid();
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
  m_p->Resize(147, 500);
  QCOMPARE(g->ColWidth(0), 4 * g->fontMetrics().averageCharWidth());
  // Refilling keeps the fitted widths.
  m_p->Resize(600, 500);
  const int fitted = g->ColWidth(0);
  m_p->table.SetRecNo(3);
  QCOMPARE(g->ColWidth(0), fitted);
}

void ValuesPaneLabelsTest::longStringTableWidensTheValueColumn() {
  ValuesPane& f = m_p->pane;
  ValuesGrid* g = f.valuesGrid();
  m_p->table.SetRecNo(4);  // comment, A20
  m_p->Show(true);
  QVERIFY(f.frequencyTableShown());
  const int label = g->ColWidth(0);
  const int value = g->ColWidth(1);
  g->SetColWidth(4, g->ColWidth(4) + 10);
  QCOMPARE(g->ColWidth(0), label);
  QCOMPARE(g->ColWidth(1), value - 10);
  // Labels again: the label column is back at its remembered width.
  m_p->Toggle();
  QVERIFY(!f.frequencyTableShown());
  QCOMPARE(g->ColWidth(0), g->SavedLabelWidth);
  QCOMPARE(g->ColWidth(1), g->SavedValueWidth);
}

QTEST_MAIN(ValuesPaneLabelsTest)
#include "ValuesPaneLabels_test.moc"
