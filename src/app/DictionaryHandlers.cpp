// The View menu: the details box of the current variable and the find in
// attribute values. The texts come from the core (datafile/DictionaryText).
#include <QAction>
#include <QInputDialog>
#include <QMenuBar>

#include "app/MainWindow.h"
#include "datafile/DictionaryText.h"
#include "platform/UiService.h"
#include "spssio/SystemFile.h"
#include "variables/VarRecord.h"
#include "variables/ui/VariableDetailsBox.h"

namespace brindle {

void MainWindow::createViewMenu() {
  VariableDetailsItem = new QAction(QStringLiteral("Variable &Details"), this);
  VariableDetailsItem->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  FindInAttributesItem = new QAction(QStringLiteral("Find in &Attributes..."), this);
  ViewMenu = menuBar()->addMenu(QStringLiteral("&View"));
  ViewMenu->addAction(VariableDetailsItem);
  ViewMenu->addAction(FindInAttributesItem);
  ViewMenu->addSeparator();
  ChartItem = new QAction(QStringLiteral("&Chart"), this);
  ChartItem->setCheckable(true);
  ViewMenu->addAction(ChartItem);
  connect(ChartItem, &QAction::toggled, this, [this](bool on) { Values.SetChartShown(on); });
  connect(VariableDetailsItem, &QAction::triggered, this, [this] { VariableDetailsClick(); });
  connect(FindInAttributesItem, &QAction::triggered, this, [this] { FindInAttributesClick(); });
}

void MainWindow::VariableDetailsClick() {
  if (!File) return;
  if (DetailsBox == nullptr) DetailsBox = new VariableDetailsBox(this);
  DetailsBox->show();
  RefreshVariableDetails();
  DetailsBox->raise();
  DetailsBox->activateWindow();
}

void MainWindow::RefreshVariableDetails() {
  if (DetailsBox == nullptr || !DetailsBox->isVisible()) return;
  const VarRecord* rec = Variables.variableList.Current();
  const int index = File && rec != nullptr ? File->findVariable(rec->VarName) : -1;
  if (index < 0) {
    DetailsBox->ShowDetails(QString(), QString());
    return;
  }
  DetailsBox->ShowDetails(
      QString::fromStdString(rec->VarName),
      QString::fromStdString(VariableDetailsText(*File, std::size_t(index), Separators())));
}

void MainWindow::FindInAttributesClick() {
  if (!File) return;
  bool ok = false;
  const QString text =
      QInputDialog::getText(this, QStringLiteral("Find in Attributes"),
                            QStringLiteral("Find a variable with an attribute value holding:"),
                            QLineEdit::Normal, m_attributeFindText, &ok);
  if (!ok || text.isEmpty()) return;
  m_attributeFindText = text;
  const std::string wanted = text.toStdString();
  const SystemFile& file = *File;
  const bool found = Variables.FindNextWhere([&](const VarRecord& rec) {
    const int index = file.findVariable(rec.VarName);
    return index >= 0 && AttributeValuesContain(file.variable(std::size_t(index)), wanted);
  });
  if (!found)
    m_ui.SystemMessageBox(QStringLiteral(" Find in Attributes"),
                          text + QStringLiteral(" not found"), MessageIcon::Information);
}

}  // namespace brindle
