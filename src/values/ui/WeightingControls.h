// The tool bar's weighting controls: the check button weightButton and the
// weight selector weightCombo. They own the case weighting; the controls show
// its state and hand the user's clicks to it.
#pragma once

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
  // parent: the window places both in its tool bar.
  explicit WeightingControls(QObject* owner);

  QAction* weightButton = nullptr;
  DropDownComboBox* weightCombo = nullptr;

  // The list is about to open: filled once per file from the table's present
  // order and filter, the file's own weight variable selected.
  void FillWeightList(const VariableList& table, const std::string& weightVarName);
  void WeightChosen(int index);
  void WeightButtonClick(bool down);
  // A file was opened or closed: empty selector, button up, weighting off.
  void Reset();
  void SetEnabled(bool enabled);

  const CaseWeighting& Weighting() const { return m_weighting; }

 private:
  // Brings the controls in line with m_weighting.
  void show();

  CaseWeighting m_weighting;
};

}  // namespace brindle
