// TForm1's find and filter handlers: the two find boxes, the find buttons
// and the filter check box. The matching itself is core code on the
// variables table.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include "app/MainWindow.h"
#include "controls/BxDBGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "variables/FindFilter.h"

namespace brindle {

namespace {

// Hands the find boxes' keys to the window's key handler, and tells the
// window when the focus enters a box from another of its controls. The
// window's last focused control is remembered: a box that gets the focus
// back when the window is activated again, or after a message box or menu
// closed, was not entered anew, while a click into the other box of an
// inactive window was.
class FindBoxEvents : public QObject {
 public:
  explicit FindBoxEvents(TForm1* form) : QObject(form), m_form(form) {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
      if (now == nullptr || now->window() != m_form) return;
      QWidget* before = m_last;
      m_last = now;
      if (now != before && (now == m_form->Edit1 || now == m_form->Edit2))
        m_form->Edit2Enter(static_cast<QLineEdit*>(now));
    });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr && event->type() == QEvent::KeyPress)
      return m_form->Edit1KeyDown(box, static_cast<QKeyEvent*>(event));
    return false;
  }

 private:
  TForm1* m_form;
  QPointer<QWidget> m_last;
};

}  // namespace

void TForm1::FocusLastFindBox() { (LastFindBox == 1 ? Edit1 : Edit2)->setFocus(); }

void TForm1::connectFindHandlers() {
  for (QAction* button : {repfindbtn1, repfindbtn2, repfindbtn3, repfindbtn4})
    connect(button, &QAction::triggered, this, [this, button] { RepFindBtn1Click(button); });
  // clicked, not toggled: the handler unchecks the box itself when the
  // filter cannot go on, and that must not run it again.
  connect(Filter1, &QCheckBox::clicked, this, [this] { Filter1Click(); });
  VarMemData.SetOnFilterRecord([this](TdxMemData&, bool& accept) { VarMemDataFilterRecord(accept); });
  auto* events = new FindBoxEvents(this);
  Edit1->installEventFilter(events);
  Edit2->installEventFilter(events);
}

bool TForm1::FindVariable(bool forward, bool fromEnd) { return findVariable(forward, fromEnd, true); }

bool TForm1::findVariable(bool forward, bool fromEnd, bool refresh) {
  const std::optional<FindTarget> target =
      SearchTarget(Edit1->text().toStdString(), Edit2->text().toStdString());
  if (!target) return false;
  const FindCommand command = FindCommandOf(forward, fromEnd);
  if (!FindRuns(VarMemData, command)) return false;
  // Switching the grid's source off for the walk drops its row marks.
  VarGrid->SetDataSourceEnabled(false);
  const bool found = FindRecord(VarMemData, *target, command);
  VarGrid->SetDataSourceEnabled(true);
  if (found) {
    VarGrid->setFocus();
    if (refresh) VarMemDataAfterScroll();
  } else {
    const QString typed = target->field == kVarName ? Edit1->text() : Edit2->text();
    m_ui.SystemMessageBox(QStringLiteral(" Find ") + QString::fromLatin1(FindCaptionWord(command)),
                          typed + QStringLiteral(" not found"), MessageIcon::Information);
  }
  return found;
}

void TForm1::RepFindBtn1Click(QAction* sender) {
  switch (static_cast<FindCommand>(sender->data().toInt())) {
    case FindCommand::First: FindVariable(true, true); break;
    case FindCommand::Previous: FindVariable(false, false); break;
    case FindCommand::Next: FindVariable(true, false); break;
    case FindCommand::Last: FindVariable(false, true); break;
  }
}

bool TForm1::Edit1KeyDown(QLineEdit* box, QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
      FindVariable(true, true);
      return true;
    case Qt::Key_F3:
      if (mods & (Qt::ShiftModifier | Qt::AltModifier))
        FindVariable(false, false);
      else
        FindVariable(true, false);
      return true;
    case Qt::Key_F2:
      (box == Edit1 ? Edit2 : Edit1)->setFocus();
      return true;
    case Qt::Key_F8:
      Filter1->click();
      return true;
    case Qt::Key_S:
      if (!(mods & Qt::ControlModifier)) return false;
      Filter1->click();
      return true;
    default:
      return false;
  }
}

void TForm1::Edit2Enter(QLineEdit* box) {
  if (box == Edit1) {
    Edit2->clear();
    LastFindBox = 1;
  } else {
    Edit1->clear();
    LastFindBox = 2;
  }
}

void TForm1::Filter1Click() {
  if (Filter1->isChecked()) {
    // The box is unchecked directly, without a second run of this handler:
    // the filter was off, so the view is the whole table already.
    if (Edit1->text().isEmpty() && Edit2->text().isEmpty()) {
      Filter1->setChecked(false);
      return;
    }
    // The values pane follows once, after the view is rebuilt.
    if (!findVariable(true, true, false)) {
      Filter1->setChecked(false);
      return;
    }
  }
  {
    WaitCursor wait;
    SwitchFilter(VarMemData, Filter1->isChecked());
  }
  VarMemDataAfterScroll();
}

void TForm1::VarMemDataFilterRecord(bool& accept) {
  if (!VarMemData.Filtered()) return;
  FilterRecord(VarMemData, FilterTarget(Edit1->text().toStdString(), Edit2->text().toStdString()),
               accept);
}

}  // namespace brindle
