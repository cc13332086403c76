// TForm1's handlers that hand the open file to the application associated
// with it.
#include "app/Main.h"

namespace brindle {

void TForm1::OpenFileinSPSS1Click() {}

void TForm1::OpenWithRegisteredCommand() {}

}  // namespace brindle
