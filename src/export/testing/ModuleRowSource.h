// A check for the export's own reading: the cases of the open file one at a
// time through SystemFile's case-by-case calls, as spssReadCaseRecord reads
// them. Only the tests use it, to compare the export's output with.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "export/RowSource.h"

namespace brindle {

class SystemFile;

// From the first case; the file is rewound again when the source goes.
class ModuleRowSource : public RowSource {
 public:
  // The columns' dictionary positions.
  ModuleRowSource(SystemFile& file, const std::vector<int>& vars);
  ~ModuleRowSource() override;

  int Next() override;
  double Number(std::size_t c) const override { return m_numbers[c]; }
  std::string_view Text(std::size_t c) override;
  std::string Error() const override { return m_error; }

 private:
  SystemFile& m_file;
  std::vector<int> m_vars;
  std::vector<double> m_numbers;
  std::vector<std::size_t> m_numericColumns;
  std::string m_text;
  std::string m_error;
};

}  // namespace brindle
