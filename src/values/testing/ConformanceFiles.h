// The expectation files recorded from PSPP for the real test files, one per
// data file, named after it with the kind of figures as extension
// (hotel.sav.freq, hotel.sav.ptiles), in name order.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace brindle::testing {

inline std::vector<std::filesystem::path> ConformanceFiles(const std::string& extension) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(
           std::filesystem::path(BRINDLE_SOURCE_DIR) / "src/values/conformance"))
    if (e.path().extension() == extension) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace brindle::testing
