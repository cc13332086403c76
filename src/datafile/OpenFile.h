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
// An encrypted file opens with key when it is given (the key of an earlier
// open), else with password when it is given; without either it gives
// SPSS_ENCRYPTED_FILE, and SPSS_WRONG_PASSWORD when they do not fit.
int OpenDataFileState(const std::string& fileName, DataFileState& file,
                      std::string* errorText = nullptr, const char* password = nullptr,
                      const FileKey* key = nullptr);

}  // namespace brindle
