// The window's hold on its open data file: the one place that closes the I/O
// module's handle, whether the user closes the file, opens another, closes
// the window, or the window is torn down without being closed.
#pragma once

#include "datafile/DataFileState.h"
#include "spssio/Spssio.h"

namespace brindle {

class OpenFileGuard {
 public:
  explicit OpenFileGuard(DataFileState& file) : m_file(file) {}
  ~OpenFileGuard() { Close(); }
  OpenFileGuard(const OpenFileGuard&) = delete;
  OpenFileGuard& operator=(const OpenFileGuard&) = delete;

  // Closes the handle and forgets it. A released file's handle is closed
  // already (and its number may be another file's by now): it is only
  // forgotten. Returns the module's code; SPSS_OK when nothing was open.
  int Close() {
    int code = SPSS_OK;
    if (m_file.FileHandle != -1 && !m_file.FileReleased) code = spssCloseRead(m_file.FileHandle);
    m_file.FileHandle = -1;
    m_file.File.reset();
    m_file.FileReleased = false;
    return code;
  }

 private:
  DataFileState& m_file;
};

}  // namespace brindle
