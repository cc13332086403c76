// Find, filter, selection and copy in the real window: the find boxes and
// buttons, the filter check box, the variables grid's keys and popup menu.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "app/MainWindow.h"
#include "controls/BxDBGrid.h"
#include "controls/ValStringGrid.h"
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
  TForm1& f = m_w->form;
  f.Variables.Edit2->setFocus();
  QTest::keyClicks(f.Variables.Edit2, "INCOME");
  // Each step: where it is sent, the key or button, the position after it.
  QTest::keyClick(f.Variables.Edit2, Qt::Key_Return);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 2);
  QVERIFY(f.Variables.VarGrid->hasFocus());
  QCOMPARE(f.StatusText(0), QString("2/6"));
  QCOMPARE(f.StatusText(1), QString("Household INCOME"));
  m_w->Key(Qt::Key_F3);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 3);
  m_w->Key(Qt::Key_F3);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 6);
  m_w->Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 3);
  m_w->Key(Qt::Key_F3, Qt::AltModifier);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 2);
  m_w->Key(Qt::Key_F3, Qt::ControlModifier);  // neither Shift nor Alt: next
  QCOMPARE(f.Variables.VarMemData.RecNo(), 3);
  f.repfindbtn4->trigger();
  QCOMPARE(f.Variables.VarMemData.RecNo(), 6);
  f.repfindbtn2->trigger();
  QCOMPARE(f.Variables.VarMemData.RecNo(), 3);
  m_w->Key(Qt::Key_F4);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 2);
  f.Variables.VarMemData.SetRecNo(4);
  f.repfindbtn1->trigger();  // first, above the cursor
  QCOMPARE(f.Variables.VarMemData.RecNo(), 2);
  f.repfindbtn3->trigger();
  QCOMPARE(f.Variables.VarMemData.RecNo(), 3);
  QCOMPARE(m_w->Count("SystemMessageBox"), 0);

  // Capitals typed find the name in any case; accented letters only themselves.
  f.Variables.Edit1->setFocus();
  QVERIFY(f.Variables.Edit2->text().isEmpty());
  QTest::keyClicks(f.Variables.Edit1, "Q27C");
  QTest::keyClick(f.Variables.Edit1, Qt::Key_F4);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 3);
  f.Variables.Edit2->setFocus();
  f.Variables.Edit2->setText("âge");
  QTest::keyClick(f.Variables.Edit2, Qt::Key_Enter);
  QCOMPARE(m_w->ui.Last().text, QString("âge not found"));
  f.Variables.Edit2->setText("ÂGE");
  QTest::keyClick(f.Variables.Edit2, Qt::Key_Enter);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 4);
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
  TForm1& f = m_w->form;
  f.Variables.Edit1->setText("zz");
  for (const Step& s : steps) {
    f.Variables.VarMemData.SetRecNo(s.start);
    m_w->ClickRow(s.start - 1, Qt::ControlModifier);
    const QString status = f.StatusText(0);
    // A refill of the values pane would overwrite this.
    f.Values.StringGrid1->SetCell(0, 1, "untouched");
    const int messages = m_w->Count("SystemMessageBox");
    f.Variables.VarGrid->setFocus();
    m_w->Key(s.key, s.mods);
    QCOMPARE(f.Variables.VarMemData.RecNo(), s.start);
    QCOMPARE(f.StatusText(0), status);
    QCOMPARE(f.Values.StringGrid1->Cell(0, 1), QString("untouched"));
    if (*s.caption == 0) {
      QCOMPARE(m_w->Count("SystemMessageBox"), messages);
      QVERIFY(!f.Variables.VarGrid->SelectedRows().empty());
    } else {
      QCOMPARE(m_w->Count("SystemMessageBox"), messages + 1);
      QCOMPARE(m_w->ui.Last().caption, QString(s.caption));
      QCOMPARE(m_w->ui.Last().text, QString("zz not found"));
      QCOMPARE(m_w->ui.Last().icon, MessageIcon::Information);
      QVERIFY(f.Variables.VarGrid->SelectedRows().empty());
    }
    f.Variables.VarGrid->ClearMarks();
  }
  f.repfindbtn4->trigger();
  QCOMPARE(m_w->ui.Last().caption, QString(" Find last match"));
}

void FindHandlersTest::enteringABoxEmptiesTheOther() {
  TForm1& f = m_w->form;
  QTest::mouseClick(f.Variables.Edit1, Qt::LeftButton);
  QTest::keyClicks(f.Variables.Edit1, "sex");
  QCOMPARE(f.Variables.LastFindBox, 1);
  QTest::mouseClick(f.Variables.Edit2, Qt::LeftButton);
  QVERIFY(f.Variables.Edit1->text().isEmpty());
  QCOMPARE(f.Variables.LastFindBox, 2);
  QTest::keyClicks(f.Variables.Edit2, "sex");
  QTest::keyClick(f.Variables.Edit2, Qt::Key_F2);
  QVERIFY(f.Variables.Edit1->hasFocus());
  QVERIFY(f.Variables.Edit2->text().isEmpty());
  QCOMPARE(f.Variables.LastFindBox, 1);
}

void FindHandlersTest::filterOnAndOffKeepsTheRowNumber() {
  TForm1& f = m_w->form;
  f.Variables.VarMemData.SetRecNo(5);
  f.Variables.Edit2->setText("income");
  f.Variables.Filter1->click();
  QVERIFY(f.Variables.Filter1->isChecked());
  QCOMPARE(m_w->GridNames(), QStringList({"Q27b", "q27c", "inc_t"}));
  QCOMPARE(f.Variables.VarMemData.RecNo(), 1);
  QCOMPARE(f.StatusText(0), QString("1/6"));
  QCOMPARE(f.StatusText(1), QString("Household INCOME"));
  f.Variables.VarMemData.SetRecNo(3);
  QCOMPARE(f.StatusText(0), QString("3/6"));
  // Typing alone does not change the view.
  f.Variables.Edit2->setText("sex");
  QCOMPARE(f.Variables.VarMemData.RecordCount(), 3);
  f.Variables.VarGrid->setFocus();
  m_w->Key(Qt::Key_F8);
  QVERIFY(!f.Variables.Filter1->isChecked());
  QCOMPARE(f.Variables.VarMemData.RecordCount(), 6);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 3);
  QCOMPARE(f.StatusText(1), QString("Income of partner"));
  // Ctrl+S in a box toggles it as well; F8 there too.
  f.Variables.Edit2->setFocus();
  QTest::keyClick(f.Variables.Edit2, Qt::Key_S, Qt::ControlModifier);
  QVERIFY(f.Variables.Filter1->isChecked());
  QCOMPARE(m_w->GridNames(), QStringList({"sex"}));
  QTest::keyClick(f.Variables.Edit2, Qt::Key_F8);
  QVERIFY(!f.Variables.Filter1->isChecked());
  QCOMPARE(f.Variables.VarMemData.RecordCount(), 6);
}

void FindHandlersTest::filterThatCannotGoOnUnchecksOnce() {
  TForm1& f = m_w->form;
  f.Variables.VarMemData.SetRecNo(4);
  // Both boxes empty: no message, still off.
  f.Variables.Filter1->click();
  QVERIFY(!f.Variables.Filter1->isChecked());
  QCOMPARE(m_w->Count("SystemMessageBox"), 0);
  f.Variables.Edit1->setText("zz");
  f.Values.StringGrid1->SetCell(0, 1, "untouched");
  f.Variables.Filter1->click();
  QVERIFY(!f.Variables.Filter1->isChecked());
  QVERIFY(!f.Variables.VarMemData.Filtered());
  QCOMPARE(m_w->Count("SystemMessageBox"), 1);
  QCOMPARE(m_w->ui.Last().caption, QString(" Find first match"));
  QCOMPARE(f.Variables.VarMemData.RecordCount(), 6);
  QCOMPARE(f.Variables.VarMemData.RecNo(), 4);
  QCOMPARE(f.Values.StringGrid1->Cell(0, 1), QString("untouched"));
}

void FindHandlersTest::copyLevelsOfMarksMadeBottomUp() {
  TForm1& f = m_w->form;
  // Without marks: the current row alone, no line end.
  f.Variables.VarMemData.SetRecNo(2);
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString("Q27b\tHousehold INCOME\t\tF8.2"));
  for (int row : {5, 3, 0}) m_w->ClickRow(row, Qt::ControlModifier);
  const QString status = f.StatusText(0);
  f.Values.StringGrid1->SetCell(0, 1, "untouched");
  struct Copy {
    QAction* item;
    const char* text;
  };
  const Copy copies[] = {
      {f.Variables.Variables1, "id\r\nage\r\ninc_t\r\n"},
      {f.Variables.VariablesLabels1,
       "id\tRespondent id\r\nage\tÂGE en années\r\ninc_t\tTotal income\r\n"},
      {f.Variables.All1,
       "id\tRespondent id\t\tF8.2\r\nage\tÂGE en années\t\tF8.2\r\ninc_t\tTotal "
       "income\t\tF8.2\r\n"},
  };
  for (const Copy& c : copies) {
    c.item->trigger();
    QCOMPARE(m_w->ui.clipboard, QString::fromUtf8(c.text));
  }
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString::fromUtf8(copies[2].text));
  QCOMPARE(f.Variables.VarMemData.RecNo(), 1);
  QCOMPARE(f.StatusText(0), status);
  QCOMPARE(f.Values.StringGrid1->Cell(0, 1), QString("untouched"));

  // The right button opens the menu, which is not the grid's own.
  QCOMPARE(f.Variables.VarGrid->contextMenuPolicy(), Qt::DefaultContextMenu);
  m_w->ClickRow(2, Qt::NoModifier, Qt::RightButton);
  QVERIFY(f.Variables.PopupMenu1->isVisible());
  QCOMPARE(f.Variables.VariablesLabels1->text(), QString("Variable Names && &Labels"));
  f.Variables.PopupMenu1->hide();
}

void FindHandlersTest::selectAllUnderTheFilterAndUnshownMarks() {
  TForm1& f = m_w->form;
  m_w->ClickRow(0, Qt::ControlModifier);  // id: outside the filtered view
  f.Variables.Edit2->setText("INCOME");
  f.Variables.Filter1->click();
  f.Variables.VarMemData.SetRecNo(2);
  m_w->Key(Qt::Key_A, Qt::ControlModifier);
  QVERIFY(f.Variables.VarGrid->MultiSelect());
  QCOMPARE(f.Variables.VarMemData.RecNo(), 2);
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString("Q27b\tHousehold INCOME\t\tF8.2\r\n"
                                      "q27c\tIncome of partner\t\tF8.2\r\n"
                                      "inc_t\tTotal income\t\tF8.2\r\n"));
  // Marks made with Space after a plain click are not drawn but still copied.
  f.Variables.Filter1->click();
  m_w->ClickRow(3);
  QVERIFY(!f.Variables.VarGrid->MultiSelect());
  m_w->Key(Qt::Key_Space);
  f.Variables.Variables1->trigger();
  QCOMPARE(m_w->ui.clipboard, QString("age\r\nsex\r\n"));
}

QTEST_MAIN(FindHandlersTest)
#include "FindHandlers_test.moc"
