#include "datafile/OpenFile.h"

#include "datafile/FileRelease.h"
#include "datafile/FileReport.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"

namespace brindle {

int OpenDataFileState(const std::string& fileName, DataFileState& file, std::string* errorText,
                      const char* password, const FileKey* key) {
  std::shared_ptr<SystemFile> sav;
  std::string detail;
  const int code = SystemFile::open(fileName, sav, &detail, {key ? nullptr : password, key});
  if (code != SPSS_OK) {
    if (errorText) *errorText = OpenErrorText(code, fileName, CodeText(code, detail));
    return code;
  }
  DataFileState opened;
  opened.File = sav;
  opened.FileName = fileName;
  opened.FileDate = sav->creationDate();
  opened.FileTime = sav->creationTime();
  opened.Compression = sav->compressed() ? 1 : 0;
  opened.HasDocument = sav->hasDocumentRecord() ? 1 : 0;
  opened.OpenedIdentity = IdentifyFile(fileName);
  opened.Key = sav->key();
  file = std::move(opened);
  return SPSS_OK;
}

}  // namespace brindle
