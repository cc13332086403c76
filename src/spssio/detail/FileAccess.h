// The reader behind an open SystemFile, for the I/O module's own classes
// (passes, the C-style calls); nothing outside src/spssio/ sees this header.
#pragma once

#include "spssio/SystemFile.h"

namespace brindle {

class SavReader;

struct FileAccess {
  static SavReader& reader(SystemFile& file) { return *file.m_reader; }
  static const SavReader& reader(const SystemFile& file) { return *file.m_reader; }
};

}  // namespace brindle
