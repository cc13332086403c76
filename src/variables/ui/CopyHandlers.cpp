// TForm1's selection and copy handlers of the variables grid: its popup
// menu, copying variable lines to the clipboard and marking every variable
// of the view. The copy texts are core code on the variables table.
#include <QAction>
#include <QMenu>

#include "app/MainWindow.h"
#include "controls/BxDBGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "variables/CopyVariables.h"

namespace brindle {

void TForm1::createPopupMenu1() {
  // Not the grid's own context menu: the grid's right-button handler opens
  // it. The shortcuts after the tabs are labels only; the grid's key handler
  // sends Ctrl+C and Ctrl+A to the same handlers.
  PopupMenu1 = new QMenu(this);
  CopySelected1 = PopupMenu1->addMenu(QStringLiteral("&Copy ..."));
  const struct {
    QAction** item;
    const char* caption;
    int level;
  } copyItems[] = {{&Variables1, "&Variable Names", kCopyNames},
                   {&VariablesLabels1, "Variable Names && &Labels", kCopyLabels},
                   {&All1, "&All fields\tCtrl+C", kCopyAll}};
  for (const auto& c : copyItems) {
    QAction* item = CopySelected1->addAction(QString::fromLatin1(c.caption));
    item->setData(c.level);
    connect(item, &QAction::triggered, this, [this, item] { PopupCopyClick(item); });
    *c.item = item;
  }
  PopupMenu1->addSeparator();
  SelectAllVariables = PopupMenu1->addAction(QStringLiteral("Select &All\tCtrl+A"));
  connect(SelectAllVariables, &QAction::triggered, this, [this] { SelectAllVariablesClick(); });
}

void TForm1::PopupCopyClick(QObject* sender) {
  const auto* item = qobject_cast<const QAction*>(sender);
  const int level = item != nullptr ? item->data().toInt() : kCopyAll;
  std::string text;
  {
    WaitCursor wait;
    text = CopyVariables(VarMemData, VarGrid->SelectedRows(), level);
  }
  m_ui.SetClipboardText(QString::fromStdString(text));
}

void TForm1::SelectAllVariablesClick() {
  VarGrid->SetMultiSelect(true);
  VarGrid->SetColMoving(false);
  // Marks are identities: no need to walk the cursor over the view.
  for (int row = 0; row < VarMemData.RecordCount(); ++row) VarGrid->Mark(VarMemData.BookmarkAt(row));
}

}  // namespace brindle
