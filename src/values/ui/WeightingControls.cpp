#include "values/ui/WeightingControls.h"

#include <QAction>
#include <QSignalBlocker>

namespace brindle {

WeightingControls::WeightingControls(QObject* owner)
    : weightButton(new QAction(QStringLiteral("U"), owner)), weightCombo(new DropDownComboBox) {
  weightButton->setCheckable(true);
  weightButton->setToolTip(QStringLiteral("Set Weight on"));
  weightCombo->setFixedWidth(100);
  weightCombo->setMaxVisibleItems(15);
  weightCombo->setToolTip(QStringLiteral("Select weight variable"));
}

void WeightingControls::FillWeightList(const VariableList& table,
                                          const std::string& weightVarName) {
  m_weighting.FillWeightList(table, weightVarName);
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
  weightCombo->setEnabled(enabled);
  weightButton->setEnabled(enabled);
}

void WeightingControls::show() {
  const std::vector<std::string>& items = m_weighting.Items();
  bool same = weightCombo->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < weightCombo->count(); ++i)
    same = weightCombo->itemText(i) == QString::fromStdString(items[static_cast<std::size_t>(i)]);
  // Only the user's picks may reach WeightChosen.
  const QSignalBlocker block(weightCombo);
  if (!same) {
    weightCombo->clear();
    for (const std::string& item : items) weightCombo->addItem(QString::fromStdString(item));
  }
  weightCombo->setCurrentIndex(m_weighting.ItemIndex());
  weightButton->setChecked(m_weighting.ButtonDown());
  weightButton->setToolTip(QString::fromStdString(m_weighting.Hint()));
}

}  // namespace brindle
