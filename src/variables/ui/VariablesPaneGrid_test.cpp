// The variables grid's handlers in the real window: the status bar, keys,
// marks by mouse, sorting, hidden columns and the label column's width.
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QSplitter>
#include <QTest>

#include "app/MainWindow.h"
#include "testing/WindowTestSupport.h"
#include "variables/ui/VariablesGrid.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

// View positions (1-based) of the marked records.
QList<int> MarkedPositions(const MainWindow& f) {
  QList<int> positions;
  for (int row = 0; row < f.variablesPane().variableList().RecordCount(); ++row)
    if (f.variablesPane().variablesGrid()->IsMarked(
            f.variablesPane().variableList().BookmarkAt(row)))
      positions << row + 1;
  return positions;
}

// Clicks the title of a grid column.
void ClickTitle(MainWindow& f, int column) {
  QHeaderView* header = f.variablesPane().variablesGrid()->horizontalHeader();
  const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(x, header->height() / 2));
}

int ExpectedLabelWidth(const MainWindow& f) {
  int others = 0;
  for (int c = 0; c < VariablesGrid::kColumns; ++c)
    if (c != 1)
      others += f.variablesPane().variablesGrid()->ColVisible(c)
                    ? f.variablesPane().variablesGrid()->ColWidth(c)
                    : -1;
  // The pane keeps room for five hidden columns.
  const int chrome = f.variablesPane().variablesGrid()->width() -
                     f.variablesPane().variablesGrid()->viewport()->width() + 5;
  return std::max(0, f.variablesPane().variablesGrid()->width() - chrome - others);
}

}  // namespace

class VariablesPaneGridTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void statusBarFollowsTheCursor();
  void statusBarCountsTheFileNotTheView();
  void shiftClickMarksFromTheAnchor_data();
  void shiftClickMarksFromTheAnchor();
  void titleClicksSortTwice();
  void titlesShowTheSortDirection();
  void f5RestoresAndReversesFileOrder();
  void hideColumns_data();
  void hideColumns();
  void labelColumnFillsTheGrid();

 private:
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

void VariablesPaneGridTest::init() {
  m_w = std::make_unique<ShownWindow>();
  m_file = WriteTemp(ManyVariables(60));
  m_w->Open(m_file->path());
  m_w->form.variablesPane().variablesGrid()->setFocus();
}

void VariablesPaneGridTest::cleanup() {
  m_w.reset();
  m_file.reset();
}

void VariablesPaneGridTest::statusBarFollowsTheCursor() {
  MainWindow& f = m_w->form;
  m_w->Key(Qt::Key_Down);
  m_w->Key(Qt::Key_Down);
  QCOMPARE(f.StatusText(0), QString("3/60"));
  QCOMPARE(f.StatusText(1), QString("Label 3"));
  m_w->Key(Qt::Key_End);
  QCOMPARE(f.StatusText(0), QString("60/60"));
  QCOMPARE(f.StatusText(1), QString("Label 60"));
  m_w->ClickRow(0);
  QCOMPARE(f.StatusText(0), QString("%1/60").arg(f.variablesPane().variableList().RecNo()));
}

void VariablesPaneGridTest::statusBarCountsTheFileNotTheView() {
  MainWindow& f = m_w->form;
  // A view of v1, v10..v19 and v60 style names: those containing a 1.
  f.variablesPane().variableList().SetOnFilterRecord([](VariableList& t, bool& accept) {
    accept = t.FieldAsText("VarName").find('1') != std::string::npos;
  });
  f.variablesPane().variableList().SetFiltered(true);
  f.variablesPane().variableList().Refilter();
  f.variablesPane().variableList().SetRecNo(2);
  QCOMPARE(f.StatusText(0), QString("2/60"));
  QCOMPARE(f.StatusText(1), QString("Label 10"));
}

void VariablesPaneGridTest::shiftClickMarksFromTheAnchor_data() {
  QTest::addColumn<int>("anchor");  // view position
  QTest::addColumn<int>("target");
  QTest::newRow("down") << 2 << 5;
  QTest::newRow("up") << 6 << 3;
  QTest::newRow("on the anchor") << 4 << 4;
}

void VariablesPaneGridTest::shiftClickMarksFromTheAnchor() {
  QFETCH(int, anchor);
  QFETCH(int, target);
  MainWindow& f = m_w->form;
  m_w->ClickRow(anchor - 1);
  QCOMPARE(f.variablesPane().variableList().RecNo(), anchor);
  m_w->ClickRow(target - 1, Qt::ShiftModifier);
  QList<int> expected;
  for (int p = std::min(anchor, target); p <= std::max(anchor, target); ++p) expected << p;
  QCOMPARE(MarkedPositions(f), expected);
  QCOMPARE(f.variablesPane().variableList().RecNo(), target);
  QCOMPARE(f.StatusText(0), QString("%1/60").arg(target));
  QVERIFY(f.variablesPane().variablesGrid()->MultiSelect());
  QVERIFY(!f.variablesPane().variablesGrid()->ColMoving());
  // A second Shift+click extends from the new current record; earlier marks stay.
  m_w->ClickRow(target + 1, Qt::ShiftModifier);
  expected << target + 1 << target + 2;
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  QCOMPARE(MarkedPositions(f), expected);
}

void VariablesPaneGridTest::titleClicksSortTwice() {
  auto sample = WriteTemp(SampleDictionary());
  m_w->Open(sample->path());
  MainWindow& f = m_w->form;
  m_w->ClickRow(2, Qt::ControlModifier);
  ClickTitle(f, 0);
  QCOMPARE(m_w->GridNames(), QStringList({"age", "born", "city", "comment", "id", "score", "sex"}));
  QVERIFY(MarkedPositions(f).isEmpty());
  QCOMPARE(f.variablesPane().variableList().RecNo(), 1);
  QCOMPARE(f.StatusText(0), QString("1/7"));
  QCOMPARE(f.StatusText(1), QString("Age in years"));
  ClickTitle(f, 0);
  QCOMPARE(m_w->GridNames(), QStringList({"sex", "score", "id", "comment", "city", "born", "age"}));
  // Another title: ascending by its text (A20 < A8 < DATE11 < F1 < F3 < F8 ...).
  ClickTitle(f, 3);
  QCOMPARE(m_w->GridNames().first(), QString("comment"));
  QCOMPARE(m_w->GridNames().at(1), QString("city"));
  QCOMPARE(m_w->GridNames().at(2), QString("born"));
}

void VariablesPaneGridTest::titlesShowTheSortDirection() {
  auto sample = WriteTemp(SampleDictionary());
  m_w->Open(sample->path());
  MainWindow& f = m_w->form;
  const QHeaderView* header = f.variablesPane().variablesGrid()->horizontalHeader();
  QVERIFY(!header->isSortIndicatorShown());
  const struct {
    int column;
    bool shown;
    Qt::SortOrder order;
  } steps[] = {
      {0, true, Qt::AscendingOrder}, {0, true, Qt::DescendingOrder}, {0, true, Qt::AscendingOrder},
      {2, true, Qt::AscendingOrder}, {3, true, Qt::AscendingOrder},  {3, true, Qt::DescendingOrder},
      {1, true, Qt::AscendingOrder},
  };
  for (const auto& s : steps) {
    ClickTitle(f, s.column);
    // The title row's own click handling does not turn the mark again.
    QCOMPARE(header->isSortIndicatorShown(), s.shown);
    QCOMPARE(header->sortIndicatorSection(), s.column);
    QCOMPARE(header->sortIndicatorOrder(), s.order);
  }
  // F5 brings the file order: no column is sorted.
  f.variablesPane().variablesGrid()->setFocus();
  m_w->Key(Qt::Key_F5);
  QVERIFY(!header->isSortIndicatorShown());
  ClickTitle(f, 1);
  QVERIFY(header->isSortIndicatorShown());
  // A file opened anew is in file order.
  m_w->Open(sample->path());
  QVERIFY(!header->isSortIndicatorShown());
}

void VariablesPaneGridTest::f5RestoresAndReversesFileOrder() {
  auto sample = WriteTemp(SampleDictionary());
  m_w->Open(sample->path());
  MainWindow& f = m_w->form;
  const QStringList fileOrder{"id", "sex", "city", "comment", "score", "born", "age"};
  ClickTitle(f, 1);
  QVERIFY(m_w->GridNames() != fileOrder);
  f.variablesPane().variablesGrid()->setFocus();
  m_w->Key(Qt::Key_F5);
  QCOMPARE(m_w->GridNames(), fileOrder);
  m_w->Key(Qt::Key_F5);
  QStringList reversed = fileOrder;
  std::reverse(reversed.begin(), reversed.end());
  QCOMPARE(m_w->GridNames(), reversed);
  QCOMPARE(f.StatusText(0), QString("1/7"));
  QCOMPARE(f.StatusText(1), QString("Age in years"));
}

void VariablesPaneGridTest::hideColumns_data() {
  QTest::addColumn<int>("column");
  QTest::newRow("Missing") << 2;
  QTest::newRow("Format") << 3;
}

void VariablesPaneGridTest::hideColumns() {
  QFETCH(int, column);
  MainWindow& f = m_w->form;
  QAction* item = column == 2 ? f.variablesPane().hideColumnItem(VariablesPane::HideMissing)
                              : f.variablesPane().hideColumnItem(VariablesPane::HideFormat);
  const int labelWidth = f.variablesPane().variablesGrid()->ColWidth(1);
  const int columnWidth = f.variablesPane().variablesGrid()->ColWidth(column);
  item->trigger();
  QVERIFY(item->isChecked());
  QVERIFY(!f.variablesPane().variablesGrid()->ColVisible(column));
  // The label column takes the hidden column's room plus one pixel.
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(1), labelWidth + columnWidth + 1);
  item->trigger();
  QVERIFY(!item->isChecked());
  QVERIFY(f.variablesPane().variablesGrid()->ColVisible(column));
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(1), labelWidth);
}

void VariablesPaneGridTest::labelColumnFillsTheGrid() {
  MainWindow& f = m_w->form;
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(1), ExpectedLabelWidth(f));
  // Dragging another column wider narrows the label column.
  f.variablesPane().variablesGrid()->SetColWidth(
      0, f.variablesPane().variablesGrid()->ColWidth(0) + 30);
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(1), ExpectedLabelWidth(f));
  // The splitter re-fits it.
  Splitter(f)->setSizes({f.variablesPane().variablesGrid()->width() + 80,
                         Splitter(f)->width() - f.variablesPane().variablesGrid()->width() - 83});
  f.SplitterMoved();
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(1), ExpectedLabelWidth(f));
  // Narrower than the other columns: the label column shrinks to nothing, not below.
  Splitter(f)->setSizes({100, Splitter(f)->width() - 103});
  f.SplitterMoved();
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(1), 0);
}

QTEST_MAIN(VariablesPaneGridTest)
#include "VariablesPaneGrid_test.moc"
