#include "values/ui/ValuesGrid.h"
#include "values/ui/ValuesGridModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <memory>

using brindle::ValuesGrid;

namespace {

void SendMove(QWidget* target, QPoint pos) {
  QMouseEvent ev(QEvent::MouseMove, pos, target->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                 Qt::NoModifier);
  QApplication::sendEvent(target, &ev);
}

}  // namespace

class ValuesGridTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ValuesGrid> m_grid;

  // Centre of a data cell in the grid's own coordinates.
  QPoint CellCentre(int col, int row) const {
    const QRect r = m_grid->visualRect(m_grid->model()->index(row - 1, col));
    return m_grid->viewport()->mapTo(m_grid.get(), r.center());
  }
  QPoint TitleCentre(int col) const {
    QHeaderView* h = m_grid->horizontalHeader();
    const QPoint p(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
    return h->mapTo(m_grid.get(), p);
  }

 private slots:
  void init() {
    m_grid = std::make_unique<ValuesGrid>();
    m_grid->resize(400, 300);
    m_grid->SetRowCount(40);
    const QStringList titles{"Value Label", "Value", "Freq", "% Total", "% Valid"};
    for (int c = 0; c < 5; ++c) {
      m_grid->SetCell(c, 0, titles[c]);
      m_grid->SetColWidth(c, 60);
      for (int r = 1; r < 40; ++r) m_grid->SetCell(c, r, QString("c%1r%2").arg(c).arg(r));
    }
    m_grid->SetCellHints(true);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
  }
  void cleanup() { m_grid.reset(); }

  void hintAtTheTwoPixelBoundary_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slack");  // column width - text width
    QTest::addColumn<bool>("shown");
    QTest::newRow("fits with 2 px") << 1 << "Strongly disagree" << 2 << false;
    QTest::newRow("1 px short") << 1 << "Strongly disagree" << 1 << true;
    QTest::newRow("trailing blanks not measured") << 1 << "Agree      " << 2 << false;
    QTest::newRow("blank cell") << 1 << "    " << -50 << false;
    QTest::newRow("empty cell") << 1 << "" << -50 << false;
    QTest::newRow("clipped title") << 0 << "% Total" << 1 << true;
    QTest::newRow("title that fits") << 0 << "% Total" << 2 << false;
  }
  void hintAtTheTwoPixelBoundary() {
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(int, slack);
    QFETCH(bool, shown);
    m_grid->SetCell(3, row, text);
    const int textWidth = m_grid->fontMetrics().horizontalAdvance(text.trimmed());
    m_grid->SetColWidth(3, std::max(textWidth + slack, 20));
    const QPoint at = row == 0 ? TitleCentre(3) : CellCentre(3, row);
    m_grid->ShowCellHint(at.x(), at.y());
    QCOMPARE(m_grid->HintShown(), shown);
    if (shown) {
      QCOMPARE(m_grid->HintText(), text.trimmed());
      QCOMPARE(m_grid->HintScreenPos(), m_grid->mapToGlobal(at) + QPoint(0, 16));
    }
  }

  void hintFollowsThePointerAndHidesOnLeave() {
    m_grid->SetCell(0, 2, "A label far too long for sixty pixels");
    const QPoint first = CellCentre(0, 2);
    SendMove(m_grid->viewport(), m_grid->viewport()->mapFrom(m_grid.get(), first));
    QVERIFY(m_grid->HintShown());
    const QPoint second = first + QPoint(5, 3);
    SendMove(m_grid->viewport(), m_grid->viewport()->mapFrom(m_grid.get(), second));
    QCOMPARE(m_grid->HintScreenPos(), m_grid->mapToGlobal(second) + QPoint(0, 16));
    // A cell that fits hides it again.
    SendMove(m_grid->viewport(), m_grid->viewport()->mapFrom(m_grid.get(), CellCentre(1, 2)));
    QVERIFY(!m_grid->HintShown());

    SendMove(m_grid->viewport(), m_grid->viewport()->mapFrom(m_grid.get(), first));
    QVERIFY(m_grid->HintShown());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(m_grid->viewport(), &leave);
    QVERIFY(!m_grid->HintShown());

    // Off the cells (below the last column) hides it too.
    m_grid->ShowCellHint(first.x(), first.y());
    QVERIFY(m_grid->HintShown());
    m_grid->ShowCellHint(m_grid->width() - 3, first.y());
    QVERIFY(!m_grid->HintShown());

    m_grid->ShowCellHint(first.x(), first.y());
    m_grid->SetCellHints(false);
    QVERIFY(!m_grid->HintShown());
    SendMove(m_grid->viewport(), m_grid->viewport()->mapFrom(m_grid.get(), first));
    QVERIFY(!m_grid->HintShown());
  }

  void wheelDoesNothing() {
    m_grid->setCurrentIndex(m_grid->model()->index(5, 1));
    QScrollBar* bar = m_grid->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    const QPoint at = m_grid->viewport()->rect().center();
    for (QWidget* target : {m_grid->viewport(), static_cast<QWidget*>(bar)}) {
      QWheelEvent ev(at, target->mapToGlobal(at), QPoint(), QPoint(0, -360), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(target, &ev);
    }
    QCOMPARE(bar->value(), 0);
    QCOMPARE(m_grid->currentIndex().row(), 5);
  }

  void mousePressesReachTheHandlerFirst() {
    QList<QPair<Qt::MouseButton, QPoint>> presses;
    m_grid->OnMouseDown = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y, bool) {
      presses.append({b, QPoint(x, y)});
      // The grid's own handling has not run yet: no cell selected.
      QCOMPARE(m_grid->Selection().left, presses.size() == 1 ? -1 : 1);
      QCOMPARE(m_grid->Selection().top, presses.size() == 1 ? 1 : 3);
    };
    const QPoint cell = CellCentre(1, 3);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                      m_grid->viewport()->mapFrom(m_grid.get(), cell));
    const ValuesGrid::GridRect sel = m_grid->Selection();
    QCOMPARE(sel.left, 1);
    QCOMPARE(sel.top, 3);
    QCOMPARE(sel.bottom, 3);

    // A right click reaches the handler but leaves the selection alone.
    QTest::mouseClick(m_grid->viewport(), Qt::RightButton, {},
                      m_grid->viewport()->mapFrom(m_grid.get(), CellCentre(2, 6)));
    QCOMPARE(m_grid->Selection().top, 3);
    QCOMPARE(presses.size(), 2);
    QCOMPARE(presses[0].second, cell);
    QCOMPARE(presses[1].first, Qt::RightButton);

    // Presses on the title row reach the handler in the same coordinates.
    QHeaderView* h = m_grid->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      h->viewport()->mapFrom(m_grid.get(), TitleCentre(4)));
    QCOMPARE(presses.size(), 3);
    QCOMPARE(presses[2].second, TitleCentre(4));

    int col = -1;
    int row = -1;
    QVERIFY(m_grid->CellAt(TitleCentre(4), col, row));
    QCOMPARE(col, 4);
    QCOMPARE(row, 0);
    QVERIFY(m_grid->CellAt(cell, col, row));
    QCOMPARE(row, 3);
    QVERIFY(!m_grid->IsColumnBorder(TitleCentre(1).x(), TitleCentre(1).y()));
    QVERIFY(m_grid->IsColumnBorder(TitleCentre(1).x() + 30, TitleCentre(1).y()));
  }

  void selectionInGridRows() {
    m_grid->SetSelection({1, 2, 3, 5});
    ValuesGrid::GridRect sel = m_grid->Selection();
    QCOMPARE(sel.left, 1);
    QCOMPARE(sel.top, 2);
    QCOMPARE(sel.right, 3);
    QCOMPARE(sel.bottom, 5);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(), 12);
    m_grid->SelectNone();
    QCOMPARE(m_grid->Selection().left, -1);
    m_grid->SetSelection({0, 1, 9, 999});  // clamped to the cells
    sel = m_grid->Selection();
    QCOMPARE(sel.right, 4);
    QCOMPARE(sel.bottom, 39);
  }

  void keysLeaveCopyAndSelectAllToTheWindow() {
    int keys = 0;
    m_grid->OnKeyDown = [&](QKeyEvent* e) {
      if (e->key() != Qt::Key_Control && e->key() != Qt::Key_Alt) ++keys;
      if (e->key() == Qt::Key_Down && (e->modifiers() & Qt::AltModifier)) e->ignore();
    };
    m_grid->SetSelection({0, 2, 0, 2});
    QTest::keyClick(m_grid.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(), 1);
    QTest::keyClick(m_grid.get(), Qt::Key_Down, Qt::AltModifier);  // consumed by the handler
    QCOMPARE(m_grid->currentIndex().row(), 1);
    QTest::keyClick(m_grid.get(), Qt::Key_Down);
    QCOMPARE(m_grid->currentIndex().row(), 2);
    QCOMPARE(keys, 3);
  }

  void columnListsFillTheCells() {
    m_grid->SetRowCount(6);
    m_grid->ClearRows();
    QCOMPARE(m_grid->Cell(0, 0), QString("Value Label"));  // titles stay
    QCOMPARE(m_grid->Cell(2, 5), QString());
    m_grid->AddRow("Label", "Value", "Freq", "% Total", "% Valid");
    m_grid->AddRow("Yes", "1", "10", "50.0", "50.0");
    m_grid->AddRow("No", "2", "10", "50.0", "50.0");
    for (int c = 0; c < 5; ++c) QCOMPARE(m_grid->ColumnLists[c].size(), 3);
    m_grid->SetCell(1, 4, "kept");
    m_grid->LoadColumnsFromLists();
    QCOMPARE(m_grid->Cell(0, 0), QString("Label"));
    QCOMPARE(m_grid->Cell(0, 2), QString("No"));
    QCOMPARE(m_grid->Cell(4, 1), QString("50.0"));
    QCOMPARE(m_grid->Cell(1, 4), QString("kept"));  // beyond the list

    // A list longer than the grid fills only the rows there are.
    for (int i = 0; i < 10; ++i) m_grid->AddRow("x", QString::number(i), "", "", "");
    m_grid->LoadColumnFromList(1);
    QCOMPARE(m_grid->RowCount(), 6);
    QCOMPARE(m_grid->Cell(1, 5), QString("2"));
    QCOMPARE(m_grid->Cell(0, 5), QString());  // column 0 was not reloaded

    m_grid->ClearRows();
    for (int c = 0; c < 5; ++c) QVERIFY(m_grid->ColumnLists[c].isEmpty());
    QCOMPARE(m_grid->Cell(1, 4), QString());
    QCOMPARE(m_grid->Cell(0, 0), QString("Label"));

    m_grid->SetRowCount(0);
    QCOMPARE(m_grid->RowCount(), 1);
    QCOMPARE(m_grid->Cell(0, 1), QString());
    m_grid->SetCell(0, 3, "outside");  // ignored
    m_grid->LoadColumnFromList(7);     // ignored
  }

  void loadedColumnsAreTheGridsOwnCells() {
    m_grid->SetRowCount(8);
    m_grid->ClearRows();
    for (int r = 0; r < 6; ++r)
      m_grid->AddRow(QString("l%1").arg(r), QString("v%1").arg(r), "", "", "");
    m_grid->LoadColumnsFromLists();
    // Writing a cell after the load leaves the fill order in the lists alone.
    m_grid->SetCell(1, 2, "changed");
    QCOMPARE(m_grid->Cell(1, 2), QString("changed"));
    QCOMPARE(m_grid->ColumnLists[1].at(2), QString("v2"));
    // And changing the lists afterwards does not reach the cells.
    m_grid->ColumnLists[0][3] = "edited";
    QCOMPARE(m_grid->Cell(0, 3), QString("l3"));

    // What the view draws is what Cell reads; titles are the header.
    const QAbstractItemModel* model = m_grid->model();
    QCOMPARE(model->rowCount(), 7);
    QCOMPARE(model->columnCount(), 5);
    QCOMPARE(model->index(1, 1).data().toString(), QString("changed"));
    QCOMPARE(model->index(6, 0).data().toString(), QString());
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("l0"));
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
  }

  void rowsCutOffComeBackEmpty() {
    m_grid->SetRowCount(4);
    m_grid->ClearRows();
    for (int r = 0; r < 10; ++r) m_grid->AddRow("", QString::number(r), "", "", "");
    m_grid->LoadColumnsFromLists();  // a list longer than the grid
    QCOMPARE(m_grid->Cell(1, 3), QString("3"));
    QCOMPARE(m_grid->Cell(1, 4), QString());
    m_grid->SetRowCount(10);
    QCOMPARE(m_grid->Cell(1, 4), QString());
    QCOMPARE(m_grid->Cell(1, 9), QString());
    m_grid->SetRowCount(2);
    m_grid->SetRowCount(6);
    QCOMPARE(m_grid->Cell(1, 1), QString("1"));
    QCOMPARE(m_grid->Cell(1, 2), QString());
    // Writing a later row must not bring back the rows between.
    m_grid->SetCell(1, 5, "five");
    QCOMPARE(m_grid->Cell(1, 2), QString());
    QCOMPARE(m_grid->Cell(1, 4), QString());
    QCOMPARE(m_grid->Cell(1, 5), QString("five"));
    // A shorter list overwrites only its own rows.
    m_grid->ColumnLists[1] = QStringList{"Value", "a"};
    m_grid->LoadColumnFromList(1);
    QCOMPARE(m_grid->Cell(1, 0), QString("Value"));
    QCOMPARE(m_grid->Cell(1, 1), QString("a"));
    QCOMPARE(m_grid->Cell(1, 5), QString("five"));
  }

  void twoMillionRows() {
    constexpr int kRows = 2'000'000;
    m_grid->ClearRows();
    for (int c = 0; c < 5; ++c) {
      QStringList& list = m_grid->ColumnLists[c];
      list.reserve(kRows + 1);
      list.append(QString("t%1").arg(c));
      const QString same = QString("col%1").arg(c);
      for (int r = 1; r <= kRows; ++r) list.append(c == 1 ? QString::number(r) : same);
    }
    m_grid->SetRowCount(kRows + 1);
    m_grid->LoadColumnsFromLists();
    QCOMPARE(m_grid->RowCount(), kRows + 1);
    QCOMPARE(m_grid->Cell(1, 0), QString("t1"));
    QCOMPARE(m_grid->Cell(1, kRows), QString::number(kRows));
    QCOMPARE(m_grid->Cell(4, 1234567), QString("col4"));

    m_grid->scrollToBottom();
    const QModelIndex last = m_grid->model()->index(kRows - 1, 1);
    const QPoint at = m_grid->viewport()->mapTo(m_grid.get(), m_grid->visualRect(last).center());
    int col = -1;
    int row = -1;
    QVERIFY(m_grid->CellAt(at, col, row));
    QCOMPARE(row, kRows);
    m_grid->SetSelection({0, 1, 4, kRows});
    QCOMPARE(m_grid->Selection().bottom, kRows);

    m_grid->ClearRows();
    m_grid->SetRowCount(10);
    QCOMPARE(m_grid->Cell(1, 5), QString());
    QCOMPARE(m_grid->Cell(1, 0), QString("t1"));
  }

  // A table's rows are rendered only where a cell is asked for, in fill
  // order or a shown order; editing a cell keeps the other rows.
  void tableRowsRenderedWhenShown() {
    struct Rows : brindle::ValueRows {
      int Count() const override { return 1'000'000; }
      QString Text(int col, int row) const override {
        ++calls;
        return QString("%1:%2").arg(col).arg(row);
      }
      mutable int calls = 0;
    };
    auto rows = std::make_shared<Rows>();
    m_grid->ClearRows();
    m_grid->AddRow("t0", "t1", "t2", "t3", "t4");
    m_grid->SetTable(rows);
    m_grid->SetRowCount(rows->Count() + 1);
    m_grid->LoadColumnsFromLists();
    QCoreApplication::processEvents();
    m_grid->scrollToBottom();
    QCoreApplication::processEvents();
    QVERIFY(rows->calls < 5000);
    QCOMPARE(m_grid->FillRows(), rows->Count() + 1);
    QCOMPARE(m_grid->FillText(1, 0), QString("t1"));
    QCOMPARE(m_grid->FillText(1, 7), QString("1:6"));
    QCOMPARE(m_grid->Cell(2, 0), QString("t2"));
    QCOMPARE(m_grid->Cell(2, 1), QString("2:0"));
    m_grid->ShowRowsInOrder({5, 3, -1});
    QCOMPARE(m_grid->Cell(4, 2), QString("4:3"));
    QCOMPARE(m_grid->Cell(4, 3), QString());
    QCOMPARE(m_grid->Cell(4, 4), QString());  // past the order
    QCOMPARE(m_grid->FillRowOf(1), 5);
    m_grid->SetCell(4, 2, "edited");
    QCOMPARE(m_grid->Cell(4, 1), QString("4:5"));
    QCOMPARE(m_grid->Cell(4, 2), QString("edited"));
    QCOMPARE(m_grid->Cell(3, 2), QString("3:3"));
    m_grid->LoadColumnsFromLists();
    QCOMPARE(m_grid->FillRowOf(1), 0);
    m_grid->SetRowCount(3);
    m_grid->SetRowCount(10);
    QCOMPARE(m_grid->Cell(1, 2), QString("1:1"));
    QCOMPARE(m_grid->Cell(1, 3), QString());  // cut off, back empty
    m_grid->ClearRows();
    QVERIFY(!m_grid->Table());
    QCOMPARE(m_grid->Cell(1, 1), QString());
    QCOMPARE(m_grid->Cell(1, 0), QString("t1"));
  }

  void noEditingAndNoLetterJumps() {
    m_grid->SetSelection({1, 3, 1, 3});
    m_grid->SetCell(1, 10, "x");
    QTest::keyClick(m_grid.get(), Qt::Key_X);
    QCOMPARE(m_grid->currentIndex().row(), 2);
    QTest::keyClick(m_grid.get(), Qt::Key_F2);
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {},
                       m_grid->viewport()->mapFrom(m_grid.get(), CellCentre(1, 3)));
    QCOMPARE(m_grid->currentIndex().row(), 2);
    QVERIFY(m_grid->findChildren<QLineEdit*>().isEmpty());
  }

  void hideAndRestoreLabelColumn() {
    int changes = 0;
    m_grid->OnColumnWidthChanged = [&](ValuesGrid* g) {
      QCOMPARE(g, m_grid.get());
      ++changes;
    };
    m_grid->SavedLabelWidth = 150;
    m_grid->SavedValueWidth = 55;
    m_grid->HideLabelColumn();
    QCOMPARE(m_grid->ColWidth(0), 0);
    QCOMPARE(m_grid->ColWidth(1), 205);
    m_grid->RestoreLabelColumn();
    QCOMPARE(m_grid->ColWidth(0), 150);
    QCOMPARE(m_grid->ColWidth(1), 55);
    QCOMPARE(changes, 4);
    m_grid->SetColWidth(2, m_grid->ColWidth(2));  // unchanged: no event
    QCOMPARE(changes, 4);
  }
};

QTEST_MAIN(ValuesGridTest)
#include "ValuesGrid_test.moc"
