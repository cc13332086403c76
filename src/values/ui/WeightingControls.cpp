#include "values/ui/WeightingControls.h"

#include <QAction>
#include <QSignalBlocker>

namespace brindle {

WeightingControls::WeightingControls(QObject* owner)
    : WeightBtn(new QAction(QStringLiteral("U"), owner)), WComboBox(new TDropDownComboBox) {
  WeightBtn->setCheckable(true);
  WeightBtn->setToolTip(QStringLiteral("Set Weight on"));
  WComboBox->setFixedWidth(100);
  WComboBox->setMaxVisibleItems(15);
  WComboBox->setToolTip(QStringLiteral("Select weight variable"));
}

void WeightingControls::WComboBoxDropDown(const TdxMemData& table,
                                          const std::string& weightVarName) {
  m_weighting.WComboBoxDropDown(table, weightVarName);
  show();
}

void WeightingControls::WComboBoxChange(int index) {
  m_weighting.WComboBoxChange(index);
  show();
}

void WeightingControls::WeightBtnClick(bool down) {
  m_weighting.WeightBtnClick(down);
  show();
}

void WeightingControls::Reset() {
  m_weighting.Reset();
  show();
}

void WeightingControls::SetEnabled(bool enabled) {
  WComboBox->setEnabled(enabled);
  WeightBtn->setEnabled(enabled);
}

void WeightingControls::show() {
  const std::vector<std::string>& items = m_weighting.Items();
  bool same = WComboBox->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < WComboBox->count(); ++i)
    same = WComboBox->itemText(i) == QString::fromStdString(items[static_cast<std::size_t>(i)]);
  // Only the user's picks may reach WComboBoxChange.
  const QSignalBlocker block(WComboBox);
  if (!same) {
    WComboBox->clear();
    for (const std::string& item : items) WComboBox->addItem(QString::fromStdString(item));
  }
  WComboBox->setCurrentIndex(m_weighting.ItemIndex());
  WeightBtn->setChecked(m_weighting.ButtonDown());
  WeightBtn->setToolTip(QString::fromStdString(m_weighting.Hint()));
}

}  // namespace brindle
