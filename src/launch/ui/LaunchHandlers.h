// Handing the open file to the application associated with it; a failure to
// start it is reported through the service. Nothing happens without a file.
#pragma once

#include <string>

namespace brindle {

class UiService;

// "Open File in SPSS": the desktop's (or the shell's) application for the file.
void OpenInAssociatedApplication(UiService& ui, const std::string& fileName);
// Ctrl+N in the variables grid: the registered open command on the file.
void StartRegisteredCommand(UiService& ui, const std::string& fileName);

}  // namespace brindle
