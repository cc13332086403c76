// The dictionary's further records: custom attributes (17, 18), multiple-
// response sets (7, 19), variable sets (5), product info (10) and the
// display parameters' widths and alignments (11); sound, damaged and in
// another encoding.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"

namespace brindle {
namespace {

using testing::RawExtension;
using testing::SavFile;

RawExtension Text(int subtype, const std::string& text) {
  return {subtype, 1, int(text.size()), {text.begin(), text.end()}};
}

// Variables a, b, c (numeric), s (string 8) and a long name whose record is
// LONGNAME; the given records added.
SavFile Dictionary(std::vector<RawExtension> records) {
  SavFile f;
  auto a = testing::Variable::numeric("a", "Label of a");
  a.displayWidth = 12, a.alignment = 0, a.measure = 1;
  auto b = testing::Variable::numeric("b");
  b.displayWidth = 3, b.alignment = 2, b.measure = 2;
  auto s = testing::Variable::string("s", 8);
  auto longName = testing::Variable::numeric("LongNameVariable");
  longName.shortName = "LONGNAME";
  f.variables = {a, b, testing::Variable::numeric("c"), s, longName};
  f.extraExtensions = std::move(records);
  f.cases = {{1.0, 2.0, 3.0, std::string("yes"), 4.0}};
  return f;
}

struct Opened {
  std::vector<std::uint8_t> bytes;
  std::shared_ptr<SystemFile> file;
};

Opened Open(const SavFile& f) {
  Opened o;
  o.bytes = testing::writeSav(f);
  std::string error;
  EXPECT_EQ(SystemFile::openMemory(o.bytes.data(), o.bytes.size(), o.file, &error), SPSS_OK)
      << error;
  return o;
}

std::string Warnings(const SystemFile& file) {
  std::string out;
  for (const FileWarning& w : file.warnings())
    out += std::to_string(w.record) + "/" + std::to_string(w.subtype) + ": " + w.text + "\n";
  return out;
}

std::string Members(const std::vector<int>& members) {
  std::string out;
  for (int m : members) out += std::to_string(m);
  return out;
}

TEST(DictionaryParts, SoundRecords) {
  const Opened o = Open(Dictionary({
      Text(5, "Demographics= a b\nEmpty= \r\nAll= a b c s LongNameVariable\n"),
      Text(7, "\n$mc=C 10 my mcgroup a b c\n$md=D2 55 0  a b\n$ms=D8 yes      4 txt! s\n\n"),
      Text(10, "Written by a survey tool\n"),
      Text(17, "Origin('survey 2024'\n)Version('1'\n'2'\n)"),
      Text(18,
           "a:$@Role('1'\n)fred('23'\n'34'\n)bert('it's \"quoted\"'\n)"
           "/LongNameVariable:@hidden('two\nlines'\n)Note('x'\n)"),
      Text(19, "$cv=E 1 2 34 14 counted values c longname\n$vl=E 11 1 1 0  a b\n"),
  }));
  ASSERT_TRUE(o.file);
  const SystemFile& f = *o.file;
  EXPECT_EQ(Warnings(f), "");

  ASSERT_EQ(f.variable(0).attributes.size(), 3u);
  EXPECT_EQ(f.variable(0).attributes[1].name, "fred");
  EXPECT_EQ(f.variable(0).attributes[1].values, (std::vector<std::string>{"23", "34"}));
  EXPECT_EQ(f.variable(0).attributes[2].values.front(), "it's \"quoted\"");
  EXPECT_EQ(f.variable(0).role, 1);
  ASSERT_EQ(f.variable(4).attributes.size(), 2u);
  EXPECT_EQ(f.variable(4).attributes[0].name, "@hidden");
  EXPECT_EQ(f.variable(4).attributes[0].values.front(), "two\nlines");
  EXPECT_TRUE(f.variable(1).attributes.empty());
  ASSERT_EQ(f.fileAttributes().size(), 2u);
  EXPECT_EQ(f.fileAttributes()[1].values, (std::vector<std::string>{"1", "2"}));

  EXPECT_EQ(f.variable(0).displayWidth, 12);
  EXPECT_EQ(f.variable(0).alignment, 0);
  EXPECT_EQ(f.variable(1).alignment, 2);
  EXPECT_EQ(f.variable(3).alignment, 0);  // the writer's default for strings
  EXPECT_EQ(f.productInfo(), "Written by a survey tool");

  const auto& sets = f.multipleResponseSets();
  ASSERT_EQ(sets.size(), 5u);
  EXPECT_EQ(sets[0].name, "$mc");
  EXPECT_EQ(sets[0].label, "my mcgroup");
  EXPECT_EQ(sets[0].kind, SetKind::Categories);
  EXPECT_EQ(sets[0].countedValue, "");
  EXPECT_EQ(Members(sets[0].members), "012");
  EXPECT_EQ(sets[1].kind, SetKind::Dichotomies);
  EXPECT_EQ(sets[1].countedValue, "55");
  EXPECT_EQ(sets[1].label, "");
  EXPECT_EQ(sets[2].countedValue, "yes");  // padded to 8 by older writers
  EXPECT_EQ(sets[2].label, "txt!");
  EXPECT_EQ(Members(sets[2].members), "3");
  EXPECT_EQ(sets[3].kind, SetKind::CountedValues);
  EXPECT_EQ(sets[3].label, "counted values");
  EXPECT_EQ(Members(sets[3].members), "24");  // by short name, any letter case
  EXPECT_FALSE(sets[3].labelFromVariable);
  EXPECT_TRUE(sets[4].labelFromVariable);
  EXPECT_EQ(sets[4].label, "Label of a");

  const auto& vsets = f.variableSets();
  ASSERT_EQ(vsets.size(), 3u);
  EXPECT_EQ(vsets[0].name, "Demographics");
  EXPECT_EQ(Members(vsets[0].members), "01");
  EXPECT_TRUE(vsets[1].members.empty());
  EXPECT_EQ(Members(vsets[2].members), "01234");
}

// The display parameters in the two-value layout hold measure and
// alignment; the width is not recorded.
TEST(DictionaryParts, TwoDisplayParametersGiveAlignment) {
  SavFile f = Dictionary({});
  f.displayParameters = false;
  testing::Bytes data;
  for (std::int32_t v : {1, 0, 2, 2, 3, 1, 1, 0, 3, 1}) testing::putInt32(data, v, f.byteOrder);
  f.extraExtensions.push_back({11, 4, 10, data});
  const Opened o = Open(f);
  ASSERT_TRUE(o.file);
  EXPECT_EQ(o.file->variable(1).alignment, 2);
  EXPECT_EQ(o.file->variable(1).displayWidth, -1);
  EXPECT_EQ(o.file->variable(1).measure, 2);
}

// Byte counts are of the file's encoding: a label of four characters in
// windows-1252 is four bytes, and comes out as UTF-8.
TEST(DictionaryParts, TextsInTheFileEncoding) {
  SavFile f = Dictionary({
      Text(7, "$caf\xe9=C 4 caf\xe9 a b\n"),
      Text(17, "Note('na\xefve'\n)"),
      Text(18, "a:Note('\xe9t\xe9'\n)"),
  });
  f.encoding = "windows-1252";
  f.characterCode = 1252;
  const Opened o = Open(f);
  ASSERT_TRUE(o.file);
  EXPECT_EQ(Warnings(*o.file), "");
  ASSERT_EQ(o.file->multipleResponseSets().size(), 1u);
  EXPECT_EQ(o.file->multipleResponseSets()[0].name, "$caf\xc3\xa9");
  EXPECT_EQ(o.file->multipleResponseSets()[0].label, "caf\xc3\xa9");
  EXPECT_EQ(Members(o.file->multipleResponseSets()[0].members), "01");
  EXPECT_EQ(o.file->fileAttributes()[0].values.front(), "na\xc3\xafve");
  EXPECT_EQ(o.file->variable(0).attributes[0].values.front(), "\xc3\xa9t\xc3\xa9");
}

// A damaged record gives one warning and keeps what is sound; the file opens.
struct DamagedCase {
  const char* what;
  std::vector<RawExtension> records;
  const char* warning;  // the one warning expected
  std::size_t sets;     // multiple-response sets kept
  std::size_t fileAttributes;
  std::size_t attributesOfA;
};

TEST(DictionaryParts, DamagedRecordsWarnOnce) {
  const DamagedCase cases[] = {
      {"set naming a variable that does not exist",
       {Text(7, "$x=C 0  a nosuch b\n")},
       "7/7: multiple-response sets: set $x names nosuch, which is not a variable; left out\n",
       1,
       0,
       0},
      {"set without members",
       {Text(7, "$x=C 1 x\n$y=C 0  a b\n")},
       "7/7: multiple-response sets: set $x has no members\n",
       2,
       0,
       0},
      {"name without $",
       {Text(7, "x=C 0  a b\n")},
       "7/7: multiple-response sets: set name x without \"$\"\n",
       1,
       0,
       0},
      {"count larger than the record",
       {Text(7, "$x=C 99 short a\n$y=C 0  a\n")},
       "7/7: multiple-response sets: set $x has a count larger than its line; ignored\n",
       1,
       0,
       0},
      {"huge count",
       {Text(7, "$x=D999999999999999 1 0  a\n")},
       "7/7: multiple-response sets: set $x has a count larger than its line; ignored\n",
       0,
       0,
       0},
      {"unknown kind and the same name twice, one warning",
       {Text(7, "$x=Q 0  a\n$y=C 0  a\n$Y=C 0  b\n")},
       "7/7: multiple-response sets: set $x of unknown kind; ignored (and 1 more faults)\n",
       1,
       0,
       0},
      {"counted-values kind in the old record",
       {Text(7, "$x=E 1 1 1 0  a\n")},
       "7/7: multiple-response sets: set $x of unknown kind; ignored\n",
       0,
       0,
       0},
      {"unterminated attribute value",
       {Text(17, "Good('1'\n)Bad('2")},
       "7/17: data file attributes malformed at byte 14; the rest ignored\n",
       0,
       1,
       0},
      {"duplicate attribute names",
       {Text(18, "a:x('1'\n)x('2'\n)y('3'\n)")},
       "7/18: attributes given twice (a x); kept the first\n",
       0,
       0,
       2},
      {"attributes of a variable not there",
       {Text(18, "nosuch:x('1'\n)/a:y('2'\n)")},
       "7/18: attributes of variables that are not in the file (nosuch); ignored\n",
       0,
       0,
       1},
      {"attribute without a value",
       {Text(18, "a:y('2'\n)x()")},
       "7/18: variable attributes malformed at byte 11; the rest ignored\n",
       0,
       0,
       1},
      {"variable set naming a variable that does not exist",
       {Text(5, "S= a nosuch\n")},
       "7/5: variable sets: set S names nosuch, which is not a variable; left out\n",
       0,
       0,
       0},
  };
  for (const DamagedCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Opened o = Open(Dictionary(c.records));
    ASSERT_TRUE(o.file);
    EXPECT_EQ(Warnings(*o.file), c.warning);
    EXPECT_EQ(o.file->multipleResponseSets().size(), c.sets);
    EXPECT_EQ(o.file->fileAttributes().size(), c.fileAttributes);
    EXPECT_EQ(o.file->variable(0).attributes.size(), c.attributesOfA);
  }
}

// Trailing line ends and zero bytes after the last attribute are padding,
// and a value may end in a quote.
TEST(DictionaryParts, AttributePaddingAndQuotes) {
  const Opened o = Open(Dictionary({
      Text(17, "A('x''\n)\n\0"),
      Text(18, "a:B(''''\n''\n)\n"),
  }));
  ASSERT_TRUE(o.file);
  EXPECT_EQ(Warnings(*o.file), "");
  ASSERT_EQ(o.file->fileAttributes().size(), 1u);
  ASSERT_EQ(o.file->variable(0).attributes.size(), 1u);
  EXPECT_EQ(o.file->fileAttributes()[0].values.front(), "x'");
  EXPECT_EQ(o.file->variable(0).attributes[0].values, (std::vector<std::string>{"''", ""}));
}

}  // namespace
}  // namespace brindle
