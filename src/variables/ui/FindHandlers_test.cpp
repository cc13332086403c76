// Find, filter, selection and copy in the real window: the find boxes and
// buttons, the filter check box, the variables grid's keys and popup menu.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "app/MainWindow.h"
#include "variables/ui/VariablesGrid.h"
#include "values/ui/ValuesGrid.h"
#include "testing/WindowTestSupport.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

// Six variables; three labels mention income in different cases, one label
// has accented capitals.
SavFile Survey() {
  SavFile f;
  const char* const vars[][2] = {{"id", "Respondent id"},
                                 {"Q27b", "Household INCOME"},
                                 {"q27c", "Income of partner"},
                                 {"age", "ÂGE en années"},
                                 {"sex", "Sex"},
                                 {"inc_t", "Total income"}};
  Case row;
  for (const auto& v : vars) {
    f.variables.push_back(Variable::numeric(v[0], std::string(v[1])));
    row.push_back(1.0);
  }
  f.variables[4].numericLabels = {{1, "Male"}, {2, "Female"}};
  f.cases = {row};
  return f;
}

}  // namespace

class FindHandlersTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void keysAndButtonsStepThroughMatches();
  void noMatchChangesNothingButTheMarks();
  void enteringABoxEmptiesTheOther();
  void filterOnAndOffKeepsTheRowNumber();
  void filterThatCannotGoOnUnchecksOnce();
  void copyLevelsOfMarksMadeBottomUp();
  void selectAllUnderTheFilterAndUnshownMarks();

 private:
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

void FindHandlersTest::init() {
  m_w = std::make_unique<ShownWindow>();
  m_file = WriteTemp(Survey());
  m_w->Open(m_file->path());
  QVERIFY(QTest::qWaitForWindowActive(&m_w->form));
}

void FindHandlersTest::cleanup() {
  m_w.reset();
  m_file.reset();
}

void FindHandlersTest::keysAndButtonsStepThroughMatches() {
  MainWindow& f = m_w->form;
  f.Variables.findLabelEdit->setFocus();
  QTest::keyClicks(f.Variables.findLabelEdit, "INCOME");
  // Each step: where it is sent, the key or button, the position after it.
  QTest::keyClick(f.Variables.findLabelEdit, Qt::Key_Return);
  QCOMPARE(f.Variables.variableList.RecNo(), 2);
  QVERIFY(f.Variables.variablesGrid->hasFocus());
  QCOMPARE(f.StatusText(0), QString("2/6"));
  QCOMPARE(f.StatusText(1), QString("Household INCOME"));
  m_w->Key(Qt::Key_F3);
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  m_w->Key(Qt::Key_F3);
  QCOMPARE(f.Variables.variableList.RecNo(), 6);
  m_w->Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  m_w->Key(Qt::Key_F3, Qt::AltModifier);
  QCOMPARE(f.Variables.variableList.RecNo(), 2);
  m_w->Key(Qt::Key_F3, Qt::ControlModifier);  // neither Shift nor Alt: next
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  f.findLastAction->trigger();
  QCOMPARE(f.Variables.variableList.RecNo(), 6);
  f.findPreviousAction->trigger();
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  m_w->Key(Qt::Key_F4);
  QCOMPARE(f.Variables.variableList.RecNo(), 2);
  f.Variables.variableList.SetRecNo(4);
  f.findFirstAction->trigger();  // first, above the cursor
  QCOMPARE(f.Variables.variableList.RecNo(), 2);
  f.findNextAction->trigger();
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  QCOMPARE(m_w->Count("SystemMessageBox"), 0);

  // Capitals typed find the name in any case; accented letters only themselves.
  f.Variables.findNameEdit->setFocus();
  QVERIFY(f.Variables.findLabelEdit->text().isEmpty());
  QTest::keyClicks(f.Variables.findNameEdit, "Q27C");
  QTest::keyClick(f.Variables.findNameEdit, Qt::Key_F4);
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  f.Variables.findLabelEdit->setFocus();
  f.Variables.findLabelEdit->setText("âge");
  QTest::keyClick(f.Variables.findLabelEdit, Qt::Key_Enter);
  QCOMPARE(m_w->ui.Last().text, QString("âge not found"));
  f.Variables.findLabelEdit->setText("ÂGE");
  QTest::keyClick(f.Variables.findLabelEdit, Qt::Key_Enter);
  QCOMPARE(f.Variables.variableList.RecNo(), 4);
}

void FindHandlersTest::noMatchChangesNothingButTheMarks() {
  struct Step {
    int key;
    Qt::KeyboardModifiers mods;
    int start;
    const char* caption;  // empty: nothing shown
  };
  const Step steps[] = {{Qt::Key_F4, {}, 4, " Find first match"},
                        {Qt::Key_F3, {}, 3, " Find forward"},
                        {Qt::Key_F3, Qt::ShiftModifier, 3, " Find backward"},
                        {Qt::Key_F3, {}, 6, ""},
                        {Qt::Key_F3, Qt::AltModifier, 1, ""}};
  MainWindow& f = m_w->form;
  f.Variables.findNameEdit->setText("zz");
  for (const Step& s : steps) {
    f.Variables.variableList.SetRecNo(s.start);
    m_w->ClickRow(s.start - 1, Qt::ControlModifier);
    const QString status = f.StatusText(0);
    // A refill of the values pane would overwrite this.
    f.Values.valuesGrid->SetCell(0, 1, "untouched");
    const int messages = m_w->Count("SystemMessageBox");
    f.Variables.variablesGrid->setFocus();
    m_w->Key(s.key, s.mods);
    QCOMPARE(f.Variables.variableList.RecNo(), s.start);
    QCOMPARE(f.StatusText(0), status);
    QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString("untouched"));
    if (*s.caption == 0) {
      QCOMPARE(m_w->Count("SystemMessageBox"), messages);
      QVERIFY(!f.Variables.variablesGrid->SelectedRows().empty());
    } else {
      QCOMPARE(m_w->Count("SystemMessageBox"), messages + 1);
      QCOMPARE(m_w->ui.Last().caption, QString(s.caption));
      QCOMPARE(m_w->ui.Last().text, QString("zz not found"));
      QCOMPARE(m_w->ui.Last().icon, MessageIcon::Information);
      QVERIFY(f.Variables.variablesGrid->SelectedRows().empty());
    }
    f.Variables.variablesGrid->ClearMarks();
  }
  f.findLastAction->trigger();
  QCOMPARE(m_w->ui.Last().caption, QString(" Find last match"));
}

void FindHandlersTest::enteringABoxEmptiesTheOther() {
  MainWindow& f = m_w->form;
  QTest::mouseClick(f.Variables.findNameEdit, Qt::LeftButton);
  QTest::keyClicks(f.Variables.findNameEdit, "sex");
  QCOMPARE(f.Variables.LastFindBox, 1);
  QTest::mouseClick(f.Variables.findLabelEdit, Qt::LeftButton);
  QVERIFY(f.Variables.findNameEdit->text().isEmpty());
  QCOMPARE(f.Variables.LastFindBox, 2);
  QTest::keyClicks(f.Variables.findLabelEdit, "sex");
  QTest::keyClick(f.Variables.findLabelEdit, Qt::Key_F2);
  QVERIFY(f.Variables.findNameEdit->hasFocus());
  QVERIFY(f.Variables.findLabelEdit->text().isEmpty());
  QCOMPARE(f.Variables.LastFindBox, 1);
}

void FindHandlersTest::filterOnAndOffKeepsTheRowNumber() {
  MainWindow& f = m_w->form;
  f.Variables.variableList.SetRecNo(5);
  f.Variables.findLabelEdit->setText("income");
  f.Variables.filterCheck->click();
  QVERIFY(f.Variables.filterCheck->isChecked());
  QCOMPARE(m_w->GridNames(), QStringList({"Q27b", "q27c", "inc_t"}));
  QCOMPARE(f.Variables.variableList.RecNo(), 1);
  QCOMPARE(f.StatusText(0), QString("1/6"));
  QCOMPARE(f.StatusText(1), QString("Household INCOME"));
  f.Variables.variableList.SetRecNo(3);
  QCOMPARE(f.StatusText(0), QString("3/6"));
  // Typing alone does not change the view.
  f.Variables.findLabelEdit->setText("sex");
  QCOMPARE(f.Variables.variableList.RecordCount(), 3);
  f.Variables.variablesGrid->setFocus();
  m_w->Key(Qt::Key_F8);
  QVERIFY(!f.Variables.filterCheck->isChecked());
  QCOMPARE(f.Variables.variableList.RecordCount(), 6);
  QCOMPARE(f.Variables.variableList.RecNo(), 3);
  QCOMPARE(f.StatusText(1), QString("Income of partner"));
  // Ctrl+S in a box toggles it as well; F8 there too.
  f.Variables.findLabelEdit->setFocus();
  QTest::keyClick(f.Variables.findLabelEdit, Qt::Key_S, Qt::ControlModifier);
  QVERIFY(f.Variables.filterCheck->isChecked());
  QCOMPARE(m_w->GridNames(), QStringList({"sex"}));
  QTest::keyClick(f.Variables.findLabelEdit, Qt::Key_F8);
  QVERIFY(!f.Variables.filterCheck->isChecked());
  QCOMPARE(f.Variables.variableList.RecordCount(), 6);
}

void FindHandlersTest::filterThatCannotGoOnUnchecksOnce() {
  MainWindow& f = m_w->form;
  f.Variables.variableList.SetRecNo(4);
  // Both boxes empty: no message, still off.
  f.Variables.filterCheck->click();
  QVERIFY(!f.Variables.filterCheck->isChecked());
  QCOMPARE(m_w->Count("SystemMessageBox"), 0);
  f.Variables.findNameEdit->setText("zz");
  f.Values.valuesGrid->SetCell(0, 1, "untouched");
  f.Variables.filterCheck->click();
  QVERIFY(!f.Variables.filterCheck->isChecked());
  QVERIFY(!f.Variables.variableList.Filtered());
  QCOMPARE(m_w->Count("SystemMessageBox"), 1);
  QCOMPARE(m_w->ui.Last().caption, QString(" Find first match"));
  QCOMPARE(f.Variables.variableList.RecordCount(), 6);
  QCOMPARE(f.Variables.variableList.RecNo(), 4);
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString("untouched"));
}

void FindHandlersTest::copyLevelsOfMarksMadeBottomUp() {
  MainWindow& f = m_w->form;
  // Without marks: the current row alone, no line end.
  f.Variables.variableList.SetRecNo(2);
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString("Q27b\tHousehold INCOME\t\tF8.2"));
  for (int row : {5, 3, 0}) m_w->ClickRow(row, Qt::ControlModifier);
  const QString status = f.StatusText(0);
  f.Values.valuesGrid->SetCell(0, 1, "untouched");
  struct Copy {
    QAction* item;
    const char* text;
  };
  const Copy copies[] = {
      {f.Variables.copyNamesAction, "id\r\nage\r\ninc_t\r\n"},
      {f.Variables.copyNamesLabelsAction,
       "id\tRespondent id\r\nage\tÂGE en années\r\ninc_t\tTotal income\r\n"},
      {f.Variables.copyAllAction,
       "id\tRespondent id\t\tF8.2\r\nage\tÂGE en années\t\tF8.2\r\ninc_t\tTotal "
       "income\t\tF8.2\r\n"},
  };
  for (const Copy& c : copies) {
    c.item->trigger();
    QCOMPARE(m_w->ui.clipboard, QString::fromUtf8(c.text));
  }
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString::fromUtf8(copies[2].text));
  QCOMPARE(f.Variables.variableList.RecNo(), 1);
  QCOMPARE(f.StatusText(0), status);
  QCOMPARE(f.Values.valuesGrid->Cell(0, 1), QString("untouched"));

  // The right button opens the menu, which is not the grid's own.
  QCOMPARE(f.Variables.variablesGrid->contextMenuPolicy(), Qt::DefaultContextMenu);
  m_w->ClickRow(2, Qt::NoModifier, Qt::RightButton);
  QVERIFY(f.Variables.variablesMenu->isVisible());
  QCOMPARE(f.Variables.copyNamesLabelsAction->text(), QString("Variable Names && &Labels"));
  f.Variables.variablesMenu->hide();
}

void FindHandlersTest::selectAllUnderTheFilterAndUnshownMarks() {
  MainWindow& f = m_w->form;
  m_w->ClickRow(0, Qt::ControlModifier);  // id: outside the filtered view
  f.Variables.findLabelEdit->setText("INCOME");
  f.Variables.filterCheck->click();
  f.Variables.variableList.SetRecNo(2);
  m_w->Key(Qt::Key_A, Qt::ControlModifier);
  QVERIFY(f.Variables.variablesGrid->MultiSelect());
  QCOMPARE(f.Variables.variableList.RecNo(), 2);
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString("Q27b\tHousehold INCOME\t\tF8.2\r\n"
                                      "q27c\tIncome of partner\t\tF8.2\r\n"
                                      "inc_t\tTotal income\t\tF8.2\r\n"));
  // Marks made with Space after a plain click are not drawn but still copied.
  f.Variables.filterCheck->click();
  m_w->ClickRow(3);
  QVERIFY(!f.Variables.variablesGrid->MultiSelect());
  m_w->Key(Qt::Key_Space);
  f.Variables.copyNamesAction->trigger();
  QCOMPARE(m_w->ui.clipboard, QString("age\r\nsex\r\n"));
}

QTEST_MAIN(FindHandlersTest)
#include "FindHandlers_test.moc"
