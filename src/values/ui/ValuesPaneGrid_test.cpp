// The filled values grid. On the values pane alone: its sort state,
// selecting and copying, its popup menu, the drawing of its cells, the
// widths of its columns, the statistics box and its keys, and the label
// column across long strings. In the real window: the grid's keys and
// double-clicks, whose effects reach the window and the variables pane.
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>

#include "app/MainWindow.h"
#include "testing/PaneTestSupport.h"
#include "testing/WindowTestSupport.h"
#include "values/FrequencyTable.h"
#include "values/ui/FrequencyRows.h"
#include "values/ui/ValuesGrid.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

QPoint TitlePoint(const ValuesGrid* g, int col) {
  const QHeaderView* h = g->horizontalHeader();
  return QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
}

}  // namespace

class ValuesPaneGridTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void sortStateResetsOnlyForAnotherVariable();
  void copyAndSelectAll();
  void keysReachTheWindow();
  void popupMenuKeepsTheSelection();
  void drawing();
  void numberColumnsFitTheirTexts();
  void valueColumnFitsTheWidestValueOfALongTable();
  void widthCandidatesOfTheWholeTable_data();
  void widthCandidatesOfTheWholeTable();
  void statisticsBoxShowsEveryFigure();
  void labelColumnComesBackAfterALongString();

 private:
  // The pane alone, or the window, showing the frequencies of PaneSortSample().
  ShownValuesPane& Pane();
  ShownWindow& Window();
  ValuesGrid* grid() { return m_p ? m_p->pane.valuesGrid() : m_w->form.valuesPane().valuesGrid(); }
  void ClickTitle(int col, bool doubleClick = false) {
    QWidget* titles = grid()->horizontalHeader()->viewport();
    QTest::mouseClick(titles, Qt::LeftButton, {}, TitlePoint(grid(), col));
    // The second press of a double-click arrives as the double-click.
    if (doubleClick) QTest::mouseDClick(titles, Qt::LeftButton, {}, TitlePoint(grid(), col));
  }
  std::unique_ptr<ShownValuesPane> m_p;
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

void ValuesPaneGridTest::init() { m_file = WriteTemp(PaneSortSample()); }

void ValuesPaneGridTest::cleanup() {
  m_p.reset();
  m_w.reset();
  m_file.reset();
}

ShownValuesPane& ValuesPaneGridTest::Pane() {
  m_p = std::make_unique<ShownValuesPane>();
  m_p->pane.SetFrequenciesMode(true);
  if (!m_p->Open(m_file->path()) || !m_p->pane.frequencyTableShown())
    qFatal("no frequency table of %s", m_file->path().c_str());
  return *m_p;
}

ShownWindow& ValuesPaneGridTest::Window() {
  m_w = std::make_unique<ShownWindow>();
  m_w->form.FrequenciesShownClick();
  m_w->Open(m_file->path());
  if (!m_w->form.valuesPane().frequencyTableShown())
    qFatal("no frequency table of %s", m_file->path().c_str());
  return *m_w;
}

void ValuesPaneGridTest::sortStateResetsOnlyForAnotherVariable() {
  ValuesPane& f = Pane().pane;
  ClickTitle(0);
  m_p->Toggle();
  m_p->Toggle();
  QCOMPARE(f.sortKey(), 0);
  m_p->table.SetRecNo(3);
  QCOMPARE(f.sortKey(), 1);
  QVERIFY(!f.sortDescending());
  ClickTitle(0);
  QVERIFY(m_p->Open(m_file->path()));
  QCOMPARE(f.sortKey(), 1);
}

void ValuesPaneGridTest::copyAndSelectAll() {
  ValuesPane& f = Pane().pane;
  ValuesGrid* g = grid();
  // Nothing is selected after a fill: nothing is copied.
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_p->Count("SetClipboardText"), 0);
  g->SetSelection({1, 1, 2, 2});
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(m_p->ui.clipboard, QString("  1\t9\t\r\n  2\t10\t\r\n"));
  g->SetSelection({2, 3, 2, 3});
  f.copyAction()->trigger();
  QCOMPARE(m_p->ui.clipboard, QString("1\t\r\n"));
  // A sorted table copies its rows as they are shown.
  ClickTitle(2);
  ClickTitle(2);
  g->SetSelection({0, 1, 4, 4});
  f.copyAction()->trigger();
  QString shown;
  for (int r = 1; r <= 4; ++r) {
    for (int c = 0; c < 5; ++c) shown += g->Cell(c, r) + '\t';
    shown += "\r\n";
  }
  QCOMPARE(m_p->ui.clipboard, shown);
  QVERIFY(m_p->ui.clipboard.startsWith("Zebra\t  4\t10\t"));
  f.CopySelectionToClip(f.statisticsText());
  QCOMPARE(m_p->ui.clipboard, QString());
  QTest::keyClick(g, Qt::Key_A, Qt::ControlModifier);
  const ValuesGrid::GridRect all = g->Selection();
  QCOMPARE((QList<int>{all.left, all.top, all.right, all.bottom}), (QList<int>{0, 1, 4, 4}));
  f.SetFrequenciesMode(false);
  m_p->table.SetRecNo(3);  // no labels: nothing to select
  f.SelectAllValuesClick();
  QCOMPARE(g->Selection().left, -1);
}

// Enter, F8, Ctrl+D, Backspace and double-clicks: what the grid asks for
// happens in the window.
void ValuesPaneGridTest::keysReachTheWindow() {
  MainWindow& f = Window().form;
  ValuesGrid* g = grid();
  QTest::keyClick(g, Qt::Key_Return);
  QVERIFY(!f.valuesPane().frequencyTableShown());
  QTest::keyClick(g, Qt::Key_Enter);
  QVERIFY(f.valuesPane().frequencyTableShown());
  f.variablesPane().findNameEdit()->setText("v");
  QTest::keyClick(g, Qt::Key_F8);
  QVERIFY(f.variablesPane().filterCheck()->isChecked());
  QTest::keyClick(g, Qt::Key_F8);
  QVERIFY(!f.variablesPane().filterCheck()->isChecked());
  QTest::keyClick(g, Qt::Key_D, Qt::ControlModifier);  // no document lines: nothing
  QCOMPARE(m_w->ui.calls.size(), 1);
  QTest::keyClick(g, Qt::Key_Backspace);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.variablesPane().findNameEdit()));

  // A double-click on a data cell or beside the titles switches the display.
  const QPoint cell = g->visualRect(g->model()->index(0, 1)).center();
  QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cell);
  QVERIFY(!f.valuesPane().frequencyTableShown());
  const QHeaderView* h = g->horizontalHeader();
  const QPoint beside(h->sectionViewportPosition(4) + h->sectionSize(4) + 5, h->height() / 2);
  if (beside.x() < h->width()) {
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, beside);
    QVERIFY(!f.valuesPane().frequencyTableShown());
    QTest::mouseDClick(h->viewport(), Qt::LeftButton, {}, beside);
    QVERIFY(f.valuesPane().frequencyTableShown());
  }
}

void ValuesPaneGridTest::popupMenuKeepsTheSelection() {
  ValuesPane& f = Pane().pane;
  ValuesGrid* g = grid();
  // A right click opens the menu without touching the selection.
  const QPoint cell = g->visualRect(g->model()->index(0, 1)).center();
  QTest::mouseClick(g->viewport(), Qt::RightButton, {}, cell);
  QVERIFY(f.valuesMenu()->isVisible());
  QVERIFY(!f.copyAction()->isEnabled());
  f.valuesMenu()->hide();
  g->SetSelection({0, 2, 1, 3});
  QTest::mouseClick(g->viewport(), Qt::RightButton, {}, cell);
  QVERIFY(f.copyAction()->isEnabled());
  QCOMPARE(g->Selection().top, 2);
  f.valuesMenu()->hide();
}

void ValuesPaneGridTest::drawing() {
  ShownValuesPane& p = Pane();
  ValuesPane& f = p.pane;
  struct Case {
    int col, row;
    bool weighted, selected;
    QColor text, background;
    Qt::Alignment horizontal;
  } cases[] = {
      {2, 1, false, false, f.countColor(), Qt::white, Qt::AlignRight},
      {2, 1, true, false, f.countColor(), QColor(255, 255, 240), Qt::AlignRight},
      {2, 1, true, true, f.countColor(), Qt::white, Qt::AlignRight},
      {2, 0, true, false, Qt::black, Qt::white, Qt::AlignRight},
      {1, 1, true, false, Qt::black, Qt::white, Qt::AlignRight},  // numeric value
      {0, 1, true, false, Qt::black, Qt::white, Qt::AlignLeft},
  };
  for (const Case& c : cases) {
    // Weighted by the first numeric variable, or not weighted.
    p.weighting.FillWeightList(p.table, std::string());
    p.weighting.WeightChosen(c.weighted ? 1 : 0);
    p.weighting.WeightButtonClick(c.weighted);
    QCOMPARE(p.weighting.WeightingOn(), c.weighted);
    QColor background = Qt::white;
    QColor text = Qt::black;
    Qt::Alignment align;
    f.ValuesGridDrawCell(c.col, c.row, c.selected, background, text, align);
    QCOMPARE(text, c.text);
    QCOMPARE(background, c.background);
    QCOMPARE(align & Qt::AlignHorizontal_Mask, c.horizontal);
  }
  m_p->table.SetRecNo(2);  // a string's values are left-aligned
  QColor background, text;
  Qt::Alignment align;
  f.ValuesGridDrawCell(1, 1, false, background, text, align);
  QCOMPARE(align & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

void ValuesPaneGridTest::numberColumnsFitTheirTexts() {
  Pane();
  ValuesGrid* g = grid();
  g->SetColWidth(1, 8);
  g->SetColWidth(2, 8);
  m_p->Toggle();
  m_p->Toggle();
  const QFontMetrics metrics = g->fontMetrics();
  QVERIFY(g->ColWidth(2) >= metrics.horizontalAdvance("10") + 4);
  QVERIFY(g->ColWidth(1) >= metrics.horizontalAdvance("  4") + 4);
  int sum = 0;
  for (int c = 0; c < 5; ++c) sum += g->ColWidth(c);
  QCOMPARE(sum, g->viewport()->width());
}

void ValuesPaneGridTest::valueColumnFitsTheWidestValueOfALongTable() {
  // More distinct values than are all measured; F8.0 pads each with leading
  // blanks, so "1" is as long a text as "250000".
  TempFile file;
  {
    SavFile f;
    Variable id = Variable::numeric("id");
    id.print = Format{5, 8, 0};
    f.variables = {id};
    SavStreamWriter writer(f, file.path());
    for (int i = 1; i <= 250000; ++i) writer.appendCase({double(i)});
    writer.finish();
  }
  ValuesPane& f = Pane().pane;
  ValuesGrid* g = grid();
  QVERIFY(m_p->Open(file.path()));
  QCOMPARE(f.valueRowCount(), 250000);
  // Padded with leading blanks to the format's width, as long as the last.
  QCOMPARE(g->Cell(1, 1).trimmed(), QString("1"));
  const QString last = g->Cell(1, 250000);
  QCOMPARE(last.trimmed(), QString("250000"));
  QCOMPARE(g->Cell(1, 1).size(), last.size());
  // The text sits 2 pixels inside each edge of the column.
  const int needed = g->fontMetrics().horizontalAdvance(last) + 4;
  QVERIFY2(g->ColWidth(1) >= needed,
           qPrintable(QString("%1 < %2").arg(g->ColWidth(1)).arg(needed)));
}

void ValuesPaneGridTest::widthCandidatesOfTheWholeTable_data() {
  QTest::addColumn<int>("rows");
  QTest::addColumn<int>("widestRow");   // where the widest value stands
  QTest::addColumn<QString>("widest");  // without its padding
  QTest::newRow("short table, widest last") << 1000 << 999 << "1000";
  QTest::newRow("short table, widest first") << 1000 << 0 << "99999999";
  QTest::newRow("long table, widest in the middle") << 250000 << 125000 << "99999999";
  QTest::newRow("long table, widest last") << 250000 << 249999 << "250000";
}

void ValuesPaneGridTest::widthCandidatesOfTheWholeTable() {
  QFETCH(int, rows);
  QFETCH(int, widestRow);
  QFETCH(QString, widest);
  FrequencyTable::Layout layout;
  layout.format = PrintFormat{5, 8, 0};
  layout.sysmis = -1e300;
  layout.total = rows;
  layout.valid = rows;
  auto table = std::make_shared<FrequencyTable>(layout, false);
  for (int r = 0; r < rows; ++r) {
    const double value = r == widestRow && widest.startsWith('9') ? 99999999.0 : r + 1;
    table->AddNumber(value, 1, 1, true, -1);
  }
  const QStringList candidates = FrequencyRows(table).WidthCandidates(1);
  QVERIFY(!candidates.isEmpty());
  // The widest is offered, and only texts with as many digits besides it.
  bool offered = false;
  for (const QString& c : candidates) {
    offered = offered || c.trimmed() == widest;
    QCOMPARE(c.trimmed().size(), widest.size());
  }
  QVERIFY2(offered, qPrintable(candidates.join('|')));
}

void ValuesPaneGridTest::statisticsBoxShowsEveryFigure() {
  ValuesPane& f = Pane().pane;
  QPlainTextEdit* memo = f.statisticsText();
  QVERIFY(memo->isVisible());
  const QString counted = memo->toPlainText();
  auto allInView = [memo] {
    QApplication::processEvents();
    const int lines = memo->document()->blockCount();
    return memo->horizontalScrollBar()->maximum() == 0 &&
           lines * memo->fontMetrics().lineSpacing() <= memo->viewport()->height();
  };
  QVERIFY(allInView());
  QCOMPARE(memo->document()->blockCount(), 3);
  // A pane as wide as the five design columns shows all; narrower still,
  // two pairs a line.
  m_p->Resize(365, 500);
  QVERIFY(allInView());
  m_p->Resize(230, 500);
  QVERIFY(allInView());
  QCOMPARE(memo->document()->blockCount(), 5);
  // Ctrl+A and Ctrl+C copy what the box shows.
  memo->setFocus();
  QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_p->ui.clipboard, memo->toPlainText());
  QVERIFY(m_p->ui.clipboard.startsWith("valid\t30\tminimum\t"));
  auto fields = [](const QString& text) {
    QStringList all = text.split(QRegularExpression("[\t\n]"));
    all.sort();
    return all;
  };
  QCOMPARE(fields(m_p->ui.clipboard), fields(counted));
}

void ValuesPaneGridTest::labelColumnComesBackAfterALongString() {
  // Enough cases for a pass to handle events on the way, and a long string
  // of many distinct values.
  SavFile sample = PaneSortSample();
  for (int k = 0; k < 2000; ++k) sample.cases.push_back({5.0, "text" + std::to_string(k), 1.0});
  ShownValuesPane& p = Pane();
  m_file = WriteTemp(sample);
  QVERIFY(p.Open(m_file->path()));
  ValuesGrid* g = grid();
  const int label = g->ColWidth(0);
  QVERIFY(label > 40);
  auto show = [&](int recNo) {
    p.table.SetRecNo(recNo);
    QTest::qWait(20);
  };
  show(2);
  QCOMPARE(g->ColWidth(0), 0);
  show(3);
  QCOMPARE(g->ColWidth(0), label);
  show(2);
  p.Toggle();  // the labels list of a long string
  QCOMPARE(g->ColWidth(0), label);
  p.Toggle();
  show(1);
  p.Toggle();
  QCOMPARE(g->ColWidth(0), label);
  show(2);
  p.Close();
  QCOMPARE(g->ColWidth(0), label);
  QVERIFY(p.Open(m_file->path()));
  QCOMPARE(g->ColWidth(0), label);
}

QTEST_MAIN(ValuesPaneGridTest)
#include "ValuesPaneGrid_test.moc"
