// The window's hold on its open data file: the one place that lets it go,
// whether the user closes the file, opens another, closes the window, or the
// window is torn down without being closed.
#pragma once

#include "datafile/DataFileState.h"
#include "spssio/SpssioCodes.h"

namespace brindle {

class OpenFileGuard {
 public:
  explicit OpenFileGuard(DataFileState& file) : m_file(file) {}
  ~OpenFileGuard() { Close(); }
  OpenFileGuard(const OpenFileGuard&) = delete;
  OpenFileGuard& operator=(const OpenFileGuard&) = delete;

  // Lets the file go (its last holder closes it) and forgets a released
  // one. Returns SPSS_OK, the module's code for a file closed.
  int Close() {
    m_file.File.reset();
    m_file.FileReleased = false;
    return SPSS_OK;
  }

 private:
  DataFileState& m_file;
};

}  // namespace brindle
