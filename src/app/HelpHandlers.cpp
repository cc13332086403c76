// MainWindow's Help menu, F1 context help and the About box.
//
// Controls and menu items carry their help context number in the property
// "HelpContext"; F1 shows the topic of the control with the focus (or of its
// nearest parent with a number), or, in an open menu, of the highlighted item.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

#include <functional>
#include <utility>

#include "app/AboutBox.h"
#include "app/HelpWindow.h"
#include "app/MainWindow.h"
#include "cases/ui/DataPage.h"
#include "variables/ui/VariablesGrid.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

namespace brindle {

namespace {

const char* const kHelpContext = "HelpContext";

int HelpContextOf(const QObject* object) {
  for (; object; object = object->parent()) {
    const int context = object->property(kHelpContext).toInt();
    if (context > 0) return context;
  }
  return 0;
}

// F1 in an open menu: the topic of the highlighted item, else the menu's.
class MenuHelpKey : public QObject {
 public:
  MenuHelpKey(QObject* parent, std::function<void(int)> showTopic)
      : QObject(parent), m_showTopic(std::move(showTopic)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
      return false;
    auto* menu = static_cast<QMenu*>(watched);
    int context = menu->activeAction() ? HelpContextOf(menu->activeAction()) : 0;
    if (context == 0) context = HelpContextOf(menu->menuAction());
    for (QWidget* popup = QApplication::activePopupWidget(); popup;
         popup = QApplication::activePopupWidget())
      popup->close();
    if (context > 0) m_showTopic(context);
    return true;
  }

 private:
  std::function<void(int)> m_showTopic;
};

}  // namespace

void MainWindow::createHelp() {
  for (QObject* o : std::initializer_list<QObject*>{
           toolBar, m_variables.findBar(), m_variables.findNameEdit(), m_variables.findLabelEdit(),
           m_variables.filterCheck(), m_variables.variablesGrid()})
    o->setProperty(kHelpContext, 2);
  for (QObject* o :
       std::initializer_list<QObject*>{m_values.valuesGrid(), m_values.statisticsText()})
    o->setProperty(kHelpContext, 3);
  StatusBar->setProperty(kHelpContext, 5);
  dataPage->setProperty(kHelpContext, 6);

  auto* menuKey = new MenuHelpKey(this, [this](int context) { ShowHelpTopic(context); });
  for (QAction* top : menuBar()->actions()) {
    QMenu* menu = top->menu();
    if (!menu) continue;
    top->setProperty(kHelpContext, 4);
    menu->installEventFilter(menuKey);
    if (menu == HelpMenu) continue;
    for (QAction* item : menu->actions()) {
      item->setProperty(kHelpContext, 4);
      if (item->menu()) item->menu()->installEventFilter(menuKey);
    }
  }
  HelpOverview->setProperty(kHelpContext, 1);
  HelpTopics->setProperty(kHelpContext, 4);
  HelpKeys->setProperty(kHelpContext, 5);

  connect(HelpOverview, &QAction::triggered, this, [this] { HelpOverviewClick(HelpOverview); });
  connect(HelpKeys, &QAction::triggered, this, [this] { HelpOverviewClick(HelpKeys); });
  connect(HelpTopics, &QAction::triggered, this, [this] { HelpTopicsClick(); });
  connect(aboutAction, &QAction::triggered, this, [this] { AboutClick(); });
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] { ShowContextHelp(); });

  m_aboutBox = new AboutBox(m_ui, this);
  m_helpWindow = new HelpWindow(this);
}

void MainWindow::HelpOverviewClick(QAction* item) { ShowHelpTopic(HelpContextOf(item)); }

void MainWindow::HelpTopicsClick() { ShowHelpTopic(0); }

void MainWindow::AboutClick() {
  m_aboutBox->show();
  m_aboutBox->raise();
  m_aboutBox->activateWindow();
}

void MainWindow::ShowContextHelp() {
  const int context = HelpContextOf(QApplication::focusWidget());
  ShowHelpTopic(context > 0 ? context : 1);
}

void MainWindow::ShowHelpTopic(int context) { m_helpWindow->ShowTopic(context); }

}  // namespace brindle
