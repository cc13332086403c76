#include "datafile/OpenFile.h"

#include "datafile/FileRelease.h"
#include "datafile/FileReport.h"
#include "spssio/spssio.h"

namespace brindle {

int OpenDataFileState(const std::string& fileName, DataFileState& file, std::string* errorText,
                      const char* password, const FileKey* key) {
  int handle = -1;
  const int code = key        ? OpenReadWithKey(fileName.c_str(), *key, &handle)
                   : password ? spssOpenReadEncrypted(fileName.c_str(), password, &handle)
                              : spssOpenRead(fileName.c_str(), &handle);
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
  opened.Key = FileKeyOf(handle);
  file = std::move(opened);
  return SPSS_OK;
}

}  // namespace brindle
