// The file's warnings on the command line: every command writes them to
// standard error before its output, info lists them at the end of its
// report, and info --check prints only them, for scripts.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliCommands.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle::cli {
namespace {

using testing::Bytes;
using testing::SavFile;
using testing::TempFile;
using testing::Variable;

struct Result {
  int code = -1;
  std::string out, err;
};

Result RunArgs(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Result r;
  r.code = RunCli(args, {".", ","}, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

SavFile Sound() {
  SavFile f;
  auto n = Variable::numeric("n", "a number");
  n.numericLabels = {{1, "one"}};
  f.variables = {n, Variable::string("s", 4)};
  f.documents = {"doc"};
  f.cases = {{1.0, std::string("a")}, {2.0, std::string("b")}};
  return f;
}

// Two kinds of damage: a print format that is no format, and a value label
// variables record without its labels. Both are read past.
SavFile Damaged() {
  SavFile f = Sound();
  f.variables[0].print = testing::Format{0, 8, 2};
  f.variables[0].write = testing::Format{5, 8, 2};
  Bytes orphan;
  for (int x : {4, 1, 1}) testing::putInt32(orphan, x, testing::ByteOrder::Little);
  f.injections.push_back({testing::InjectAt::BeforeDocument, orphan});
  return f;
}

const char kFormatWarning[] = "n: print format code 0 is no format; used F8.2\n";
const char kOrphanWarning[] =
    ": value label variables record without value labels before it; ignored\n";

TEST(CliWarnings, EveryCommandWritesThemFirstAndSucceeds) {
  TempFile sound(testing::writeSav(Sound()));
  TempFile damaged(testing::writeSav(Damaged()));
  const std::vector<std::vector<std::string>> commands = {
      {"info"}, {"vars"}, {"labels", "", "n"}, {"doc"}, {"freq", "", "n"}, {"export", "vars"}};
  for (auto args : commands) {
    SCOPED_TRACE(args[0]);
    auto withFile = [&](const std::string& path) {
      auto a = args;
      if (a.size() == 3)
        a[1] = path;
      else
        a.push_back(path);
      return a;
    };
    const Result clean = RunArgs(withFile(sound.path()));
    ASSERT_EQ(clean.code, 0) << clean.err;
    EXPECT_EQ(clean.err, "");
    const Result r = RunArgs(withFile(damaged.path()));
    EXPECT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.err);
    std::string first, second, rest;
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, rest, '\0');
    EXPECT_EQ(first.rfind("warning: record 4 at offset ", 0), 0u) << r.err;
    EXPECT_NE((first + "\n").find(kOrphanWarning), std::string::npos) << r.err;
    EXPECT_EQ(second.rfind("warning: record 2 at offset 176: variable ", 0), 0u) << r.err;
    EXPECT_NE((second + "\n").find(kFormatWarning), std::string::npos) << r.err;
    EXPECT_EQ(rest, "");
    if (args[0] != "info") EXPECT_EQ(r.out, clean.out);
  }
}

TEST(CliWarnings, InfoListsThemAtTheEndOfTheReport) {
  TempFile sound(testing::writeSav(Sound()));
  TempFile damaged(testing::writeSav(Damaged()));
  const Result clean = RunArgs({"info", sound.path()});
  const Result r = RunArgs({"info", damaged.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  // The report of the damaged file is the sound one's (but for the name),
  // then the warnings.
  const std::size_t split = r.out.find("\n\nwarnings\n");
  ASSERT_NE(split, std::string::npos) << r.out;
  EXPECT_EQ(
      sound.path() + r.out.substr(damaged.path().size(), split - damaged.path().size()) + "\n",
      clean.out);
  const std::string tail = r.out.substr(split);
  EXPECT_EQ(tail.rfind("\n\nwarnings\nrecord 4 at offset ", 0), 0u) << tail;
  EXPECT_NE(tail.find(kOrphanWarning), std::string::npos) << tail;
  EXPECT_NE(tail.find("\nrecord 2 at offset 176: variable "), std::string::npos) << tail;
  EXPECT_EQ(clean.out.find("warnings"), std::string::npos);
}

TEST(CliWarnings, CheckPrintsOnlyTheWarnings) {
  TempFile sound(testing::writeSav(Sound()));
  TempFile damaged(testing::writeSav(Damaged()));
  Result r = RunArgs({"info", "--check", sound.path()});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");

  r = RunArgs({"info", damaged.path(), "--check"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "");
  std::istringstream lines(r.out);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count)
    EXPECT_EQ(line.rfind("warning: record ", 0), 0u) << line;
  EXPECT_EQ(count, 2) << r.out;

  // A file that cannot be opened is an error, not a warning.
  r = RunArgs({"info", "--check", "/nonexistent/x.sav"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");

  EXPECT_EQ(RunArgs({"vars", "--check", sound.path()}).code, 2);
}

// Data whose case count cannot be established is damage --check reports too.
TEST(CliWarnings, CheckReportsDamagedData) {
  SavFile f;
  f.variables = {Variable::numeric("n")};
  for (int i = 0; i < 100; ++i) f.cases.push_back({double(i)});
  f.headerCases = -1;
  f.extendedCaseCount = false;
  testing::SavLayout layout;
  Bytes bytes = testing::writeSav(f, &layout);
  bytes.resize(layout.dataStart + (layout.dataEnd - layout.dataStart) / 2 + 3);
  TempFile file(bytes);
  const Result r = RunArgs({"info", "--check", file.path()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("warning: case data: Cannot determine the true number of cases. ", 0), 0u)
      << r.out;
}

// The document comes from the dictionary as parsed, wherever its record is.
TEST(CliWarnings, DocumentAfterTheExtensionRecords) {
  SavFile f = Sound();
  f.documents.clear();
  Bytes record;
  testing::putInt32(record, 6, testing::ByteOrder::Little);
  testing::putInt32(record, 1, testing::ByteOrder::Little);
  testing::putPadded(record, "late line", 80);
  f.injections.push_back({testing::InjectAt::BeforeTermination, record});
  TempFile file(testing::writeSav(f));
  const Result r = RunArgs({"doc", file.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string line = "late line";
  line.resize(80, ' ');
  EXPECT_EQ(r.out, "File contains 1 lines of documents\n\n" + line + "\n");
}

// Compressed data that goes on past the header's count: the commands that
// read the cases stop at the count and say so after their output; --check
// reads through to find it.
TEST(CliWarnings, DataPastTheCaseCountAfterAPass) {
  SavFile f;
  f.variables = {Variable::numeric("n")};
  for (int i = 1; i <= 5; ++i) f.cases.push_back({double(i)});
  f.headerCases = 3;
  f.extendedCases = 3;
  testing::SavLayout layout;
  TempFile file(testing::writeSav(f, &layout));
  const std::string line = "warning: case data at offset " + std::to_string(layout.dataStart) +
                           ": the data goes on past the 3 cases the file header counts; only "
                           "those are read\n";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"freq", file.path(), "n"}, {"export", "data", file.path()}}) {
    SCOPED_TRACE(args[0]);
    const Result r = RunArgs(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, line);
  }
  // The cases counted, no more.
  EXPECT_EQ(RunArgs({"export", "data", file.path()}).out.find("4"), std::string::npos);
  // Nothing that reads no case finds it.
  EXPECT_EQ(RunArgs({"vars", file.path()}).err, "");
  const Result check = RunArgs({"info", "--check", file.path()});
  EXPECT_EQ(check.code, 1);
  EXPECT_EQ(check.out, line);
}

}  // namespace
}  // namespace brindle::cli
