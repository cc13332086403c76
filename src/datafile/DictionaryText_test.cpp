#include "datafile/DictionaryText.h"

#include <gtest/gtest.h>

#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"

namespace brindle {
namespace {

TEST(DictionaryText, Names) {
  const struct {
    int code;
    const char *measure, *role, *alignment;
  } rows[] = {
      {-1, "", "", ""},
      {0, "", "input", "left"},
      {1, "nominal", "target", "right"},
      {2, "ordinal", "both", "center"},
      {3, "scale", "none", ""},
      {4, "", "partition", ""},
      {5, "", "split", ""},
      {6, "", "", ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.code);
    EXPECT_EQ(MeasureName(r.code), r.measure);
    EXPECT_EQ(RoleName(r.code), r.role);
    EXPECT_EQ(AlignmentName(r.code), r.alignment);
  }
}

TEST(DictionaryText, AttributeLinesNumberArraysOnly) {
  const std::vector<Attribute> attributes = {
      {"one", {"x"}}, {"arr", {"a", "b"}}, {"$@Role", {"0"}}};
  const auto lines = AttributeLines(attributes);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].name, "one");
  EXPECT_EQ(lines[1].name, "arr[1]");
  EXPECT_EQ(lines[2].name, "arr[2]");
  EXPECT_EQ(lines[2].value, "b");
  EXPECT_TRUE(IsProgramAttribute(lines[3].name));
  EXPECT_FALSE(IsProgramAttribute("@hidden"));
}

TEST(DictionaryText, AttributeValuesContain) {
  Variable v;
  v.attributes = {{"Question", {"How OLD are you?"}}, {"Other", {"x"}}};
  EXPECT_TRUE(AttributeValuesContain(v, "old are"));
  EXPECT_TRUE(AttributeValuesContain(v, "x"));
  EXPECT_FALSE(AttributeValuesContain(v, "Question"));  // names are not searched
  EXPECT_FALSE(AttributeValuesContain(v, ""));
}

TEST(DictionaryText, VariableDetails) {
  testing::SavFile f;
  auto q = testing::Variable::numeric("q1", "First question");
  q.print = testing::Format{5, 5, 1};
  q.write = testing::Format{5, 10, 3};
  q.missingCode = 1;
  q.missing[0] = 9;
  q.measure = 2;
  q.displayWidth = 12;
  q.alignment = 2;
  auto s = testing::Variable::string("s", 4);
  f.variables = {q, s};
  const std::string attributes = "q1:$@Role('4'\n)Wording('How \"old\"?'\n)Codes('1'\n'2'\n)";
  const std::string sets = "$m=C 3 Set q1 s\n";
  const std::string vsets = "Group= q1\n";
  f.extraExtensions = {{5, 1, int(vsets.size()), {vsets.begin(), vsets.end()}},
                       {7, 1, int(sets.size()), {sets.begin(), sets.end()}},
                       {18, 1, int(attributes.size()), {attributes.begin(), attributes.end()}}};
  f.cases = {{1.0, std::string("ab")}};
  const auto bytes = testing::writeSav(f);
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::openMemory(bytes.data(), bytes.size(), file), SPSS_OK);
  EXPECT_EQ(VariableDetailsText(*file, 0, {",", "."}),
            "name\tq1\n"
            "label\tFirst question\n"
            "type\tnumeric\n"
            "print format\tF5.1\n"
            "write format\tF10.3\n"
            "missing values\t9\n"
            "measurement level\tordinal\n"
            "role\tpartition\n"
            "display width\t12\n"
            "alignment\tcenter\n"
            "\n"
            "attributes\n"
            "Wording\tHow \"old\"?\n"
            "Codes[1]\t1\n"
            "Codes[2]\t2\n"
            "\n"
            "the program's own attributes\n"
            "$@Role\t4\n"
            "\n"
            "multiple-response sets\n"
            "$m\tSet\n"
            "\n"
            "variable sets\n"
            "Group");
  const std::string string = VariableDetailsText(*file, 1, {".", ","});
  EXPECT_NE(string.find("type\tstring, width 4\nprint format\tA4\n"), std::string::npos) << string;
  EXPECT_NE(string.find("multiple-response sets\n$m\tSet"), std::string::npos);
  EXPECT_EQ(string.find("variable sets"), std::string::npos);
  EXPECT_EQ(VariableDetailsText(*file, 2, {".", ","}), "");
}

}  // namespace
}  // namespace brindle
