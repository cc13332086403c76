#include "export/CsvExport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "export/testing/ModuleCsv.h"
#include "spssio/ColumnPass.h"
#include "spssio/EncryptedFile.h"
#include "spssio/FileNames.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

namespace fs = std::filesystem;
using testing::Case;
using testing::Format;
using testing::SavFile;
using testing::Variable;

TEST(CsvExportFields, NumbersReadBackExactlyAndStringsAreQuotedOnlyWhenNeeded) {
  const double sysmis = -DBL_MAX;
  const struct {
    double x;
    const char* text;
  } numbers[] = {
      {0.1, "0.1"},
      {1.0 / 3, "0.3333333333333333"},
      {100000, "100000"},
      {-0.0, "-0"},
      {5e-324, "5e-324"},
      {1e300, "1e+300"},
      {std::ldexp(1.0, 55), "36028797018963968"},
      {-42, "-42"},
      {sysmis, ""},
      {DBL_MAX, "1.7976931348623157e+308"},
      {0.05, "0.05"},
      {-56.257, "-56.257"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123456789.1234, "123456789.1234"},
      {-0.0001, "-0.0001"},
  };
  for (const auto& n : numbers) {
    std::string out;
    AppendNumberField(out, n.x, sysmis);
    EXPECT_EQ(out, n.text) << n.x;
  }
  const struct {
    const char* text;
    const char* field;
  } fields[] = {
      {"plain", "plain"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {" blanks kept ", " blanks kept "},
  };
  for (const auto& f : fields) {
    std::string out;
    AppendCsvField(out, f.text);
    EXPECT_EQ(out, f.field) << f.text;
  }
}

TEST(CsvExportFields, FormattedValuesWriteDatesAsIso) {
  const struct {
    double x;
    PrintFormat f;
    const char* text;
  } cases[] = {
      {13929753600.0, {kFmtDate, 11, 0}, "2024-03-14"},
      {13929753600.0, {kFmtADate, 10, 0}, "2024-03-14"},
      {13929753600.0 + 3600, {kFmtMoYr, 8, 0}, "2024-03-14"},
      {13929803109.0, {kFmtDateTime, 20, 0}, "2024-03-14 13:45:09"},
      {13929803109.25, {kFmtDateTime, 23, 2}, "2024-03-14 13:45:09.25"},
      // Rounded to whole seconds before it is split: carries into the next day.
      {13166063999.6, {kFmtDateTime, 20, 0}, "2000-01-01 00:00:00"},
      {-5, {kFmtDate, 11, 0}, "-5"},  // before the calendar: the number
      {1234.5, {kFmtF, 8, 2}, "1234.50"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormattedNumber(c.x, c.f), c.text) << c.x;
}

// A small file whose values exercise quoting, missing values and labels.
SavFile SampleFile() {
  SavFile file;
  Variable n = Variable::numeric("n");
  n.numericLabels = {{1, "one, \"uno\""}, {2, "two\nlines"}};
  Variable d = Variable::numeric("d");
  d.print = Format{20, 11, 0};
  Variable s = Variable::string("s", 12);
  s.stringLabels = {{"a", "Label A"}};
  Variable skipped = Variable::numeric("skipped");
  file.variables = {n, d, s, skipped};
  const double sysmis = testing::sysmis();
  const double date = 13929753600.0;
  file.cases = {
      Case{1.0, date, std::string("a"), 0.0},
      Case{2.0, sysmis, std::string("he said \"hi\""), 0.0},
      Case{0.1, date, std::string("comma, here"), 0.0},
      Case{1.0 / 3, sysmis, std::string("line\nbreak"), 0.0},
      Case{sysmis, date, std::string(""), 0.0},
      Case{5e-324, date, std::string("Z\xC3\xBCrich  "), 0.0},
      Case{std::ldexp(1.0, 60), date, std::string("   lead"), 0.0},
      Case{-2.5, date, std::string("x"), 0.0},
  };
  return file;
}

// A case whose one exported value is empty (system-missing, a blank string)
// is a row of its own: `""`, not an empty line that CSV readers skip. Both
// the single pass and the threaded one write it so.
TEST(CsvExportData, LoneEmptyValueKeepsItsRow) {
  SavFile file;
  Variable n = Variable::numeric("n");
  n.print = Format{5, 8, 0};
  file.variables = {n, Variable::string("s", 4)};
  file.cases = {{1.0, std::string("a")},
                {testing::sysmis(), std::string("")},
                {3.0, std::string("    ")},
                {testing::sysmis(), std::string("d")}};
  for (int i = 0; i < 5000; ++i) file.cases.push_back(file.cases[std::size_t(i % 4)]);
  testing::TempFile sav(testing::writeSav(file));
  std::shared_ptr<SystemFile> opened;
  ASSERT_EQ(SystemFile::open(sav.path(), opened), SPSS_OK);
  const struct {
    std::vector<int> vars;
    std::string firstRows;
  } exports[] = {
      {{0}, "n\n1\n\"\"\n3\n\"\"\n1\n"},
      {{1}, "s\na\n\"\"\n\"\"\nd\na\n"},
      {{0, 1}, "n,s\n1,a\n,\n3,\n,d\n1,a\n"},
  };
  for (const auto& e : exports) {
    for (DataMode mode : {DataMode::Raw, DataMode::Formatted, DataMode::Labels}) {
      SCOPED_TRACE(e.firstRows + " mode " + std::to_string(int(mode)));
      std::ostringstream csv;
      ExportFile out;
      out.OpenStream(csv);
      const ExportResult r = ExportData(*opened, e.vars, mode, out, {});
      ASSERT_TRUE(out.Commit());
      EXPECT_EQ(r.rows, std::int64_t(file.cases.size()));
      const std::string text = csv.str();
      EXPECT_EQ(text.substr(0, e.firstRows.size()), e.firstRows);
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), r.rows + 1);
      EXPECT_EQ(text.find("\n\n"), std::string::npos);
    }
  }
}

class OpenSample {
 public:
  explicit OpenSample(const SavFile& file) : m_sav(testing::writeSav(file)) {
    EXPECT_EQ(SystemFile::open(m_sav.path(), opened), SPSS_OK);
  }
  SystemFile& handle() { return *opened; }
  std::shared_ptr<SystemFile> opened;

 private:
  testing::TempFile m_sav;
};

std::string HexFloat(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a", x);
  return buf;
}

std::string JsonText(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\')
      out += '\\', out += char(c);
    else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else
      out += char(c);
  }
  return out + "\"";
}

bool HavePython() { return std::system("python3 -c pass >/dev/null 2>&1") == 0; }

// Exports the sample in `mode` and has Python's csv module read it back and
// compare every field with what the file holds.
void CheckRoundTrip(DataMode mode) {
  const SavFile file = SampleFile();
  OpenSample sample(file);
  testing::TempFile csv(".csv"), expected(".json");
  const ExportResult result = ExportToFile(csv.path(), [&](ExportFile& out) {
    return ExportData(sample.handle(), {2, 0, 1}, mode, out, {});
  });
  ASSERT_EQ(result.status, ExportStatus::Done) << result.message;
  EXPECT_EQ(result.rows, std::int64_t(file.cases.size()));

  std::string json = "{\"header\": [\"n\", \"d\", \"s\"], \"rows\": [";
  for (std::size_t r = 0; r < file.cases.size(); ++r) {
    const Case& c = file.cases[r];
    const double n = std::get<double>(c[0]), d = std::get<double>(c[1]);
    std::string s = std::get<std::string>(c[2]);
    s.erase(s.find_last_not_of(' ') + 1);
    std::string row;
    if (n == testing::sysmis())
      row = "null";
    else if (mode == DataMode::Raw)
      row = "{\"n\": \"" + HexFloat(n) + "\"}";
    else if (mode == DataMode::Labels && n == 1)
      row = "{\"s\": " + JsonText("one, \"uno\"") + "}";
    else if (mode == DataMode::Labels && n == 2)
      row = "{\"s\": " + JsonText("two\nlines") + "}";
    else
      row = "{\"s\": " + JsonText(FormattedNumber(n, {kFmtF, 8, 2})) + "}";
    if (d == testing::sysmis())
      row += ", null";
    else if (mode == DataMode::Raw)
      row += ", {\"n\": \"" + HexFloat(d) + "\"}";
    else
      row += ", {\"s\": \"2024-03-14\"}";
    if (s.empty())
      row += ", null";
    else
      row += ", {\"s\": " + JsonText(mode == DataMode::Labels && s == "a" ? "Label A" : s) + "}";
    json += (r ? ", [" : "[") + row + "]";
  }
  json += "]}";
  std::ofstream(expected.path()) << json;
  const std::string command = "python3 \"" BRINDLE_SOURCE_DIR
                              "/src/export/csv_roundtrip_check.py\" \"" +
                              csv.path() + "\" \"" + expected.path() + "\"";
  EXPECT_EQ(std::system(command.c_str()), 0) << "mode " << int(mode);
}

TEST(CsvExportRoundTrip, PythonReadsBackEveryValue) {
  if (!HavePython()) GTEST_SKIP() << "no python3";
  CheckRoundTrip(DataMode::Raw);
  CheckRoundTrip(DataMode::Formatted);
  CheckRoundTrip(DataMode::Labels);
}

TEST(CsvExportDictionary, VariablesAndLabelsOneRowEach) {
  SavFile file = SampleFile();
  file.variables[0].label = "Number, with a comma";
  file.variables[0].missingCode = -3;
  file.variables[0].missing[0] = 0.5;
  file.variables[0].missing[1] = 9;
  file.variables[0].missing[2] = 99;
  file.variables[1].measure = 2;
  const std::string roles = "n:$@Role('1'\n)/s:$@Role('5'\n)";
  file.extraExtensions.push_back({18, 1, int(roles.size()), {roles.begin(), roles.end()}});
  OpenSample sample(file);
  std::vector<VarRecord> records(4);
  const char* names[] = {"n", "d", "s", "skipped"};
  for (int i = 0; i < 4; ++i) records[std::size_t(i)].VarName = names[i];
  records[0].VarLabel = "Number, with a comma";
  records[0].missingFormat = -3, records[0].nMiss1 = 0.5, records[0].nMiss2 = 9,
  records[0].nMiss3 = 99;
  records[0].PrintFmt = "F8.2", records[0].Wid = 8;
  records[2].VarType = 12, records[2].PrintFmt = "A12", records[2].missingFormat = 14;

  std::ostringstream vars, labels;
  ExportFile out;
  out.OpenStream(vars);
  ASSERT_EQ(ExportVariables(sample.handle(), records, out).status, ExportStatus::Done);
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(vars.str(),
            "name,label,type,width,format,missing,value_labels,measurement_level,role\n"
            "n,\"Number, with a comma\",numeric,8,F8.2,0.5 thru 9 99,2,scale,target\n"
            "d,,numeric,0,,,0,ordinal,\n"
            "s,,string,12,A12,,1,nominal,split\n"
            "skipped,,numeric,0,,,0,scale,\n");
  out.OpenStream(labels);
  ASSERT_EQ(ExportValueLabels(sample.handle(), records, out).rows, 3);
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(labels.str(),
            "variable,value,label\n"
            "n,1,\"one, \"\"uno\"\"\"\n"
            "n,2,\"two\nlines\"\n"
            "s,a,Label A\n");
}

// What is left in a folder besides the files named.
std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  return names;
}

TEST(CsvExportTarget, CancelAndFailureLeaveNoFile) {
  SavFile file = SampleFile();
  for (int i = 0; i < 10000; ++i) file.cases.push_back(file.cases[std::size_t(i % 8)]);
  OpenSample sample(file);
  const fs::path folder =
      fs::temp_directory_path() / ("brindle-export-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string target = (folder / "out.csv").string();

  // Cancelled after the first batch: no target, no temporary file.
  int calls = 0;
  ExportResult r = ExportToFile(target, [&](ExportFile& out) {
    return ExportData(sample.handle(), {}, DataMode::Raw, out,
                      [&](std::int64_t done, std::int64_t total) {
                        EXPECT_EQ(total, std::int64_t(file.cases.size()));
                        return ++calls < 2 || done == 0;
                      });
  });
  EXPECT_EQ(r.status, ExportStatus::Cancelled);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(FolderEntries(folder).empty());

  // An existing file under the target name survives a failed export whole.
  std::ofstream(target) << "old";
  fs::create_directory(folder / "dir.csv");
  r = ExportToFile((folder / "dir.csv").string(), [&](ExportFile& out) {
    return ExportData(sample.handle(), {}, DataMode::Raw, out, {});
  });
  EXPECT_EQ(r.status, ExportStatus::Failed);
  EXPECT_NE(r.message.find("dir.csv"), std::string::npos) << r.message;
  EXPECT_EQ(FolderEntries(folder).size(), 2u);

  // A folder that does not exist: a message naming it, nothing created.
  r = ExportToFile((folder / "missing" / "x.csv").string(),
                   [&](ExportFile& out) { return ExportValueLabels(sample.handle(), {}, out); });
  EXPECT_EQ(r.status, ExportStatus::Failed);
  EXPECT_NE(r.message.find("missing"), std::string::npos) << r.message;

  // Never over the data file being read.
  r = ExportToFile(
      target, [&](ExportFile&) { return ExportResult{}; }, (folder / "." / "out.csv").string());
  EXPECT_EQ(r.status, ExportStatus::Failed);
  EXPECT_NE(r.message.find("data file"), std::string::npos) << r.message;
  EXPECT_EQ(FolderEntries(folder).size(), 2u);

  // The whole export replaces the old file.
  r = ExportToFile(target, [&](ExportFile& out) {
    return ExportData(sample.handle(), {}, DataMode::Raw, out, {});
  });
  EXPECT_EQ(r.status, ExportStatus::Done);
  EXPECT_EQ(r.rows, std::int64_t(file.cases.size()));
  EXPECT_EQ(FolderEntries(folder).size(), 2u);
  std::ifstream in(target);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, "n,d,s,skipped");
  in.close();  // Windows removes no file that is open
  fs::remove_all(folder);
}

TEST(CsvExportTarget, FullDeviceIsAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::ofstream full("/dev/full");
  full.rdbuf()->pubsetbuf(nullptr, 0);
  ExportFile out;
  out.OpenStream(full);
  out.Write(std::string(3u << 20, 'x'));
  EXPECT_FALSE(out.Commit());
  EXPECT_FALSE(out.Error().empty());
}

#ifndef _WIN32
// What each kind of name under --out (or the viewer's save dialog) becomes:
// only a regular file is ever replaced, through a temporary file in its own
// folder that keeps its mode and owner; a link leads to the file it names and
// stays a link; a device or FIFO is written into; a folder is refused.
TEST(CsvExportTarget, EachKindOfTarget) {
  const fs::path folder =
      fs::temp_directory_path() / ("brindle-targets-" + std::to_string(::getpid()));
  const std::string csv = "a,b\n1,2\n";
  const auto writeCsv = [&](ExportFile& out) {
    out.Write(csv);
    ExportResult r;
    r.rows = 1;
    return r;
  };
  const auto read = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const auto mode = [](const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
  };
  const bool root = ::geteuid() == 0;
  struct Target {
    const char* kind;
    std::function<std::string()> make;  // builds the target in folder, gives its name
    bool done;
    std::function<void(const std::string& target, const ExportResult&)> check;
  };
  const std::vector<Target> targets = {
      {"new file", [&] { return (folder / "new.csv").string(); }, true,
       [&](const std::string& t, const ExportResult&) { EXPECT_EQ(read(t), csv); }},
      {"private file of another owner",
       [&] {
         const fs::path t = folder / "private.csv";
         std::ofstream(t) << "old content";
         EXPECT_EQ(::chmod(t.c_str(), 0600), 0);
         if (root) {
           EXPECT_EQ(::chown(t.c_str(), 4321, 4322), 0);
         }
         return t.string();
       },
       true,
       [&](const std::string& t, const ExportResult&) {
         EXPECT_EQ(read(t), csv);
         EXPECT_EQ(mode(t), S_IFREG | 0600);
         struct stat st {};
         ASSERT_EQ(::stat(t.c_str(), &st), 0);
         if (root) {
           EXPECT_EQ(st.st_uid, 4321u);
           EXPECT_EQ(st.st_gid, 4322u);
         }
       }},
      {"link to a file in another folder",
       [&] {
         fs::create_directory(folder / "real");
         std::ofstream(folder / "real" / "data.csv") << "old";
         EXPECT_EQ(::chmod((folder / "real" / "data.csv").c_str(), 0640), 0);
         fs::create_symlink("real/data.csv", folder / "link.csv");
         return (folder / "link.csv").string();
       },
       true,
       [&](const std::string& t, const ExportResult&) {
         EXPECT_TRUE(S_ISLNK(mode(t)));
         EXPECT_EQ(fs::read_symlink(t), "real/data.csv");
         EXPECT_EQ(read(folder / "real" / "data.csv"), csv);
         EXPECT_EQ(mode(folder / "real" / "data.csv"), S_IFREG | 0640);
         EXPECT_EQ(FolderEntries(folder / "real").size(), 1u);
       }},
      {"link to a file not there yet",
       [&] {
         fs::create_symlink("later.csv", folder / "dangling.csv");
         return (folder / "dangling.csv").string();
       },
       true,
       [&](const std::string& t, const ExportResult&) {
         EXPECT_TRUE(S_ISLNK(mode(t)));
         EXPECT_EQ(read(folder / "later.csv"), csv);
       }},
      {"/dev/null", [] { return std::string("/dev/null"); }, true,
       [&](const std::string& t, const ExportResult&) { EXPECT_TRUE(S_ISCHR(mode(t))); }},
      {"/dev/full",
       [] { return ::access("/dev/full", W_OK) == 0 ? std::string("/dev/full") : std::string(); },
       false,
       [&](const std::string& t, const ExportResult& r) {
         EXPECT_TRUE(S_ISCHR(mode(t)));
         EXPECT_EQ(r.message, "Cannot write /dev/full: No space left on device");
       }},
      {"folder",
       [&] {
         fs::create_directory(folder / "dir.csv");
         std::ofstream(folder / "dir.csv" / "inside") << "x";
         return (folder / "dir.csv").string();
       },
       false,
       [&](const std::string& t, const ExportResult& r) {
         EXPECT_EQ(r.message, "Cannot write to " + t + ": Is a directory");
         EXPECT_EQ(read(fs::path(t) / "inside"), "x");
       }},
      {"link loop",
       [&] {
         fs::create_symlink("loop2.csv", folder / "loop1.csv");
         fs::create_symlink("loop1.csv", folder / "loop2.csv");
         return (folder / "loop1.csv").string();
       },
       false,
       [&](const std::string& t, const ExportResult& r) {
         EXPECT_NE(r.message.find("Cannot write to " + t), std::string::npos) << r.message;
         EXPECT_TRUE(S_ISLNK(mode(t)));
       }},
  };
  for (const Target& target : targets) {
    SCOPED_TRACE(target.kind);
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string name = target.make();
    if (name.empty()) continue;
    const ExportResult r = ExportToFile(name, writeCsv);
    EXPECT_EQ(r.status, target.done ? ExportStatus::Done : ExportStatus::Failed) << r.message;
    target.check(name, r);
    for (const std::string& entry : FolderEntries(folder))
      EXPECT_EQ(entry.find(".part-"), std::string::npos) << entry;
  }

  // A file behind a descriptor link (as `--out /dev/stdout >> log.csv`
  // gives): written into through the descriptor, its content kept.
  fs::remove_all(folder);
  fs::create_directories(folder);
  {
    const fs::path log = folder / "log.csv";
    std::ofstream(log) << "before\n";
    const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    const std::string link = "/dev/fd/" + std::to_string(fd);
    const ExportResult r = ExportToFile(link, writeCsv);
    EXPECT_EQ(r.status, ExportStatus::Done) << r.message;
    EXPECT_EQ(read(log), "before\n" + csv);
    EXPECT_EQ(FolderEntries(folder).size(), 1u);
    ::close(fd);
  }

  // A FIFO: a reader waiting on it gets the whole export; the FIFO stays.
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string fifo = (folder / "pipe.csv").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  TaskPool readerThread(1);
  const TaskPool::TaskHandle reader = readerThread.post([&] { received = read(fifo); });
  const ExportResult r = ExportToFile(fifo, writeCsv);
  reader->wait();
  EXPECT_EQ(r.status, ExportStatus::Done) << r.message;
  EXPECT_EQ(received, csv);
  EXPECT_TRUE(S_ISFIFO(mode(fifo)));
  EXPECT_EQ(FolderEntries(folder).size(), 1u);
  fs::remove_all(folder);
}
#else
// Windows: a device name (NUL, CON) is written into, never replaced by the
// temporary file; an existing file is replaced whole, a name with letters
// outside the ANSI code page is created, a folder is refused.
TEST(CsvExportTarget, EachKindOfTargetOnWindows) {
  const fs::path folder = fs::temp_directory_path() / "brindle-targets-windows";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string csv = "a,b\n1,2\n";
  const auto writeCsv = [&](ExportFile& out) {
    out.Write(csv);
    ExportResult r;
    r.rows = 1;
    return r;
  };
  const auto read = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  struct Target {
    const char* kind;
    std::string name;
    bool done;
  };
  std::ofstream(folder / "old.csv") << "old contents, longer than the new ones";
  fs::create_directory(folder / "dir.csv");
  const Target targets[] = {
      {"device", "NUL", true},
      {"device in a folder", (folder / "NUL").string(), true},
      {"existing file", (folder / "old.csv").string(), true},
      {"non-ASCII name", Utf8FromPath(folder / fs::path(L"\u00dcbersicht-\u03a9-\u8abf.csv")),
       true},
      {"folder", (folder / "dir.csv").string(), false},
  };
  for (const Target& t : targets) {
    SCOPED_TRACE(t.kind);
    const ExportResult r = ExportToFile(t.name, writeCsv);
    EXPECT_EQ(r.status, t.done ? ExportStatus::Done : ExportStatus::Failed) << r.message;
    if (!t.done) EXPECT_NE(r.message.find("dir.csv"), std::string::npos) << r.message;
  }
  EXPECT_EQ(read(folder / "old.csv"), csv);
  EXPECT_EQ(read(PathFromUtf8(targets[3].name)), csv);
  // Nothing left beside them: no temporary file, no file named NUL.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(Utf8FromPath(e.path().filename()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"dir.csv", "old.csv",
                                      Utf8FromPath(PathFromUtf8(targets[3].name).filename())}));
  fs::remove_all(folder);
}
#endif

// The export on several threads writes what one pass through the I/O
// module's calls writes, for every kind of data area, texts converted from a
// single-byte encoding, very long strings, a file that is cut short, and
// every mode; an encrypted file reads its segments through the decryption.
TEST(CsvExportParallel, WritesWhatOneSequentialPassWrites) {
  struct Variant {
    testing::Compression compression;
    const char* encoding;
    bool cut;
    bool encrypted = false;
  } variants[] = {
      {testing::Compression::Bytecode, "UTF-8", false},
      {testing::Compression::None, "windows-1252", false},
      {testing::Compression::Zsav, "UTF-8", false},
      {testing::Compression::Bytecode, "windows-1252", true},
      {testing::Compression::Bytecode, "UTF-8", false, true},
  };
  for (const Variant& v : variants) {
    if (v.encrypted && !EncryptionAvailable()) continue;  // a build without AES
    SavFile file = SampleFile();
    file.compression = v.compression;
    file.encoding = v.encoding;
    file.variables.push_back(Variable::string("long", 300));
    std::vector<Case> cases;
    for (int i = 0; i < 20000; ++i) {
      Case c = file.cases[std::size_t(i % 8)];
      if (i % 8 == 5 && std::string(v.encoding) != "UTF-8") c[2] = std::string("Z\xFCrich");
      c.push_back(std::string(std::size_t(i % 300), char('a' + i % 26)) +
                  (i % 3 ? "" : " \"x\",y"));
      cases.push_back(std::move(c));
    }
    file.cases = std::move(cases);
    std::vector<std::uint8_t> bytes = testing::writeSav(file);
    if (v.cut) bytes.resize(bytes.size() - bytes.size() / 3);
    if (v.encrypted) bytes = testing::encryptWrapper(bytes, "pspp");
    testing::TempFile sav(bytes);
    std::shared_ptr<SystemFile> opened;
    ASSERT_EQ(SystemFile::open(sav.path(), opened, nullptr, {v.encrypted ? "pspp" : nullptr}),
              SPSS_OK);
    SystemFile& handle = *opened;
    const std::vector<int> vars = {0, 1, 2, 4};
    for (DataMode mode : {DataMode::Raw, DataMode::Formatted, DataMode::Labels}) {
      const std::vector<ExportColumn> columns = DataColumns(handle, vars, mode == DataMode::Labels);
      std::ostringstream once, parallel;
      ExportFile out;
      out.OpenStream(once);
      ExportResult expected;
      expected = WriteDataCsvThroughModule(handle, vars, columns, mode, -DBL_MAX, -1, out);
      out.Commit();
      ColumnPass source(handle, vars);
      source.setIndexSpacing(1000);
      if (!source.indexed()) {
        EXPECT_FALSE(source.indexCases().stopped);
      }
      // ZSAV splits only where its blocks inflate alone (with libdeflate).
      if (!v.cut && (v.compression != testing::Compression::Zsav || ColumnPass::SplitsZsav())) {
        source.setThreads(3);
        EXPECT_TRUE(source.splits({}));
      }
      out.OpenStream(parallel);
      const ExportResult got = WriteDataCsv(source, columns, mode, -DBL_MAX, -1, out, {}, 3);
      out.Commit();
      const std::string what =
          std::string(v.encoding) + " compression " + std::to_string(int(v.compression)) +
          (v.encrypted ? " encrypted" : "") + " mode " + std::to_string(int(mode));
      EXPECT_EQ(got.status, ExportStatus::Done) << what;
      EXPECT_EQ(got.status, expected.status) << what;
      EXPECT_EQ(got.rows, expected.rows) << what;
      EXPECT_EQ(got.message, expected.message) << what;
      EXPECT_EQ(got.warning.empty(), !v.cut) << what;
      EXPECT_EQ(got.warning, expected.warning) << what;
      EXPECT_TRUE(parallel.str() == once.str()) << what;
    }
  }
}

}  // namespace
}  // namespace brindle
