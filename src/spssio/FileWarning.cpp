#include "spssio/FileWarning.h"

namespace brindle {

std::string WarningLine(const FileWarning& w) {
  std::string line;
  if (w.record == 0) {
    line = "case data";
  } else {
    line = "record " + std::to_string(w.record);
    if (w.record == 7) line += " subtype " + std::to_string(w.subtype);
  }
  if (w.offset >= 0) line += " at offset " + std::to_string(w.offset);
  return line + ": " + w.text;
}

}  // namespace brindle
