// The window's two pages: the tabs that switch between the variables (the
// splitter with the variables grid and the values pane) and the data page,
// their View menu items, and what the data page is told of the open file,
// the variables view and the options.
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>

#include "app/MainWindow.h"
#include "cases/ui/DataPage.h"
#include "variables/ui/VariablesGrid.h"
#include "spssio/SystemFile.h"

namespace brindle {

QWidget* MainWindow::createPages(QWidget* variablesPage) {
  pages = new QTabWidget;
  pages->setObjectName(QStringLiteral("pages"));
  pages->setDocumentMode(true);
  pages->setFocusPolicy(Qt::NoFocus);
  dataPage = new DataPage(m_ui);
  pages->addTab(variablesPage, QStringLiteral("Variables"));
  pages->addTab(dataPage, QStringLiteral("Data"));
  pages->setTabToolTip(0, QStringLiteral("The variables and the values pane (Ctrl+1)"));
  pages->setTabToolTip(1, QStringLiteral("The cases (Ctrl+2)"));
  connect(pages, &QTabWidget::currentChanged, this, [this](int page) {
    VariablesPageItem->setChecked(page == 0);
    DataPageItem->setChecked(page == 1);
    if (page == 1) {
      DataPageColumns();
      DataPageFollowVariable();
      dataPage->grid()->setFocus();
    } else {
      if (m_valuesBehind) {
        m_valuesBehind = false;
        VariableListAfterScroll();
      }
      m_variables.variablesGrid()->setFocus();
    }
  });
  // The variables view changes with the filter and, while it is on, with
  // the find boxes' texts: the columns follow once the pane has refiltered.
  connect(m_variables.filterCheck(), &QCheckBox::clicked, this, [this] { DataPageColumns(); });
  for (QLineEdit* box : {m_variables.findNameEdit(), m_variables.findLabelEdit()})
    connect(box, &QLineEdit::textChanged, this, [this] {
      if (m_variables.filterCheck()->isChecked())
        QTimer::singleShot(0, this, [this] { DataPageColumns(); });
    });
  connect(dataPage, &DataPage::currentVariableChanged, this,
          [this](std::size_t var) { DataPageVariableChosen(var); });
  connect(dataPage, &DataPage::statusMessage, this,
          [this](const QString& text) { SetStatusText(1, text); });
  return pages;
}

void MainWindow::createPageMenu() {
  VariablesPageItem = new QAction(QStringLiteral("&Variables"), this);
  VariablesPageItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  DataPageItem = new QAction(QStringLiteral("&Data"), this);
  DataPageItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
  auto* group = new QActionGroup(this);
  for (QAction* item : {VariablesPageItem, DataPageItem}) {
    item->setCheckable(true);
    group->addAction(item);
  }
  VariablesPageItem->setChecked(true);
  VariablesPageItem->setObjectName(QStringLiteral("VariablesPageItem"));
  DataPageItem->setObjectName(QStringLiteral("DataPageItem"));
  ValueLabelsItem = new QAction(QStringLiteral("Value &Labels"), this);
  ValueLabelsItem->setCheckable(true);
  ValueLabelsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  ValueLabelsItem->setObjectName(QStringLiteral("ValueLabelsItem"));
  ViewMenu->addSeparator();
  ViewMenu->addAction(VariablesPageItem);
  ViewMenu->addAction(DataPageItem);
  ViewMenu->addAction(ValueLabelsItem);
  connect(VariablesPageItem, &QAction::triggered, this, [this] { ShowPage(0); });
  connect(DataPageItem, &QAction::triggered, this, [this] { ShowPage(1); });
  connect(ValueLabelsItem, &QAction::toggled, this,
          [this](bool on) { dataPage->setShowLabels(on); });
  connect(UsePrintFormat, &QAction::toggled, this,
          [this](bool on) { dataPage->setCellOptions(on, Separators()); });
}

void MainWindow::ShowPage(int page) {
  if (pages->currentIndex() != page) pages->setCurrentIndex(page);
  VariablesPageItem->setChecked(page == 0);
  DataPageItem->setChecked(page == 1);
}

bool MainWindow::DataPageShown() const { return pages && pages->currentIndex() == 1; }

void MainWindow::DataPageOpenFile() {
  dataPage->setCellOptions(UsePrintFormat->isChecked(), Separators());
  dataPage->setShowLabels(ValueLabelsItem->isChecked());
  dataPage->openFile(m_file.File, m_file.FileName, m_file.NumCases, m_file.CaseCountEstimated);
  DataPageColumns();
  DataPageFollowVariable();
}

void MainWindow::DataPageCloseFile() { dataPage->closeFile(); }

void MainWindow::DataPageColumns() {
  if (!dataPage->hasFile()) return;
  // The variables view's records, in its order and with its filter.
  const VariableList& list = m_variables.variableList();
  std::vector<std::size_t> vars;
  for (int row = 0; row < list.RecordCount(); ++row)
    if (const VarRecord* rec = list.ViewRecord(row); rec && rec->RecId > 0)
      vars.push_back(std::size_t(rec->RecId - 1));
  dataPage->setColumns(vars);
}

void MainWindow::DataPageFollowVariable() {
  const VarRecord* rec = m_variables.variableList().Current();
  if (rec && rec->RecId > 0) dataPage->setCurrentVariable(std::size_t(rec->RecId - 1));
}

void MainWindow::DataPageVariableChosen(std::size_t var) {
  VariableList& list = m_variables.variableList();
  const VarRecord* now = list.Current();
  if (now && std::size_t(now->RecId - 1) == var) return;
  for (int row = 0; row < list.RecordCount(); ++row)
    if (const VarRecord* rec = list.ViewRecord(row); rec && std::size_t(rec->RecId - 1) == var) {
      list.SetRecNo(row + 1);
      return;
    }
}

}  // namespace brindle
