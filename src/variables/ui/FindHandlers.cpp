// TForm1's find and filter handlers: the two find boxes, the find buttons
// and the filter check box. The matching itself is core code on the
// variables table.
#include <QLineEdit>

#include "app/Main.h"

namespace brindle {

void TForm1::FocusLastFindBox() { (LastFindBox == 1 ? Edit1 : Edit2)->setFocus(); }

}  // namespace brindle
