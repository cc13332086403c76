// The file properties report and the document window of the open file. The
// report's text and the document's lines come from datafile/.
#pragma once

#include "datafile/DataFileState.h"

namespace brindle {

class DocumentWindow;
class UiService;

// The file properties report in a message box.
void ShowFileReport(UiService& ui, const DataFileState& file);

// The document window with the file's document lines; a file whose document
// cannot be found is reported instead.
void ShowDocumentLines(UiService& ui, const DataFileState& file, DocumentWindow& window);

}  // namespace brindle
