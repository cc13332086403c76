#include "datafile/FileReport.h"

#include <gtest/gtest.h>

#include "datafile/OpenFile.h"
#include "spssio/EncryptedFile.h"
#include "spssio/Spssio.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

DataFileState SampleFile() {
  DataFileState f;
  f.FileName = "data/survey.sav";
  f.FileDate = "05 Mar 01";
  f.FileTime = "14:05:30";
  f.NumVars = 51;
  f.NumCases = 2000;
  f.Compression = 1;
  return f;
}

TEST(FileInfoReport, FullTextInOrder) {
  auto f = SampleFile();
  f.WeightVarName = "w";
  f.HasDocument = 1;
  EXPECT_EQ(FileInfoReport(f, "MS Windows 25.0.0.0", 408),
            "data/survey.sav\n"
            "file date \t05 Mar 01 14:05:30\n"
            "SPSS version\tMS Windows 25.0.0.0\n"
            "variables\t51\n"
            "cases    \t2000\n"
            "case size \t408 bytes\n"
            "weight variable\tw\n"
            "data are compressed\n"
            "file contains document");
}

TEST(FileInfoReport, EstimatedCountNoWeightUncompressedNoDocument) {
  auto f = SampleFile();
  f.NumCases = 7;  // the cases that could be read
  f.CaseCountEstimated = true;
  f.Compression = 0;
  const auto text = FileInfoReport(f, "", 8);
  EXPECT_NE(text.find("\ncases    \tUNKNOWN - estimated number is 7\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nno weight variable defined\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 22), "\ndata are uncompressed");
}

// The warnings of the open file end the report; a sound file's report has
// no such part.
TEST(FileInfoReport, WarningsAtTheEnd) {
  testing::SavFile sav;
  sav.variables = {testing::Variable::numeric("n"), testing::Variable::string("s", 3)};
  sav.cases = {{1.0, std::string("a")}};
  const auto sound = testing::writeSav(sav);
  sav.weightIndex = 2;  // the string
  sav.variables[0].print = testing::Format{1, 8, 0};
  const auto damaged = testing::writeSav(sav);

  auto f = SampleFile();
  ASSERT_EQ(SystemFile::openMemory(sound.data(), sound.size(), f.File), SPSS_OK);
  const std::string plain = FileInfoReport(f, "x", 16);
  EXPECT_EQ(plain.find("warnings"), std::string::npos) << plain;
  ASSERT_EQ(SystemFile::openMemory(damaged.data(), damaged.size(), f.File), SPSS_OK);
  const std::string report = FileInfoReport(f, "x", 16);
  ASSERT_EQ(report.substr(0, plain.size()), plain);
  const std::string tail = report.substr(plain.size());
  EXPECT_EQ(
      tail.rfind("\n\nwarnings\nrecord 2 at offset 176: variable n: print A is a string format", 0),
      0u)
      << tail;
  EXPECT_NE(
      tail.find("\nrecord 1 at offset 76: weight variable index 2 names the string variable s;"),
      std::string::npos)
      << tail;
}

// The encoding line of files that declare it by name, by code page, by both
// or not at all; the report names what the file says.
struct EncodingCase {
  const char* name;
  bool encodingRecord;
  const char* encoding;
  std::int32_t characterCode;
  const char* expected;
};

class FileInfoReportEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(FileInfoReportEncoding, NamesTheDeclaredEncoding) {
  const EncodingCase& c = GetParam();
  testing::SavFile f;
  f.variables = {testing::Variable::numeric("a")};
  f.cases = {{1.0}};
  f.encodingRecord = c.encodingRecord;
  f.encoding = c.encoding;
  f.characterCode = c.characterCode;
  testing::TempFile file(testing::writeSav(f));
  DataFileState state;
  ASSERT_EQ(OpenDataFileState(file.path(), state), SPSS_OK);
  const std::string report = FileInfoReport(state, "", 8);
  // After the compression line, before the encrypted and document lines.
  const std::string line = "\ncharacter encoding\t" + std::string(c.expected);
  ASSERT_GE(report.size(), line.size());
  EXPECT_EQ(report.substr(report.size() - line.size()), line) << report;
  EXPECT_NE(report.find("\ndata are compressed" + line), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, FileInfoReportEncoding,
    ::testing::Values(EncodingCase{"RecordOnly", true, "UTF-8", 0, "UTF-8"},
                      EncodingCase{"RecordWins", true, "ISO-8859-15", 1252, "ISO-8859-15"},
                      EncodingCase{"CodePage1252", false, "", 1252,
                                   "windows-1252 (code page 1252)"},
                      EncodingCase{"CodePageUtf8", false, "", 65001, "UTF-8 (code page 65001)"},
                      EncodingCase{"CodePageUnlisted", false, "", 4242, "code page 4242"},
                      EncodingCase{"Neither", false, "", 0, "not declared (read as windows-1252)"}),
    [](const ::testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

TEST(EncodingText, HostileNamesStayOnOneLine) {
  EXPECT_EQ(EncodingText("UTF-8\n\tx", 0), "UTF-8??x");
  const std::string longName(300, 'a');
  EXPECT_EQ(EncodingText(longName, 0), std::string(64, 'a') + "...");
  EXPECT_EQ(EncodingText("", 2), "windows-1252 (code page 2)");
  EXPECT_EQ(EncodingText("", 1250), "CP1250 (code page 1250)");
}

TEST(FileInfoReport, NoOpenFileHasNoEncodingLine) {
  EXPECT_EQ(FileInfoReport(SampleFile(), "", 8).find("character encoding"), std::string::npos);
}

TEST(OpenErrorText, ByCode) {
  EXPECT_EQ(OpenErrorText(SPSS_FILE_OERROR, "x.sav"), "Cannot open file x.sav");
  for (int code : {6, 33, 46})
    EXPECT_EQ(OpenErrorText(code, "x.sav"), "x.sav\nappears not to be an SPSS data file.");
  EXPECT_EQ(OpenErrorText(SPSS_ENCRYPTED_FILE, "x.sav"),
            EncryptionAvailable()
                ? "x.sav\nis an encrypted SPSS data file, which Brindle cannot read."
                : "x.sav\nis an encrypted SPSS data file; this build of Brindle cannot open "
                  "encrypted files.");
  EXPECT_EQ(OpenErrorText(SPSS_BAD_DICTIONARY, "x.sav", "record 2 at offset 176"),
            "x.sav\nis a damaged SPSS data file and cannot be read.\nrecord 2 at offset 176");
  EXPECT_EQ(OpenErrorText(SPSS_FILE_TRUNCATED, "x.sav"),
            "x.sav\nis a damaged SPSS data file and cannot be read.");
  EXPECT_EQ(OpenErrorText(SPSS_NO_MEMORY, "x.sav"),
            "An unidentified error has occurred while attempting\nto open x.sav.\n"
            "This may well be a program error.");
}

}  // namespace
}  // namespace brindle
