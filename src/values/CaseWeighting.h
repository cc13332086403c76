// Case weighting as the toolbar offers it: the weight selector (weightCombo),
// the weight button (weightButton) with its hint, and the weight variable the
// next frequency table uses (ActiveWeightName). GUI-free: the viewer mirrors
// this state into its controls and calls the handlers named after them.
#pragma once

#include <string>
#include <vector>

#include "variables/VariableList.h"

namespace brindle {

class CaseWeighting {
 public:
  // File opened: list empty, button up with the hint "Set Weight on",
  // weighting off, no active weight name.
  void Reset();

  // FillWeightList: fills the list once per file: a blank item (" "),
  // then the numeric variables of the table's present order and filter,
  // sorted by name without regard to ASCII letter case (the blank first);
  // selects the blank item, then the first item equal to weightVarName (the
  // file's own weight variable), when given. Does nothing when the list holds
  // items. ActiveWeightName is not changed.
  void FillWeightList(const VariableList& table, const std::string& weightVarName);

  // WeightChosen: the user picked item `index`. The blank item switches
  // weighting off.
  void WeightChosen(int index);

  // WeightButtonClick: the button's down state after the user's click. Down with
  // a blank selection springs back up.
  void WeightButtonClick(bool down);

  const std::vector<std::string>& Items() const { return m_items; }
  int ItemIndex() const { return m_index; }
  const std::string& ActiveWeightName() const { return m_active; }
  bool WeightingOn() const { return m_on; }
  bool ButtonDown() const { return m_down; }
  const std::string& Hint() const { return m_hint; }

 private:
  std::string SelectedText() const;

  std::vector<std::string> m_items;
  int m_index = -1;
  std::string m_active;
  bool m_on = false;
  bool m_down = false;
  std::string m_hint = "Set Weight on";
};

}  // namespace brindle
