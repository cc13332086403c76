// TForm1's weight controls: the weight selector WComboBox and the check
// button WeightBtn. Their state is CaseWeighting's; the controls show it.
#include <QAction>
#include <QComboBox>
#include <QSignalBlocker>

#include "app/MainWindow.h"

namespace brindle {

void TForm1::WComboBoxDropDown() {
  m_weighting.WComboBoxDropDown(VarMemData, WeightVarName);
  mirrorWeighting();
}

void TForm1::WComboBoxChange(int index) {
  m_weighting.WComboBoxChange(index);
  mirrorWeighting();
}

void TForm1::WeightBtnClick(bool down) {
  m_weighting.WeightBtnClick(down);
  mirrorWeighting();
}

void TForm1::ResetWeighting() {
  m_weighting.Reset();
  mirrorWeighting();
}

void TForm1::mirrorWeighting() {
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
