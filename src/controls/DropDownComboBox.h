// A drop-down list that tells its owner just before the list opens, so the
// owner can fill it on first use (the weight selector builds its items from
// the variables table only when the user asks for them).
#pragma once

#include <QComboBox>
#include <QProxyStyle>

#include <functional>

namespace brindle {

class DropDownComboBox : public QComboBox {
 public:
  // The list opens below the box as a scrolling list of maxVisibleItems()
  // rows; styles that open it as a menu over the box would show every item
  // at once and run off the screen.
  explicit DropDownComboBox(QWidget* parent = nullptr) : QComboBox(parent) {
    auto* listStyle = new ListPopupStyle;
    listStyle->setParent(this);
    setStyle(listStyle);
  }

  // Called before every opening of the list, also when the list is empty;
  // items it adds are shown in the list that opens.
  std::function<void()> OnDropDown;

  void showPopup() override {
    if (OnDropDown) OnDropDown();
    QComboBox::showPopup();
  }

 private:
  class ListPopupStyle : public QProxyStyle {
   public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
      if (hint == QStyle::SH_ComboBox_Popup) return 0;
      return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
  };
};

}  // namespace brindle
