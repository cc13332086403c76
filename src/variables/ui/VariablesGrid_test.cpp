#include "variables/ui/VariablesGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>
#include <vector>

#include "variables/ui/VariableTableModel.h"

using brindle::Bookmark;
using brindle::VariablesGrid;
using brindle::VariableList;
using brindle::VarRecord;

namespace {

constexpr int kRecords = 60;

void Load(VariableList& table, int count) {
  table.Close();
  table.Open();
  for (int i = 1; i <= count; ++i) {
    VarRecord r;
    r.RecId = i;
    r.VarName = "v" + std::to_string(1000 + i);
    r.VarLabel = "Label of variable " + std::to_string(i);
    r.VarType = i % 3 == 0 ? 8 : 0;
    r.PrintFmt = "F8.2";
    table.AppendRecord(r);
  }
  table.EndLoad();
}

}  // namespace

class VariablesGridTest : public QObject {
  Q_OBJECT

 private:
  VariableList m_table;
  std::unique_ptr<VariablesGrid> m_grid;
  int m_scrolls = 0;

  // Centre of a cell of a view row (0-based model row) in grid coordinates;
  // the row must be visible.
  QPoint RowPoint(int row, int col = 0) const {
    const QRect r = m_grid->visualRect(m_grid->Model()->index(row, col));
    return m_grid->viewport()->mapTo(m_grid.get(), r.center());
  }
  void Press(int row, Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(m_grid->viewport(), button, mods,
                      m_grid->viewport()->mapFrom(m_grid.get(), RowPoint(row)));
  }
  // Record positions (1-based) of the marks, in their order.
  std::vector<int> MarkedPositions() const {
    std::vector<int> out;
    for (Bookmark bm : m_grid->SelectedRows()) {
      for (int row = 0; row < m_table.RecordCount(); ++row) {
        if (m_table.BookmarkAt(row) == bm) out.push_back(row + 1);
      }
    }
    return out;
  }
  void MarkPositions(std::initializer_list<int> positions) {
    for (int p : positions) m_grid->Mark(m_table.BookmarkAt(p - 1));
  }
  QPoint TitlePoint(int col, int dx = 0) const {
    QHeaderView* h = m_grid->horizontalHeader();
    return QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2 + dx, h->height() / 2);
  }

 private slots:
  void init() {
    // The table outlives the tests; its sort settings start afresh each time.
    m_table.SetSortedField("");
    m_table.SetSortOptions({brindle::soCaseInsensitive});
    Load(m_table, kRecords);
    m_scrolls = 0;
    m_table.SetAfterScroll([this](VariableList&) { ++m_scrolls; });
    m_grid = std::make_unique<VariablesGrid>();
    m_grid->resize(420, 300);
    m_grid->SetDataSet(&m_table);
    m_grid->SetColWidth(0, 66);
    m_grid->SetColWidth(1, 175);
    m_grid->SetCellHints(true);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
  }
  void cleanup() {
    m_grid.reset();
    m_table.DetachAfterScroll();
  }

  void modelShowsTheTablesView() {
    brindle::VariableTableModel* model = m_grid->Model();
    QCOMPARE(model->rowCount(), kRecords);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("Variable Label"));
    QCOMPARE(model->data(model->index(2, 0)).toString(), QString("v1003"));
    QCOMPARE(model->data(model->index(2, 3)).toString(), QString("F8.2"));
    QCOMPARE(model->data(model->index(2, 4)).toString(), QString());
    QVERIFY(!m_grid->ColVisible(4));

    // Sorting resets the model; widths and the hidden column survive, the
    // current row follows the table.
    m_table.SetSortOptions({brindle::soDesc});
    m_table.SetSortedField("RecId");
    QCOMPARE(model->data(model->index(0, 0)).toString(), QString("v1060"));
    QCOMPARE(m_grid->ColWidth(1), 175);
    QVERIFY(!m_grid->ColVisible(4));
    m_table.MoveBy(4);
    QCOMPARE(m_grid->currentIndex().row(), 4);

    // Disabled data source: no rows, marks gone; enabled again: all rows.
    MarkPositions({1, 2});
    m_grid->SetDataSourceEnabled(false);
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(m_grid->SelectedRows().empty());
    m_grid->SetDataSourceEnabled(true);
    QCOMPARE(model->rowCount(), kRecords);

    // While views are suspended the model keeps its rows and reads safely
    // even when the table shrinks under it.
    m_table.DisableControls();
    Load(m_table, 3);
    QCOMPARE(model->rowCount(), kRecords);
    QCOMPARE(model->data(model->index(40, 0)).toString(), QString());
    m_grid->viewport()->grab();
    m_table.EnableControls();
    QCOMPARE(model->rowCount(), 3);
    m_table.Close();
    QCOMPARE(model->rowCount(), 0);
  }

  void keys_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    // The position arrived at is expected + pages * VisibleRowCount().
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("pages");
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("Down") << 5 << int(Qt::Key_Down) << 0 << 6 << 0;
    QTest::newRow("Up") << 5 << int(Qt::Key_Up) << 0 << 4 << 0;
    QTest::newRow("Up at the top") << 1 << int(Qt::Key_Up) << 0 << 1 << 0;
    QTest::newRow("Down at the end") << kRecords << int(Qt::Key_Down) << 0 << kRecords << 0;
    QTest::newRow("Right") << 5 << int(Qt::Key_Right) << 0 << 6 << 0;
    QTest::newRow("Left") << 5 << int(Qt::Key_Left) << 0 << 4 << 0;
    QTest::newRow("PgDn") << 1 << int(Qt::Key_PageDown) << 0 << 1 << 1;
    QTest::newRow("PgUp") << 40 << int(Qt::Key_PageUp) << 0 << 40 << -1;
    QTest::newRow("Home") << 30 << int(Qt::Key_Home) << 0 << 1 << 0;
    QTest::newRow("End") << 3 << int(Qt::Key_End) << 0 << kRecords << 0;
    QTest::newRow("Ctrl+Home") << 30 << int(Qt::Key_Home) << ctrl << 1 << 0;
    QTest::newRow("Ctrl+End") << 3 << int(Qt::Key_End) << ctrl << kRecords << 0;
    QTest::newRow("Ctrl+Down") << 3 << int(Qt::Key_Down) << ctrl << 0 << 1;
    QTest::newRow("Ctrl+PgDn") << 3 << int(Qt::Key_PageDown) << ctrl << 0 << 1;
    QTest::newRow("Ctrl+Up") << 6 << int(Qt::Key_Up) << ctrl << 1 << 0;
    QTest::newRow("Ctrl+PgUp") << 6 << int(Qt::Key_PageUp) << ctrl << 1 << 0;
    QTest::newRow("Escape") << 6 << int(Qt::Key_Escape) << 0 << 6 << 0;
  }
  void keys() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, expected);
    QFETCH(int, pages);
    m_table.SetRecNo(start);
    if (start <= m_grid->VisibleRowCount()) m_grid->scrollToTop();
    MarkPositions({2, 3});
    m_scrolls = 0;
    QTest::keyClick(m_grid.get(), Qt::Key(key), Qt::KeyboardModifiers(mods));
    QCOMPARE(m_table.RecNo(), expected + pages * m_grid->VisibleRowCount());
    QVERIFY(m_grid->SelectedRows().empty());
    QCOMPARE(m_scrolls > 0, m_table.RecNo() != start || key == Qt::Key_Home || key == Qt::Key_End);
    // The current row is in view.
    QVERIFY(m_grid->viewport()->rect().contains(
        m_grid->visualRect(m_grid->Model()->index(m_table.RecNo() - 1, 0))));
  }

  void shiftArrowsMarkFromTheAnchor() {
    int handled = 0;
    m_grid->OnKeyDown = [&](QKeyEvent* e) {
      if (e->key() == Qt::Key_Down || e->key() == Qt::Key_Up) ++handled;
    };
    m_table.SetRecNo(10);
    for (int i = 0; i < 3; ++i) QTest::keyClick(m_grid.get(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(MarkedPositions(), (std::vector<int>{10, 11, 12, 13}));
    QTest::keyClick(m_grid.get(), Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(MarkedPositions(), (std::vector<int>{10, 11, 12}));
    QCOMPARE(m_table.RecNo(), 12);
    QCOMPARE(handled, 4);
    QTest::keyClick(m_grid.get(), Qt::Key_Down);
    QVERIFY(m_grid->SelectedRows().empty());

    // A plain move forgot the anchor: the next Shift walk starts where it is.
    QTest::keyClick(m_grid.get(), Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(MarkedPositions(), (std::vector<int>{12, 13}));

    // Without multi-select Shift moves mark nothing and keys drop nothing.
    m_grid->SetMultiSelect(false);
    QVERIFY(m_grid->SelectedRows().empty());
    MarkPositions({1});
    QTest::keyClick(m_grid.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(m_grid.get(), Qt::Key_Home);
    QCOMPARE(MarkedPositions(), (std::vector<int>{1}));

    // A handler that ignores the key keeps it from the grid.
    m_grid->OnKeyDown = [](QKeyEvent* e) { e->ignore(); };
    QTest::keyClick(m_grid.get(), Qt::Key_End);
    QCOMPARE(m_table.RecNo(), 1);
  }

  void pressesAndMarks() {
    struct Down {
      Qt::MouseButton button;
      Qt::KeyboardModifiers mods;
      bool dbl;
      int recNoSeen;
    };
    std::vector<Down> downs;
    m_grid->OnMouseDown = [&](VariablesGrid* g, Qt::MouseButton b, Qt::KeyboardModifiers m, int, int,
                              bool dbl) {
      QCOMPARE(g, m_grid.get());
      downs.push_back({b, m, dbl, m_table.RecNo()});
    };
    Press(4, Qt::LeftButton);  // plain: moves, leaves only that row marked
    QCOMPARE(m_table.RecNo(), 5);
    QCOMPARE(MarkedPositions(), (std::vector<int>{5}));
    QCOMPARE(downs.back().recNoSeen, 1);  // the handler ran before the move
    QCOMPARE(m_scrolls, 1);

    Press(7, Qt::LeftButton, Qt::ControlModifier);
    Press(2, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(MarkedPositions(), (std::vector<int>{3, 5, 8}));
    Press(4, Qt::LeftButton, Qt::ControlModifier);  // toggles off
    QCOMPARE(MarkedPositions(), (std::vector<int>{3, 8}));
    QCOMPARE(m_table.RecNo(), 5);

    // Right button and Shift+left reach only the handler.
    m_scrolls = 0;
    Press(10, Qt::RightButton);
    Press(11, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(m_table.RecNo(), 5);
    QCOMPARE(MarkedPositions(), (std::vector<int>{3, 8}));
    QCOMPARE(m_scrolls, 0);
    QCOMPARE(downs.size(), std::size_t(6));
    QCOMPARE(downs[4].button, Qt::RightButton);
    QVERIFY(downs[5].mods & Qt::ShiftModifier);

    // A right click on a title does not start anything either.
    QTest::mouseClick(m_grid->horizontalHeader()->viewport(), Qt::RightButton, {}, TitlePoint(0));
    QCOMPARE(downs.size(), std::size_t(7));

    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {},
                       m_grid->viewport()->mapFrom(m_grid.get(), RowPoint(6)));
    QVERIFY(downs.back().dbl);
    QCOMPARE(m_table.RecNo(), 7);

    // Grid rows count from the top visible row.
    m_table.Last();
    const int top = m_grid->rowAt(0);
    QVERIFY(top > 0);
    QCOMPARE(m_grid->GridRowAt(RowPoint(top).y()), 1);
    QCOMPARE(m_grid->ViewPositionOfGridRow(1), top + 1);
    QCOMPARE(m_grid->GridRowAt(m_grid->horizontalHeader()->height() / 2), 0);
    Press(top + 1, Qt::LeftButton);
    QCOMPARE(m_table.RecNo(), top + 2);
    QCOMPARE(m_grid->ViewPositionOfGridRow(0), 0);
    QCOMPARE(m_grid->ViewPositionOfGridRow(kRecords), 0);
  }

  void hintsForClippedDataCellsOnly_data() {
    QTest::addColumn<int>("slack");
    QTest::addColumn<bool>("shown");
    QTest::newRow("fits with 2 px") << 2 << false;
    QTest::newRow("1 px short") << 1 << true;
  }
  void hintsForClippedDataCellsOnly() {
    QFETCH(int, slack);
    QFETCH(bool, shown);
    const QString text = m_grid->Model()->CellText(2, 1);
    m_grid->SetColWidth(1, m_grid->fontMetrics().horizontalAdvance(text) + slack);
    const QPoint at = RowPoint(2, 1);
    m_grid->ShowCellHint(at.x(), at.y());
    QCOMPARE(m_grid->HintShown(), shown);
    if (shown) {
      QCOMPARE(m_grid->HintText(), text);
      QCOMPARE(m_grid->HintScreenPos(), m_grid->mapToGlobal(at) + QPoint(0, 16));
    }
  }

  void titlesIndicatorAndScrollingHideHints() {
    m_grid->SetColWidth(0, 10);  // "Variable" and "v1001" both clipped
    const QPoint cell = RowPoint(0, 0);
    m_grid->ShowCellHint(cell.x(), cell.y());
    QVERIFY(m_grid->HintShown());
    const QPoint title = m_grid->horizontalHeader()->mapTo(m_grid.get(), TitlePoint(0));
    m_grid->ShowCellHint(title.x(), title.y());
    QVERIFY(!m_grid->HintShown());
    m_grid->ShowCellHint(cell.x(), cell.y());
    const QPoint indicator = m_grid->verticalHeader()->mapTo(m_grid.get(), QPoint(3, 0)) +
                             QPoint(0, cell.y() - m_grid->verticalHeader()->y());
    m_grid->ShowCellHint(indicator.x(), indicator.y());
    QVERIFY(!m_grid->HintShown());

    m_grid->ShowCellHint(cell.x(), cell.y());
    QTest::keyClick(m_grid.get(), Qt::Key_Down);
    QVERIFY(!m_grid->HintShown());
  }

  void wheelDoesNothing() {
    QScrollBar* bar = m_grid->verticalScrollBar();
    const QPoint at = m_grid->viewport()->rect().center();
    for (QWidget* target : {m_grid->viewport(), static_cast<QWidget*>(bar),
                            static_cast<QWidget*>(m_grid->horizontalHeader())}) {
      QWheelEvent ev(at, target->mapToGlobal(at), QPoint(), QPoint(0, -480), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(target, &ev);
    }
    QCOMPARE(bar->value(), 0);
    QCOMPARE(m_table.RecNo(), 1);
    QCOMPARE(m_scrolls, 0);
  }

  void titleClickUnlessResizing() {
    std::vector<int> clicks;
    int widthChanges = 0;
    m_grid->OnTitleClick = [&](int col) { clicks.push_back(col); };
    m_grid->OnColumnWidthChanged = [&](VariablesGrid*) { ++widthChanges; };
    QHeaderView* h = m_grid->horizontalHeader();
    QWidget* titles = h->viewport();
    QTest::mouseClick(titles, Qt::LeftButton, {}, TitlePoint(1));
    QCOMPARE(clicks, (std::vector<int>{1}));
    QTest::mouseClick(titles, Qt::LeftButton, Qt::ShiftModifier, TitlePoint(0));
    QCOMPARE(clicks, (std::vector<int>{1}));
    // Pressed on one title, released on another: the second sorts.
    QTest::mousePress(titles, Qt::LeftButton, {}, TitlePoint(1));
    QTest::mouseMove(titles, TitlePoint(2));
    QTest::mouseRelease(titles, Qt::LeftButton, {}, TitlePoint(2));
    QCOMPARE(clicks, (std::vector<int>{1, 2}));
    clicks.clear();

    // Dragging the border right of column 0 resizes it and clicks nothing.
    const QPoint border(h->sectionViewportPosition(0) + h->sectionSize(0) - 1, h->height() / 2);
    QTest::mousePress(titles, Qt::LeftButton, {}, border);
    QTest::mouseMove(titles, border + QPoint(20, 0));
    QTest::mouseRelease(titles, Qt::LeftButton, {}, border + QPoint(20, 0));
    QVERIFY(clicks.empty());
    QVERIFY(m_grid->ColWidth(0) > 66);
    QVERIFY(widthChanges > 0);

    // Program changes fire the event too, hidden columns keep their width.
    widthChanges = 0;
    const int shownWidth = m_grid->ColWidth(3);
    m_grid->SetColVisible(3, false);
    QCOMPARE(m_grid->ColWidth(3), shownWidth);
    m_grid->SetColWidth(3, 46);
    m_grid->SetColVisible(3, true);
    QCOMPARE(m_grid->ColWidth(3), 46);
    QVERIFY(widthChanges >= 3);
  }

  void colMovingControlsDragging_data() {
    QTest::addColumn<bool>("moving");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
  }
  void colMovingControlsDragging() {
    QFETCH(bool, moving);
    QVERIFY(m_grid->ColMoving());
    QVERIFY(!m_grid->horizontalHeader()->sectionsMovable());  // untouched by the constructor
    m_grid->SetColMoving(false);
    m_grid->SetColMoving(moving);
    QHeaderView* h = m_grid->horizontalHeader();
    const QPoint from = TitlePoint(0);
    const QPoint to = TitlePoint(1, 20);
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, from);
    for (int i = 1; i <= 10; ++i) QTest::mouseMove(h->viewport(), from + (to - from) * i / 10);
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, to);
    QCOMPARE(h->visualIndex(0) != 0, moving);
  }

  void drawingAsksForColours() {
    struct Draw {
      int recId;
      bool selected;
      bool marked;
    };
    std::vector<Draw> draws;
    m_grid->OnDrawColumnCell = [&](const VarRecord& rec, int col, bool selected, bool marked,
                                   QColor& bg, QColor&) {
      if (col == 0) draws.push_back({rec.RecId, selected, marked});
      bg = Qt::yellow;
    };
    m_table.SetRecNo(2);
    MarkPositions({4});
    m_grid->viewport()->grab();
    auto find = [&](int id) {
      for (const Draw& d : draws) {
        if (d.recId == id) return d;
      }
      return Draw{-1, false, false};
    };
    QVERIFY(find(2).selected && !find(2).marked);
    QVERIFY(!find(4).selected && find(4).marked);
    QVERIFY(!find(1).selected && !find(1).marked);
    m_grid->SetMultiSelect(false);
    m_grid->SetMultiSelect(true);
    MarkPositions({4});
    draws.clear();
    m_grid->SetMultiSelect(false);  // drops the marks
    m_grid->viewport()->grab();
    QVERIFY(!find(4).marked);
  }

  void aHundredThousandRows() {
    m_grid->SetDataSourceEnabled(false);
    Load(m_table, 100000);
    m_grid->SetDataSourceEnabled(true);
    QCOMPARE(m_grid->Model()->rowCount(), 100000);
    QTest::keyClick(m_grid.get(), Qt::Key_End);
    QCOMPARE(m_table.RecNo(), 100000);
    QCOMPARE(m_grid->ViewPositionOfGridRow(m_grid->GridRowAt(RowPoint(99999).y())), 100000);
  }
};

QTEST_MAIN(VariablesGridTest)
#include "VariablesGrid_test.moc"
