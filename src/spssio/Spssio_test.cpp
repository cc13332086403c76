// The module's functions over real files from other writers (expectations
// recorded from PSPP's reading of the same files) and over hand-made files.
#include "spssio/Spssio.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "spssio/EncryptedFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace {

namespace fs = std::filesystem;
using brindle::testing::Compression;
using brindle::testing::SavFile;
using brindle::testing::TempFile;
using brindle::testing::Variable;

std::string realFile(const char* name) { return std::string(BRINDLE_TESTDATA_DIR) + "/" + name; }

// Opens a file and closes it when the test ends.
struct Opened {
  int handle = -1;
  int rc = 0;
  explicit Opened(const std::string& path) { rc = spssOpenRead(path.c_str(), &handle); }
  ~Opened() {
    if (rc == SPSS_OK) spssCloseRead(handle);
  }
};

struct NamesAndTypes {
  std::vector<std::string> names;
  std::vector<int> types;
};

NamesAndTypes varNames(int handle) {
  int n = 0;
  char** names = nullptr;
  int* types = nullptr;
  NamesAndTypes out;
  EXPECT_EQ(spssGetVarNames(handle, &n, &names, &types), SPSS_OK);
  for (int i = 0; i < n; ++i) {
    out.names.push_back(names[i]);
    out.types.push_back(types[i]);
  }
  spssFreeVarNames(names, types, n);
  return out;
}

std::string printFormat(int handle, const std::string& name) {
  int type = 0, dec = 0, wid = 0;
  EXPECT_EQ(spssGetVarPrintFormat(handle, name.c_str(), &type, &dec, &wid), SPSS_OK);
  return std::to_string(type) + "." + std::to_string(wid) + "." + std::to_string(dec);
}

// Reads every case; returns the count and the code that ended the pass.
std::pair<std::int64_t, int> countCases(int handle) {
  EXPECT_EQ(spssSeekNextCase(handle, 0), SPSS_OK);
  std::int64_t n = 0;
  int rc;
  while ((rc = spssReadCaseRecord(handle)) == SPSS_OK) ++n;
  return {n, rc};
}

// One row per real file: what PSPP shows for it.
struct RealFileFacts {
  const char* file;
  int numVars;
  std::int64_t numCases;
  int compression;
  bool document;
  const char* varName;  // a variable to look at
  int varType;
  const char* label;
  const char* format;  // type.width.decimals
  int valueLabels;     // numeric or short-string labels of varName
  int level;           // measurement level; 0 where the file has no display parameters
};

class RealFile : public ::testing::TestWithParam<RealFileFacts> {
 protected:
  void SetUp() override {
    if (!fs::exists(BRINDLE_TESTDATA_DIR)) GTEST_SKIP() << "no test data folder";
  }
};

TEST_P(RealFile, DictionaryAndCasesMatchPspp) {
  const RealFileFacts& f = GetParam();
  Opened file(realFile(f.file));
  ASSERT_EQ(file.rc, SPSS_OK) << spssLastErrorText();
  NamesAndTypes nt = varNames(file.handle);
  EXPECT_EQ(int(nt.names.size()), f.numVars);
  std::int64_t cases = -2;
  EXPECT_EQ(spssGetNumberofCases(file.handle, &cases), SPSS_OK);
  EXPECT_EQ(cases, f.numCases);
  int comp = -1;
  spssGetCompression(file.handle, &comp);
  EXPECT_EQ(comp, f.compression);
  int doc = -1;
  spssQueryType7(file.handle, 0, &doc);
  EXPECT_EQ(doc != 0, f.document);

  std::size_t i = 0;
  while (i < nt.names.size() && nt.names[i] != f.varName) ++i;
  ASSERT_LT(i, nt.names.size()) << f.varName;
  EXPECT_EQ(nt.types[i], f.varType);
  std::string label;
  EXPECT_EQ(spssGetVarLabel(file.handle, f.varName, label), SPSS_OK);
  EXPECT_EQ(label, f.label);
  EXPECT_EQ(printFormat(file.handle, f.varName), f.format);
  int n = -1;
  if (f.varType == 0) {
    double* values;
    char** labels;
    ASSERT_EQ(spssGetVarNValueLabels(file.handle, f.varName, &values, &labels, &n), SPSS_OK);
    spssFreeVarNValueLabels(values, labels, n);
  } else if (f.varType <= 8) {
    char** values;
    char** labels;
    ASSERT_EQ(spssGetVarCValueLabels(file.handle, f.varName, &values, &labels, &n), SPSS_OK);
    spssFreeVarCValueLabels(values, labels, n);
  } else {
    n = 0;
  }
  EXPECT_EQ(n, f.valueLabels);
  int level = -1;
  EXPECT_EQ(spssGetVarMeasureLevel(file.handle, f.varName, &level), SPSS_OK);
  EXPECT_EQ(level, f.level);

  auto [read, rc] = countCases(file.handle);
  EXPECT_EQ(read, f.numCases);
  EXPECT_EQ(rc, SPSS_FILE_END);
}

INSTANTIATE_TEST_SUITE_P(
    Pspp, RealFile,
    ::testing::Values(
        RealFileFacts{"foreign_electric.sav", 13, 240, 1, false, "dayofwk", 0, "DAY OF DEATH",
                      "5.1.0", 8, 0},
        RealFileFacts{"foreign_testdata.sav", 16, 5, 1, false, "string_500", 500,
                      "long string variable", "1.500.0", 0, 1},
        RealFileFacts{"haven_iris.sav", 5, 150, 0, false, "Species", 0, "", "5.8.0", 3, 1},
        RealFileFacts{"horticulture.sav", 2, 90, 1, true, "treatment", 16, "", "1.16.0", 0, 1},
        RealFileFacts{"hotel.sav", 5, 17, 1, false, "v1", 0,
                      "I am satisfied with the level of service", "5.8.0", 5, 2},
        RealFileFacts{"personnel.sav", 6, 56, 1, false, "salary", 0, "Annual salary before tax",
                      "4.12.0", 0, 3},
        RealFileFacts{"physiology.sav", 4, 40, 1, true, "sex", 0, "Sex of subject  ", "5.8.0", 2,
                      3},
        RealFileFacts{"repairs.sav", 5, 30, 1, false, "mtbf", 0,
                      "Mean time between failures (months) ", "5.8.2", 0, 3},
        RealFileFacts{"pyreadstat_sample.sav", 7, 5, 1, true, "dtime", 0, "datetime", "22.20.0", 0,
                      3},
        RealFileFacts{"pyreadstat_sample.zsav", 7, 5, 1, true, "mylabl", 0, "labeled", "5.8.2", 2,
                      3},
        RealFileFacts{"pyreadstat_sample_missing.sav", 7, 7, 1, true, "mytime", 0, "time", "21.8.0",
                      0, 3},
        RealFileFacts{"pyreadstat_missing_char.sav", 1, 2, 1, false, "mychar", 8, "", "1.8.0", 1,
                      1},
        RealFileFacts{"pyreadstat_missing_test.sav", 1, 2, 1, false, "var1", 0, "", "5.8.2", 1,
                      0},  // measure stored as 0
        RealFileFacts{"pyreadstat_test_width.sav", 4, 5, 1, false, "StartDate", 1024, "Start Date",
                      "1.1024.0", 0, 1}),
    [](const auto& info) {
      std::string s = info.param.file;
      for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return s;
    });

class RealFileValues : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(BRINDLE_TESTDATA_DIR)) GTEST_SKIP() << "no test data folder";
  }
};

TEST_F(RealFileValues, MissingValuesAsPsppShowsThem) {
  Opened missing(realFile("pyreadstat_sample_missing.sav"));
  ASSERT_EQ(missing.rc, SPSS_OK);
  int format = 0;
  double m1, m2, m3;
  ASSERT_EQ(spssGetVarNMissingValues(missing.handle, "mynum", &format, &m1, &m2, &m3), SPSS_OK);
  EXPECT_EQ(format, -3);
  EXPECT_EQ(m1, 2000);
  EXPECT_EQ(m2, 3000);
  EXPECT_EQ(m3, -1);
  EXPECT_EQ(spssGetVarNMissingValues(missing.handle, "mychar", &format, &m1, &m2, &m3),
            SPSS_NUME_EXP);

  Opened chars(realFile("pyreadstat_missing_char.sav"));
  ASSERT_EQ(chars.rc, SPSS_OK);
  std::string s1, s2, s3;
  ASSERT_EQ(spssGetVarCMissingValues(chars.handle, "mychar", &format, s1, s2, s3), SPSS_OK);
  EXPECT_EQ(format, 1);
  EXPECT_EQ(s1, "Z       ");

  Opened testdata(realFile("foreign_testdata.sav"));
  ASSERT_EQ(testdata.rc, SPSS_OK);
  ASSERT_EQ(spssGetVarNMissingValues(testdata.handle, "numeric_long_label", &format, &m1, &m2, &m3),
            SPSS_OK);
  EXPECT_EQ(format, -2);
  EXPECT_EQ(m1, 1);
  EXPECT_EQ(m2, 2);
}

TEST_F(RealFileValues, FirstCasesAsPsppListsThem) {
  Opened electric(realFile("foreign_electric.sav"));
  ASSERT_EQ(electric.rc, SPSS_OK);
  double caseid, ht58, famhx;
  spssGetVarHandle(electric.handle, "caseid", &caseid);
  spssGetVarHandle(electric.handle, "ht58", &ht58);
  spssGetVarHandle(electric.handle, "famhxcvr", &famhx);
  ASSERT_EQ(spssReadCaseRecord(electric.handle), SPSS_OK);
  double v = 0;
  spssGetValueNumeric(electric.handle, caseid, &v);
  EXPECT_EQ(v, 13);
  spssGetValueNumeric(electric.handle, ht58, &v);
  EXPECT_DOUBLE_EQ(v, 68.8);
  char buf[256];
  ASSERT_EQ(spssGetValueChar(electric.handle, famhx, buf, sizeof buf), SPSS_OK);
  EXPECT_STREQ(buf, "Y");

  Opened personnel(realFile("personnel.sav"));
  ASSERT_EQ(personnel.rc, SPSS_OK);
  double occupation;
  spssGetVarHandle(personnel.handle, "occupation", &occupation);
  spssSeekNextCase(personnel.handle, 1);
  ASSERT_EQ(spssReadCaseRecord(personnel.handle), SPSS_OK);
  ASSERT_EQ(spssGetValueChar(personnel.handle, occupation, buf, sizeof buf), SPSS_OK);
  EXPECT_STREQ(buf, "Payload Specialist  ");
}

TEST_F(RealFileValues, ZsavAndBytecodeGiveTheSameCases) {
  Opened sav(realFile("pyreadstat_sample.sav"));
  Opened zsav(realFile("pyreadstat_sample.zsav"));
  ASSERT_EQ(sav.rc, SPSS_OK);
  ASSERT_EQ(zsav.rc, SPSS_OK);
  NamesAndTypes nt = varNames(sav.handle);
  for (;;) {
    int a = spssReadCaseRecord(sav.handle);
    int b = spssReadCaseRecord(zsav.handle);
    ASSERT_EQ(a, b);
    if (a != SPSS_OK) break;
    for (std::size_t i = 0; i < nt.names.size(); ++i) {
      double h;
      spssGetVarHandle(sav.handle, nt.names[i].c_str(), &h);
      if (nt.types[i] == 0) {
        double x, y;
        spssGetValueNumeric(sav.handle, h, &x);
        spssGetValueNumeric(zsav.handle, h, &y);
        EXPECT_EQ(x, y);
      } else {
        char x[256], y[256];
        spssGetValueChar(sav.handle, h, x, 256);
        spssGetValueChar(zsav.handle, h, y, 256);
        EXPECT_STREQ(x, y);
      }
    }
  }
}

TEST_F(RealFileValues, VeryLongStringIsOneValue) {
  Opened testdata(realFile("foreign_testdata.sav"));
  ASSERT_EQ(testdata.rc, SPSS_OK);
  double h;
  ASSERT_EQ(spssGetVarHandle(testdata.handle, "string_500", &h), SPSS_OK);
  ASSERT_EQ(spssReadCaseRecord(testdata.handle), SPSS_OK);
  std::vector<char> buf(1000);
  ASSERT_EQ(spssGetValueChar(testdata.handle, h, buf.data(), int(buf.size())), SPSS_OK);
  std::string value(buf.data());
  EXPECT_EQ(value.size(), 500u);
  EXPECT_EQ(value.rfind("A wonderful serenity", 0), 0u);
  // The text runs on across the segment boundary at byte 255.
  EXPECT_NE(value.substr(250, 20).find_first_not_of(' '), std::string::npos);
}

// Hand-made files.

TEST(SpssioApi, ConstantValues) {
  double sysmis, lowest, highest;
  EXPECT_EQ(spssHostSysmisVal(&sysmis), SPSS_OK);
  EXPECT_EQ(sysmis, -DBL_MAX);
  EXPECT_EQ(spssLowHighVal(&lowest, &highest), SPSS_OK);
  EXPECT_EQ(lowest, std::nextafter(-DBL_MAX, 0.0));
  EXPECT_EQ(highest, DBL_MAX);
}

TEST(SpssioApi, EveryCodeHasItsOwnText) {
  const int codes[] = {SPSS_OK,
                       SPSS_FILE_END,
                       SPSS_NO_LABELS,
                       SPSS_NO_CASEWGT,
                       SPSS_FILE_OERROR,
                       SPSS_FILE_RERROR,
                       SPSS_INVALID_HANDLE,
                       SPSS_INVALID_FILE,
                       SPSS_NO_MEMORY,
                       SPSS_INVALID_VARNAME,
                       SPSS_VAR_NOTFOUND,
                       SPSS_NUME_EXP,
                       SPSS_STR_EXP,
                       SPSS_SHORTSTR_EXP,
                       SPSS_INVALID_VARHANDLE,
                       SPSS_INVALID_DATE,
                       SPSS_INVALID_TIME,
                       SPSS_NO_TYPE2,
                       SPSS_BAD_DICTIONARY,
                       SPSS_NO_TYPE999,
                       SPSS_ENCRYPTED_FILE,
                       SPSS_BAD_DATA,
                       SPSS_FILE_TRUNCATED,
                       SPSS_INVALID_CASE,
                       SPSS_NO_CASE,
                       SPSS_INVALID_ARGUMENT,
                       SPSS_TOO_MANY_FILES,
                       SPSS_WRONG_PASSWORD};
  std::set<std::string> texts;
  for (int c : codes) texts.insert(spssCodeText(c));
  EXPECT_EQ(texts.size(), std::size(codes));
  EXPECT_STREQ(spssCodeText(12345), "unknown result code 12345");
}

SavFile smallFile(Compression c) {
  SavFile f;
  f.compression = c;
  Variable num = Variable::numeric("amount", std::string("Amount paid"));
  num.numericLabels = {{1, "one"}, {2, "two"}};
  num.missingCode = -3;
  num.missing[0] = 90;
  num.missing[1] = 99;
  num.missing[2] = -1;
  Variable code = Variable::string("code", 3);
  code.stringLabels = {{"a", "Alpha"}};
  code.stringMissing = {"x", "y"};
  Variable wide = Variable::string("comment", 20);
  wide.stringLabels = {{"first", "The first"}};
  f.variables = {num, code, wide, Variable::numeric("w")};
  f.weight = "w";
  f.cases = {{1.0, std::string("a"), std::string("first"), 2.0},
             {brindle::testing::sysmis(), std::string("bcd"), std::string("second"), 1.0},
             {250.5, std::string(""), std::string("third, longer"), 0.0}};
  return f;
}

class SpssioHandMade : public ::testing::TestWithParam<Compression> {};

TEST_P(SpssioHandMade, DictionaryCallsAndErrorCodes) {
  TempFile tmp;
  brindle::testing::writeSavFile(smallFile(GetParam()), tmp.path());
  Opened file(tmp.path());
  ASSERT_EQ(file.rc, SPSS_OK) << spssLastErrorText();
  EXPECT_STREQ(spssLastErrorText(), "");
  std::string weight;
  EXPECT_EQ(spssGetCaseWeightVar(file.handle, weight), SPSS_OK);
  EXPECT_EQ(weight, "w");
  std::int64_t size = 0;
  spssGetCaseSize(file.handle, &size);
  EXPECT_EQ(size, 8 * (1 + 1 + 3 + 1));

  int format;
  double m[3];
  ASSERT_EQ(spssGetVarNMissingValues(file.handle, "amount", &format, &m[0], &m[1], &m[2]), SPSS_OK);
  EXPECT_EQ(format, -3);
  std::string s[3];
  ASSERT_EQ(spssGetVarCMissingValues(file.handle, "code", &format, s[0], s[1], s[2]), SPSS_OK);
  EXPECT_EQ(format, 2);
  EXPECT_EQ(s[0], "x  ");
  EXPECT_EQ(spssGetVarCMissingValues(file.handle, "amount", &format, s[0], s[1], s[2]),
            SPSS_STR_EXP);

  double* values;
  char** labels;
  char** cvalues;
  int n = 0;
  ASSERT_EQ(spssGetVarNValueLabels(file.handle, "amount", &values, &labels, &n), SPSS_OK);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(values[1], 2);
  EXPECT_STREQ(labels[1], "two");
  spssFreeVarNValueLabels(values, labels, n);
  EXPECT_EQ(spssGetVarNValueLabels(file.handle, "code", &values, &labels, &n), SPSS_NUME_EXP);
  ASSERT_EQ(spssGetVarCValueLabels(file.handle, "code", &cvalues, &labels, &n), SPSS_OK);
  ASSERT_EQ(n, 1);
  EXPECT_STREQ(cvalues[0], "a  ");
  EXPECT_STREQ(labels[0], "Alpha");
  spssFreeVarCValueLabels(cvalues, labels, n);
  EXPECT_EQ(spssGetVarCValueLabels(file.handle, "amount", &cvalues, &labels, &n), SPSS_STR_EXP);
  // A long string's labels, from their own record, padded like short ones.
  ASSERT_EQ(spssGetVarCValueLabels(file.handle, "comment", &cvalues, &labels, &n), SPSS_OK);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(std::string(cvalues[0]), "first" + std::string(15, ' '));
  EXPECT_STREQ(labels[0], "The first");
  spssFreeVarCValueLabels(cvalues, labels, n);
  ASSERT_EQ(spssGetVarNValueLabels(file.handle, "w", &values, &labels, &n), SPSS_OK);
  EXPECT_EQ(n, 0);

  std::string label;
  EXPECT_EQ(spssGetVarLabel(file.handle, "nosuch", label), SPSS_VAR_NOTFOUND);
  EXPECT_EQ(spssGetVarLabel(file.handle, nullptr, label), SPSS_INVALID_VARNAME);
  EXPECT_EQ(spssGetVarLabel(file.handle, "AMOUNT", label), SPSS_OK);  // names ignore case
  EXPECT_EQ(label, "Amount paid");
  EXPECT_EQ(spssGetVarLabel(file.handle + 1, "amount", label), SPSS_INVALID_HANDLE);
  EXPECT_EQ(spssGetVarLabel(-1, "amount", label), SPSS_INVALID_HANDLE);
}

TEST_P(SpssioHandMade, CasesSeekAndValueErrors) {
  TempFile tmp;
  brindle::testing::writeSavFile(smallFile(GetParam()), tmp.path());
  Opened file(tmp.path());
  ASSERT_EQ(file.rc, SPSS_OK) << spssLastErrorText();
  double amount, code, comment;
  spssGetVarHandle(file.handle, "amount", &amount);
  spssGetVarHandle(file.handle, "code", &code);
  spssGetVarHandle(file.handle, "comment", &comment);
  double v = 7;
  char buf[256];
  EXPECT_EQ(spssGetValueNumeric(file.handle, amount, &v), SPSS_NO_CASE);
  EXPECT_EQ(v, 7);

  ASSERT_EQ(spssSeekNextCase(file.handle, 2), SPSS_OK);
  ASSERT_EQ(spssReadCaseRecord(file.handle), SPSS_OK);
  EXPECT_EQ(spssGetValueNumeric(file.handle, amount, &v), SPSS_OK);
  EXPECT_EQ(v, 250.5);
  ASSERT_EQ(spssGetValueChar(file.handle, comment, buf, sizeof buf), SPSS_OK);
  EXPECT_STREQ(buf, "third, longer       ");
  ASSERT_EQ(spssGetValueChar(file.handle, comment, buf, 6), SPSS_OK);
  EXPECT_STREQ(buf, "third");
  EXPECT_EQ(spssGetValueChar(file.handle, amount, buf, sizeof buf), SPSS_STR_EXP);
  EXPECT_EQ(spssGetValueNumeric(file.handle, code, &v), SPSS_NUME_EXP);
  EXPECT_EQ(spssGetValueNumeric(file.handle, 99, &v), SPSS_INVALID_VARHANDLE);
  EXPECT_EQ(spssGetValueNumeric(file.handle, 0.5, &v), SPSS_INVALID_VARHANDLE);
  EXPECT_EQ(spssReadCaseRecord(file.handle), SPSS_FILE_END);
  EXPECT_EQ(spssGetValueNumeric(file.handle, amount, &v), SPSS_NO_CASE);

  EXPECT_EQ(spssSeekNextCase(file.handle, 4), SPSS_INVALID_CASE);
  EXPECT_EQ(spssSeekNextCase(file.handle, -1), SPSS_INVALID_CASE);
  ASSERT_EQ(spssSeekNextCase(file.handle, 1), SPSS_OK);
  ASSERT_EQ(spssReadCaseRecord(file.handle), SPSS_OK);
  spssGetValueNumeric(file.handle, amount, &v);
  EXPECT_EQ(v, -DBL_MAX);
  spssGetValueChar(file.handle, code, buf, sizeof buf);
  EXPECT_STREQ(buf, "bcd");
  ASSERT_EQ(spssSeekNextCase(file.handle, 0), SPSS_OK);
  EXPECT_EQ(countCases(file.handle), std::make_pair(std::int64_t(3), int(SPSS_FILE_END)));
}

INSTANTIATE_TEST_SUITE_P(AllCompressions, SpssioHandMade,
                         ::testing::Values(Compression::None, Compression::Bytecode,
                                           Compression::Zsav));

TEST(SpssioOpen, FailuresGiveTheirCodes) {
  int handle = 42;
  EXPECT_EQ(spssOpenRead("/nonexistent/folder/file.sav", &handle), SPSS_FILE_OERROR);
  EXPECT_EQ(handle, 42);
  EXPECT_NE(std::string(spssLastErrorText()), "");
  EXPECT_EQ(spssOpenRead(nullptr, &handle), SPSS_INVALID_ARGUMENT);
  TempFile text(std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'});
  EXPECT_EQ(spssOpenRead(text.c_str(), &handle), SPSS_INVALID_FILE);
  EXPECT_EQ(spssCloseRead(200), SPSS_INVALID_HANDLE);
}

// Bytes in memory read as the same bytes on disk; damage is reported alike.
TEST(SpssioOpen, FromMemoryAsFromDisk) {
  const std::vector<std::uint8_t> bytes = brindle::testing::writeSav(smallFile(Compression::Zsav));
  TempFile file(bytes);
  int onDisk = -1, inMemory = -1;
  ASSERT_EQ(spssOpenRead(file.c_str(), &onDisk), SPSS_OK);
  ASSERT_EQ(brindle::OpenMemoryRead(bytes.data(), bytes.size(), &inMemory), SPSS_OK);
  double a = 0, b = 0, va = 0, vb = 0;
  int rc;
  ASSERT_EQ(spssGetVarHandle(onDisk, "amount", &va), SPSS_OK);
  ASSERT_EQ(spssGetVarHandle(inMemory, "amount", &vb), SPSS_OK);
  while ((rc = spssReadCaseRecord(onDisk)) == SPSS_OK) {
    ASSERT_EQ(spssReadCaseRecord(inMemory), SPSS_OK);
    spssGetValueNumeric(onDisk, va, &a);
    spssGetValueNumeric(inMemory, vb, &b);
    EXPECT_EQ(a, b);
  }
  EXPECT_EQ(spssReadCaseRecord(inMemory), rc);
  spssCloseRead(onDisk);
  spssCloseRead(inMemory);
  const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 100);
  EXPECT_EQ(brindle::OpenMemoryRead(cut.data(), cut.size(), &inMemory), SPSS_FILE_TRUNCATED);
  EXPECT_EQ(brindle::OpenMemoryRead(nullptr, 0, &inMemory), SPSS_INVALID_FILE);
}

// An encrypted file reads as its plaintext, on disk and in memory; without a
// password, with a wrong one or a wrong key it does not open at all.
TEST_P(SpssioHandMade, EncryptedReadsAsPlain) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  const std::vector<std::uint8_t> plain = brindle::testing::writeSav(smallFile(GetParam()));
  const std::vector<std::uint8_t> wrapped = brindle::testing::encryptWrapper(plain, "secret");
  TempFile plainFile(plain), wrappedFile(wrapped);
  int handle = 42;
  EXPECT_EQ(spssOpenRead(wrappedFile.c_str(), &handle), SPSS_ENCRYPTED_FILE);
  EXPECT_EQ(spssOpenReadEncrypted(wrappedFile.c_str(), "secreT", &handle), SPSS_WRONG_PASSWORD);
  EXPECT_EQ(brindle::OpenMemoryRead(wrapped.data(), wrapped.size(), &handle, "x"),
            SPSS_WRONG_PASSWORD);
  EXPECT_EQ(handle, 42);

  int p = -1, e = -1, m = -1, k = -1;
  ASSERT_EQ(spssOpenRead(plainFile.c_str(), &p), SPSS_OK);
  EXPECT_EQ(brindle::FileKeyOf(p), nullptr);
  ASSERT_EQ(spssOpenReadEncrypted(wrappedFile.c_str(), "secret", &e), SPSS_OK)
      << spssLastErrorText();
  ASSERT_EQ(brindle::OpenMemoryRead(wrapped.data(), wrapped.size(), &m, "secret"), SPSS_OK);
  const auto key = brindle::FileKeyOf(e);
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(brindle::OpenReadWithKey(wrappedFile.c_str(), *key, &k), SPSS_OK);
  const auto other = brindle::testing::encryptWrapper(plain, "other");
  TempFile otherFile(other);
  EXPECT_EQ(brindle::OpenReadWithKey(otherFile.c_str(), *key, &handle), SPSS_WRONG_PASSWORD);

  std::int64_t n = 0, size = 0;
  for (int h : {e, m, k}) {
    EXPECT_EQ(varNames(h).names, varNames(p).names);
    EXPECT_EQ(spssGetNumberofCases(h, &n), SPSS_OK);
    EXPECT_EQ(n, 3);
    spssGetCaseSize(h, &size);
    EXPECT_EQ(size, 48);
  }
  double vp = 0, ve = 0, a = 0, b = 0;
  ASSERT_EQ(spssGetVarHandle(p, "comment", &vp), SPSS_OK);
  ASSERT_EQ(spssGetVarHandle(e, "comment", &ve), SPSS_OK);
  char tp[32], te[32];
  int rc;
  while ((rc = spssReadCaseRecord(p)) == SPSS_OK) {
    ASSERT_EQ(spssReadCaseRecord(e), SPSS_OK);
    spssGetValueChar(p, vp, tp, sizeof tp);
    spssGetValueChar(e, ve, te, sizeof te);
    EXPECT_STREQ(te, tp);
    spssGetValueNumeric(p, 0, &a);
    spssGetValueNumeric(e, 0, &b);
    EXPECT_EQ(a, b);
  }
  EXPECT_EQ(spssReadCaseRecord(e), rc);
  EXPECT_EQ(countCases(m), std::make_pair(std::int64_t(3), int(SPSS_FILE_END)));
  EXPECT_EQ(countCases(k), std::make_pair(std::int64_t(3), int(SPSS_FILE_END)));
  for (int h : {p, e, m, k}) spssCloseRead(h);
}

TEST(SpssioOpen, TooManyFiles) {
  TempFile tmp;
  brindle::testing::writeSavFile(smallFile(Compression::Bytecode), tmp.path());
  std::vector<int> handles;
  int handle, rc;
  while ((rc = spssOpenRead(tmp.c_str(), &handle)) == SPSS_OK && handles.size() < 1000)
    handles.push_back(handle);
  EXPECT_EQ(rc, SPSS_TOO_MANY_FILES);
  for (int h : handles) EXPECT_EQ(spssCloseRead(h), SPSS_OK);
}

// Measurement levels from the display parameter record and roles from the
// $@Role attribute, over a numeric, a string of three 255-byte segments and
// a numeric. A record that does not fit is ignored, never an error.
struct LevelRoleCase {
  const char* what;
  std::vector<std::int32_t> display;  // subtype 11 written as given; empty: the writer's own
  int displaySize;
  std::string attributes;  // subtype 18; empty: none
  brindle::testing::ByteOrder order;
  int levels[3];
  int roles[3];
};

TEST(SpssioLevelsAndRoles, FromDisplayParametersAndAttributes) {
  using brindle::testing::ByteOrder;
  const int U = SPSS_ROLE_UNK;
  const LevelRoleCase cases[] = {
      {"writer's three per segment", {}, 4, "", ByteOrder::Little, {3, 2, 1}, {U, U, U}},
      {"big endian", {}, 4, "", ByteOrder::Big, {3, 2, 1}, {U, U, U}},
      {"two per segment",
       {1, 8, 3, 8, 3, 8, 3, 8, 2, 8},
       4,
       "",
       ByteOrder::Little,
       {1, 3, 2},
       {U, U, U}},
      {"three per variable",
       {2, 8, 1, 1, 8, 0, 3, 8, 1},
       4,
       "",
       ByteOrder::Little,
       {2, 1, 3},
       {U, U, U}},
      {"two per variable", {3, 8, 2, 8, 1, 8}, 4, "", ByteOrder::Little, {3, 2, 1}, {U, U, U}},
      {"count fits nothing", {1, 8, 1, 8, 1, 8, 1}, 4, "", ByteOrder::Little, {0, 0, 0}, {U, U, U}},
      {"wrong element size", {1, 8, 1, 8, 1, 8}, 2, "", ByteOrder::Little, {0, 0, 0}, {U, U, U}},
      {"unknown measures", {0, 8, 4, 8, -1, 8}, 4, "", ByteOrder::Little, {0, 0, 0}, {U, U, U}},
      {"roles",
       {},
       4,
       "a:$@Role('1'\n)/c:note('x/y'\n'z'\n)$@Role('4'\n)",
       ByteOrder::Little,
       {3, 2, 1},
       {SPSS_ROLE_TARGET, U, SPSS_ROLE_PARTITION}},
      {"bad roles ignored",
       {},
       4,
       "a:$@Role('5'\n)/b:$@Role('9'\n)/c:$@Role('2",
       ByteOrder::Little,
       {3, 2, 1},
       {SPSS_ROLE_SPLIT, U, U}},
      {"unknown variable, no colon",
       {},
       4,
       "zz:$@Role('1'\n)/a",
       ByteOrder::Little,
       {3, 2, 1},
       {U, U, U}},
  };
  for (const LevelRoleCase& c : cases) {
    SCOPED_TRACE(c.what);
    SavFile f;
    f.byteOrder = c.order;
    Variable a = Variable::numeric("a"), b = Variable::string("b", 600), d = Variable::numeric("c");
    a.measure = 3, b.measure = 2, d.measure = 1;
    f.variables = {a, b, d};
    f.cases = {{1.0, std::string("x"), 2.0}};
    if (!c.display.empty()) {
      f.displayParameters = false;
      brindle::testing::Bytes data;
      for (std::int32_t v : c.display) brindle::testing::putInt32(data, v, c.order);
      data.resize(std::size_t(c.displaySize) * c.display.size());
      f.extraExtensions.push_back({11, c.displaySize, int(c.display.size()), data});
    }
    if (!c.attributes.empty())
      f.extraExtensions.push_back(
          {18, 1, int(c.attributes.size()), {c.attributes.begin(), c.attributes.end()}});
    const auto bytes = brindle::testing::writeSav(f);
    int h = -1;
    ASSERT_EQ(brindle::OpenMemoryRead(bytes.data(), bytes.size(), &h), SPSS_OK)
        << spssLastErrorText();
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i) {
      int level = -9, role = -9;
      EXPECT_EQ(spssGetVarMeasureLevel(h, names[i], &level), SPSS_OK);
      EXPECT_EQ(spssGetVarRole(h, names[i], &role), SPSS_OK);
      EXPECT_EQ(level, c.levels[i]) << names[i];
      EXPECT_EQ(role, c.roles[i]) << names[i];
    }
    int level;
    EXPECT_EQ(spssGetVarMeasureLevel(h, "nosuch", &level), SPSS_VAR_NOTFOUND);
    EXPECT_EQ(spssGetVarRole(h, "a", nullptr), SPSS_INVALID_ARGUMENT);
    spssCloseRead(h);
  }
}

}  // namespace
