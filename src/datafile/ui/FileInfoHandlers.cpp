// TForm1's handlers of the file properties report and the document window.
#include "app/Main.h"

namespace brindle {

void TForm1::ShowFileInfo() {}

void TForm1::ShowDocBtnClick() {}

}  // namespace brindle
