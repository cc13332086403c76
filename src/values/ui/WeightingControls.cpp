#include "values/ui/WeightingControls.h"

#include <QAction>
#include <QComboBox>
#include <QSignalBlocker>

#include <utility>

namespace brindle {

WeightingControls::WeightingControls(QObject* owner, const VariableList& table,
                                     std::function<std::string()> fileWeight)
    : m_weightButton(new QAction(QStringLiteral("U"), owner)),
      m_weightCombo(new DropDownComboBox),
      m_table(table),
      m_fileWeight(std::move(fileWeight)) {
  m_weightButton->setCheckable(true);
  m_weightButton->setToolTip(QStringLiteral("Set Weight on"));
  m_weightCombo->setFixedWidth(100);
  m_weightCombo->setMaxVisibleItems(15);
  m_weightCombo->setToolTip(QStringLiteral("Select weight variable"));
  QObject::connect(m_weightButton, &QAction::triggered, owner,
                   [this](bool down) { WeightButtonClick(down); });
  m_weightCombo->OnDropDown = [this] { FillWeightList(); };
  QObject::connect(m_weightCombo, &QComboBox::activated, owner,
                   [this](int index) { WeightChosen(index); });
}

void WeightingControls::FillWeightList() {
  m_weighting.FillWeightList(m_table, m_fileWeight ? m_fileWeight() : std::string());
  show();
}

void WeightingControls::WeightChosen(int index) {
  m_weighting.WeightChosen(index);
  show();
}

void WeightingControls::WeightButtonClick(bool down) {
  m_weighting.WeightButtonClick(down);
  show();
}

void WeightingControls::Reset() {
  m_weighting.Reset();
  show();
}

void WeightingControls::SetEnabled(bool enabled) {
  m_weightCombo->setEnabled(enabled);
  m_weightButton->setEnabled(enabled);
}

void WeightingControls::show() {
  const std::vector<std::string>& items = m_weighting.Items();
  bool same = m_weightCombo->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < m_weightCombo->count(); ++i)
    same = m_weightCombo->itemText(i) == QString::fromStdString(items[static_cast<std::size_t>(i)]);
  // Only the user's picks may reach WeightChosen.
  const QSignalBlocker block(m_weightCombo);
  if (!same) {
    m_weightCombo->clear();
    for (const std::string& item : items) m_weightCombo->addItem(QString::fromStdString(item));
  }
  m_weightCombo->setCurrentIndex(m_weighting.ItemIndex());
  m_weightButton->setChecked(m_weighting.ButtonDown());
  m_weightButton->setToolTip(QString::fromStdString(m_weighting.Hint()));
}

}  // namespace brindle
