// The data page alone, offscreen: cells as they arrive, user-missing
// colour, go to case with good and bad numbers, first and last case, sort by
// a title click (ascending, descending, file order) with the case numbers
// following their cases, find forward and backward in sorted order, copy
// with and without names, the current variable both ways, the keys the
// page takes from the window's shortcuts, and data damaged before its end.
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <cfloat>
#include <memory>

#include "cases/CaseView.h"
#include "cases/ui/CasesModel.h"
#include "cases/ui/DataPage.h"
#include "platform/UiService.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

using namespace brindle;

namespace {

constexpr int kCases = 5000;

double K(std::int64_t c) {
  return c % 10 == 0 ? -DBL_MAX : c % 11 == 0 ? 99.0 : double((c * 2) % 3 + 1);
}

// id 1..5000; k cycles 3, 1, 2 with every 10th case system-missing and 99
// user-missing; s a string "s<id % 7>".
std::vector<std::uint8_t> Sample() {
  testing::SavFile f;
  auto id = testing::Variable::numeric("id", "Case identifier");
  id.print = testing::Format{5, 8, 0};
  auto k = testing::Variable::numeric("k");
  k.print = testing::Format{5, 4, 0};
  k.missingCode = 1;
  k.missing[0] = 99;
  k.numericLabels = {{1, "one"}, {2, "two"}};
  f.variables = {id, k, testing::Variable::string("s", 8)};
  for (int c = 1; c <= kCases; ++c) {
    f.cases.push_back({double(c), K(c), "s" + std::to_string(c % 7)});
  }
  return f.compression = testing::Compression::Bytecode, testing::writeSav(f);
}

}  // namespace

class DataPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void cellsArrive();
  void goToCase_data();
  void goToCase();
  void firstLastAndPrompt();
  void sortCycles();
  void findForwardAndBackward();
  void copyBlocks();
  void currentVariableBothWays();
  void pageTakesItsKeys();
  void damagedData();
  void shiftSelectsFromWhereTheCursorWent();

 private:
  QString cell(int row, int col) {
    return m_page->model()->data(m_page->model()->index(row, col), Qt::DisplayRole).toString();
  }
  void waitWork() { QTRY_VERIFY_WITH_TIMEOUT(!m_page->working(), 20000); }

  std::unique_ptr<testing::TempFile> m_file;
  std::shared_ptr<SystemFile> m_sf;
  RecordingUiService m_ui;
  std::unique_ptr<DataPage> m_page;
};

void DataPageTest::init() {
  m_file = std::make_unique<testing::TempFile>(Sample());
  QCOMPARE(SystemFile::open(m_file->path(), m_sf), SPSS_OK);
  m_ui.calls.clear();
  m_ui.clipboard.clear();
  m_page = std::make_unique<DataPage>(m_ui);
  m_page->resize(500, 400);
  m_page->show();
  m_page->openFile(m_sf, m_file->path(), kCases, false);
}

void DataPageTest::cleanup() {
  m_page.reset();
  m_sf.reset();
  m_file.reset();
}

void DataPageTest::cellsArrive() {
  QCOMPARE(m_page->model()->rowCount(), kCases);
  QCOMPARE(m_page->model()->columnCount(), 3);
  QTRY_COMPARE(cell(0, 0), QStringLiteral("1"));
  QCOMPARE(cell(9, 1), QStringLiteral("."));
  QCOMPARE(m_page->model()->headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(),
           QStringLiteral("Case identifier"));
  QCOMPARE(m_page->model()->headerData(4, Qt::Vertical, Qt::DisplayRole).toString(),
           QStringLiteral("5"));
  // Case 11's k is user-missing: drawn in the missing colour.
  QTRY_COMPARE(cell(10, 1), QStringLiteral("99"));
  QCOMPARE(m_page->model()->data(m_page->model()->index(10, 1), Qt::ForegroundRole).value<QColor>(),
           CasesModel::missingColor());
  m_page->setShowLabels(true);
  QCOMPARE(cell(1, 1), QStringLiteral("two"));
  QCOMPARE(cell(0, 1), QStringLiteral("3"));
  // A far block fills in when it comes.
  m_page->goToCase(QStringLiteral("4999"));
  QTRY_COMPARE(cell(4998, 0), QStringLiteral("4999"));
}

void DataPageTest::goToCase_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("row");  // -1: a message, nothing moves
  QTest::newRow("first") << "1" << 0;
  QTest::newRow("last") << "5000" << 4999;
  QTest::newRow("blanks around") << " 42 " << 41;
  QTest::newRow("zero") << "0" << -1;
  QTest::newRow("past the end") << "5001" << -1;
  QTest::newRow("negative") << "-3" << -1;
  QTest::newRow("text") << "abc" << -1;
  QTest::newRow("decimal") << "2.5" << -1;
  QTest::newRow("huge") << "99999999999999999999999" << -1;
  QTest::newRow("empty") << "" << -1;
}

void DataPageTest::goToCase() {
  QFETCH(QString, typed);
  QFETCH(int, row);
  m_page->goToCase(QStringLiteral("7"));
  const int messages = m_ui.Count(QStringLiteral("ShowMessage"));
  QCOMPARE(m_page->goToCase(typed), row >= 0);
  if (row >= 0) {
    QCOMPARE(m_page->grid()->currentIndex().row(), row);
    QCOMPARE(m_ui.Count(QStringLiteral("ShowMessage")), messages);
  } else {
    QCOMPARE(m_page->grid()->currentIndex().row(), 6);
    QCOMPARE(m_ui.Count(QStringLiteral("ShowMessage")), messages + 1);
    QVERIFY(m_ui.Last().text.contains(QStringLiteral("from 1 to 5,000")) ||
            m_ui.Last().text.contains(QStringLiteral("from 1 to 5000")));
  }
}

void DataPageTest::firstLastAndPrompt() {
  m_page->setCurrentVariable(2);
  m_page->goToLast();
  QCOMPARE(m_page->grid()->currentIndex().row(), kCases - 1);
  QCOMPARE(m_page->grid()->currentIndex().column(), 2);
  m_page->goToFirst();
  QCOMPARE(m_page->grid()->currentIndex().row(), 0);
  QCOMPARE(m_page->grid()->currentIndex().column(), 2);
  m_ui.textAnswers = {QStringLiteral("250")};
  m_page->goToCasePrompt();
  QCOMPARE(m_ui.Last().kind, QStringLiteral("GetText"));
  QCOMPARE(m_page->currentCase(), 250);
  // Cancelled: nothing moves.
  m_page->goToCasePrompt();
  QCOMPARE(m_page->currentCase(), 250);
}

void DataPageTest::sortCycles() {
  m_page->goToCase(QStringLiteral("3"));
  m_page->setCurrentVariable(1);
  m_page->sortByColumn(1);
  waitWork();
  QCOMPARE(m_page->grid()->SortIndicatorColumn(), 1);
  // Ascending: 1s first in file order, system-missing last; case 3 kept the cursor.
  const CaseView& view = *m_page->view();
  QTRY_COMPARE(cell(0, 1), QStringLiteral("1"));
  QCOMPARE(cell(kCases - 1, 1), QStringLiteral("."));
  QCOMPARE(m_page->currentCase(), 3);
  // Equal values keep file order.
  for (int r = 1; r < kCases; ++r)
    if (K(view.caseAt(r - 1) + 1) == K(view.caseAt(r) + 1)) QVERIFY(view.caseAt(r - 1) < view.caseAt(r));
    else QVERIFY(K(view.caseAt(r) + 1) == -DBL_MAX || K(view.caseAt(r - 1) + 1) < K(view.caseAt(r) + 1));
  QCOMPARE(m_page->model()->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(),
           QString::number(view.caseAt(0) + 1));
  m_page->sortByColumn(1);
  waitWork();
  QVERIFY(m_page->grid()->SortIndicatorDescending());
  QTRY_COMPARE(cell(0, 1), QStringLiteral("99"));
  QCOMPARE(cell(kCases - 1, 1), QStringLiteral("."));
  m_page->sortByColumn(1);
  waitWork();
  QCOMPARE(m_page->grid()->SortIndicatorColumn(), -1);
  QCOMPARE(view.caseAt(1234), std::int64_t(1234));
  QCOMPARE(m_page->currentCase(), 3);
}

void DataPageTest::findForwardAndBackward() {
  m_page->setCurrentVariable(2);
  m_page->goToFirst();
  m_page->find(QStringLiteral("S5"), true);
  waitWork();
  QCOMPARE(m_page->currentCase(), 5);
  m_page->findAgain(true);
  QCOMPARE(m_page->currentCase(), 12);
  m_page->findAgain(false);
  QCOMPARE(m_page->currentCase(), 5);
  const int messages = m_ui.Count(QStringLiteral("ShowMessage"));
  m_page->findAgain(false);
  QCOMPARE(m_page->currentCase(), 5);
  QCOMPARE(m_ui.Count(QStringLiteral("ShowMessage")), messages + 1);
  // In sorted order the walk follows the rows: descending by id, the next
  // match after case 5000's row is the highest id ending in s5.
  m_page->sortByColumn(0);
  waitWork();
  m_page->sortByColumn(0);
  waitWork();
  m_page->setCurrentVariable(2);
  m_page->goToFirst();
  m_page->find(QStringLiteral("s5"), true);
  waitWork();
  QCOMPARE(m_page->currentCase(), 4996);  // 4996 % 7 == 5
  // A label is found as well as a value.
  m_page->setCurrentVariable(1);
  m_page->find(QStringLiteral("TWO"), true);
  waitWork();
  QCOMPARE(m_page->currentCase() % 3, 2);  // k = 2, labelled "two"
}

void DataPageTest::copyBlocks() {
  QTRY_COMPARE(cell(2, 2), QStringLiteral("s3"));
  auto* sel = m_page->grid()->selectionModel();
  sel->select(QItemSelection(m_page->model()->index(1, 0), m_page->model()->index(2, 2)),
              QItemSelectionModel::ClearAndSelect);
  m_page->copySelection(false);
  QCOMPARE(m_ui.clipboard, QStringLiteral("2\t2\ts2\r\n3\t1\ts3\r\n"));
  m_page->copySelection(true);
  QCOMPARE(m_ui.clipboard, QStringLiteral("id\tk\ts\r\n2\t2\ts2\r\n3\t1\ts3\r\n"));
  // Every case, sorted by k descending: copied on the pool, rows in the
  // page's order.
  m_page->sortByColumn(1);
  waitWork();
  m_page->sortByColumn(1);
  waitWork();
  sel->select(QItemSelection(m_page->model()->index(0, 0),
                             m_page->model()->index(kCases - 1, 0)),
              QItemSelectionModel::ClearAndSelect);
  m_page->copySelection(false);
  waitWork();
  const QStringList lines = m_ui.clipboard.split(QStringLiteral("\r\n"));
  QCOMPARE(lines.size(), kCases + 1);
  for (int r = 0; r < kCases; r += 97)
    QCOMPARE(lines.at(r), QString::number(m_page->view()->caseAt(r) + 1));
}

void DataPageTest::currentVariableBothWays() {
  QSignalSpy moved(m_page.get(), &DataPage::currentVariableChanged);
  m_page->goToCase(QStringLiteral("10"));
  m_page->setCurrentVariable(2);
  QCOMPARE(moved.count(), 0);  // set from outside: not echoed back
  QCOMPARE(m_page->currentVariable(), std::optional<std::size_t>(2));
  QCOMPARE(m_page->currentCase(), 10);
  m_page->grid()->setCurrentIndex(m_page->model()->index(9, 1));
  QCOMPARE(moved.count(), 1);
  QCOMPARE(moved.at(0).at(0).value<std::size_t>(), std::size_t(1));
  // A filtered view shows only its variables; the cursor keeps its variable.
  m_page->setColumns({1});
  QCOMPARE(m_page->model()->columnCount(), 1);
  QCOMPARE(m_page->currentVariable(), std::optional<std::size_t>(1));
}

void DataPageTest::pageTakesItsKeys() {
  struct Row {
    int key;
    Qt::KeyboardModifiers mods;
    bool taken;
  };
  const Row rows[] = {{Qt::Key_F, Qt::ControlModifier, true},
                      {Qt::Key_G, Qt::ControlModifier, true},
                      {Qt::Key_F3, Qt::ShiftModifier, true},
                      {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, true},
                      {Qt::Key_End, Qt::ControlModifier, true},
                      {Qt::Key_F, Qt::NoModifier, false},
                      // Escape is the window's unless a sort or find runs.
                      {Qt::Key_Escape, Qt::NoModifier, false}};
  for (const Row& row : rows) {
    QKeyEvent override(QEvent::ShortcutOverride, row.key, row.mods);
    override.ignore();
    QApplication::sendEvent(m_page->grid(), &override);
    QCOMPARE(override.isAccepted(), row.taken);
  }
  m_ui.textAnswers = {QStringLiteral("77")};
  QTest::keyClick(m_page->grid(), Qt::Key_G, Qt::ControlModifier);
  QCOMPARE(m_page->currentCase(), 77);
  QTRY_COMPARE(cell(76, 0), QStringLiteral("77"));
  QTest::keyClick(m_page->grid(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_ui.clipboard, QStringLiteral("77\r\n"));
  QTest::keyClick(m_page->grid(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(m_ui.clipboard, QStringLiteral("id\r\n77\r\n"));
}

// A file whose data breaks before its last case: the cases before the
// damage show, the grid ends there, and the reader's message comes once,
// however often the page reaches the damage again.
void DataPageTest::damagedData() {
  m_page->closeFile();
  std::vector<std::uint8_t> bytes = Sample();
  bytes.resize(bytes.size() - 3);
  m_file = std::make_unique<testing::TempFile>(bytes);
  QCOMPARE(SystemFile::open(m_file->path(), m_sf), SPSS_OK);
  m_ui.calls.clear();
  m_page->openFile(m_sf, m_file->path(), kCases, false);
  m_page->goToLast();
  QTRY_VERIFY_WITH_TIMEOUT(m_page->model()->rowCount() < kCases, 20000);
  const int rows = m_page->model()->rowCount();
  QVERIFY(rows >= kCases - 2);
  QTRY_COMPARE(cell(rows - 1, 0), QString::number(rows));
  QTRY_COMPARE(m_ui.calls.size(), 1);
  QVERIFY(m_ui.calls[0].text.contains(QStringLiteral("The data stops after case")));
  // Reaching the end again, sorting and finding say nothing more.
  m_page->goToFirst();
  QTRY_COMPARE(cell(0, 0), QStringLiteral("1"));
  m_page->goToLast();
  QTRY_COMPARE(cell(rows - 1, 0), QString::number(rows));
  m_page->setCurrentVariable(0);
  m_page->sortByColumn(0);
  waitWork();
  QCOMPARE(cell(0, 0), QStringLiteral("1"));
  m_page->goToFirst();
  m_page->find(QString::number(rows), true);
  waitWork();
  QCOMPARE(m_page->currentCase(), std::int64_t(rows));
  QCOMPARE(m_ui.calls.size(), 1);
}

// After the page moves the cursor (go to case, find, first and last case)
// a Shift+arrow extends the selection from where the cursor went, not from
// where the user last clicked or moved it.
void DataPageTest::shiftSelectsFromWhereTheCursorWent() {
  QTRY_COMPARE(cell(0, 0), QStringLiteral("1"));
  QTest::keyClick(m_page->grid(), Qt::Key_Down);
  QVERIFY(m_page->goToCase(QStringLiteral("3000")));
  QTest::keyClick(m_page->grid(), Qt::Key_Down, Qt::ShiftModifier);
  const QModelIndexList chosen = m_page->grid()->selectionModel()->selectedIndexes();
  QCOMPARE(chosen.size(), 2);
  for (const QModelIndex& index : chosen) QVERIFY(index.row() == 2999 || index.row() == 3000);
}

QTEST_MAIN(DataPageTest)
#include "DataPage_test.moc"
