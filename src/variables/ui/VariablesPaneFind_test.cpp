// Find, filter, selection and copy in the real window: the find boxes and
// buttons, the filter check box, the variables grid's keys and popup menu.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "app/MainWindow.h"
#include "testing/PaneTestSupport.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

using namespace brindle;
using namespace brindle::testing;

class VariablesPaneFindTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void keysAndButtonsStepThroughMatches();
  void noMatchChangesNothingButTheMarks();
  void filterOnAndOffKeepsTheRowNumber();
  void filterThatCannotGoOnUnchecksOnce();
  void copyLevelsOfMarksMadeBottomUp();

 private:
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

void VariablesPaneFindTest::init() {
  m_w = std::make_unique<ShownWindow>();
  m_file = WriteTemp(PaneFindSample());
  m_w->Open(m_file->path());
  QVERIFY(QTest::qWaitForWindowActive(&m_w->form));
}

void VariablesPaneFindTest::cleanup() {
  m_w.reset();
  m_file.reset();
}

void VariablesPaneFindTest::keysAndButtonsStepThroughMatches() {
  MainWindow& f = m_w->form;
  f.variablesPane().findLabelEdit()->setFocus();
  QTest::keyClicks(f.variablesPane().findLabelEdit(), "INCOME");
  // Each step: where it is sent, the key or button, the position after it.
  QTest::keyClick(f.variablesPane().findLabelEdit(), Qt::Key_Return);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 2);
  QVERIFY(f.variablesPane().variablesGrid()->hasFocus());
  QCOMPARE(f.StatusText(0), QString("2/6"));
  QCOMPARE(f.StatusText(1), QString("Household INCOME"));
  m_w->Key(Qt::Key_F3);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 3);
  m_w->Key(Qt::Key_F3);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 6);
  m_w->Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 3);
  m_w->Key(Qt::Key_F3, Qt::AltModifier);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 2);
  m_w->Key(Qt::Key_F3, Qt::ControlModifier);  // neither Shift nor Alt: next
  QCOMPARE(f.variablesPane().variableList().RecNo(), 3);
  f.variablesPane().findActions()[3]->trigger();
  QCOMPARE(f.variablesPane().variableList().RecNo(), 6);
  f.variablesPane().findActions()[1]->trigger();
  QCOMPARE(f.variablesPane().variableList().RecNo(), 3);
  m_w->Key(Qt::Key_F4);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 2);
  f.variablesPane().variableList().SetRecNo(4);
  f.variablesPane().findActions()[0]->trigger();  // first, above the cursor
  QCOMPARE(f.variablesPane().variableList().RecNo(), 2);
  f.variablesPane().findActions()[2]->trigger();
  QCOMPARE(f.variablesPane().variableList().RecNo(), 3);
  QCOMPARE(m_w->Count("SystemMessageBox"), 0);

  // Capitals typed find the name in any case; accented letters only themselves.
  f.variablesPane().findNameEdit()->setFocus();
  QVERIFY(f.variablesPane().findLabelEdit()->text().isEmpty());
  QTest::keyClicks(f.variablesPane().findNameEdit(), "Q27C");
  QTest::keyClick(f.variablesPane().findNameEdit(), Qt::Key_F4);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 3);
  f.variablesPane().findLabelEdit()->setFocus();
  f.variablesPane().findLabelEdit()->setText("âge");
  QTest::keyClick(f.variablesPane().findLabelEdit(), Qt::Key_Enter);
  QCOMPARE(m_w->ui.Last().text, QString("âge not found"));
  f.variablesPane().findLabelEdit()->setText("ÂGE");
  QTest::keyClick(f.variablesPane().findLabelEdit(), Qt::Key_Enter);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 4);
}

void VariablesPaneFindTest::noMatchChangesNothingButTheMarks() {
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
  f.variablesPane().findNameEdit()->setText("zz");
  for (const Step& s : steps) {
    f.variablesPane().variableList().SetRecNo(s.start);
    m_w->ClickRow(s.start - 1, Qt::ControlModifier);
    const QString status = f.StatusText(0);
    // A refill of the values pane would overwrite this.
    f.valuesPane().valuesGrid()->SetCell(0, 1, "untouched");
    const int messages = m_w->Count("SystemMessageBox");
    f.variablesPane().variablesGrid()->setFocus();
    m_w->Key(s.key, s.mods);
    QCOMPARE(f.variablesPane().variableList().RecNo(), s.start);
    QCOMPARE(f.StatusText(0), status);
    QCOMPARE(f.valuesPane().valuesGrid()->Cell(0, 1), QString("untouched"));
    if (*s.caption == 0) {
      QCOMPARE(m_w->Count("SystemMessageBox"), messages);
      QVERIFY(!f.variablesPane().variablesGrid()->SelectedRows().empty());
    } else {
      QCOMPARE(m_w->Count("SystemMessageBox"), messages + 1);
      QCOMPARE(m_w->ui.Last().caption, QString(s.caption));
      QCOMPARE(m_w->ui.Last().text, QString("zz not found"));
      QCOMPARE(m_w->ui.Last().icon, MessageIcon::Information);
      QVERIFY(f.variablesPane().variablesGrid()->SelectedRows().empty());
    }
    f.variablesPane().variablesGrid()->ClearMarks();
  }
  f.variablesPane().findActions()[3]->trigger();
  QCOMPARE(m_w->ui.Last().caption, QString(" Find last match"));
}

void VariablesPaneFindTest::filterOnAndOffKeepsTheRowNumber() {
  MainWindow& f = m_w->form;
  f.variablesPane().variableList().SetRecNo(5);
  f.variablesPane().findLabelEdit()->setText("income");
  f.variablesPane().filterCheck()->click();
  QVERIFY(f.variablesPane().filterCheck()->isChecked());
  QCOMPARE(m_w->GridNames(), QStringList({"Q27b", "q27c", "inc_t"}));
  QCOMPARE(f.variablesPane().variableList().RecNo(), 1);
  QCOMPARE(f.StatusText(0), QString("1/6"));
  QCOMPARE(f.StatusText(1), QString("Household INCOME"));
  f.variablesPane().variableList().SetRecNo(3);
  QCOMPARE(f.StatusText(0), QString("3/6"));
  // Typing alone does not change the view.
  f.variablesPane().findLabelEdit()->setText("sex");
  QCOMPARE(f.variablesPane().variableList().RecordCount(), 3);
  f.variablesPane().variablesGrid()->setFocus();
  m_w->Key(Qt::Key_F8);
  QVERIFY(!f.variablesPane().filterCheck()->isChecked());
  QCOMPARE(f.variablesPane().variableList().RecordCount(), 6);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 3);
  QCOMPARE(f.StatusText(1), QString("Income of partner"));
  // Ctrl+S in a box toggles it as well; F8 there too.
  f.variablesPane().findLabelEdit()->setFocus();
  QTest::keyClick(f.variablesPane().findLabelEdit(), Qt::Key_S, Qt::ControlModifier);
  QVERIFY(f.variablesPane().filterCheck()->isChecked());
  QCOMPARE(m_w->GridNames(), QStringList({"sex"}));
  QTest::keyClick(f.variablesPane().findLabelEdit(), Qt::Key_F8);
  QVERIFY(!f.variablesPane().filterCheck()->isChecked());
  QCOMPARE(f.variablesPane().variableList().RecordCount(), 6);
}

void VariablesPaneFindTest::filterThatCannotGoOnUnchecksOnce() {
  MainWindow& f = m_w->form;
  f.variablesPane().variableList().SetRecNo(4);
  // Both boxes empty: no message, still off.
  f.variablesPane().filterCheck()->click();
  QVERIFY(!f.variablesPane().filterCheck()->isChecked());
  QCOMPARE(m_w->Count("SystemMessageBox"), 0);
  f.variablesPane().findNameEdit()->setText("zz");
  f.valuesPane().valuesGrid()->SetCell(0, 1, "untouched");
  f.variablesPane().filterCheck()->click();
  QVERIFY(!f.variablesPane().filterCheck()->isChecked());
  QVERIFY(!f.variablesPane().variableList().Filtered());
  QCOMPARE(m_w->Count("SystemMessageBox"), 1);
  QCOMPARE(m_w->ui.Last().caption, QString(" Find first match"));
  QCOMPARE(f.variablesPane().variableList().RecordCount(), 6);
  QCOMPARE(f.variablesPane().variableList().RecNo(), 4);
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(0, 1), QString("untouched"));
}

void VariablesPaneFindTest::copyLevelsOfMarksMadeBottomUp() {
  MainWindow& f = m_w->form;
  // Without marks: the current row alone, no line end.
  f.variablesPane().variableList().SetRecNo(2);
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString("Q27b\tHousehold INCOME\t\tF8.2"));
  for (int row : {5, 3, 0}) m_w->ClickRow(row, Qt::ControlModifier);
  const QString status = f.StatusText(0);
  f.valuesPane().valuesGrid()->SetCell(0, 1, "untouched");
  struct Copy {
    QAction* item;
    const char* text;
  };
  const Copy copies[] = {
      {f.variablesPane().copyNamesAction(), "id\r\nage\r\ninc_t\r\n"},
      {f.variablesPane().copyNamesLabelsAction(),
       "id\tRespondent id\r\nage\tÂGE en années\r\ninc_t\tTotal income\r\n"},
      {f.variablesPane().copyAllAction(),
       "id\tRespondent id\t\tF8.2\r\nage\tÂGE en années\t\tF8.2\r\ninc_t\tTotal "
       "income\t\tF8.2\r\n"},
  };
  for (const Copy& c : copies) {
    c.item->trigger();
    QCOMPARE(m_w->ui.clipboard, QString::fromUtf8(c.text));
  }
  m_w->Key(Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(m_w->ui.clipboard, QString::fromUtf8(copies[2].text));
  QCOMPARE(f.variablesPane().variableList().RecNo(), 1);
  QCOMPARE(f.StatusText(0), status);
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(0, 1), QString("untouched"));

  // The right button opens the menu, which is not the grid's own.
  QCOMPARE(f.variablesPane().variablesGrid()->contextMenuPolicy(), Qt::DefaultContextMenu);
  m_w->ClickRow(2, Qt::NoModifier, Qt::RightButton);
  QVERIFY(f.variablesPane().variablesMenu()->isVisible());
  QCOMPARE(f.variablesPane().copyNamesLabelsAction()->text(), QString("Variable Names && &Labels"));
  f.variablesPane().variablesMenu()->hide();
}

QTEST_MAIN(VariablesPaneFindTest)
#include "VariablesPaneFind_test.moc"
