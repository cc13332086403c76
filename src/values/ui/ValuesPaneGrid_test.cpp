// The filled values grid in the real window: sorting by its titles and F5,
// selecting and copying, its keys and popup menu, the drawing of its cells,
// the statistics box's keys, and the label column across long strings.
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTextDocument>

#include "app/MainWindow.h"
#include "testing/WindowTestSupport.h"
#include "values/FrequencyTable.h"
#include "values/ui/FrequencyRows.h"
#include "values/ui/ValuesGrid.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

// v: values 1..4 labelled apple, Zebra, (none), Zebra, counted 9, 10, 1, 10.
// s: one long string. n: a plain number.
SavFile SortSample() {
  SavFile f;
  Variable v = Variable::numeric("v", "Sorted");
  v.print = Format{5, 2, 0};
  v.numericLabels = {{1, "apple"}, {2, "Zebra"}, {4, "Zebra"}};
  Variable s = Variable::string("s", 20, "Long");
  Variable n = Variable::numeric("n", "Number");
  f.variables = {v, s, n};
  const int counts[] = {9, 10, 1, 10};
  for (int value = 1; value <= 4; ++value)
    for (int k = 0; k < counts[value - 1]; ++k)
      f.cases.push_back({double(value), std::string("text"), double(k % 3 + 1)});
  return f;
}

// The values column's shown rows, blanks trimmed.
QString ShownValues(const ValuesGrid* g) {
  QStringList values;
  for (int r = 1; r < g->FillRows(); ++r) values << g->Cell(1, r).trimmed();
  return values.join(' ');
}

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
  void keysAndPopupMenu();
  void drawing();
  void numberColumnsFitTheirTexts();
  void valueColumnFitsTheWidestValueOfALongTable();
  void widthCandidatesOfTheWholeTable_data();
  void widthCandidatesOfTheWholeTable();
  void statisticsBoxShowsEveryFigure();
  void labelColumnComesBackAfterALongString();

 private:
  MainWindow& form() { return m_w->form; }
  ValuesGrid* grid() { return m_w->form.valuesPane().valuesGrid(); }
  void ClickTitle(int col, bool doubleClick = false) {
    QWidget* titles = grid()->horizontalHeader()->viewport();
    QTest::mouseClick(titles, Qt::LeftButton, {}, TitlePoint(grid(), col));
    // The second press of a double-click arrives as the double-click.
    if (doubleClick) QTest::mouseDClick(titles, Qt::LeftButton, {}, TitlePoint(grid(), col));
  }
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

void ValuesPaneGridTest::init() {
  m_w = std::make_unique<ShownWindow>();
  m_file = WriteTemp(SortSample());
  m_w->form.FrequenciesShownClick();
  m_w->Open(m_file->path());
  QVERIFY(m_w->form.valuesPane().frequencyTableShown());
}

void ValuesPaneGridTest::cleanup() {
  m_w.reset();
  m_file.reset();
}

void ValuesPaneGridTest::sortStateResetsOnlyForAnotherVariable() {
  MainWindow& f = form();
  ClickTitle(0);
  f.ToggleDisplayLabels();
  f.ToggleDisplayLabels();
  QCOMPARE(f.valuesPane().sortKey(), 0);
  f.variablesPane().variableList().SetRecNo(3);
  QCOMPARE(f.valuesPane().sortKey(), 1);
  QVERIFY(!f.valuesPane().sortDescending());
  ClickTitle(0);
  f.OpenDataFile(QString::fromStdString(m_file->path()));
  QCOMPARE(f.valuesPane().sortKey(), 1);
}

void ValuesPaneGridTest::copyAndSelectAll() {
  MainWindow& f = form();
  ValuesGrid* g = grid();
  // Nothing is selected after a fill: nothing is copied.
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->Count("SetClipboardText"), 0);
  g->SetSelection({1, 1, 2, 2});
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(m_w->ui.clipboard, QString("  1\t9\t\r\n  2\t10\t\r\n"));
  g->SetSelection({2, 3, 2, 3});
  f.valuesPane().copyAction()->trigger();
  QCOMPARE(m_w->ui.clipboard, QString("1\t\r\n"));
  // A sorted table copies its rows as they are shown.
  ClickTitle(2);
  ClickTitle(2);
  g->SetSelection({0, 1, 4, 4});
  f.valuesPane().copyAction()->trigger();
  QString shown;
  for (int r = 1; r <= 4; ++r) {
    for (int c = 0; c < 5; ++c) shown += g->Cell(c, r) + '\t';
    shown += "\r\n";
  }
  QCOMPARE(m_w->ui.clipboard, shown);
  QVERIFY(m_w->ui.clipboard.startsWith("Zebra\t  4\t10\t"));
  f.valuesPane().CopySelectionToClip(f.valuesPane().statisticsText());
  QCOMPARE(m_w->ui.clipboard, QString());
  QTest::keyClick(g, Qt::Key_A, Qt::ControlModifier);
  const ValuesGrid::GridRect all = g->Selection();
  QCOMPARE((QList<int>{all.left, all.top, all.right, all.bottom}), (QList<int>{0, 1, 4, 4}));
  f.FrequenciesShownClick();
  f.variablesPane().variableList().SetRecNo(3);  // no labels: nothing to select
  f.valuesPane().SelectAllValuesClick();
  QCOMPARE(g->Selection().left, -1);
}

void ValuesPaneGridTest::keysAndPopupMenu() {
  MainWindow& f = form();
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

  // A right click opens the menu without touching the selection.
  const QPoint cell = g->visualRect(g->model()->index(0, 1)).center();
  QTest::mouseClick(g->viewport(), Qt::RightButton, {}, cell);
  QVERIFY(f.valuesPane().valuesMenu()->isVisible());
  QVERIFY(!f.valuesPane().copyAction()->isEnabled());
  f.valuesPane().valuesMenu()->hide();
  g->SetSelection({0, 2, 1, 3});
  QTest::mouseClick(g->viewport(), Qt::RightButton, {}, cell);
  QVERIFY(f.valuesPane().copyAction()->isEnabled());
  QCOMPARE(g->Selection().top, 2);
  f.valuesPane().valuesMenu()->hide();
  // A double-click on a data cell or beside the titles switches the display.
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

void ValuesPaneGridTest::drawing() {
  MainWindow& f = form();
  struct Case {
    int col, row;
    bool weighted, selected;
    QColor text, background;
    Qt::Alignment horizontal;
  } cases[] = {
      {2, 1, false, false, f.valuesPane().countColor(), Qt::white, Qt::AlignRight},
      {2, 1, true, false, f.valuesPane().countColor(), QColor(255, 255, 240), Qt::AlignRight},
      {2, 1, true, true, f.valuesPane().countColor(), Qt::white, Qt::AlignRight},
      {2, 0, true, false, Qt::black, Qt::white, Qt::AlignRight},
      {1, 1, true, false, Qt::black, Qt::white, Qt::AlignRight},  // numeric value
      {0, 1, true, false, Qt::black, Qt::white, Qt::AlignLeft},
  };
  for (const Case& c : cases) {
    // Weighted by the first numeric variable, or not weighted.
    f.weighting().FillWeightList();
    f.weighting().WeightChosen(c.weighted ? 1 : 0);
    f.weighting().WeightButtonClick(c.weighted);
    QCOMPARE(f.WeightingOn(), c.weighted);
    QColor background = Qt::white;
    QColor text = Qt::black;
    Qt::Alignment align;
    f.valuesPane().ValuesGridDrawCell(c.col, c.row, c.selected, background, text, align);
    QCOMPARE(text, c.text);
    QCOMPARE(background, c.background);
    QCOMPARE(align & Qt::AlignHorizontal_Mask, c.horizontal);
  }
  f.variablesPane().variableList().SetRecNo(2);  // a string's values are left-aligned
  QColor background, text;
  Qt::Alignment align;
  f.valuesPane().ValuesGridDrawCell(1, 1, false, background, text, align);
  QCOMPARE(align & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

void ValuesPaneGridTest::numberColumnsFitTheirTexts() {
  MainWindow& f = form();
  ValuesGrid* g = grid();
  g->SetColWidth(1, 8);
  g->SetColWidth(2, 8);
  f.ToggleDisplayLabels();
  f.ToggleDisplayLabels();
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
  MainWindow& f = form();
  ValuesGrid* g = grid();
  m_w->Open(file.path());
  QCOMPARE(f.valuesPane().valueRowCount(), 250000);
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
  MainWindow& f = form();
  QPlainTextEdit* memo = f.valuesPane().statisticsText();
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
  Splitter(f)->setSizes({Splitter(f)->width() - 368, 365});
  QVERIFY(allInView());
  Splitter(f)->setSizes({Splitter(f)->width() - 233, 230});
  QVERIFY(allInView());
  QCOMPARE(memo->document()->blockCount(), 5);
  // Ctrl+A and Ctrl+C copy what the box shows.
  memo->setFocus();
  QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, memo->toPlainText());
  QVERIFY(m_w->ui.clipboard.startsWith("valid\t30\tminimum\t"));
  auto fields = [](const QString& text) {
    QStringList all = text.split(QRegularExpression("[\t\n]"));
    all.sort();
    return all;
  };
  QCOMPARE(fields(m_w->ui.clipboard), fields(counted));
}

void ValuesPaneGridTest::labelColumnComesBackAfterALongString() {
  // Enough cases for the window to handle its events during a pass, and a
  // long string of many distinct values.
  SavFile sample = SortSample();
  for (int k = 0; k < 2000; ++k) sample.cases.push_back({5.0, "text" + std::to_string(k), 1.0});
  m_file = WriteTemp(sample);
  MainWindow& f = form();
  m_w->Open(m_file->path());
  ValuesGrid* g = grid();
  const int label = g->ColWidth(0);
  QVERIFY(label > 40);
  auto show = [&](int recNo) {
    f.variablesPane().variableList().SetRecNo(recNo);
    QTest::qWait(20);
  };
  show(2);
  QCOMPARE(g->ColWidth(0), 0);
  show(3);
  QCOMPARE(g->ColWidth(0), label);
  show(2);
  f.ToggleDisplayLabels();  // the labels list of a long string
  QCOMPARE(g->ColWidth(0), label);
  f.ToggleDisplayLabels();
  show(1);
  f.ToggleDisplayLabels();
  QCOMPARE(g->ColWidth(0), label);
  show(2);
  f.CloseItemClick();
  QCOMPARE(g->ColWidth(0), label);
  m_w->Open(m_file->path());
  QCOMPARE(g->ColWidth(0), label);
}

QTEST_MAIN(ValuesPaneGridTest)
#include "ValuesPaneGrid_test.moc"
