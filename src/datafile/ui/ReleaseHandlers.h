// The viewer's side of the write-access release: the open file is let go
// while the program is in the background and taken back when it returns. The
// module calls and the change test are in datafile/FileRelease.
#pragma once

#include "datafile/DataFileState.h"
#include "datafile/FileRelease.h"

namespace brindle {

class UiService;

// Lets go of the open file; a failure is reported.
void ReleaseDataFileReported(UiService& ui, DataFileState& file);

// Takes a released file back, under the wait cursor.
ReopenOutcome TakeDataFileBack(DataFileState& file);

// What is to become of a file found changed or gone on its way back.
enum class StaleFileAction { None, Close, Reload };

// A gone file is reported and to be closed; a changed one is offered for
// reloading. None when the file is not stale (any more), or another file was
// opened while the question waited.
StaleFileAction AskAboutStaleFile(UiService& ui, const DataFileState& file);

}  // namespace brindle
