// File > Codebook... in the viewer: the target from a save dialog like
// Export's (its second filter opens the codebook once written), the
// codebook written by codebook/ with a progress dialog whose Cancel stops
// it and leaves no file, and the written file opened in the browser.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "codebook/Codebook.h"

class QWidget;

namespace brindle {

class UiService;

struct CodebookJob {
  QString target;
  bool openAfterSaving = false;
};

// The save dialog's filters, in order.
QStringList CodebookFilters();

// Asks for the codebook's file, suggested beside the data file as
// NAME_codebook.html. Nothing when the user cancels.
std::optional<CodebookJob> AskCodebookJob(UiService& ui, QWidget* parent,
                                          const std::string& fileName);

// Writes the codebook of source with a progress dialog over parent.
// stopRequested is asked between batches of cases: the writing is cancelled
// when it says so (nothing reported then). A failure is reported; data that
// ends early gives the codebook of the cases read and a warning. Returns
// whether the file was written.
bool RunCodebookJob(UiService& ui, QWidget* parent, const CodebookJob& job,
                    const CodebookSource& source, const CodebookRequest& request,
                    const std::function<bool()>& stopRequested);

}  // namespace brindle
