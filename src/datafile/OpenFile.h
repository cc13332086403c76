// Opening a data file: the module call and the per-file facts read right
// after it. The viewer and the command line share it.
#pragma once

#include <string>

#include "datafile/DataFileState.h"

namespace brindle {

// Opens fileName through the I/O module. On success (0) `file` describes the
// new file: handle, name, time stamp, compression, document flag; dictionary
// fields are left for the dictionary load. On failure the module's code is
// returned, `file` is untouched and *errorText (when given) holds the
// "File open error" text for the code.
int OpenDataFileState(const std::string& fileName, DataFileState& file,
                      std::string* errorText = nullptr);

}  // namespace brindle
