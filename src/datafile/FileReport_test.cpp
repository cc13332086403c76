#include "datafile/FileReport.h"

#include <gtest/gtest.h>

#include "spssio/SpssioCodes.h"

namespace brindle {
namespace {

DataFileState SampleFile() {
  DataFileState f;
  f.FileHandle = 0;
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

TEST(OpenErrorText, ByCode) {
  EXPECT_EQ(OpenErrorText(SPSS_FILE_OERROR, "x.sav"), "Cannot open file x.sav");
  for (int code : {6, 33, 46})
    EXPECT_EQ(OpenErrorText(code, "x.sav"), "x.sav\nappears not to be an SPSS data file.");
  EXPECT_EQ(OpenErrorText(SPSS_ENCRYPTED_FILE, "x.sav"),
            "x.sav\nis an encrypted SPSS data file, which Brindle cannot read.");
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
