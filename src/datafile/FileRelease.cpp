#include "datafile/FileRelease.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "spssio/FileNames.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"

namespace brindle {

#ifdef _WIN32
// The system's own record: std::filesystem's modification time has whole
// seconds on Windows, too coarse to tell a rewrite in the same second.
FileIdentity IdentifyFile(const std::string& fileName) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  FileIdentity id;
  if (!GetFileAttributesExW(PathFromUtf8(fileName).c_str(), GetFileExInfoStandard, &data))
    return id;
  id.known = true;
  id.size =
      static_cast<std::int64_t>((std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  id.modified =
      static_cast<std::int64_t>((std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime);
  return id;
}
#else
FileIdentity IdentifyFile(const std::string& fileName) {
  const std::filesystem::path path = PathFromUtf8(fileName);
  std::error_code sizeError;
  std::error_code timeError;
  const auto size = std::filesystem::file_size(path, sizeError);
  const auto modified = std::filesystem::last_write_time(path, timeError);
  FileIdentity id;
  if (sizeError || timeError) return id;
  id.known = true;
  id.size = static_cast<std::int64_t>(size);
  id.modified = static_cast<std::int64_t>(modified.time_since_epoch().count());
  return id;
}
#endif

int ReleaseDataFile(DataFileState& file) {
  if (!file.File || file.FileReleased) return SPSS_OK;
  // The last holder of the SystemFile closes it.
  file.File.reset();
  file.FileReleased = true;
  return SPSS_OK;
}

ReopenOutcome ReopenDataFile(DataFileState& file) {
  if (!file.FileReleased) return ReopenOutcome::Unchanged;
  file.FileReleased = false;
  std::shared_ptr<SystemFile> sav;
  const int code = SystemFile::open(file.FileName, sav, nullptr, {nullptr, file.Key.get()});
  if (code != SPSS_OK) {
    // Nothing is held: the file counts as closed.
    file.FileStale = true;
    return ReopenOutcome::Failed;
  }
  file.File = sav;
  const std::string& date = sav->creationDate();
  const std::string& time = sav->creationTime();
  // A program that rewrites the file within the same second, or keeps its
  // header's date, leaves the time stamp as it was: size and modification
  // time tell those apart.
  const FileIdentity now = IdentifyFile(file.FileName);
  const bool identityChanged = file.OpenedIdentity.known && !(now == file.OpenedIdentity);
  if (date != file.FileDate || time != file.FileTime || identityChanged) {
    file.FileStale = true;
    return ReopenOutcome::Changed;
  }
  return ReopenOutcome::Unchanged;
}

}  // namespace brindle
