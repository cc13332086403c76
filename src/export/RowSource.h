// Where a data export takes its cases from: the values of chosen variables,
// one case at a time. The export code sees only this interface; the program
// reads through CaseRowSource, the tests also through the case-by-case reader
// of testing/ModuleRowSource.h to compare against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "spssio/CaseColumns.h"

namespace brindle {

class RowSource {
 public:
  virtual ~RowSource() = default;
  // Makes the next case current: SPSS_OK, SPSS_FILE_END after the last case,
  // or the code of the damage that stops the reading.
  virtual int Next() = 0;
  // The current case's value of column c (a numeric column).
  virtual double Number(std::size_t c) const = 0;
  // The current case's value of column c (a string column), UTF-8; blank
  // padding may be kept.
  virtual std::string_view Text(std::size_t c) = 0;
  // What stopped the reading, after Next() gave a damage code.
  virtual std::string Error() const = 0;
};

// The cases of a CaseColumns source (its columns are the export's), batch
// after batch, each case decoded once.
class CaseRowSource : public RowSource {
 public:
  explicit CaseRowSource(CaseColumns& cases) : m_cases(cases) {}

  int Next() override;
  double Number(std::size_t c) const override { return m_cases.number(m_at, c); }
  std::string_view Text(std::size_t c) override { return m_cases.text(m_at, c); }
  std::string Error() const override { return m_cases.error(); }

 private:
  CaseColumns& m_cases;
  std::size_t m_at = 0, m_count = 0;
};

}  // namespace brindle
