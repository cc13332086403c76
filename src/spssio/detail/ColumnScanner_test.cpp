// The column scanner against the case stream: the same element bytes for
// every case, whatever the layout, the elements asked for and the batch
// sizes, and the same stopping point and code.
#include "spssio/detail/ColumnScanner.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <tuple>

#include "spssio/Spssio.h"
#include "spssio/SpssioCodes.h"
#include "spssio/detail/Handles.h"
#include "spssio/detail/SavReader.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::Compression;

// n one-element variables; every fourth a string of 8 bytes. Values mix
// compressible integers, literals, system-missing and blanks.
testing::SavFile Layout(Compression compression, int n, int cases) {
  testing::SavFile f;
  f.compression = compression;
  f.zlibBlockSize = 1000;  // blocks that end inside cases and groups
  for (int v = 0; v < n; ++v)
    f.variables.push_back(v % 4 == 3 ? testing::Variable::string("s" + std::to_string(v), 8)
                                     : testing::Variable::numeric("v" + std::to_string(v)));
  for (int c = 0; c < cases; ++c) {
    testing::Case row;
    for (int v = 0; v < n; ++v) {
      const int k = (c * 7 + v * 3) % 11;
      if (v % 4 == 3)
        row.push_back(k < 4 ? std::string() : std::string("ab") + char('a' + k));
      else if (k < 5)
        row.push_back(double(k * 10 - 20));
      else if (k < 8)
        row.push_back(c * 0.37 + v);
      else if (k < 10)
        row.push_back(-DBL_MAX);
      else
        row.push_back(1e6 + c);
    }
    f.cases.push_back(row);
  }
  return f;
}

using Param =
    std::tuple<Compression, int, bool, bool>;  // compression, variables, end code, case limit

class ColumnScannerTest : public ::testing::TestWithParam<Param> {};

TEST_P(ColumnScannerTest, SameBytesAsTheCaseStream) {
  const auto [compression, n, endCode, limited] = GetParam();
  const int cases = 300;
  testing::SavFile f = Layout(compression, n, cases);
  f.bytecodeEndCode = endCode;
  if (limited) {
    f.headerCases = cases - 7;
    f.extendedCases = cases - 7;
  }
  testing::TempFile file(testing::writeSav(f));
  int handle = -1;
  ASSERT_EQ(spssOpenRead(file.c_str(), &handle), SPSS_OK);
  SavReader& reader = *detail::ReaderOfHandle(handle);

  // The reference: whole rows from the case stream.
  std::vector<std::vector<std::uint8_t>> rows;
  int last;
  while ((last = spssReadCaseRecord(handle)) == SPSS_OK)
    rows.emplace_back(reader.cases().row(), reader.cases().row() + 8 * n);
  EXPECT_EQ(rows.size(), std::size_t(limited ? cases - 7 : cases));

  const std::vector<std::vector<std::size_t>> selections = {
      {0}, {std::size_t(n - 1)}, {std::size_t(n / 2), 0, std::size_t(n / 2)}, {}};
  for (auto elements : selections) {
    if (elements.empty())
      for (int e = 0; e < n; ++e) elements.push_back(std::size_t(e));
    for (std::size_t want : {1u, 7u, 1000u}) {
      SCOPED_TRACE(::testing::Message() << elements.size() << " elements, batches of " << want);
      ColumnScanner scanner;
      ASSERT_EQ(scanner.start(reader, elements), SPSS_OK);
      std::size_t at = 0;
      for (;;) {
        const std::size_t got = scanner.read(want);
        for (std::size_t i = 0; i < got; ++i, ++at) {
          ASSERT_LT(at, rows.size());
          for (std::size_t e : elements)
            ASSERT_EQ(
                std::memcmp(scanner.row(i) + 8 * scanner.slotOf(e), rows[at].data() + 8 * e, 8), 0)
                << "case " << at << " element " << e;
        }
        if (got < want) break;
      }
      EXPECT_EQ(at, rows.size());
      EXPECT_EQ(scanner.status(), last);
      scanner.finish();
    }
  }
  // The module's stream reads from the start again after Finish.
  EXPECT_EQ(spssReadCaseRecord(handle), SPSS_OK);
  EXPECT_EQ(std::memcmp(reader.cases().row(), rows[0].data(), 8 * std::size_t(n)), 0);
  spssCloseRead(handle);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ColumnScannerTest,
                         ::testing::Combine(::testing::Values(Compression::None,
                                                              Compression::Bytecode,
                                                              Compression::Zsav),
                                            ::testing::Values(1, 3, 8, 9, 21), ::testing::Bool(),
                                            ::testing::Bool()));

TEST(ColumnScanner, ElementOutsideTheCase) {
  testing::TempFile file(testing::writeSav(Layout(Compression::Bytecode, 2, 3)));
  int handle = -1;
  ASSERT_EQ(spssOpenRead(file.c_str(), &handle), SPSS_OK);
  ColumnScanner scanner;
  EXPECT_EQ(scanner.start(*detail::ReaderOfHandle(handle), {2}), SPSS_INVALID_ARGUMENT);
  EXPECT_EQ(scanner.read(10), 0u);
  spssCloseRead(handle);
}

}  // namespace
}  // namespace brindle
