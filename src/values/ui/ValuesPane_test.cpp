// The values pane alone, in a host widget of its own: sorting by its titles
// and what the pane asks of the window (its signals). How it follows the
// variables pane, and the keys' effects on the other panes, are the
// window's, tested there.
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"
#include "testing/PaneTestSupport.h"
#include "testing/WindowTestSupport.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

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

class ValuesPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void titlesSortAndShareTheirDirection();
  void titlesShowTheSortDirection();
  void keysAskTheWindow_data();
  void keysAskTheWindow();
  void doubleClickOnTheRowsAsksForTheOtherDisplay();
  void captionAndCountAreAnnounced();

 private:
  ValuesGrid* grid() { return m_p->pane.valuesGrid(); }
  void ClickTitle(int col, bool doubleClick = false) {
    QWidget* titles = grid()->horizontalHeader()->viewport();
    QTest::mouseClick(titles, Qt::LeftButton, {}, TitlePoint(grid(), col));
    // The second press of a double-click arrives as the double-click.
    if (doubleClick) QTest::mouseDClick(titles, Qt::LeftButton, {}, TitlePoint(grid(), col));
  }
  std::unique_ptr<ShownValuesPane> m_p;
  std::unique_ptr<TempFile> m_file;
};

void ValuesPaneTest::init() {
  m_p = std::make_unique<ShownValuesPane>();
  m_file = WriteTemp(PaneSortSample());
  m_p->pane.SetFrequenciesMode(true);
  QVERIFY(m_p->Open(m_file->path()));
  QVERIFY(m_p->pane.frequencyTableShown());
}

void ValuesPaneTest::cleanup() {
  m_p.reset();
  m_file.reset();
}

void ValuesPaneTest::titlesSortAndShareTheirDirection() {
  ValuesPane& f = m_p->pane;
  ValuesGrid* g = grid();
  QCOMPARE(ShownValues(g), QString("1 2 3 4"));
  struct Step {
    int col;
    bool doubleClick;
    const char* shown;
    int key;
    bool descending;
  } steps[] = {
      {1, false, "4 3 2 1", 1, true},  // "Value" first shows the reverse fill order
      {1, false, "1 2 3 4", 1, false},
      {0, false, "3 2 4 1", 0, false},  // empty label first, "Zebra" before "apple", ties stable
      {0, false, "1 4 2 3", 0, true},   // the exact reverse, ties included
      {2, false, "3 1 2 4", 2, false},  // 1, 9, 10, 10: by number, not text
      {4, false, "4 2 1 3", 2, true},   // "% Valid" shares the count key
      {0, false, "3 2 4 1", 0, false},
      {3, false, "3 1 2 4", 2, false},  // after another key, ascending again
      {2, true, "3 1 2 4", 2, false},   // a double-click sorts twice
  };
  for (const Step& s : steps) {
    ClickTitle(s.col, s.doubleClick);
    QCOMPARE(ShownValues(g), QString(s.shown));
    QCOMPARE(f.sortKey(), s.key);
    QCOMPARE(f.sortDescending(), s.descending);
  }
  // Whole rows move; the lists keep the fill order.
  ClickTitle(0);
  QCOMPARE(g->Cell(0, 1), QString());
  QCOMPARE(g->Cell(2, 1), QString("1"));
  QCOMPARE(g->FillText(0, 1), QString("apple"));
  // F5 is the value key; a press on a column border sorts nothing.
  QTest::keyClick(g, Qt::Key_F5);
  QCOMPARE(f.sortKey(), 1);
  const QHeaderView* h = g->horizontalHeader();
  QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                    QPoint(h->sectionViewportPosition(1) + h->sectionSize(1) - 1, h->height() / 2));
  QCOMPARE(f.sortKey(), 1);
  // The labels list: counts sort nothing, but the state follows.
  m_p->Toggle();
  const QString labels = ShownValues(g);
  ClickTitle(2);
  QCOMPARE(ShownValues(g), labels);
  QCOMPARE(f.sortKey(), 2);
}

void ValuesPaneTest::titlesShowTheSortDirection() {
  ValuesGrid* g = grid();
  const QHeaderView* h = g->horizontalHeader();
  // Fill order: no mark.
  QVERIFY(!h->isSortIndicatorShown());
  QCOMPARE(g->SortIndicatorColumn(), -1);
  const struct {
    int col;
    Qt::SortOrder order;
  } steps[] = {
      {1, Qt::DescendingOrder}, {1, Qt::AscendingOrder}, {0, Qt::AscendingOrder},
      {0, Qt::DescendingOrder}, {3, Qt::AscendingOrder}, {4, Qt::DescendingOrder},
      {2, Qt::AscendingOrder},
  };
  for (const auto& s : steps) {
    ClickTitle(s.col);
    // The clicked column carries the platform's mark in the sort's direction.
    QVERIFY(h->isSortIndicatorShown());
    QCOMPARE(h->sortIndicatorSection(), s.col);
    QCOMPARE(h->sortIndicatorOrder(), s.order);
    // The column is wide enough for its title beside the mark.
    QVERIFY(g->ColWidth(s.col) >= h->sectionSizeHint(s.col));
  }
  // Labels and frequencies toggled: rows in fill order again, no mark.
  m_p->Toggle();
  QVERIFY(!h->isSortIndicatorShown());
  // Value labels have no counts to sort by.
  ClickTitle(2);
  QVERIFY(!h->isSortIndicatorShown());
  ClickTitle(0);
  QCOMPARE(h->sortIndicatorSection(), 0);
  QVERIFY(h->isSortIndicatorShown());
  // Another variable starts unsorted.
  m_p->table.SetRecNo(2);
  QVERIFY(!h->isSortIndicatorShown());
}

void ValuesPaneTest::keysAskTheWindow_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("mods");
  QTest::addColumn<QByteArray>("signal");
  const QByteArray toggle = SIGNAL(toggleDisplayRequested());
  const QByteArray find = SIGNAL(findBoxRequested());
  const QByteArray filter = SIGNAL(filterSwitchRequested());
  const QByteArray document = SIGNAL(documentRequested());
  const int ctrl = int(Qt::ControlModifier);
  QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << toggle;
  QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << toggle;
  QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << find;
  QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << find;
  QTest::newRow("F2") << int(Qt::Key_F2) << 0 << find;
  QTest::newRow("Ctrl+F") << int(Qt::Key_F) << ctrl << find;
  QTest::newRow("F alone") << int(Qt::Key_F) << 0 << QByteArray();
  QTest::newRow("F8") << int(Qt::Key_F8) << 0 << filter;
  QTest::newRow("Ctrl+D") << int(Qt::Key_D) << ctrl << document;
  QTest::newRow("D alone") << int(Qt::Key_D) << 0 << QByteArray();
  // The value key again: the fill order reversed.
  QTest::newRow("F5 sorts itself") << int(Qt::Key_F5) << 0 << QByteArray();
}

// Each key asks for its one thing and nothing else; the table stays (F5
// sorts it).
void ValuesPaneTest::keysAskTheWindow() {
  QFETCH(int, key);
  QFETCH(int, mods);
  QFETCH(QByteArray, signal);
  ValuesPane& f = m_p->pane;
  const QByteArray all[] = {SIGNAL(toggleDisplayRequested()), SIGNAL(findBoxRequested()),
                            SIGNAL(filterSwitchRequested()), SIGNAL(documentRequested())};
  std::vector<std::unique_ptr<QSignalSpy>> spies;
  for (const QByteArray& s : all) spies.push_back(std::make_unique<QSignalSpy>(&f, s.constData()));
  QTest::keyClick(grid(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(mods));
  for (std::size_t i = 0; i < spies.size(); ++i)
    QCOMPARE(spies[i]->count(), all[i] == signal ? 1 : 0);
  QVERIFY(f.frequencyTableShown());
  QCOMPARE(ShownValues(grid()), QString(key == Qt::Key_F5 ? "4 3 2 1" : "1 2 3 4"));
}

// A double-click on a data row asks for the other display; on a title it
// sorts instead.
void ValuesPaneTest::doubleClickOnTheRowsAsksForTheOtherDisplay() {
  ValuesPane& f = m_p->pane;
  QSignalSpy toggle(&f, &ValuesPane::toggleDisplayRequested);
  const QPoint cell = grid()->visualRect(grid()->model()->index(1, 1)).center();
  QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell);
  QCOMPARE(toggle.count(), 1);
  ClickTitle(2, true);
  QCOMPARE(toggle.count(), 1);
  QCOMPARE(f.sortKey(), 2);
}

// Showing a table announces the caption and the row count, once each.
void ValuesPaneTest::captionAndCountAreAnnounced() {
  ValuesPane& f = m_p->pane;
  QSignalSpy caption(&f, &ValuesPane::captionChanged);
  QSignalSpy count(&f, &ValuesPane::countChanged);
  m_p->Toggle();
  QVERIFY(!f.frequencyTableShown());
  QCOMPARE(caption.count(), 1);
  QCOMPARE(count.count(), 1);
  QCOMPARE(count.first().first().toString(), QString("3"));
  QCOMPARE(f.captionLabel()->text(), QString("v"));
  m_p->Toggle();
  QCOMPARE(caption.count(), 2);
  QCOMPARE(count.last().first().toString(), QString("4"));
}

QTEST_MAIN(ValuesPaneTest)
#include "ValuesPane_test.moc"
