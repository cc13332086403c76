#include "datafile/OpenFile.h"

#include "datafile/FileRelease.h"
#include "datafile/FileReport.h"
#include "spssio/spssio.h"

namespace brindle {

int OpenDataFileState(const std::string& fileName, DataFileState& file, std::string* errorText) {
  int handle = -1;
  const int code = spssOpenRead(fileName.c_str(), &handle);
  if (code != SPSS_OK) {
    if (errorText) *errorText = OpenErrorText(code, fileName, spssLastErrorText());
    return code;
  }
  DataFileState opened;
  opened.FileHandle = handle;
  opened.FileName = fileName;
  spssGetTimeStamp(handle, opened.FileDate, opened.FileTime);
  spssGetCompression(handle, &opened.Compression);
  spssQueryType7(handle, 0, &opened.HasDocument);
  opened.OpenedIdentity = IdentifyFile(fileName);
  file = std::move(opened);
  return SPSS_OK;
}

}  // namespace brindle
