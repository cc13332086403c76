#include "cli/CliCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "export/ExcelExport.h"
#include "export/ParquetExport.h"
#include "export/StataExport.h"
#include "spssio/EncryptedFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle::cli {
namespace {

using testing::SavFile;
using testing::TempFile;
using testing::Variable;

struct Result {
  int code = -1;
  std::string out, err;
};

Result RunCommand(const std::vector<std::string>& args, NumberSeparators seps = {".", ","}) {
  std::ostringstream out, err;
  Result r;
  r.code = RunCli(args, seps, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

SavFile Survey() {
  SavFile f;
  auto age = Variable::numeric("age", "Age in years");
  age.print = testing::Format{5, 3, 0};
  age.missingCode = 1;
  age.missing[0] = 99;
  age.numericLabels = {{99, "Refused"}, {18.5, "Young"}};
  auto income = Variable::numeric("HouseholdIncome", "Yearly income");
  income.print = testing::Format{4, 10, 2};
  income.missingCode = -2;
  income.missing[0] = -1000.5;
  income.missing[1] = 0;
  auto sex = Variable::string("sex", 1, "Sex");
  sex.stringLabels = {{"F", "Female"}, {"M", "Male"}};
  sex.stringMissing = {"X"};
  auto comment = Variable::string("comment", 300);
  comment.stringLabels = {{"fine", "Fine"}};
  comment.stringMissing = {"none"};
  f.variables = {age, income, sex, comment};
  f.weight = "HouseholdIncome";
  f.documents = {"First line of the document", "Second line"};
  f.cases = {{30.0, 100.0, std::string("F"), std::string("fine")},
             {99.0, -5.0, std::string("M"), std::string("")}};
  return f;
}

TEST(Cli, Vars) {
  TempFile file(testing::writeSav(Survey()));
  const auto r = RunCommand({"vars", file.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "age\tAge in years\t99\tF3\n"
            "HouseholdIncome\tYearly income\t-1000.5 thru 0\tDOLLAR10.2\n"
            "sex\tSex\t'X'\tA1\n"
            "comment\t\t'none'\tA300\n");
}

TEST(Cli, LabelsNumericAndString) {
  TempFile file(testing::writeSav(Survey()));
  auto r = RunCommand({"labels", file.path(), "age"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Refused\t  99\nYoung\t  19\n");  // "%*.*f" of width 4, no decimals
  r = RunCommand({"labels", file.path(), "SEX"});    // names match in any letter case
  EXPECT_EQ(r.out, "Female\tF\nMale\tM\n");
  r = RunCommand({"labels", file.path(), "comment"});  // a long string's labels
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Fine\tfine" + std::string(296, ' ') + "\n");
  r = RunCommand({"labels", file.path(), "nosuch"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("nosuch"), std::string::npos);
}

TEST(Cli, LabelsUseRegionalSeparators) {
  auto f = Survey();
  f.variables[0].print = testing::Format{5, 6, 2};
  TempFile file(testing::writeSav(f));
  EXPECT_EQ(RunCommand({"labels", file.path(), "age"}, {",", "."}).out,
            "Refused\t  99,00\nYoung\t  18,50\n");
}

// Tabs, carriage returns, line feeds and backslashes inside a field are
// escaped, so every row keeps its fields.
TEST(Cli, FieldsEscapeTabsLineBreaksAndBackslashes) {
  SavFile f;
  auto s = Variable::string("s", 8, "a\tb\\c");
  s.stringLabels = {{"x\ty", "two\nlines\r"}};
  f.variables = {s};
  f.cases = {{std::string("x\ty")}, {std::string("p\\q")}};
  TempFile file(testing::writeSav(f));
  EXPECT_EQ(RunCommand({"vars", file.path()}).out, "s\ta\\tb\\\\c\t\tA8\n");
  EXPECT_EQ(RunCommand({"labels", file.path(), "s"}).out, "two\\nlines\\r\tx\\ty     \n");
  EXPECT_EQ(RunCommand({"freq", file.path(), "s"}).out,
            "\tp\\\\q\t1\t50.0\t50.0\n"
            "two\\nlines\\r\tx\\ty\t1\t50.0\t50.0\n");
}

TEST(Cli, InfoAndDoc) {
  TempFile file(testing::writeSav(Survey()));
  const auto info = RunCommand({"info", file.path()});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(info.out.rfind(file.path() + "\nfile date \t14 Mar 24 13:45:10\n", 0), 0u) << info.out;
  EXPECT_NE(info.out.find("\nvariables\t4\ncases    \t2\n"), std::string::npos) << info.out;
  EXPECT_NE(
      info.out.find(
          "\nweight variable\tHouseholdIncome\ndata are compressed\ncharacter encoding\tUTF-8\n"
          "file contains document\n"),
      std::string::npos)
      << info.out;

  const auto doc = RunCommand({"doc", file.path()});
  ASSERT_EQ(doc.code, 0) << doc.err;
  std::string line1 = "First line of the document";
  line1.resize(80, ' ');
  std::string line2 = "Second line";
  line2.resize(80, ' ');
  EXPECT_EQ(doc.out, "File contains 2 lines of documents\n\n" + line1 + "\n" + line2 + "\n");
}

// Document lines are escaped like the fields of the other commands.
TEST(Cli, DocEscapesTabsLineBreaksAndBackslashes) {
  SavFile f = Survey();
  f.documents = {"tab\there", "cr\rlf\nback\\slash"};
  TempFile file(testing::writeSav(f));
  const auto doc = RunCommand({"doc", file.path()});
  ASSERT_EQ(doc.code, 0) << doc.err;
  // Each line is padded to 80 bytes before it is escaped.
  const std::string line1 = "tab\\there" + std::string(72, ' ');
  const std::string line2 = "cr\\rlf\\nback\\\\slash" + std::string(64, ' ');
  EXPECT_EQ(doc.out, "File contains 2 lines of documents\n\n" + line1 + "\n" + line2 + "\n");
}

TEST(Cli, Failures) {
  auto r = RunCommand({});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("usage"), std::string::npos);
  EXPECT_EQ(RunCommand({"vars"}).code, 2);
  EXPECT_EQ(RunCommand({"frobnicate", "x.sav"}).code, 2);
  EXPECT_EQ(RunCommand({"vars", "x.sav", "--bogus"}).code, 2);
  EXPECT_EQ(RunCommand({"labels", "x.sav"}).code, 2);

  r = RunCommand({"vars", "/nonexistent/x.sav"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Cannot open file /nonexistent/x.sav\n");

  TempFile text(std::vector<std::uint8_t>(400, 'x'));
  r = RunCommand({"info", text.path()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, text.path() + "\nappears not to be an SPSS data file.\n");

  // A dictionary without variables describes no data: the file is damaged.
  TempFile empty(testing::writeSav(SavFile{}));
  r = RunCommand({"vars", empty.path()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind(empty.path() + "\nis a damaged SPSS data file and cannot be read.\n", 0),
            0u)
      << r.err;
  EXPECT_NE(r.err.find("the file has no variables"), std::string::npos) << r.err;
}

// Only regular files are opened: a FIFO (which would block the open until a
// writer comes) or a directory under a data file's name cannot be opened.
TEST(Cli, NotARegularFile) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("brindle_cli_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "folder.sav");
  std::vector<std::string> paths = {(dir / "folder.sav").string()};
#ifndef _WIN32
  const auto fifo = (dir / "x.sav").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  paths.push_back(fifo);
#endif
  for (const auto& path : paths) {
    const auto r = RunCommand({"info", path});
    EXPECT_EQ(r.code, 1) << path;
    EXPECT_EQ(r.err, "Cannot open file " + path + "\n");
  }
  std::filesystem::remove_all(dir);
}

TEST(Cli, FreqNumericWithStatistics) {
  TempFile file(testing::writeSav(Survey()));
  auto r = RunCommand({"freq", file.path(), "age"});
  ASSERT_EQ(r.code, 0) << r.err;
  // 99 is user-missing: one valid case, so no statistics.
  EXPECT_EQ(r.out, "\t  30\t1\t50.0\t100.0\nRefused\t  99\t1\t50.0\tMISS\n");

  SavFile f;
  auto v = Variable::numeric("v");
  v.print = testing::Format{5, 8, 2};
  f.variables = {v};
  f.cases = {{1.0}, {2.0}, {3.0}};
  TempFile three(testing::writeSav(f));
  r = RunCommand({"freq", three.path(), "V"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "\t     1.00\t1\t33.3\t33.3\n\t     2.00\t1\t33.3\t33.3\n\t     3.00\t1\t33.3\t33.3\n"
            "\n"
            "valid\t3\tminimum\t     1.00\tmean\t   2.0000\n"
            "missing\t0\tmaximum\t     3.00\tstddev\t   1.0000\n"
            "total\t3\tsum\t     6.00\tvariance\t   1.0000\n");
  // Regional separators, and the general number text without the option.
  r = RunCommand({"freq", three.path(), "v"}, {",", "."});
  EXPECT_NE(r.out.find("\t     1,00\t1\t33,3\t33,3\n"), std::string::npos) << r.out;
  r = RunCommand({"freq", three.path(), "v", "--no-fixed-format"});
  EXPECT_EQ(r.out.substr(0, 17), "\t1\t1\t33.3\t33.3\n\t2") << r.out;
}

TEST(Cli, FreqStringsAndWeights) {
  TempFile file(testing::writeSav(Survey()));
  auto r = RunCommand({"freq", file.path(), "sex"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Female\tF\t1\t50.0\t50.0\nMale\tM\t1\t50.0\t50.0\n");
  // The file's weight: 100 for F, -5 for M (which counts nowhere).
  r = RunCommand({"freq", file.path(), "sex", "--weight", "HouseholdIncome"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Female\tF\t100\t100.0\t100.0\n");
  r = RunCommand({"freq", file.path(), "comment"});
  EXPECT_EQ(r.out, "\t\t1\t50.0\t50.0\nFine\tfine\t1\t50.0\t50.0\n");
}

TEST(Cli, FreqFailures) {
  TempFile file(testing::writeSav(Survey()));
  auto r = RunCommand({"freq", file.path(), "age", "--weight", "nosuch"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "cannot find weight variable\n");
  EXPECT_EQ(r.out, "");
  r = RunCommand({"freq", file.path(), "nosuch"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(RunCommand({"freq", file.path()}).code, 2);
  EXPECT_EQ(RunCommand({"freq", file.path(), "age", "--weight"}).code, 2);
  EXPECT_EQ(RunCommand({"vars", file.path(), "--weight", "age"}).code, 2);
  EXPECT_EQ(RunCommand({"freq", "/nonexistent/x.sav", "age"}).code, 1);

  // Data cut short: the table of the cases read, a warning, exit 1.
  SavFile f;
  f.variables = {Variable::numeric("n")};
  for (int i = 0; i < 3000; ++i) f.cases.push_back({double(i % 3)});
  testing::SavLayout layout;
  auto bytes = testing::writeSav(f, &layout);
  bytes.resize(layout.dataStart + (layout.dataEnd - layout.dataStart) / 2);
  TempFile cut(bytes);
  r = RunCommand({"freq", cut.path(), "n"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("The data ended early"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.rfind("\t     0.00\t", 0), 0u) << r.out;
}

// Data that holds fewer cases than the file says, in every storage: `info`
// gives the header's count (the estimate when there is none), `freq` counts
// the whole cases there are, `export data` writes them all (to standard
// output and to a file), and the three warn and exit 1. The commands that
// show only the dictionary read no data: complete output, exit 0.
TEST(Cli, ShortDataIsReported) {
  struct Variant {
    const char* name;
    std::optional<std::int32_t> header;  // none: the true count
    bool cut;                            // the data stops in the middle
    bool bytecodeAsUncompressed;         // compression field 0 over bytecode
  };
  const Variant variants[] = {{"header count over the data", 1000, false, false},
                              {"largest header count", 2147483647, false, false},
                              {"data cut", std::nullopt, true, false},
                              {"data cut, no count", -1, true, false},
                              {"bytecode read as uncompressed", std::nullopt, false, true}};
  for (auto compression :
       {testing::Compression::None, testing::Compression::Bytecode, testing::Compression::Zsav})
    for (const Variant& v : variants) {
      if (v.bytecodeAsUncompressed && compression != testing::Compression::Bytecode) continue;
      SCOPED_TRACE(std::string(v.name) + ", compression " + std::to_string(int(compression)));
      SavFile f;
      f.compression = compression;
      f.zlibBlockSize = 64;
      f.variables = {Variable::numeric("n")};
      for (int i = 0; i < 400; ++i) f.cases.push_back({double(i % 4)});
      f.headerCases = v.header;
      if (v.header) f.extendedCases = *v.header;
      if (v.header == -1) f.extendedCaseCount = false;
      if (v.bytecodeAsUncompressed) f.compressionCode = 0;
      testing::SavLayout layout;
      auto bytes = testing::writeSav(f, &layout);
      // A cut inside a zlib block, or inside a case or command group.
      if (v.cut && compression == testing::Compression::Zsav)
        bytes.resize(layout.zlibBlockOffsets.at(3) + 5);
      else if (v.cut)
        bytes.resize(layout.dataStart + (layout.dataEnd - layout.dataStart) / 2 + 3);
      TempFile file(bytes);

      const auto freq = RunCommand({"freq", file.path(), "n", "--no-fixed-format"});
      EXPECT_EQ(freq.code, 1) << freq.err;
      long long counted = 0;
      std::istringstream rows(freq.out);
      for (std::string line; std::getline(rows, line) && !line.empty();)
        counted += std::stoll(line.substr(line.find('\t', line.find('\t') + 1) + 1));
      const auto info = RunCommand({"info", file.path()});
      std::smatch m;
      if (v.header == -1) {
        // No count: the cases read before the damage are the estimate.
        EXPECT_EQ(info.code, 1);
        ASSERT_TRUE(std::regex_search(
            info.out, m, std::regex("\ncases    \tUNKNOWN - estimated number is (\\d+)\n")))
            << info.out;
        EXPECT_NE(freq.err.find("The estimated number (" + m[1].str() + ") will be used."),
                  std::string::npos);
      } else {
        ASSERT_TRUE(std::regex_search(freq.err, m, std::regex("only (\\d+) of (\\d+) cases")))
            << freq.err;
        EXPECT_EQ(m[2].str(), v.header ? std::to_string(*v.header) : "400");
        EXPECT_NE(info.out.find("\ncases    \t" + m[2].str() + "\n"), std::string::npos)
            << info.out;
      }
      EXPECT_EQ(std::to_string(counted), m[1].str());
      EXPECT_GT(counted, 0);
      EXPECT_LT(counted, 400 + (v.cut ? 0 : 1));

      const std::string warning = "The data ended early: only " + m[1].str() + " ";
      const std::string held = "The export holds the " + m[1].str() + " cases read.\n";
      const auto exported = RunCommand({"export", "data", file.path()});
      EXPECT_EQ(exported.code, 1);
      EXPECT_NE(exported.err.find(warning), std::string::npos) << exported.err;
      EXPECT_NE(exported.err.find(held), std::string::npos) << exported.err;
      EXPECT_EQ(std::count(exported.out.begin(), exported.out.end(), '\n'), counted + 1);
      TempFile csv(".csv");
      const auto toFile = RunCommand({"export", "data", file.path(), "--out", csv.path()});
      EXPECT_EQ(toFile.code, 1);
      EXPECT_EQ(toFile.err, exported.err);
      std::ifstream in(csv.path(), std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), exported.out);
      // A Stata file, which counts its cases first, says the same.
      if (StataAvailable()) {
        TempFile dta(".dta");
        const auto toDta = RunCommand({"export", "data", file.path(), "--out", dta.path()});
        EXPECT_EQ(toDta.code, 1);
        EXPECT_EQ(toDta.err, exported.err);
      }

      for (const std::vector<std::string>& dictionary :
           {std::vector<std::string>{"vars", file.path()},
            {"labels", file.path(), "n"},
            {"doc", file.path()},
            {"export", "vars", file.path()},
            {"export", "labels", file.path()}}) {
        const auto r = RunCommand(dictionary);
        EXPECT_EQ(r.code, 0) << dictionary[0] << " " << dictionary[1] << ": " << r.err;
      }
      EXPECT_EQ(RunCommand({"vars", file.path()}).out, "n\t\t\tF8.2\n");
    }
}

// Output that cannot be written (a full device) fails every command with a
// message, whether the failure shows at the end or in the middle.
TEST(Cli, OutputThatCannotBeWrittenIsAFailure) {
#ifndef _WIN32
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full";
#endif
  SavFile big = Survey();
  for (int i = 0; i < 20000; ++i)
    big.cases.push_back({double(i), double(i), std::string("F"), std::string("many")});
  TempFile file(testing::writeSav(Survey())), bigFile(testing::writeSav(big));
  const std::vector<std::vector<std::string>> commands = {
      {"info", file.path()},
      {"vars", file.path()},
      {"labels", file.path(), "sex"},
      {"doc", file.path()},
      {"freq", file.path(), "age"},
      {"freq", bigFile.path(), "HouseholdIncome"},
      {"export", "data", file.path()},
      {"export", "data", bigFile.path()},
      {"export", "vars", file.path()},
      {"export", "labels", file.path()},
      {"export", "data", file.path(), "--out", "/dev/full"},
  };
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0] + " " + command[1] + " " + command.back());
    std::ofstream full("/dev/full");
    std::ostringstream err;
    EXPECT_EQ(RunCli(command, {".", ","}, full, err), 1);
    const std::string message = err.str();
    EXPECT_NE(message.find("Cannot write "), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
  // The same commands into a stream that takes everything succeed.
  for (const auto& command : commands) {
    if (command.back() == "/dev/full") continue;
    EXPECT_EQ(RunCommand(command).code, 0) << command[0];
  }
}

TEST(Cli, NoFixedFormatIsAccepted) {
  TempFile file(testing::writeSav(Survey()));
  EXPECT_EQ(RunCommand({"vars", file.path(), "--no-fixed-format"}).code, 0);
  EXPECT_EQ(RunCommand({"--no-fixed-format", "doc", file.path()}).code, 0);
}

}  // namespace
}  // namespace brindle::cli

namespace brindle::cli {
namespace {

TEST(Cli, ExportToStandardOutputAndToAFile) {
  TempFile file(testing::writeSav(Survey()));
  auto r = RunCommand({"export", "data", file.path(), "--labels"}, {",", "."});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "age,HouseholdIncome,sex,comment\n"
            "30,$100.00,Female,Fine\n"
            "Refused,$-5.00,Male,\n");
  r = RunCommand({"export", "vars", file.path()}, {",", "."});
  EXPECT_NE(
      r.out.find("\nHouseholdIncome,Yearly income,numeric,10,DOLLAR10.2,-1000.5 thru 0,0,scale,\n"),
      std::string::npos)
      << r.out;

  TempFile csv(".csv");
  r = RunCommand({"export", "labels", file.path(), "--out", csv.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.out.empty());
  std::ifstream in(csv.path());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "variable,value,label\nage,99,Refused\nage,18.5,Young\nsex,F,Female\nsex,M,Male\n"
            "comment,fine,Fine\n");

  r = RunCommand({"export", "data", file.path(), "--out", file.path()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("data file"), std::string::npos) << r.err;
  EXPECT_EQ(RunCommand({"export", "vars", file.path(), "--out", "-"}).out.substr(0, 5), "name,");
  r = RunCommand({"export", "data", file.path(), "--out", "/nonexistent/x.csv"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("/nonexistent"), std::string::npos) << r.err;
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"export", "data"},
        {"export", "cases", file.path()},
        {"export", "vars", file.path(), "--labels"},
        {"export", "data", file.path(), "--out"},
        {"vars", file.path(), "--out", "x.csv"},
        {"export", "data", file.path(), "--labels", "--formatted"}})
    EXPECT_EQ(RunCommand(bad).code, 2) << bad[1];
}

// Parquet and Excel: by --format or by the extension, to a file only; the options
// that do not apply are usage errors, and the data file itself is refused.
TEST(Cli, ExportParquetAndExcelByFormatOrExtension) {
  TempFile file(testing::writeSav(Survey()));
  const auto magic = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.size() < 8 ? std::string() : text.substr(0, 4) + text.substr(text.size() - 4);
  };
  TempFile byExtension(".PARQUET"), byFormat(".csv"), labels(".parquet"), plain(".parquet"),
      nulls(".parquet"), snappy(".parquet");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"export", "data", file.path(), "--out", byExtension.path()},
        {"export", "data", file.path(), "--out", byFormat.path(), "--format", "parquet"},
        {"export", "data", file.path(), "--out", labels.path(), "--labels"},
        {"export", "data", file.path(), "--out", plain.path(), "--compression", "none"},
        {"export", "data", file.path(), "--out", nulls.path(), "--user-missing", "null"}}) {
    const auto r = RunCommand(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(magic(args[4]), "PAR1PAR1") << args[4];
  }
  // snappy, or a message where the build has none.
  const auto withSnappy =
      RunCommand({"export", "data", file.path(), "--out", snappy.path(), "--compression", "snappy"});
  EXPECT_EQ(withSnappy.code, ParquetHasSnappy() ? 0 : 1) << withSnappy.err;
  // --format csv wins over the extension.
  TempFile csv(".parquet");
  ASSERT_EQ(
      RunCommand({"export", "data", file.path(), "--out", csv.path(), "--format", "csv"}).code, 0);
  EXPECT_EQ(magic(csv.path()).substr(0, 4), "age,");
  const auto self =
      RunCommand({"export", "data", file.path(), "--out", file.path(), "--format", "parquet"});
  EXPECT_EQ(self.code, 1);
  EXPECT_NE(self.err.find("data file"), std::string::npos) << self.err;
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"export", "data", file.path(), "--format", "parquet"},
        {"export", "data", file.path(), "--out", "-", "--format", "parquet"},
        {"export", "data", file.path(), "--out", "x.parquet", "--formatted"},
        {"export", "data", file.path(), "--out", "x.xls", "--format", "xls"},
        {"export", "data", file.path(), "--out", "x.csv", "--compression", "zstd"},
        {"export", "data", file.path(), "--out", "x.parquet", "--compression", "lzo"},
        {"export", "data", file.path(), "--out", "x.parquet", "--user-missing", "maybe"},
        {"export", "data", file.path(), "--out", "x.csv", "--user-missing", "null"},
        {"export", "data", file.path(), "--out", "x.dta", "--user-missing", "null"},
        {"cases", file.path(), "--user-missing", "null"},
        {"export", "vars", file.path(), "--out", "x.parquet", "--format", "parquet"},
        {"export", "dict", file.path(), "--json", "--format", "parquet"},
        {"vars", file.path(), "--format", "csv"},
        {"export", "data", file.path(), "--format", "xlsx"},
        {"export", "data", file.path(), "--out", "x.xlsx", "--formatted"},
        {"export", "data", file.path(), "--out", "x.xlsx", "--compression", "zstd"},
        {"export", "data", file.path(), "--out", "x.dta", "--labels"},
        {"export", "data", file.path(), "--format", "dta"}})
    EXPECT_EQ(RunCommand(bad).code, 2) << bad.back();
  // A Stata file by the extension; the names made valid are said.
  TempFile dta(".DTA");
  const auto stata = RunCommand({"export", "data", file.path(), "--out", dta.path()});
  if (StataAvailable()) {
    EXPECT_EQ(stata.code, 0) << stata.err;
    EXPECT_EQ(magic(dta.path()).substr(0, 4), "<sta");
    EXPECT_EQ(stata.err,
              "Value labels Stata cannot hold (not whole numbers, or of strings) were dropped: "
              "age, sex, comment.\n");
  } else {
    EXPECT_EQ(stata.err, "This build of Brindle cannot write Stata files\n");
  }
  // A workbook (a zip) by the extension or by --format.
  TempFile book(".XLSX"), named(".bin");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"export", "data", file.path(), "--out", book.path()},
        {"export", "data", file.path(), "--out", named.path(), "--format", "xlsx", "--labels"}}) {
    const auto r = RunCommand(args);
    if (!ExcelAvailable()) {
      EXPECT_EQ(r.err, "This build of Brindle cannot write Excel workbooks\n");
      continue;
    }
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(magic(args[4]).substr(0, 2), "PK") << args[4];
  }
}

// Every command reads an encrypted file as its plaintext once given the
// password; the passes over a file large enough to split run on threads
// that decrypt each on their own.
class CliEncrypted : public ::testing::TestWithParam<testing::Compression> {};

TEST_P(CliEncrypted, CommandsReadThePlaintext) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  SavFile f = Survey();
  f.compression = GetParam();
  for (int i = 0; i < 6000; ++i)
    f.cases.push_back(
        {double(i % 97), double(i), std::string(i % 3 ? "F" : "M"), std::string(i % 5, 'x')});
  const std::vector<std::uint8_t> plainBytes = testing::writeSav(f);
  TempFile plain(plainBytes), wrapped(testing::encryptWrapper(plainBytes, "Pass word"));
  TempFile passwordFile(
      std::vector<std::uint8_t>{'P', 'a', 's', 's', ' ', 'w', 'o', 'r', 'd', '\r', '\n', 'x'});
  const std::vector<std::vector<std::string>> commands = {
      {"vars"},           {"doc"},
      {"freq", "age"},    {"freq", "sex", "--weight", "HouseholdIncome"},
      {"labels", "sex"},  {"export", "data"},
      {"export", "vars"}, {"export", "labels"},
      {"cases", "--from", "5990", "--count", "30", "--labels"}};
  for (const auto& command : commands) {
    std::vector<std::string> args = command;
    args.insert(args.begin() + (command[0] == "export" ? 2 : 1), "FILE");
    const auto with = [&](const std::string& path, std::vector<std::string> extra) {
      std::vector<std::string> a = args;
      std::replace(a.begin(), a.end(), std::string("FILE"), path);
      a.insert(a.end(), extra.begin(), extra.end());
      return RunCommand(a);
    };
    const Result expected = with(plain.path(), {});
    ASSERT_EQ(expected.code, 0) << command[0] << expected.err;
    const Result got = with(wrapped.path(), {"--password", "Pass word"});
    EXPECT_EQ(got.code, 0) << command[0] << got.err;
    EXPECT_EQ(got.out, expected.out) << command[0];
    EXPECT_EQ(with(wrapped.path(), {"--password-file", passwordFile.path()}).out, expected.out)
        << command[0];

    Result r = with(wrapped.path(), {});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              wrapped.path() + "\nis an encrypted SPSS data file, which Brindle cannot read.\n");
    r = with(wrapped.path(), {"--password", "Pass"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, wrapped.path() + "\nwrong password\n");
  }
  const Result info = RunCommand({"info", wrapped.path(), "--password", "Pass word"});
  EXPECT_NE(info.out.find("\nfile is encrypted\nfile contains document\n"), std::string::npos)
      << info.out;
  EXPECT_EQ(RunCommand({"info", plain.path()}).out.find("encrypted"), std::string::npos);
  // A byte-order mark that an editor put before the password is dropped.
  TempFile withMark(std::vector<std::uint8_t>{0xEF, 0xBB, 0xBF, 'P', 'a', 's', 's', ' ', 'w', 'o',
                                              'r', 'd', '\n'});
  EXPECT_EQ(RunCommand({"info", wrapped.path(), "--password-file", withMark.path()}).code, 0);
  EXPECT_EQ(RunCommand({"info", wrapped.path(), "--password-file", "/nonexistent/pw"}).code, 1);
  EXPECT_EQ(RunCommand({"info", wrapped.path(), "--password", "a", "--password-file", "b"}).code,
            2);
  EXPECT_EQ(RunCommand({"info", wrapped.path(), "--password"}).code, 2);
}

INSTANTIATE_TEST_SUITE_P(Layouts, CliEncrypted,
                         ::testing::Values(testing::Compression::None, testing::Compression::Zsav));

// A build without AES (the Windows one) says so for an encrypted file,
// whether a password comes with it or not.
TEST(CliEncrypted, WithoutAesTheMessageSaysThisBuildCannot) {
  if (EncryptionAvailable()) GTEST_SKIP() << "this build has AES";
  std::vector<std::uint8_t> bytes(kEncryptedHeaderSize + 32, 0x5a);
  std::fill(bytes.begin(), bytes.begin() + kEncryptedHeaderSize, 0);
  std::memcpy(bytes.data() + 8, "ENCRYPTEDSAV", 12);
  TempFile locked(bytes);
  const std::string message =
      locked.path() +
      "\nis an encrypted SPSS data file; this build of Brindle cannot open encrypted files.\n";
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{}, {"--password", "secret"}}) {
    for (const char* command : {"info", "vars"}) {
      std::vector<std::string> args = {command, locked.path()};
      args.insert(args.end(), extra.begin(), extra.end());
      const Result r = RunCommand(args);
      EXPECT_EQ(r.code, 1) << command;
      EXPECT_EQ(r.out, "") << command;
      EXPECT_EQ(r.err, message) << command;
    }
  }
}

}  // namespace
}  // namespace brindle::cli

namespace brindle::cli {
namespace {

// A file with attributes (one holding a tab and a line break), sets of both
// records and a variable set.
testing::SavFile DictionaryFile() {
  testing::SavFile f = Survey();
  const auto text = [](int subtype, const std::string& t) {
    return testing::RawExtension{subtype, 1, int(t.size()), {t.begin(), t.end()}};
  };
  f.extraExtensions = {
      text(5, "Core= age sex\n"),
      text(7, "$mc=C 5 Multi age HOUSEHOL\n"),
      text(17, "Origin('tab\there\nand \"line\"'\n)Wave('1'\n'2'\n)"),
      text(18, "age:$@Role('1'\n)Source('asked'\n)"),
      text(19, "$d=E 11 1 F 0  SEX\n"),
  };
  return f;
}

TEST(CliDictionary, AttrsOfTheFileAndOfAVariable) {
  testing::TempFile file(testing::writeSav(DictionaryFile()));
  auto r = RunCommand({"attrs", file.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "\tOrigin\ttab\\there\\nand \"line\"\n"
            "\tWave[1]\t1\n"
            "\tWave[2]\t2\n"
            "age\t$@Role\t1\n"
            "age\tSource\tasked\n");
  r = RunCommand({"attrs", file.path(), "AGE"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "age\t$@Role\t1\nage\tSource\tasked\n");
  r = RunCommand({"attrs", file.path(), "sex"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");
  r = RunCommand({"attrs", file.path(), "nosuch"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "unknown variable nosuch\n");
}

TEST(CliDictionary, MrSets) {
  testing::TempFile file(testing::writeSav(DictionaryFile()));
  const auto r = RunCommand({"mrsets", file.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  // The second set takes its label from its first variable's.
  EXPECT_EQ(r.out,
            "$mc\tMulti\tcategories\t\tage HouseholdIncome\n"
            "$d\tSex\tdichotomies\tF\tsex\n");
}

TEST(CliDictionary, UsageErrors) {
  testing::TempFile file(testing::writeSav(DictionaryFile()));
  const std::vector<std::vector<std::string>> wrong = {
      {"mrsets", file.path(), "age"},
      {"attrs"},
      {"attrs", file.path(), "age", "sex"},
      {"export", "dict", file.path()},
      {"export", "vars", file.path(), "--json"},
      {"export", "dict", file.path(), "--json", "--labels"},
      {"info", file.path(), "--json"},
  };
  for (const auto& args : wrong) {
    SCOPED_TRACE(args.front() + " " + std::to_string(args.size()));
    EXPECT_EQ(RunCommand(args).code, 2);
  }
}

TEST(CliDictionary, ExportDictJson) {
  testing::TempFile file(testing::writeSav(DictionaryFile()));
  const auto r = RunCommand({"export", "dict", file.path(), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string& j = r.out;
  ASSERT_FALSE(j.empty());
  EXPECT_EQ(j.front(), '{');
  EXPECT_EQ(j.back(), '\n');
  // Texts raw, escaped as JSON wants them.
  EXPECT_NE(j.find(R"({"name":"Origin","values":["tab\there\nand \"line\""]})"), std::string::npos)
      << j;
  EXPECT_NE(j.find(R"({"name":"Wave","values":["1","2"]})"), std::string::npos);
  EXPECT_NE(
      j.find(R"("name":"age","label":"Age in years","type":"numeric","width":0,)"
             R"("print_format":"F3","write_format":"F3","measurement_level":"scale",)"
             R"("role":"target","display_width":8,"alignment":"right",)"
             R"("missing_values":{"values":[99],"range":null},)"
             R"("value_labels":[{"value":99,"label":"Refused"},{"value":18.5,"label":"Young"}])"),
      std::string::npos)
      << j;
  EXPECT_NE(j.find(R"("missing_values":{"values":[],"range":[-1000.5,0]})"), std::string::npos);
  EXPECT_NE(j.find(R"("value_labels":[{"value":"F","label":"Female"})"), std::string::npos);
  EXPECT_NE(j.find(R"({"name":"$mc","label":"Multi","kind":"categories","counted_value":null,)"
                   R"("category_labels":null,"label_from_variable":false,)"
                   R"("members":["age","HouseholdIncome"]})"),
            std::string::npos)
      << j;
  EXPECT_NE(j.find(R"("kind":"dichotomies","counted_value":"F","category_labels":"counted_values",)"
                   R"("label_from_variable":true,"members":["sex"]})"),
            std::string::npos);
  EXPECT_NE(j.find(R"("variable_sets":[{"name":"Core","members":["age","sex"]}])"),
            std::string::npos);
  EXPECT_NE(j.find(R"("documents":["First line of the document","Second line"]})"),
            std::string::npos);
  EXPECT_NE(j.find(R"("weight":"HouseholdIncome")"), std::string::npos);
}

TEST(CliDictionary, InfoListsAttributesAndSets) {
  testing::TempFile file(testing::writeSav(DictionaryFile()));
  const auto r = RunCommand({"info", file.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\n\ndata file attributes\n"
                       "Origin\ttab\\there\\nand \"line\"\n"
                       "Wave[1]\t1\nWave[2]\t2\n\n"
                       "multiple-response sets\n"
                       "$mc\tcategories: age HouseholdIncome; label: Multi\n"
                       "$d\tdichotomies counting F: sex; label: Sex\n\n"
                       "variable sets\nCore\tage sex\n"),
            std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace brindle::cli

namespace brindle::cli {
namespace {

TEST(CliCodebook, StandardOutputAndFile) {
  TempFile file(testing::writeSav(Survey()));
  const auto r = RunCommand({"codebook", file.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(r.out.find("<a href=\"#v2\">HouseholdIncome</a>"), std::string::npos);
  // The frequency table's rows are those of freq.
  const auto freq = RunCommand({"freq", file.path(), "age"});
  EXPECT_NE(r.out.find("<td>Refused</td><td>  99</td><td class=\"num\">1</td>"), std::string::npos)
      << freq.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 8), "</html>\n");

  TempFile out(".html");
  const auto written = RunCommand({"codebook", file.path(), "--out", out.path(), "--vars",
                                   "sex,AGE", "--top", "1", "--weight", "HouseholdIncome"});
  ASSERT_EQ(written.code, 0) << written.err;
  EXPECT_EQ(written.out, "");
  std::ifstream in(out.path());
  const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(html.find("Counts are weighted by HouseholdIncome."), std::string::npos);
  EXPECT_LT(html.find("id=\"v3\""), html.find("id=\"v1\""));
  EXPECT_EQ(html.find("id=\"v2\""), std::string::npos);
}

TEST(CliCodebook, UsageAndUnknownNames) {
  TempFile file(testing::writeSav(Survey()));
  const std::vector<std::vector<std::string>> usage = {
      {"codebook"},
      {"codebook", file.path(), "extra"},
      {"codebook", file.path(), "--top"},
      {"codebook", file.path(), "--top", "-1"},
      {"codebook", file.path(), "--top", "x"},
      {"codebook", file.path(), "--vars", "age,,sex"},
      {"codebook", file.path(), "--vars", ""},
      {"codebook", file.path(), "--labels"},
      {"codebook", file.path(), "--json"},
      {"freq", file.path(), "age", "--top", "3"},
      {"vars", file.path(), "--vars", "age"},
  };
  for (const auto& args : usage) {
    SCOPED_TRACE(args.size() > 2 ? args[2] : args[0]);
    const auto r = RunCommand(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
  const auto unknown = RunCommand({"codebook", file.path(), "--vars", "age,nope"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_EQ(unknown.err, "unknown variable nope\n");
  EXPECT_EQ(unknown.out, "");
  const auto weight = RunCommand({"codebook", file.path(), "--weight", "sex"});
  EXPECT_EQ(weight.code, 2);
  EXPECT_EQ(weight.err, "cannot find weight variable\n");
}

TEST(CliCodebook, ShortDataGivesTheCasesReadAndExitCodeOne) {
  SavFile f;
  f.variables = {Variable::numeric("n")};
  for (int i = 0; i < 400; ++i) f.cases.push_back({double(i % 4)});
  f.headerCases = 1000;
  f.extendedCases = 1000;
  TempFile file(testing::writeSav(f));
  const auto r = RunCommand({"codebook", file.path()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("this codebook describes the 400 cases that could be read"),
            std::string::npos);
  EXPECT_NE(r.err.find("400 of 1000"), std::string::npos) << r.err;
}

// `cases`: the range, the variables, the three ways of writing values, the
// escaping of every command, and what it refuses.
TEST(CliCases, RangesVariablesAndModes) {
  SavFile f = Survey();
  f.cases.push_back({testing::sysmis(), 2.5, std::string("X"), std::string("tab\there")});
  TempFile file(testing::writeSav(f));
  const std::string p = file.path();
  struct Row {
    std::vector<std::string> args;
    int code;
    std::string out;
  };
  const std::string head = "age\tHouseholdIncome\tsex\tcomment\n";
  const Row rows[] = {
      {{"cases", p}, 0, head + "30\t100\tF\tfine\n99\t-5\tM\t\n\t2.5\tX\ttab\\there\n"},
      {{"cases", p, "--from", "2", "--count", "1"}, 0, head + "99\t-5\tM\t\n"},
      {{"cases", p, "--count", "0"}, 0, head},
      {{"cases", p, "--from", "3", "--count", "50"}, 0, head + "\t2.5\tX\ttab\\there\n"},
      {{"cases", p, "--vars", "SEX,age", "--formatted"}, 0, "sex\tage\nF\t30\nM\t99\nX\t.\n"},
      {{"cases", p, "--vars", "age,sex,comment", "--labels"},
       0,
       "age\tsex\tcomment\n30\tFemale\tFine\nRefused\tMale\t\n.\tX\ttab\\there\n"},
      {{"cases", p, "--vars", "HouseholdIncome", "--formatted", "--count", "1"},
       0,
       "HouseholdIncome\n$100.00\n"},
      {{"cases", p, "--from", "4"}, 2, ""},
      {{"cases", p, "--vars", "age,nosuch"}, 2, ""},
      {{"cases", p, "--from", "0"}, 2, ""},
      {{"cases", p, "--from", "-3"}, 2, ""},
      {{"cases", p, "--count", "x"}, 2, ""},
      {{"cases", p, "--count"}, 2, ""},
      {{"cases", p, "--labels", "--formatted"}, 2, ""},
      {{"vars", p, "--from", "2"}, 2, ""},
      {{"cases", p, "--out", "x"}, 2, ""},
  };
  for (const Row& row : rows) {
    const Result r = RunCommand(row.args);
    std::string args;
    for (const auto& a : row.args) args += a + ' ';
    EXPECT_EQ(r.code, row.code) << args << r.err;
    EXPECT_EQ(r.out, row.out) << args;
  }
}

// Cases of a long compressed file far from the first, and data cut short
// inside the cases asked for: what was read, then the reader's message.
TEST(CliCases, FarCasesAndDamage) {
  SavFile f;
  f.variables = {Variable::numeric("n"), Variable::string("s", 12)};
  for (int c = 0; c < 20000; ++c) f.cases.push_back({double(c), "c" + std::to_string(c)});
  std::vector<std::uint8_t> bytes = testing::writeSav(f);
  TempFile file(bytes);
  Result r = RunCommand({"cases", file.path(), "--from", "19999", "--count", "5"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "n\ts\n19998\tc19998\n19999\tc19999\n");

  bytes.resize(bytes.size() - 20);
  file.write(bytes);
  r = RunCommand({"cases", file.path(), "--from", "19990", "--count", "20"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.rfind("n\ts\n19989\tc19989\n", 0), 0u) << r.out;
  EXPECT_FALSE(r.err.empty());
  r = RunCommand({"cases", file.path(), "--count", "2"});
  EXPECT_EQ(r.out, "n\ts\n0\tc0\n1\tc1\n");
}

}  // namespace
}  // namespace brindle::cli
