// The tool bar's weighting controls: the check button weightButton and the
// weight selector weightCombo. They own the case weighting and connect their
// own actions: the controls show its state and hand the user's clicks to it.
#pragma once

#include <functional>
#include <string>

#include "controls/DropDownComboBox.h"
#include "values/CaseWeighting.h"

class QAction;
class QObject;

namespace brindle {

class VariableList;

class WeightingControls {
 public:
  // Creates the button as an action of owner and the selector without a
  // parent: the window places both in its tool bar. The selector lists the
  // variables of table; fileWeight gives the open file's own weight
  // variable (empty for none). The table must outlive the controls.
  WeightingControls(QObject* owner, const VariableList& table,
                    std::function<std::string()> fileWeight);

  QAction* weightButton() const { return m_weightButton; }
  DropDownComboBox* weightCombo() const { return m_weightCombo; }

  // The list is about to open: filled once per file from the table's present
  // order and filter, the file's own weight variable selected.
  void FillWeightList();
  void WeightChosen(int index);
  void WeightButtonClick(bool down);
  // A file was opened or closed: empty selector, button up, weighting off.
  void Reset();
  void SetEnabled(bool enabled);

  const CaseWeighting& Weighting() const { return m_weighting; }

 private:
  // Brings the controls in line with m_weighting.
  void show();

  QAction* m_weightButton = nullptr;
  DropDownComboBox* m_weightCombo = nullptr;
  const VariableList& m_table;
  std::function<std::string()> m_fileWeight;
  CaseWeighting m_weighting;
};

}  // namespace brindle
