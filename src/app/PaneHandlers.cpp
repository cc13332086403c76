// TForm1's handlers whose state a pane owns: each hands the event to it.
#include "app/MainWindow.h"

namespace brindle {

void TForm1::WComboBoxDropDown() { Weighting.WComboBoxDropDown(VarMemData, WeightVarName); }
void TForm1::WComboBoxChange(int index) { Weighting.WComboBoxChange(index); }
void TForm1::WeightBtnClick(bool down) { Weighting.WeightBtnClick(down); }
void TForm1::ResetWeighting() { Weighting.Reset(); }

}  // namespace brindle
