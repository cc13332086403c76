// The variables pane alone, in a host widget of its own: the grid's keys
// and marks by mouse, the find boxes, selection and copy, and what the pane
// asks of the window (its signals). How the status bar and the values pane
// follow it is the window's, tested there.
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
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

// View positions (1-based) of the marked records.
QList<int> MarkedPositions(const VariablesPane& f) {
  QList<int> positions;
  for (int row = 0; row < f.variableList().RecordCount(); ++row)
    if (f.variablesGrid()->IsMarked(f.variableList().BookmarkAt(row))) positions << row + 1;
  return positions;
}

}  // namespace

class VariablesPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void spaceMarksTwoRows();
  void editKeysFocusTheLastFindBox_data();
  void editKeysFocusTheLastFindBox();
  void shiftClickInAScrolledGrid();
  void ctrlClickTogglesAndPlainClickDrops();
  void rightClickLeavesCursorAndMarks();
  void enteringABoxEmptiesTheOther();
  void selectAllUnderTheFilterAndUnshownMarks();
  void keysAskTheWindow_data();
  void keysAskTheWindow();
  void titleClickAsksForTheSort();
  void busyPaneOnlyCancels();
  void movesAreAnnounced();

 private:
  // Puts the pane over PaneFindSample() in place of the one over sixty variables.
  void openSurvey() {
    m_many.reset();
    m_survey = std::make_unique<ShownVariablesPane>();
    QVERIFY(m_survey->Open(m_surveyFile->path()));
  }

  // Sixty variables v1 .. v60, the grid focused.
  std::unique_ptr<ShownVariablesPane> m_many;
  // The six variables of PaneFindSample().
  std::unique_ptr<ShownVariablesPane> m_survey;
  std::unique_ptr<TempFile> m_manyFile;
  std::unique_ptr<TempFile> m_surveyFile;
};

void VariablesPaneTest::init() {
  m_manyFile = WriteTemp(ManyVariables(60));
  m_surveyFile = WriteTemp(PaneFindSample());
  m_many = std::make_unique<ShownVariablesPane>();
  QVERIFY(m_many->Open(m_manyFile->path()));
  m_many->pane.variablesGrid()->setFocus();
}

void VariablesPaneTest::cleanup() {
  m_many.reset();
  m_survey.reset();
  m_manyFile.reset();
  m_surveyFile.reset();
}

void VariablesPaneTest::spaceMarksTwoRows() {
  VariablesPane& f = m_many->pane;
  m_many->Key(Qt::Key_Down);
  m_many->Key(Qt::Key_Space);
  QCOMPARE(f.variableList().RecNo(), 3);
  QCOMPARE(MarkedPositions(f), QList<int>({2, 3}));
  // Also while multi-select is off.
  m_many->ClickRow(5);
  QVERIFY(!f.variablesGrid()->MultiSelect());
  m_many->Key(Qt::Key_Space);
  QCOMPARE(MarkedPositions(f), QList<int>({6, 7}));
}

void VariablesPaneTest::editKeysFocusTheLastFindBox_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("mods");
  QTest::addColumn<int>("findBox");
  for (int box : {1, 2}) {
    const QByteArray suffix = box == 1 ? " findNameEdit" : " findLabelEdit";
    QTest::newRow("Backspace" + suffix) << int(Qt::Key_Backspace) << 0 << box;
    QTest::newRow("Delete" + suffix) << int(Qt::Key_Delete) << 0 << box;
    QTest::newRow("F2" + suffix) << int(Qt::Key_F2) << 0 << box;
    QTest::newRow("Ctrl+F" + suffix) << int(Qt::Key_F) << int(Qt::ControlModifier) << box;
    QTest::newRow("Ctrl+Shift+F" + suffix)
        << int(Qt::Key_F) << int(Qt::ControlModifier | Qt::ShiftModifier) << box;
  }
}

void VariablesPaneTest::editKeysFocusTheLastFindBox() {
  QFETCH(int, key);
  QFETCH(int, mods);
  QFETCH(int, findBox);
  VariablesPane& f = m_many->pane;
  QVERIFY(QTest::qWaitForWindowActive(&m_many->host));
  // Entering a box makes it the last one used.
  (findBox == 1 ? f.findNameEdit() : f.findLabelEdit())->setFocus();
  QCOMPARE(f.lastFindBox(), findBox);
  f.variablesGrid()->setFocus();
  m_many->Key(key, Qt::KeyboardModifiers(mods));
  QVERIFY((findBox == 1 ? f.findNameEdit() : f.findLabelEdit())->hasFocus());
}

void VariablesPaneTest::shiftClickInAScrolledGrid() {
  VariablesPane& f = m_many->pane;
  m_many->Key(Qt::Key_End);
  QCOMPARE(f.variableList().RecNo(), 60);
  // The second visible row, whatever the top row now is.
  const int target = f.variablesGrid()->ViewPositionOfGridRow(2);
  QVERIFY(target > 1 && target < 60);
  const int y = f.variablesGrid()->viewport()->mapTo(f.variablesGrid(), QPoint(0, 0)).y();
  const int rowY = [&] {
    for (int py = 0; py < f.variablesGrid()->height(); ++py)
      if (f.variablesGrid()->GridRowAt(py) == 2) return py;
    return -1;
  }();
  QVERIFY(rowY >= 0);
  QTest::mouseClick(f.variablesGrid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    QPoint(20, rowY - y + 3));
  QCOMPARE(f.variableList().RecNo(), target);
  QCOMPARE(MarkedPositions(f).size(), 60 - target + 1);
  QCOMPARE(MarkedPositions(f).first(), target);
}

void VariablesPaneTest::ctrlClickTogglesAndPlainClickDrops() {
  VariablesPane& f = m_many->pane;
  m_many->ClickRow(1, Qt::ControlModifier);
  m_many->ClickRow(3, Qt::ControlModifier);
  m_many->ClickRow(6, Qt::ControlModifier);
  QCOMPARE(MarkedPositions(f), QList<int>({2, 4, 7}));
  m_many->ClickRow(3, Qt::ControlModifier);
  QCOMPARE(MarkedPositions(f), QList<int>({2, 7}));
  QCOMPARE(f.variableList().RecNo(), 4);
  m_many->ClickRow(8);
  QVERIFY(MarkedPositions(f).isEmpty());
  QVERIFY(!f.variablesGrid()->MultiSelect());
  QCOMPARE(f.variableList().RecNo(), 9);
  QVERIFY(!f.variablesGrid()->ColMoving());
}

void VariablesPaneTest::rightClickLeavesCursorAndMarks() {
  VariablesPane& f = m_many->pane;
  m_many->ClickRow(2, Qt::ControlModifier);
  m_many->ClickRow(5, Qt::NoModifier, Qt::RightButton);
  QCOMPARE(f.variableList().RecNo(), 3);
  QCOMPARE(MarkedPositions(f), QList<int>({3}));
}

void VariablesPaneTest::enteringABoxEmptiesTheOther() {
  openSurvey();
  VariablesPane& f = m_survey->pane;
  QTest::mouseClick(f.findNameEdit(), Qt::LeftButton);
  QTest::keyClicks(f.findNameEdit(), "sex");
  QCOMPARE(f.lastFindBox(), 1);
  QTest::mouseClick(f.findLabelEdit(), Qt::LeftButton);
  QVERIFY(f.findNameEdit()->text().isEmpty());
  QCOMPARE(f.lastFindBox(), 2);
  QTest::keyClicks(f.findLabelEdit(), "sex");
  QTest::keyClick(f.findLabelEdit(), Qt::Key_F2);
  QVERIFY(f.findNameEdit()->hasFocus());
  QVERIFY(f.findLabelEdit()->text().isEmpty());
  QCOMPARE(f.lastFindBox(), 1);
}

void VariablesPaneTest::selectAllUnderTheFilterAndUnshownMarks() {
  openSurvey();
  VariablesPane& f = m_survey->pane;
  m_survey->ClickRow(0, Qt::ControlModifier);  // id: outside the filtered view
  f.findLabelEdit()->setText("INCOME");
  f.filterCheck()->click();
  f.variableList().SetRecNo(2);
  m_survey->Key(Qt::Key_A, Qt::ControlModifier);
  QVERIFY(f.variablesGrid()->MultiSelect());
  QCOMPARE(f.variableList().RecNo(), 2);
  m_survey->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_survey->ui.clipboard, QString("Q27b\tHousehold INCOME\t\tF8.2\r\n"
                                           "q27c\tIncome of partner\t\tF8.2\r\n"
                                           "inc_t\tTotal income\t\tF8.2\r\n"));
  // Marks made with Space after a plain click are not drawn but still copied.
  f.filterCheck()->click();
  m_survey->ClickRow(3);
  QVERIFY(!f.variablesGrid()->MultiSelect());
  m_survey->Key(Qt::Key_Space);
  f.copyNamesAction()->trigger();
  QCOMPARE(m_survey->ui.clipboard, QString("age\r\nsex\r\n"));
}

void VariablesPaneTest::keysAskTheWindow_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("mods");
  QTest::addColumn<QByteArray>("signal");
  const QByteArray toggle = SIGNAL(toggleDisplayRequested());
  const QByteArray document = SIGNAL(documentRequested());
  const QByteArray command = SIGNAL(openWithCommandRequested());
  const QByteArray sort = SIGNAL(sortRequested(std::string));
  QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << toggle;
  QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << toggle;
  QTest::newRow("Ctrl+D") << int(Qt::Key_D) << int(Qt::ControlModifier) << document;
  QTest::newRow("D alone") << int(Qt::Key_D) << 0 << QByteArray();
  QTest::newRow("Ctrl+N") << int(Qt::Key_N) << int(Qt::ControlModifier) << command;
  QTest::newRow("N alone") << int(Qt::Key_N) << 0 << QByteArray();
  QTest::newRow("F5") << int(Qt::Key_F5) << 0 << sort;
}

// Each key asks for its one thing, and nothing else; the cursor stays.
void VariablesPaneTest::keysAskTheWindow() {
  QFETCH(int, key);
  QFETCH(int, mods);
  QFETCH(QByteArray, signal);
  VariablesPane& f = m_many->pane;
  f.variableList().SetRecNo(4);
  const QByteArray all[] = {SIGNAL(toggleDisplayRequested()),   SIGNAL(documentRequested()),
                            SIGNAL(openWithCommandRequested()), SIGNAL(sortRequested(std::string)),
                            SIGNAL(cancelRequested()),          SIGNAL(currentChanged())};
  std::vector<std::unique_ptr<QSignalSpy>> spies;
  for (const QByteArray& s : all) spies.push_back(std::make_unique<QSignalSpy>(&f, s.constData()));
  m_many->Key(key, Qt::KeyboardModifiers(mods));
  for (std::size_t i = 0; i < spies.size(); ++i)
    QCOMPARE(spies[i]->count(), all[i] == signal ? 1 : 0);
  if (signal == SIGNAL(sortRequested(std::string)))
    QCOMPARE(spies[3]->first().first().value<std::string>(), std::string("recid"));
  QCOMPARE(f.variableList().RecNo(), 4);
}

// A title asks for a sort by its field; the hidden fifth column has none.
void VariablesPaneTest::titleClickAsksForTheSort() {
  VariablesPane& f = m_many->pane;
  std::vector<std::string> asked;
  connect(&f, &VariablesPane::sortRequested, this,
          [&](const std::string& field) { asked.push_back(field); });
  for (int column = 0; column < VariablesGrid::kColumns; ++column)
    f.variablesGrid()->OnTitleClick(column);
  QCOMPARE(asked, (std::vector<std::string>{"VarName", "VarLabel", "MissingValues", "PrintFmt",
                                            "Measure", "Role"}));
  // The pane does not sort by itself: that is the window's to do.
  QCOMPARE(m_many->GridNames().first(), QString("v1"));
}

// While a pass runs the grid's keys wait; Escape asks for the cancel.
void VariablesPaneTest::busyPaneOnlyCancels() {
  VariablesPane& f = m_many->pane;
  bool busy = true;
  f.SetBusyQuery([&] { return busy; });
  QSignalSpy cancel(&f, &VariablesPane::cancelRequested);
  QSignalSpy toggle(&f, &VariablesPane::toggleDisplayRequested);
  f.variableList().SetRecNo(3);
  m_many->Key(Qt::Key_Space);
  m_many->Key(Qt::Key_Return);
  m_many->Key(Qt::Key_F8);
  QVERIFY(MarkedPositions(f).isEmpty());
  QCOMPARE(toggle.count(), 0);
  QVERIFY(!f.filterCheck()->isChecked());
  QCOMPARE(cancel.count(), 0);
  m_many->Key(Qt::Key_Escape);
  QCOMPARE(cancel.count(), 1);
  busy = false;
  m_many->Key(Qt::Key_Escape);
  QCOMPARE(cancel.count(), 1);
  m_many->Key(Qt::Key_Space);
  QCOMPARE(MarkedPositions(f), QList<int>({3, 4}));
}

// Every way the cursor moves is announced once: keys, clicks, finds and the
// filter; a failed find announces nothing.
void VariablesPaneTest::movesAreAnnounced() {
  VariablesPane& f = m_many->pane;
  QSignalSpy moved(&f, &VariablesPane::currentChanged);
  m_many->Key(Qt::Key_Down);
  QCOMPARE(moved.count(), 1);
  m_many->ClickRow(4, Qt::ShiftModifier);
  QCOMPARE(moved.count(), 2);
  QCOMPARE(f.variableList().RecNo(), 5);
  f.findNameEdit()->setText("v4");
  f.FindVariable(true, false);
  QCOMPARE(f.variableList().RecNo(), 40);
  QCOMPARE(moved.count(), 3);
  f.findNameEdit()->setText("zz");
  f.FindVariable(true, false);
  QCOMPARE(moved.count(), 3);
  QCOMPARE(m_many->Count("SystemMessageBox"), 1);
  f.findNameEdit()->setText("v5");
  f.filterCheck()->click();
  QCOMPARE(m_many->GridNames(), QStringList({"v5", "v50", "v51", "v52", "v53", "v54", "v55", "v56",
                                             "v57", "v58", "v59"}));
  QCOMPARE(moved.count(), 4);
}

QTEST_MAIN(VariablesPaneTest)
#include "VariablesPane_test.moc"
