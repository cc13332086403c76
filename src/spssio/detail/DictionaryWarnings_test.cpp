// Damaged dictionaries that still open: each kind of damage gives its
// warning (record, subtype, what was wrong, what the reader did) and the
// dictionary the reader made of it, in both byte orders. Sound variants of
// the same records give no warning.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spssio/FileWarning.h"
#include "spssio/SpssioCodes.h"
#include "spssio/detail/SavReader.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace {

using namespace brindle::testing;
using brindle::FileWarning;
using brindle::SavReader;
using brindle::SavVariable;

// Variable records: n is index 1, s12 indexes 2 and 3, s4 index 4.
SavFile Base(ByteOrder order) {
  SavFile f;
  f.byteOrder = order;
  f.variables = {Variable::numeric("n"), Variable::string("s12", 12), Variable::string("s4", 4)};
  f.cases = {{1.0, std::string("abc"), std::string("x")}};
  return f;
}

// A value label record with one label per value (8 stored bytes each), and
// its variables record naming indexes; indexes empty: no variables record.
Bytes LabelRecords(const std::vector<Bytes>& values, const std::vector<int>& indexes, ByteOrder o) {
  Bytes b;
  putInt32(b, 3, o);
  putInt32(b, static_cast<std::int32_t>(values.size()), o);
  for (std::size_t i = 0; i < values.size(); ++i) {
    b.insert(b.end(), values[i].begin(), values[i].end());
    b.push_back(7);
    putPadded(b, "label " + std::to_string(i), 7);
  }
  if (indexes.empty()) return b;
  putInt32(b, 4, o);
  putInt32(b, static_cast<std::int32_t>(indexes.size()), o);
  for (int index : indexes) putInt32(b, index, o);
  return b;
}

Bytes Padded8(const std::string& s) {
  Bytes b;
  putPadded(b, s, 8);
  return b;
}

// One entry of a long-string value-labels record (subtype 21).
void PutLongLabels(Bytes& d, const std::string& name, int width,
                   const std::vector<std::pair<std::string, std::string>>& labels, ByteOrder o) {
  putInt32(d, static_cast<std::int32_t>(name.size()), o);
  putText(d, name);
  putInt32(d, width, o);
  putInt32(d, static_cast<std::int32_t>(labels.size()), o);
  for (const auto& [value, label] : labels) {
    putInt32(d, static_cast<std::int32_t>(value.size()), o);
    putText(d, value);
    putInt32(d, static_cast<std::int32_t>(label.size()), o);
    putText(d, label);
  }
}

// One entry of a long-string missing-values record (subtype 22): the value
// length once before the values, or (lengthBeforeEach) before every value.
void PutLongMissing(Bytes& d, const std::string& name, const std::vector<std::string>& values,
                    bool lengthBeforeEach, ByteOrder o) {
  putInt32(d, static_cast<std::int32_t>(name.size()), o);
  putText(d, name);
  d.push_back(static_cast<std::uint8_t>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i == 0 || lengthBeforeEach) putInt32(d, 8, o);
    putPadded(d, values[i], 8);
  }
}

RawExtension Raw(int subtype, const Bytes& data) {
  return RawExtension{subtype, 1, static_cast<int>(data.size()), data};
}

struct Opened {
  TempFile file;
  SavReader reader;
  int rc;
  explicit Opened(const SavFile& f) : file(writeSav(f)) { rc = reader.open(file.c_str()); }
  const SavVariable& var(const char* name) const {
    const int i = reader.findVariable(name);
    EXPECT_GE(i, 0) << name;
    return reader.variables()[std::size_t(i < 0 ? 0 : i)];
  }
  std::size_t labelCount(const char* name) const {
    std::size_t n = 0;
    for (int set : var(name).labelSets) n += reader.labelSets()[std::size_t(set)].size();
    return n;
  }
};

struct Damage {
  const char* name;
  void (*make)(SavFile&, ByteOrder);
  int record;  // of the warning; 0 with fragment null: no warning at all
  int subtype;
  const char* fragment;  // in the warning's text
  void (*check)(const Opened&);
};

class DictionaryWarnings : public ::testing::TestWithParam<std::tuple<Damage, ByteOrder>> {};

TEST_P(DictionaryWarnings, WarnsAndReadsWhatIsSound) {
  const auto& [damage, order] = GetParam();
  SavFile f = Base(order);
  damage.make(f, order);
  const Opened o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  const auto& warnings = o.reader.warnings();
  if (!damage.fragment) {
    for (const FileWarning& w : warnings) ADD_FAILURE() << brindle::WarningLine(w);
  } else {
    bool found = false;
    for (const FileWarning& w : warnings)
      found = found || (w.record == damage.record && w.subtype == damage.subtype &&
                        w.text.find(damage.fragment) != std::string::npos && w.offset > 0);
    EXPECT_TRUE(found) << "no warning with \"" << damage.fragment << "\"";
    if (!found)
      for (const FileWarning& w : warnings) ADD_FAILURE() << "got " << brindle::WarningLine(w);
  }
  if (damage.check) damage.check(o);
}

const Damage kDamages[] = {
    // Long-string missing values: both layouts read all their values.
    {"LongStringMissingThreeValues",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongMissing(d, "s12", {"a", "bb", "ccc"}, false, o);
       f.extraExtensions.push_back(Raw(22, d));
     },
     0, 0, nullptr,
     [](const Opened& o) {
       const auto& v = o.var("s12");
       EXPECT_EQ(v.missingFormat, 3);
       EXPECT_EQ(v.stringMissing[0], "a       ");
       EXPECT_EQ(v.stringMissing[2], "ccc     ");
     }},
    {"LongStringMissingTwoValuesLengthBeforeEach",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongMissing(d, "s12", {"x", "y"}, true, o);
       PutLongMissing(d, "S12", {"z"}, true, o);  // a second entry: the last one counts
       f.extraExtensions.push_back(Raw(22, d));
     },
     0, 0, nullptr,
     [](const Opened& o) {
       EXPECT_EQ(o.var("s12").missingFormat, 1);
       EXPECT_EQ(o.var("s12").stringMissing[0], "z       ");
     }},
    {"LongStringMissingTwoValuesLengthOnce",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongMissing(d, "s12", {"x", "y"}, false, o);
       f.extraExtensions.push_back(Raw(22, d));
     },
     0, 0, nullptr,
     [](const Opened& o) {
       EXPECT_EQ(o.var("s12").missingFormat, 2);
       EXPECT_EQ(o.var("s12").stringMissing[1], "y       ");
     }},
    {"LongStringMissingDamaged",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongMissing(d, "s12", {"x", "y"}, false, o);
       d.push_back(1);  // a byte too many for either layout
       f.extraExtensions.push_back(Raw(22, d));
     },
     7, 22, "damaged; ignored", [](const Opened& o) { EXPECT_EQ(o.var("s12").missingFormat, 0); }},
    {"LongStringMissingOnANumber",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongMissing(d, "n", {"x"}, false, o);
       f.extraExtensions.push_back(Raw(22, d));
     },
     7, 22, "entry for n, which is a numeric variable; ignored",
     [](const Opened& o) { EXPECT_EQ(o.var("n").missingFormat, 0); }},
    // Value label records that cannot carry their labels.
    {"ValueLabelsOnAWideString",
     [](SavFile& f, ByteOrder o) {
       f.injections.push_back({InjectAt::AfterVariables, LabelRecords({Padded8("abc")}, {2}, o)});
     },
     4, 0, "variable index 2 is a string of width 12",
     [](const Opened& o) {
       EXPECT_TRUE(o.var("s12").labelSets.empty());
       EXPECT_TRUE(o.var("s12").longStringLabels.empty());
     }},
    {"ValueLabelsOnNumbersAndStrings",
     [](SavFile& f, ByteOrder o) {
       f.injections.push_back(
           {InjectAt::AfterVariables, LabelRecords({doubleBytes(1, o)}, {1, 4}, o)});
     },
     4, 0, "numeric and string variables together",
     [](const Opened& o) {
       EXPECT_EQ(o.labelCount("n"), 0u);
       EXPECT_EQ(o.labelCount("s4"), 0u);
     }},
    {"ValueLabelIndexOutOfRange",
     [](SavFile& f, ByteOrder o) {
       f.injections.push_back(
           {InjectAt::AfterVariables, LabelRecords({doubleBytes(1, o)}, {1, 99}, o)});
     },
     4, 0, "variable index 99 is out of range",
     [](const Opened& o) {
       EXPECT_EQ(o.labelCount("n"), 1u);  // the index that fits keeps its labels
     }},
    {"ValueLabelIndexOnAContinuation",
     [](SavFile& f, ByteOrder o) {
       f.injections.push_back({InjectAt::AfterVariables, LabelRecords({Padded8("a")}, {3, 4}, o)});
     },
     4, 0, "variable index 3 is the continuation of a string",
     [](const Opened& o) { EXPECT_EQ(o.labelCount("s4"), 1u); }},
    {"ValueLabelsWithoutVariablesRecord",
     [](SavFile& f, ByteOrder o) {
       f.injections.push_back(
           {InjectAt::AfterVariables, LabelRecords({doubleBytes(1, o), doubleBytes(2, o)}, {}, o)});
     },
     3, 0, "without the value label variables record after them; 2 labels ignored",
     [](const Opened& o) { EXPECT_EQ(o.labelCount("n"), 0u); }},
    {"VariablesRecordWithoutValueLabels",
     [](SavFile& f, ByteOrder o) {
       Bytes b;
       for (int x : {4, 1, 1}) putInt32(b, x, o);
       f.injections.push_back({InjectAt::AfterVariables, b});
     },
     4, 0, "without value labels before it; ignored", nullptr},
    // Long-string value labels.
    {"LongStringLabelRepeated",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongLabels(d, "s12", 12,
                     {{"abc         ", "first"}, {"abc", "second"}, {"other       ", "third"}}, o);
       f.extraExtensions.push_back(Raw(21, d));
     },
     7, 21, "variable s12: a value has a second label; kept the last one",
     [](const Opened& o) {
       const auto& labels = o.var("s12").longStringLabels;
       ASSERT_EQ(labels.size(), 2u);
       EXPECT_EQ(labels[0].first, "abc         ");
       EXPECT_EQ(labels[0].second, "second");
       EXPECT_EQ(labels[1].second, "third");
     }},
    {"LongStringLabelValueTooLong",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongLabels(d, "s12", 14, {{"abcdefghijklmn", "cut"}, {"abc           ", "kept"}}, o);
       f.extraExtensions.push_back(Raw(21, d));
     },
     7, 21, "longer than the variable's width 12",
     [](const Opened& o) {
       const auto& labels = o.var("s12").longStringLabels;
       ASSERT_EQ(labels.size(), 1u);
       EXPECT_EQ(labels[0].first, "abc         ");
       EXPECT_EQ(labels[0].second, "kept");
     }},
    {"LongStringLabelForAnUnknownVariable",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongLabels(d, "nosuch", 12, {{"abc", "x"}}, o);
       PutLongLabels(d, "n", 12, {{"abc", "x"}}, o);
       PutLongLabels(d, "s12", 12, {{"abc", "x"}}, o);
       f.extraExtensions.push_back(Raw(21, d));
     },
     7, 21, "entry for nosuch, which names no variable; ignored",
     [](const Opened& o) { EXPECT_EQ(o.var("s12").longStringLabels.size(), 1u); }},
    {"LongStringLabelForANumber",
     [](SavFile& f, ByteOrder o) {
       Bytes d;
       PutLongLabels(d, "n", 12, {{"abc", "x"}}, o);
       f.extraExtensions.push_back(Raw(21, d));
     },
     7, 21, "entry for n, which is a numeric variable; ignored", nullptr},
    // Formats.
    {"FormatCodeThatIsNoFormat",
     [](SavFile& f, ByteOrder) {
       f.variables[0].print = Format{0, 8, 2};
     },
     2, 0, "variable n: print format code 0 is no format; used F8.2",
     [](const Opened& o) {
       EXPECT_EQ(o.var("n").print.type, 5);
       EXPECT_EQ(o.var("n").print.width, 8);
       EXPECT_EQ(o.var("n").print.decimals, 2);
     }},
    {"StringFormatOnANumber",
     [](SavFile& f, ByteOrder) {
       f.variables[0].write = Format{1, 8, 0};
     },
     2, 0, "variable n: write A is a string format on a numeric variable; used F8.2",
     [](const Opened& o) {
       EXPECT_EQ(o.var("n").write.type, 5);
       EXPECT_EQ(o.var("n").print.type, 5);
     }},
    {"NumericFormatOnAString",
     [](SavFile& f, ByteOrder) {
       f.variables[1].print = Format{5, 8, 2};
     },
     2, 0, "variable s12: print F is a numeric format on a string variable; used A12",
     [](const Opened& o) {
       EXPECT_EQ(o.var("s12").print.type, 1);
       EXPECT_EQ(o.var("s12").print.width, 12);
     }},
    {"StringFormatOfAnotherWidth",
     [](SavFile& f, ByteOrder) {
       f.variables[2].print = Format{1, 9, 0};
     },
     2, 0, "A9 does not fit a string of width 4; used A4",
     [](const Opened& o) { EXPECT_EQ(o.var("s4").print.width, 4); }},
    {"NumericFormatTooWide",
     [](SavFile& f, ByteOrder) {
       f.variables[0].print = Format{5, 0, 0};
     },
     2, 0, "width 0 does not fit F; used F8.2", nullptr},
    {"SoundFormats",
     [](SavFile& f, ByteOrder) {
       f.variables[0].print = Format{20, 11, 0};  // DATE11
       f.variables[0].write = Format{41, 19, 0};  // YMDHMS19
       f.variables[2].print = Format{2, 8, 0};    // AHEX8 on a string of 4
     },
     0, 0, nullptr, [](const Opened& o) { EXPECT_EQ(o.var("n").print.type, 20); }},
    // Records of the variables.
    {"VeryLongStringWidthOutOfRange",
     [](SavFile& f, ByteOrder) {
       f.variables[1].shortName = "S12";
       f.extraExtensions.push_back(Raw(14, textBytes(std::string("S12=99999\0\t", 11))));
     },
     7, 14, "very long string S12: width \"99999\" is not a width from 9 to 32767; ignored",
     [](const Opened& o) { EXPECT_EQ(o.var("s12").width, 12); }},
    {"VeryLongStringSegmentTooNarrow",
     [](SavFile& f, ByteOrder) {
       // Two strings that would be the segments of one of width 300, but
       // the first is not 255 wide.
       f.variables = {Variable::string("a", 200), Variable::string("b", 48)};
       f.variables[0].shortName = "A";
       f.cases = {{std::string("x"), std::string("y")}};
       f.extraExtensions.push_back(Raw(14, textBytes(std::string("A=00300\0\t", 10))));
     },
     7, 14, "very long string A: segment 1 has width 200, not 255; the variables were kept",
     [](const Opened& o) {
       ASSERT_EQ(o.reader.variables().size(), 2u);
       EXPECT_EQ(o.var("a").width, 200);
     }},
    {"MissingRangeOnAString", [](SavFile& f, ByteOrder) { f.variables[2].missingCode = -2; }, 2, 0,
     "variable s4: a missing value range on a string; ignored",
     [](const Opened& o) { EXPECT_EQ(o.var("s4").missingFormat, 0); }},
    {"StringContinuationWithoutItsString",
     [](SavFile& f, ByteOrder o) {
       Bytes b;
       for (int x : {2, -1, 0, 0, 0, 0}) putInt32(b, x, o);
       putPadded(b, "", 8);
       f.injections.push_back({InjectAt::AfterHeader, b});
       f.cases.clear();  // the cases would need one more element
       f.headerCases = 0;
       f.extendedCases = 0;
     },
     2, 0, "string continuation without its string",
     [](const Opened& o) { EXPECT_EQ(o.reader.variables().size(), 3u); }},
    {"DuplicateNames",
     [](SavFile& f, ByteOrder) {
       f.longNames = false;
       f.variables[0].shortName = "S4";
       f.variables[1].shortName = "S12";
       f.variables[2].shortName = "S4";
     },
     2, 0, "variable name s4 is used twice; named s4_2",
     [](const Opened& o) { EXPECT_EQ(o.reader.variables()[2].name, "s4_2"); }},
    {"EveryLetterLowerCased",
     [](SavFile& f, ByteOrder) {
       f.longNames = false;
       f.encoding = "windows-1252";
       f.characterCode = 1252;
       f.variables[0].shortName = "NUM\xc0\xc8\xcc";  // NUMÀÈÌ
       f.variables[1].shortName = "\xc6\xd8";         // ÆØ
     },
     0, 0, nullptr,
     [](const Opened& o) {
       EXPECT_EQ(o.reader.variables()[0].name, "num\xc3\xa0\xc3\xa8\xc3\xac");
       EXPECT_EQ(o.reader.variables()[1].name, "\xc3\xa6\xc3\xb8");
     }},
    {"EveryLetterLowerCasedInUtf8",
     [](SavFile& f, ByteOrder) {
       f.longNames = false;
       f.variables[0].shortName = "\xce\x91\xd0\x96";  // Greek Alpha, Cyrillic Zhe
     },
     0, 0, nullptr,
     [](const Opened& o) { EXPECT_EQ(o.reader.variables()[0].name, "\xce\xb1\xd0\xb6"); }},
    {"LongNameForNoVariable",
     [](SavFile& f, ByteOrder) {
       f.longNames = false;
       f.variables[0].shortName = "N";
       f.extraExtensions.push_back(Raw(13, textBytes("N=count\tQQ=other")));
     },
     7, 13, "long name for QQ, which is the name of no variable; ignored",
     [](const Opened& o) { EXPECT_EQ(o.reader.variables()[0].name, "count"); }},
    {"WeightOnAString", [](SavFile& f, ByteOrder) { f.weightIndex = 4; }, 1, 0,
     "weight variable index 4 names the string variable s4; the cases are not weighted",
     [](const Opened& o) { EXPECT_EQ(o.reader.weightVariable(), -1); }},
    {"WeightOnAContinuation", [](SavFile& f, ByteOrder) { f.weightIndex = 3; }, 1, 0,
     "weight variable index 3 is part of a string", nullptr},
    {"WeightOutOfRange", [](SavFile& f, ByteOrder) { f.weightIndex = 5; }, 1, 0,
     "weight variable index 5 is out of range (the file has 4 variable records)", nullptr},
    // Extension records.
    {"DisplayParametersOfTheWrongCount",
     [](SavFile& f, ByteOrder) {
       f.displayParameters = false;
       f.extraExtensions.push_back({11, 4, 5, Bytes(20, 0)});
     },
     7, 11, "5 display parameters do not fit the 3 variables; ignored", nullptr},
    {"UnknownEncoding",
     [](SavFile& f, ByteOrder) {
       f.encoding = "X-NO-SUCH";
       f.characterCode = 1252;
     },
     7, 20, "unknown encoding \"X-NO-SUCH\"; used WINDOWS-1252", nullptr},
    {"SecondDocumentRecord",
     [](SavFile& f, ByteOrder) {
       f.documents = {"one", "two"};
       f.documentsTwice = true;
     },
     6, 0, "a second document record; its 2 lines were added after the earlier lines",
     [](const Opened& o) { EXPECT_EQ(o.reader.documents().size(), 4u); }},
    {"UnknownSubtypeIsNoDamage",
     [](SavFile& f, ByteOrder) { f.extraExtensions.push_back(Raw(99, Bytes(5, 1))); }, 0, 0,
     nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Damages, DictionaryWarnings,
                         ::testing::Combine(::testing::ValuesIn(kDamages),
                                            ::testing::Values(ByteOrder::Little, ByteOrder::Big)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == ByteOrder::Big ? "Big" : "Little");
                         });

// The line a user reads names the record, subtype and offset.
TEST(DictionaryWarnings, LineNamesRecordAndOffset) {
  SavFile f = Base(ByteOrder::Little);
  Bytes d;
  PutLongLabels(d, "n", 12, {{"abc", "x"}}, ByteOrder::Little);
  f.extraExtensions.push_back(Raw(21, d));
  SavLayout layout;
  TempFile file(writeSav(f, &layout));
  SavReader reader;
  ASSERT_EQ(reader.open(file.c_str()), SPSS_OK);
  ASSERT_EQ(reader.warnings().size(), 1u);
  std::uint64_t at = 0;
  for (const RecordMark& m : layout.records)
    if (m.type == 7 && m.subtype == 21) at = m.offset;
  EXPECT_EQ(brindle::WarningLine(reader.warnings()[0]),
            "record 7 subtype 21 at offset " + std::to_string(at) +
                ": entry for n, which is a numeric variable; ignored");
}

}  // namespace

namespace {

// One fault repeated in every entry of a long list: the warnings stop at 500
// and say so; the labels of the variable that fits are still attached.
TEST(DictionaryWarnings, RepeatedFaultsAreCapped) {
  SavFile f = Base(ByteOrder::Little);
  std::vector<int> indexes(2000, 99);
  indexes.push_back(1);
  f.injections.push_back(
      {InjectAt::AfterVariables,
       LabelRecords({doubleBytes(1, ByteOrder::Little)}, indexes, ByteOrder::Little)});
  const Opened o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  ASSERT_EQ(o.reader.warnings().size(), 501u);
  EXPECT_EQ(o.reader.warnings().back().text, "more than 500 warnings; the rest are not shown");
  EXPECT_EQ(o.labelCount("n"), 1u);
}

// Many long-string labels, every value once but the first repeated at the
// end: one label per value, the repeat's label kept.
TEST(DictionaryWarnings, ManyLongStringLabelsOneRepeat) {
  SavFile f = Base(ByteOrder::Big);
  std::vector<std::pair<std::string, std::string>> labels;
  for (int i = 0; i < 20000; ++i) labels.emplace_back(std::to_string(i), "l" + std::to_string(i));
  labels.emplace_back("0", "again");
  Bytes d;
  PutLongLabels(d, "s12", 12, labels, ByteOrder::Big);
  f.extraExtensions.push_back(Raw(21, d));
  const Opened o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  const auto& stored = o.var("s12").longStringLabels;
  ASSERT_EQ(stored.size(), 20000u);
  EXPECT_EQ(stored[0].first, "0           ");
  EXPECT_EQ(stored[0].second, "again");
  EXPECT_EQ(stored[19999].second, "l19999");
  EXPECT_EQ(o.reader.warnings().size(), 1u);
}

}  // namespace
