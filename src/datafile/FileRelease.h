// Letting other programs write the open file while the viewer is in the
// background: the I/O module's handle is closed, and the file is opened again
// when the viewer comes back, with a check whether it changed meanwhile.
#pragma once

#include <string>

#include "datafile/DataFileState.h"

namespace brindle {

// The size and modification time of fileName; known is false when the file
// cannot be examined (gone, no permission).
FileIdentity IdentifyFile(const std::string& fileName);

// Lets the open file go (File is reset, which closes it) and returns the
// module's code, SPSS_OK. FileReleased is set; the file still counts as
// open (FileOpen()), as the screen keeps showing it. Nothing happens (SPSS_OK) when no file is open or it
// is released already.
int ReleaseDataFile(DataFileState& file);

enum class ReopenOutcome {
  Unchanged,  // held again; the screen still matches the file
  Changed,    // held again, but its time stamp, size or modification time differ
  Failed,     // cannot be opened: nothing is held, the file counts as closed
};

// Takes a released file back: opens FileName through the module and compares
// its time stamp texts and its identity with those taken at open. Clears
// FileReleased; Changed and Failed set FileStale. Unchanged for a file that
// was not released.
ReopenOutcome ReopenDataFile(DataFileState& file);

}  // namespace brindle
