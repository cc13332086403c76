// The reader over hand-made files: every compression and byte order, the
// lenient cases where the data is still readable and the strict ones where
// it is not.
#include "spssio/detail/SavReader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "spssio/SpssioCodes.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace {

using namespace brindle::testing;
using brindle::SavReader;

struct Open {
  SavReader reader;
  int rc;
  TempFile file;
  explicit Open(const Bytes& bytes) : file(bytes) { rc = reader.open(file.c_str()); }
  explicit Open(const SavFile& f) : Open(writeSav(f)) {}
  const brindle::SavVariable& var(const char* name) {
    int i = reader.findVariable(name);
    EXPECT_GE(i, 0) << name;
    return reader.variables()[std::size_t(i < 0 ? 0 : i)];
  }
  // Reads all cases; returns the number read and the final code.
  std::pair<std::int64_t, int> pass() {
    reader.cases().rewind();
    std::int64_t n = 0;
    int rc2;
    while ((rc2 = reader.cases().next()) == SPSS_OK) ++n;
    return {n, rc2};
  }
};

SavFile widthsFile(Compression c, ByteOrder order) {
  SavFile f;
  f.compression = c;
  f.byteOrder = order;
  const int widths[] = {1, 8, 9, 255, 256, 300, 1000};
  f.variables.push_back(Variable::numeric("n1"));
  for (int w : widths) f.variables.push_back(Variable::string("s" + std::to_string(w), w));
  f.variables.push_back(Variable::numeric("n2"));
  for (int k = 0; k < 3; ++k) {
    Case row{double(k) * 1.5 - 1};
    for (int w : widths) {
      // Distinct text all along the value shows segments stitched in order.
      std::string text;
      for (int i = 0; int(text.size()) < w; ++i)
        text += std::to_string(k) + ":" + std::to_string(i) + ",";
      text.resize(std::size_t(w));
      if (k == 2) text = "";
      row.push_back(text);
    }
    row.push_back(k == 1 ? sysmis() : 1e100);
    f.cases.push_back(row);
  }
  return f;
}

class ReaderRoundTrip : public ::testing::TestWithParam<std::tuple<Compression, ByteOrder>> {};

TEST_P(ReaderRoundTrip, EveryWidthAndValueComesBack) {
  auto [compression, order] = GetParam();
  SavFile f = widthsFile(compression, order);
  Open o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  EXPECT_EQ(o.reader.bigEndian(), order == ByteOrder::Big);
  const auto& vars = o.reader.variables();
  ASSERT_EQ(vars.size(), f.variables.size());
  for (std::size_t i = 0; i < vars.size(); ++i) {
    EXPECT_EQ(vars[i].name, f.variables[i].name);
    EXPECT_EQ(vars[i].width, f.variables[i].width);
  }
  EXPECT_EQ(o.var("s1000").print.width, 1000);
  EXPECT_EQ(o.reader.caseCount(), 3);
  for (std::size_t k = 0; k < f.cases.size(); ++k) {
    ASSERT_EQ(o.reader.cases().next(), SPSS_OK) << o.reader.cases().error();
    for (std::size_t i = 0; i < vars.size(); ++i) {
      if (vars[i].width == 0) {
        EXPECT_EQ(o.reader.numericValue(vars[i]), std::get<double>(f.cases[k][i]));
      } else {
        std::string expected = std::get<std::string>(f.cases[k][i]);
        expected.resize(std::size_t(vars[i].width), ' ');
        EXPECT_EQ(o.reader.stringValue(vars[i]), expected) << vars[i].name << " case " << k;
      }
    }
  }
  EXPECT_EQ(o.reader.cases().next(), SPSS_FILE_END);
}

INSTANTIATE_TEST_SUITE_P(All, ReaderRoundTrip,
                         ::testing::Combine(::testing::Values(Compression::None,
                                                              Compression::Bytecode,
                                                              Compression::Zsav),
                                            ::testing::Values(ByteOrder::Little, ByteOrder::Big)));

SavFile threeCases(Compression c) {
  SavFile f;
  f.compression = c;
  f.variables = {Variable::numeric("x"), Variable::string("s", 4)};
  f.cases = {{1.0, std::string("a")}, {2.0, std::string("b")}, {3.0, std::string("c")}};
  return f;
}

// Case counts that the header or the extension record does not know or gets
// wrong.
constexpr std::int64_t kNoRecord = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kGarbage = 4395513498306624773;

struct CountCase {
  const char* name;
  Compression compression;
  std::int32_t header;
  std::int64_t reported;
  std::int64_t readable;
  std::int64_t extended = kNoRecord;
  // What the reader warns about the count ("": nothing); uncompressed data
  // shows more cases than counted by its size, compressed data only when
  // decoded.
  const char* warning = "";
  std::size_t extraBytes = 0;  // after the data
};

class ReaderCaseCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(ReaderCaseCount, DataEndsWhereItEnds) {
  const CountCase& c = GetParam();
  SavFile f = threeCases(c.compression);
  f.headerCases = c.header;
  f.extendedCaseCount = c.extended != kNoRecord;
  f.extendedCases = c.extended;
  if (c.extraBytes) f.injections.push_back({InjectAt::AtEnd, Bytes(c.extraBytes, 0x40)});
  Open o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  EXPECT_EQ(o.reader.caseCount(), c.reported);
  EXPECT_EQ(o.pass(), std::make_pair(c.readable, int(SPSS_FILE_END)));
  const auto& warnings = o.reader.warnings();
  if (*c.warning == 0) {
    EXPECT_TRUE(warnings.empty()) << brindle::WarningLine(warnings.front());
  } else {
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].record, 0);
    EXPECT_NE(warnings[0].text.find(c.warning), std::string::npos) << warnings[0].text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ReaderCaseCount,
    ::testing::Values(CountCase{"UnknownUncompressed", Compression::None, -1, 3, 3},
                      CountCase{"UnknownBytecode", Compression::Bytecode, -1, -1, 3},
                      CountCase{"UnknownZsav", Compression::Zsav, -1, -1, 3},
                      CountCase{"TooLargeUncompressed", Compression::None, 10, 10, 3},
                      CountCase{"TooLargeBytecode", Compression::Bytecode, 10, 10, 3},
                      CountCase{"TooSmallBytecode", Compression::Bytecode, 2, 2, 2},
                      CountCase{"TooSmallUncompressed", Compression::None, 2, 2, 2, kNoRecord,
                                "the data holds 3 cases, more than the 2 the file header counts; "
                                "only the first 2 are read"},
                      CountCase{"ExtendedTooSmallUncompressed", Compression::None, -1, 1, 1, 1,
                                "more than the 1 the extended case count record"},
                      CountCase{"PartCaseAfterTheCount", Compression::None, 3, 3, 3, kNoRecord,
                                "goes on for 7 bytes after the 3 cases the file header counts; "
                                "they are ignored",
                                7},
                      // An extension count the data cannot hold, or 0 over data, is not
                      // taken; a sane header's count is preferred to it.
                      CountCase{"ExtendedZero", Compression::Bytecode, 3, 3, 3, 0},
                      CountCase{"ExtendedGarbage", Compression::None, 3, 3, 3, kGarbage},
                      CountCase{"ExtendedGarbageNoHeader", Compression::Zsav, -1, -1, 3, kGarbage},
                      CountCase{"ExtendedZeroNoHeader", Compression::None, -1, 3, 3, 0,
                                "extended case count record (type 7 subtype 16) counts 0 cases, "
                                "but the data holds some; all 3 are read"},
                      CountCase{"HeaderZeroOverData", Compression::Bytecode, 0, -1, 3, kNoRecord,
                                "the file header counts 0 cases, but the data holds some; the "
                                "cases are counted from the data"},
                      CountCase{"HeaderZeroExtendedHolds", Compression::Zsav, 0, 3, 3, 3,
                                "the extended case count record's 3 is used"},
                      CountCase{"HeaderZeroUncompressed", Compression::None, 0, 3, 3, kNoRecord,
                                "all 3 are read"},
                      CountCase{"HeaderLiesExtendedHolds", Compression::None, 100, 3, 3, 3},
                      CountCase{"HeaderLiesBytecode", Compression::Bytecode, 1000, 3, 3, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderCaseCount, ExtendedCountWins) {
  SavFile f = threeCases(Compression::Bytecode);
  f.headerCases = -1;
  f.extendedCases = 3;
  Open o(f);
  ASSERT_EQ(o.rc, SPSS_OK);
  EXPECT_EQ(o.reader.caseCount(), 3);
}

// A dictionary with a record of every kind the writer makes.
SavFile smallDictionary(Compression c) {
  SavFile f = widthsFile(c, ByteOrder::Little);
  f.variables[0].label = std::string("first number");
  f.variables[0].numericLabels = {{1, "one"}, {-0.5, "minus a half"}};
  f.variables[0].missingCode = 2;
  f.variables[1].stringLabels = {{"a", "A"}};
  f.variables[3].stringMissing = {"x"};
  f.variables[3].stringLabels = {{"long value", "labelled"}};
  f.variables.back().name = "a_rather_long_variable_name";
  f.documents = {"first line", "second line", "third line"};
  return f;
}

TEST(ReaderTruncation, EveryCutGivesACleanCode) {
  for (Compression c : {Compression::None, Compression::Bytecode, Compression::Zsav}) {
    SavFile f = smallDictionary(c);
    SavLayout layout;
    Bytes whole = writeSav(f, &layout);
    std::set<std::uint64_t> cuts{
        0, 3, 100, layout.headerEnd, layout.terminationStart, layout.dataStart};
    for (const RecordMark& m : layout.records) {
      cuts.insert(m.offset);
      cuts.insert(m.offset + 4);
      cuts.insert(m.end - 1);
    }
    for (std::uint64_t cut : cuts) {
      if (cut >= layout.dataStart) continue;
      Open o(truncated(whole, std::size_t(cut)));
      EXPECT_TRUE(o.rc == SPSS_INVALID_FILE || o.rc == SPSS_FILE_TRUNCATED ||
                  o.rc == SPSS_NO_TYPE999)
          << "cut at " << cut << " gave " << o.rc;
      if (cut > 0 && o.rc == SPSS_FILE_TRUNCATED) {
        EXPECT_NE(o.reader.error().find("offset"), std::string::npos);
      }
    }
    // Cuts inside the data: the cases before the cut are read, then the pass
    // stops with end of file (at a case boundary) or a damage code.
    std::uint64_t step = std::max<std::uint64_t>(1, (whole.size() - layout.dataStart) / 150);
    for (std::uint64_t cut = layout.dataStart; cut < whole.size(); cut += step) {
      Open o(truncated(whole, std::size_t(cut)));
      if (o.rc != SPSS_OK) {
        EXPECT_EQ(c, Compression::Zsav) << "cut at " << cut;
        continue;
      }
      auto [n, rc] = o.pass();
      EXPECT_LE(n, 3);
      EXPECT_TRUE(rc == SPSS_FILE_END || rc == SPSS_FILE_TRUNCATED || rc == SPSS_BAD_DATA) << rc;
    }
  }
}

TEST(ReaderDictionary, RecordsOfEveryKind) {
  Open o(smallDictionary(Compression::Bytecode));
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  const auto& n1 = o.var("n1");
  EXPECT_EQ(n1.label, "first number");
  ASSERT_EQ(n1.labelSets.size(), 1u);
  const auto& labels = o.reader.labelSets()[std::size_t(n1.labelSets[0])];
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(o.reader.labelNumber(labels[1]), -0.5);
  EXPECT_EQ(labels[1].label, "minus a half");
  EXPECT_EQ(n1.missingFormat, 2);
  const auto& s9 = o.var("s9");
  EXPECT_EQ(s9.missingFormat, 1);
  EXPECT_EQ(s9.stringMissing[0], "x       ");
  ASSERT_EQ(s9.longStringLabels.size(), 1u);
  EXPECT_EQ(s9.longStringLabels[0].second, "labelled");
  EXPECT_GE(o.reader.findVariable("a_rather_long_variable_name"), 0);
  EXPECT_EQ(o.reader.documents(),
            (std::vector<std::string>{"first line", "second line", "third line"}));
  EXPECT_TRUE(o.reader.hasDocumentRecord());
  EXPECT_TRUE(o.reader.hasExtension(13));
  EXPECT_FALSE(o.reader.hasExtension(99));
  EXPECT_EQ(o.reader.creationDate(), "14 Mar 24");
  EXPECT_EQ(o.reader.productText(), "Brindle test writer");
}

// Files that lie or carry damaged optional parts but whose data is readable.
struct LenientCase {
  const char* name;
  void (*change)(SavFile&);
};

class ReaderLenient : public ::testing::TestWithParam<LenientCase> {};

TEST_P(ReaderLenient, ReadsTheDataAnyway) {
  SavFile f = threeCases(Compression::Bytecode);
  f.documents = {"doc"};
  GetParam().change(f);
  Open o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  ASSERT_EQ(o.reader.variables().size(), 2u);
  ASSERT_EQ(o.reader.cases().next(), SPSS_OK);
  EXPECT_EQ(o.reader.numericValue(o.reader.variables()[0]), 1.0);
  EXPECT_EQ(o.pass(), std::make_pair(std::int64_t(3), int(SPSS_FILE_END)));
}

RawExtension raw(int subtype, int size, int count, Bytes data) {
  return RawExtension{subtype, size, count, std::move(data)};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaderLenient,
    ::testing::Values(
        LenientCase{"BiasOf50", [](SavFile& f) { f.bias = 50; }},
        LenientCase{"NominalCaseSizeZero", [](SavFile& f) { f.nominalCaseSize = 0; }},
        LenientCase{"NominalCaseSizeMinusOne", [](SavFile& f) { f.nominalCaseSize = -1; }},
        LenientCase{"BadTimeStamp",
                    [](SavFile& f) {
                      f.creationDate = "\x01\xff?";
                      f.creationTime = "99:99";
                    }},
        LenientCase{"DocumentsTwice", [](SavFile& f) { f.documentsTwice = true; }},
        LenientCase{"UnknownSubtype",
                    [](SavFile& f) { f.extraExtensions.push_back(raw(99, 4, 3, Bytes(12, 7))); }},
        LenientCase{"DisplayParametersWrongCount",
                    [](SavFile& f) { f.extraExtensions.push_back(raw(11, 4, 1, Bytes(4, 1))); }},
        LenientCase{"GarbageAttributes",
                    [](SavFile& f) {
                      f.extraExtensions.push_back(raw(17, 1, 4, textBytes("x('\n")));
                      f.extraExtensions.push_back(raw(18, 1, 3, textBytes("::/")));
                    }},
        LenientCase{
            "GarbageMrsets",
            [](SavFile& f) { f.extraExtensions.push_back(raw(7, 1, 4, textBytes("$=Q\n"))); }},
        LenientCase{"GarbageLongStringLabels",
                    [](SavFile& f) {
                      f.extraExtensions.push_back(
                          raw(21, 1, 10, Bytes{0xff, 0xff, 0xff, 0x7f, 1, 2, 3, 4, 5, 6}));
                    }},
        LenientCase{
            "GarbageLongStringMissing",
            [](SavFile& f) {
              f.extraExtensions.push_back(raw(22, 1, 9, Bytes{1, 0, 0, 0, 'S', 9, 1, 2, 3}));
            }},
        LenientCase{"FloatInfoClaimsOtherSysmis",
                    [](SavFile& f) {
                      Bytes d;
                      for (double x : {0.0, 1.0, 2.0}) putDouble(d, x, ByteOrder::Little);
                      f.floatInfo = false;
                      f.extraExtensions.push_back(raw(4, 8, 3, d));
                    }},
        LenientCase{"WeightIndexOnString", [](SavFile& f) { f.weightIndex = 2; }},
        LenientCase{"WeightIndexOutOfRange", [](SavFile& f) { f.weightIndex = 77; }},
        LenientCase{"UnknownEncodingName", [](SavFile& f) { f.encoding = "X-NO-SUCH"; }},
        LenientCase{"OddSeparatorsInLongNames",
                    [](SavFile& f) {
                      f.longNames = false;
                      f.variables[0].shortName = "X";
                      f.extraExtensions.push_back(
                          raw(13, 1, 14, textBytes(std::string("\0X=xlong\r\n\tQ=", 14))));
                    }},
        LenientCase{"EndCodeAfterData", [](SavFile& f) { f.bytecodeEndCode = true; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderLenientDetails, WhatTheRepairsLookLike) {
  SavFile f = threeCases(Compression::Bytecode);
  f.documents = {"doc"};
  f.documentsTwice = true;
  f.weightIndex = 2;
  f.longNames = false;
  f.variables[0].shortName = "X";
  f.extraExtensions.push_back(raw(13, 1, 14, textBytes(std::string("\0X=xlong\r\n\tQ=", 14))));
  Open o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  EXPECT_EQ(o.reader.documents().size(), 2u);
  EXPECT_EQ(o.reader.weightVariable(), -1);
  EXPECT_EQ(o.reader.variables()[0].name, "xlong");
}

TEST(ReaderLenientDetails, DuplicateShortNamesBecomeUnique) {
  SavFile f;
  f.longNames = false;
  f.variables = {Variable::numeric("DUP"), Variable::numeric("DUP"), Variable::numeric("dup_2")};
  for (auto& v : f.variables) v.shortName = "DUP";
  f.variables[2].shortName = "DUP_2";
  f.cases = {{1.0, 2.0, 3.0}};
  Open o(f);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  std::set<std::string> names;
  for (const auto& v : o.reader.variables()) names.insert(v.name);
  EXPECT_EQ(names.size(), 3u);
  ASSERT_EQ(o.reader.cases().next(), SPSS_OK);
  EXPECT_EQ(o.reader.numericValue(o.reader.variables()[1]), 2.0);
}

TEST(ReaderLenientDetails, ManyLabelsLongLabels) {
  SavFile many;
  Variable v = Variable::numeric("v", std::string(1000, 'L'));
  for (int i = 0; i < 100000; ++i) v.numericLabels.emplace_back(i, "label " + std::to_string(i));
  many.variables = {v};
  many.cases = {{5.0}};
  Open o(many);
  ASSERT_EQ(o.rc, SPSS_OK) << o.reader.error();
  EXPECT_EQ(o.var("v").label.size(), 1000u);
  const auto& labels = o.reader.labelSets()[std::size_t(o.var("v").labelSets[0])];
  ASSERT_EQ(labels.size(), 100000u);
  EXPECT_EQ(labels[99999].label, "label 99999");
}

TEST(ReaderEncoding, TextsComeOutAsUtf8) {
  SavFile f = threeCases(Compression::Bytecode);
  f.encoding = "windows-1252";
  f.characterCode = 1252;
  f.variables[0].label = std::string("caf\xe9");
  f.cases[0][1] = std::string("\xe4\xf6");
  Open o(f);
  ASSERT_EQ(o.rc, SPSS_OK);
  EXPECT_EQ(o.var("x").label, "caf\xc3\xa9");
  ASSERT_EQ(o.reader.cases().next(), SPSS_OK);
  EXPECT_EQ(o.reader.stringValue(o.var("s")), "\xc3\xa4\xc3\xb6  ");

  SavFile j = threeCases(Compression::Bytecode);
  j.encodingRecord = false;
  j.characterCode = 932;
  j.variables[0].label = std::string("\x82\xa0\x82");  // a character, then one cut off
  Open oj(j);
  ASSERT_EQ(oj.rc, SPSS_OK);
  EXPECT_EQ(oj.var("x").label, "\xe3\x81\x82\xef\xbf\xbd");
}

// Files that cannot be read: each gives its own code.
struct StrictCase {
  const char* name;
  int code;
  Bytes (*make)();
};

class ReaderStrict : public ::testing::TestWithParam<StrictCase> {};

TEST_P(ReaderStrict, RefusesWithItsCode) {
  Open o(GetParam().make());
  EXPECT_EQ(o.rc, GetParam().code) << o.reader.error();
  EXPECT_FALSE(o.reader.error().empty());
}

Bytes withInjection(InjectAt where, Bytes bytes) {
  SavFile f = threeCases(Compression::Bytecode);
  f.injections.push_back({where, std::move(bytes)});
  return writeSav(f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaderStrict,
    ::testing::Values(
        StrictCase{"Encrypted", SPSS_ENCRYPTED_FILE,
                   [] {
                     Bytes b{0x1c, 0, 0, 0, 0, 0, 0, 0};
                     putText(b, "ENCRYPTEDSAV");
                     b.resize(36 + 512, 0x5a);
                     return b;
                   }},
        StrictCase{"TextFile", SPSS_INVALID_FILE, [] { return textBytes("name,age\n1,2\n"); }},
        StrictCase{"EmptyFile", SPSS_INVALID_FILE, [] { return Bytes{}; }},
        StrictCase{"NoVariables", SPSS_BAD_DICTIONARY, [] { return writeSav(SavFile{}); }},
        StrictCase{"BadLayoutCode", SPSS_INVALID_FILE,
                   [] {
                     Bytes b = writeSav(threeCases(Compression::Bytecode));
                     patchInt32(b, 64, 77);
                     return b;
                   }},
        StrictCase{"UnknownCompression", SPSS_INVALID_FILE,
                   [] {
                     SavFile f = threeCases(Compression::Bytecode);
                     f.compressionCode = 9;
                     return writeSav(f);
                   }},
        StrictCase{"UnknownRecordType", SPSS_BAD_DICTIONARY,
                   [] {
                     return withInjection(InjectAt::BeforeTermination,
                                          int32Bytes(5, ByteOrder::Little));
                   }},
        StrictCase{
            "RecordTypeBeforeVariables", SPSS_NO_TYPE2,
            [] { return withInjection(InjectAt::AfterHeader, int32Bytes(12, ByteOrder::Little)); }},
        StrictCase{"ExtensionPastTheEnd", SPSS_FILE_TRUNCATED,
                   [] {
                     Bytes rec = int32Bytes(7, ByteOrder::Little);
                     for (int x : {50, 1, 0x7fffffff}) putInt32(rec, x, ByteOrder::Little);
                     return withInjection(InjectAt::BeforeTermination, rec);
                   }},
        StrictCase{"NegativeExtensionSize", SPSS_BAD_DICTIONARY,
                   [] {
                     Bytes rec = int32Bytes(7, ByteOrder::Little);
                     for (int x : {50, -1, 4}) putInt32(rec, x, ByteOrder::Little);
                     return withInjection(InjectAt::BeforeTermination, rec);
                   }},
        StrictCase{"AbsurdLabelCount", SPSS_FILE_TRUNCATED,
                   [] {
                     Bytes rec = int32Bytes(3, ByteOrder::Little);
                     putInt32(rec, 0x7fffffff, ByteOrder::Little);
                     return withInjection(InjectAt::AfterVariables, rec);
                   }},
        StrictCase{"AbsurdDocumentCount", SPSS_FILE_TRUNCATED,
                   [] {
                     Bytes rec = int32Bytes(6, ByteOrder::Little);
                     putInt32(rec, 0x10000000, ByteOrder::Little);
                     return withInjection(InjectAt::BeforeDocument, rec);
                   }},
        StrictCase{"MissingContinuation", SPSS_NO_TYPE2,
                   [] {
                     SavFile f;
                     f.variables = {Variable::string("long", 20)};
                     SavLayout layout;
                     Bytes b = writeSav(f, &layout);
                     // The first continuation record becomes a numeric variable.
                     for (const RecordMark& m : layout.records)
                       if (m.type == 2) {
                         patchInt32(b, std::size_t(m.end) + 4, 0);
                         break;
                       }
                     return b;
                   }},
        StrictCase{"MissingCountOutOfRange", SPSS_BAD_DICTIONARY,
                   [] {
                     SavLayout layout;
                     Bytes b = writeSav(threeCases(Compression::Bytecode), &layout);
                     for (const RecordMark& m : layout.records)
                       if (m.type == 2) {
                         patchInt32(b, std::size_t(m.offset) + 12,
                                    std::numeric_limits<std::int32_t>::min());
                         break;
                       }
                     return b;
                   }},
        StrictCase{"NoTermination", SPSS_NO_TYPE999,
                   [] {
                     SavLayout layout;
                     Bytes b = writeSav(threeCases(Compression::Bytecode), &layout);
                     return truncated(b, std::size_t(layout.terminationStart));
                   }},
        StrictCase{"ZsavTrailerOffsetBeforeData", SPSS_BAD_DATA,
                   [] {
                     SavLayout layout;
                     Bytes b = writeSav(threeCases(Compression::Zsav), &layout);
                     patchBytes(b, std::size_t(layout.dataStart) + 8, Bytes(8, 0));
                     return b;
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderDamagedData, PassStopsWithACode) {
  // A zlib block with damaged bytes.
  SavLayout layout;
  SavFile f = threeCases(Compression::Zsav);
  Bytes z = writeSav(f, &layout);
  for (std::size_t i = std::size_t(layout.dataStart) + 26; i < std::size_t(layout.zlibTrailerStart);
       ++i)
    z[i] ^= 0x5a;
  Open oz(z);
  ASSERT_EQ(oz.rc, SPSS_OK);
  EXPECT_EQ(oz.pass().second, SPSS_BAD_DATA);
  EXPECT_EQ(oz.reader.cases().next(), SPSS_BAD_DATA);  // stays damaged until a rewind
  EXPECT_NE(oz.reader.cases().error().find("offset"), std::string::npos);

  // An end-of-data code inside a case.
  SavFile b = threeCases(Compression::Bytecode);
  b.extendedCaseCount = false;
  b.headerCases = -1;
  b.injections.push_back({InjectAt::AtEnd, Bytes{101, 252, 0, 0, 0, 0, 0, 0}});
  Open ob(b);
  ASSERT_EQ(ob.rc, SPSS_OK);
  auto [n, rc] = ob.pass();
  EXPECT_EQ(n, 3);
  EXPECT_EQ(rc, SPSS_BAD_DATA);
}

}  // namespace
