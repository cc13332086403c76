// The typed interface: a file's dictionary as value types, its cases, and a
// handle that shares the file with the module's calls.
#include "spssio/SystemFile.h"

#include <gtest/gtest.h>

#include <cfloat>

#include "spssio/Spssio.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

namespace t = brindle::testing;

TEST(SystemFileTest, DictionaryLabelsMissingValuesAndCases) {
  t::SavFile f;
  f.encoding = "windows-1252";
  t::Variable n = t::Variable::numeric("n", std::string("Number"));
  n.missingCode = -3;
  n.missing[0] = 1, n.missing[1] = 5, n.missing[2] = 99;
  n.numericLabels = {{1, "one"}, {99, "n/a"}};
  t::Variable s = t::Variable::string("s", 4);
  s.stringMissing = {"\xe9t\xe9"};  // "été" in windows-1252
  s.stringLabels = {{"ab", "A and B"}};
  t::Variable w = t::Variable::string("wide", 20);
  w.stringLabels = {{"long value", "wide label"}};
  f.variables = {n, s, w};
  f.cases = {{1.0, std::string("ab"), std::string("long value")},
             {-DBL_MAX, std::string("\xe9t\xe9"), std::string("x")}};
  f.weight = "n";
  const t::TempFile file(t::writeSav(f));

  std::shared_ptr<SystemFile> sav;
  std::string error;
  ASSERT_EQ(SystemFile::open(file.path(), sav, &error), SPSS_OK) << error;
  ASSERT_EQ(sav->variableCount(), 3u);
  const Variable& num = sav->variable(0);
  EXPECT_EQ(num.label, "Number");
  EXPECT_FALSE(num.isString());
  EXPECT_EQ(num.missing.format, -3);
  EXPECT_EQ(num.missing.numbers[2], 99);
  EXPECT_EQ(sav->variable(1).missing.strings[0], "\xc3\xa9t\xc3\xa9 ");
  EXPECT_EQ(sav->findVariable("WIDE"), 2);
  EXPECT_EQ(sav->weightVariable(), 0);

  const std::vector<NumericLabel> numeric = sav->numericLabels(0);
  ASSERT_EQ(numeric.size(), 2u);
  EXPECT_EQ(numeric[1].value, 99);
  EXPECT_EQ(numeric[1].label, "n/a");
  EXPECT_TRUE(sav->stringLabels(0).empty());
  EXPECT_TRUE(sav->numericLabels(1).empty());
  ASSERT_EQ(sav->stringLabels(1).size(), 1u);
  EXPECT_EQ(sav->stringLabels(1)[0].value, "ab  ");
  ASSERT_EQ(sav->stringLabels(2).size(), 1u);
  EXPECT_EQ(sav->stringLabels(2)[0].value, "long value          ");

  // A handle shares the file: the module's calls and the typed ones read
  // the same case stream, and closing the handle leaves the file open.
  int handle = -1;
  ASSERT_EQ(RegisterHandle(sav, &handle), SPSS_OK);
  ASSERT_EQ(spssReadCaseRecord(handle), SPSS_OK);
  EXPECT_EQ(sav->number(0), 1.0);
  EXPECT_EQ(sav->text(2), "long value          ");
  ASSERT_EQ(spssCloseRead(handle), SPSS_OK);
  ASSERT_EQ(sav->readCase(), SPSS_OK);
  EXPECT_EQ(sav->number(0), -DBL_MAX);
  EXPECT_EQ(sav->text(1), "\xc3\xa9t\xc3\xa9 ");
  EXPECT_EQ(sav->readCase(), SPSS_FILE_END);
  EXPECT_EQ(sav->seek(1), SPSS_OK);
  ASSERT_EQ(sav->readCase(), SPSS_OK);
  EXPECT_EQ(sav->text(1), "\xc3\xa9t\xc3\xa9 ");
  EXPECT_EQ(sav->seek(3), SPSS_INVALID_CASE);
}

TEST(SystemFileTest, FailureGivesTheCodeAndWhere) {
  const t::TempFile file(std::vector<std::uint8_t>{'$', 'F', 'L', '2', 0, 0});
  std::shared_ptr<SystemFile> sav;
  std::string error;
  EXPECT_NE(SystemFile::open(file.path(), sav, &error), SPSS_OK);
  EXPECT_EQ(sav, nullptr);
  EXPECT_NE(error, "");
  EXPECT_EQ(SystemFile::open("/nonexistent/x.sav", sav), SPSS_FILE_OERROR);
}

}  // namespace
}  // namespace brindle
