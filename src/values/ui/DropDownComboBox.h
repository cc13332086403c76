// A drop-down list that tells its owner just before the list opens, so the
// owner can fill it on first use (the weight selector builds its items from
// the variables table only when the user asks for them).
#pragma once

#include <QComboBox>

#include <functional>

namespace brindle {

class TDropDownComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

  // Called before every opening of the list, also when the list is empty;
  // items it adds are shown in the list that opens.
  std::function<void()> OnDropDown;

  void showPopup() override {
    if (OnDropDown) OnDropDown();
    QComboBox::showPopup();
  }
};

}  // namespace brindle
