// Compares brindle-cli's reading of every real data file with PSPP's reading
// of the same file, recorded in conformance/<file>.csv (SYSFILE INFO output;
// scripts/record-pspp-expectations.sh writes them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/CliCommands.h"
#include "datafile/DictionaryText.h"
#include "format/FormatValue.h"
#include "spssio/SystemFile.h"

namespace brindle::cli {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

// PSPP's CSV: "Table: NAME" lines open a table, a blank line ends it; fields
// may be quoted, with "" for a quote and line breaks inside.
std::map<std::string, std::vector<Row>> ReadTables(const fs::path& csv) {
  std::ifstream in(csv, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  std::vector<Row> rows;
  Row row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\n') {
      row.push_back(field);
      field.clear();
      rows.push_back(row);
      row.clear();
    } else {
      field += c;
    }
  }
  std::map<std::string, std::vector<Row>> tables;
  std::vector<Row>* current = nullptr;
  for (const auto& r : rows) {
    if (r.size() == 1 && r[0].rfind("Table: ", 0) == 0) {
      current = &tables[r[0].substr(7)];
    } else if (r.size() == 1 && r[0].empty()) {
      current = nullptr;
    } else if (current) {
      current->push_back(r);
    }
  }
  return tables;
}

std::string Upper(std::string s) {
  for (auto& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string Lower(std::string s) {
  for (auto& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : TrimRight(s.substr(b));
}

std::vector<std::string> Split(const std::string& s, const std::string& sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t p; (p = s.find(sep, start)) != std::string::npos; start = p + sep.size())
    out.push_back(s.substr(start, p - start));
  out.push_back(s.substr(start));
  return out;
}

// PSPP writes "DATETIME20.0" and "COMMA9.2" where the viewer writes
// "DATETIME20" and "F9.2" (format code 3 goes by the name F).
std::string ViewerFormat(std::string f) {
  if (f.rfind("COMMA", 0) == 0) f = "F" + f.substr(5);
  if (f.size() > 2 && f.compare(f.size() - 2, 2, ".0") == 0) f.resize(f.size() - 2);
  return f;
}

// PSPP's missing-value text ("1; 2", "LOWEST THRU 0", "\"a  \"; \"b\"") in
// the viewer's form ("1 2", "lowest thru 0", "'a' 'b'"), upper-cased.
std::string ViewerMissing(const std::string& pspp) {
  if (pspp.empty()) return {};
  std::string out;
  for (auto piece : Split(pspp, "; ")) {
    if (!out.empty()) out += ' ';
    if (piece.size() >= 2 && piece.front() == '"') {
      std::string inner = TrimRight(piece.substr(1, piece.size() - 2));
      std::string quoted = "'";
      for (char c : inner) quoted += c == '\'' ? std::string("''") : std::string(1, c);
      out += quoted + "'";
    } else {
      out += piece;
    }
  }
  return Upper(out).substr(0, 30);
}

struct Cli {
  int code = -1;
  std::string out, err;
};

Cli RunCommand(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Cli r;
  r.code = RunCli(args, NumberSeparators{".", ","}, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// The CLI writes a tab, CR, LF or backslash inside a field escaped.
std::string Unescaped(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char c = field[++i];
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
  }
  return out;
}

std::vector<Row> Lines(const std::string& text) {
  std::vector<Row> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    rows.push_back(Split(line, "\t"));
    for (auto& field : rows.back()) field = Unescaped(field);
  }
  return rows;
}

std::vector<fs::path> ExpectationFiles() {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(fs::path(BRINDLE_SOURCE_DIR) / "src/cli/conformance"))
    if (e.path().extension() == ".csv") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

class Conformance : public ::testing::TestWithParam<fs::path> {
 protected:
  void SetUp() override {
    m_data = fs::path(BRINDLE_TESTDATA_DIR) / GetParam().stem();
    if (!fs::exists(m_data)) GTEST_SKIP() << "no " << m_data;
    m_tables = ReadTables(GetParam());
    m_vars = RunCommand({"vars", m_data.string()});
    ASSERT_EQ(m_vars.code, 0) << m_vars.err;
  }
  std::string Info(const std::string& key) const {
    for (const auto& r : m_tables.at("File Information"))
      if (r.size() >= 2 && r[0] == key) return r[1];
    return {};
  }

  fs::path m_data;
  std::map<std::string, std::vector<Row>> m_tables;
  Cli m_vars;
};

TEST_P(Conformance, Variables) {
  const auto ours = Lines(m_vars.out);
  const auto& theirs = m_tables.at("Variables");
  // PSPP leaves out the Label and Missing Values columns when no variable
  // has one, so columns are found by their titles.
  const Row& titles = theirs.at(0);
  auto column = [&](const std::string& title) {
    const auto it = std::find(titles.begin(), titles.end(), title);
    return it == titles.end() ? -1 : static_cast<int>(it - titles.begin());
  };
  const int name = column("Name"), label = column("Label"), format = column("Print Format"),
            missing = column("Missing Values");
  ASSERT_GE(name, 0);
  ASSERT_GE(format, 0);
  ASSERT_EQ(ours.size() + 1, theirs.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    const Row& p = theirs[i + 1];
    const Row& o = ours[i];
    ASSERT_EQ(o.size(), 4u);
    ASSERT_EQ(p.size(), titles.size());
    SCOPED_TRACE(p[name]);
    EXPECT_EQ(Upper(o[0]), Upper(p[name]));
    EXPECT_EQ(o[1], label >= 0 ? p[label] : "");
    EXPECT_EQ(o[3], ViewerFormat(p[format]).substr(0, 12));
    EXPECT_EQ(Upper(o[2]), missing >= 0 ? ViewerMissing(p[missing]) : "");
  }
}

TEST_P(Conformance, ValueLabels) {
  const auto vars = Lines(m_vars.out);
  if (!m_tables.count("Value Labels")) {
    for (const auto& v : vars)
      EXPECT_EQ(RunCommand({"labels", m_data.string(), v[0]}).out, "") << v[0];
    return;
  }
  // PSPP names each group by the variable's label, or its name when it has
  // none; groups come in dictionary order.
  std::vector<std::pair<std::string, std::vector<Row>>> groups;
  for (const auto& r : m_tables.at("Value Labels")) {
    if (r.size() < 3 || r[0] == "Variable Value") continue;
    if (!r[0].empty()) groups.push_back({r[0], {}});
    if (!groups.empty()) groups.back().second.push_back({r[1], r[2]});
  }
  std::size_t next = 0;
  for (std::size_t v = 0; v < vars.size(); ++v) {
    const auto got = Lines(RunCommand({"labels", m_data.string(), vars[v][0]}).out);
    const bool named = next < groups.size() && (groups[next].first == vars[v][1] ||
                                                Upper(groups[next].first) == Upper(vars[v][0]));
    if (!named || got.empty()) {
      if (!named) EXPECT_TRUE(got.empty()) << vars[v][0];
      continue;
    }
    SCOPED_TRACE(vars[v][0]);
    // PSPP lists labels sorted by value, the viewer in file order: compare
    // the sets. Numeric values compare as numbers (PSPP renders them by the
    // print format), string values without their blank padding.
    const bool isString = vars[v][3].rfind("A", 0) == 0;
    auto key = [&](std::string value) {
      if (auto p = value.find("[a]"); p != std::string::npos) value.erase(p);
      if (isString) return TrimRight(value);
      char* end = nullptr;
      const double d = std::strtod(value.c_str(), &end);
      if (!end || *end != '\0' || value.empty())
        return std::string("?");  // a date rendered as text
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10g", d);
      return std::string(buf);
    };
    std::vector<std::pair<std::string, std::string>> mine, pspp;
    for (const auto& r : got) mine.push_back({key(Trim(r.at(1))), r.at(0)});
    for (const auto& r : groups[next++].second) pspp.push_back({key(r.at(0)), r.at(1)});
    if (std::any_of(pspp.begin(), pspp.end(), [](const auto& e) { return e.first == "?"; })) {
      for (auto& e : mine) e.first = "?";
      for (auto& e : pspp) e.first = "?";
    }
    std::sort(mine.begin(), mine.end());
    std::sort(pspp.begin(), pspp.end());
    EXPECT_EQ(mine, pspp);
  }
  EXPECT_EQ(next, groups.size()) << "value-label groups not matched";
}

TEST_P(Conformance, FileInformation) {
  const Cli info = RunCommand({"info", m_data.string()});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_NE(info.out.find("\nvariables\t" + Info("Variables") + "\n"), std::string::npos)
      << info.out;
  EXPECT_NE(info.out.find("\ncases    \t" + Info("Cases") + "\n"), std::string::npos) << info.out;
  const std::string weight = Info("Weight");
  if (weight == "Not weighted")
    EXPECT_NE(info.out.find("\nno weight variable defined"), std::string::npos);
  else
    EXPECT_NE(info.out.find("\nweight variable\t"), std::string::npos);
  EXPECT_EQ(info.out.find("file contains document") != std::string::npos,
            !Info("Documents").empty());
}

TEST_P(Conformance, Documents) {
  const Cli doc = RunCommand({"doc", m_data.string()});
  ASSERT_EQ(doc.code, 0) << doc.err;
  const std::string want = Info("Documents");
  if (want.empty()) {
    EXPECT_EQ(doc.out, "");
    return;
  }
  auto lines = Lines(doc.out);
  ASSERT_GE(lines.size(), 2u);
  std::string joined;
  for (std::size_t i = 2; i < lines.size(); ++i)
    joined += (i > 2 ? "\n" : "") + TrimRight(lines[i][0]);
  EXPECT_EQ(joined, want);
  EXPECT_EQ(lines[0][0],
            "File contains " + std::to_string(lines.size() - 2) + " lines of documents");
}

INSTANTIATE_TEST_SUITE_P(RealFiles, Conformance, ::testing::ValuesIn(ExpectationFiles()),
                         [](const auto& info) {
                           std::string n = info.param.stem().string();
                           for (auto& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

// The dictionary's further parts of a file PSPP wrote with every one it can
// write (conformance/dictionary/pspp_dictionary.sps), against PSPP's own
// DISPLAY DICTIONARY, DISPLAY @ATTRIBUTES and MRSETS /DISPLAY of it.
class DictionaryConformance : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path dir = fs::path(BRINDLE_SOURCE_DIR) / "src/cli/conformance/dictionary";
    m_data = (dir / "pspp_dictionary.sav").string();
    m_tables = ReadTables(dir / "pspp_dictionary.csv");
  }
  std::string m_data;
  std::map<std::string, std::vector<Row>> m_tables;
};

TEST_F(DictionaryConformance, MeasureRoleWidthAlignmentFormats) {
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::open(m_data, file), 0);
  const auto& theirs = m_tables.at("Variables");
  ASSERT_EQ(theirs.size(), file->variableCount() + 1);
  // PSPP calls the target role "Output".
  const auto role = [](std::string r) { return r == "Output" ? std::string("target") : r; };
  for (std::size_t i = 0; i < file->variableCount(); ++i) {
    const Row& r = theirs[i + 1];
    const Variable& v = file->variable(i);
    SCOPED_TRACE(v.name);
    EXPECT_EQ(v.name, r[0]);
    EXPECT_EQ(MeasureName(v.measure), Lower(r[3]));
    EXPECT_EQ(RoleName(v.role), Lower(role(r[4])));
    EXPECT_EQ(std::to_string(v.displayWidth), r[5]);
    EXPECT_EQ(AlignmentName(v.alignment), Lower(r[6]));
    EXPECT_EQ(PrintFormatText({v.print.type, v.print.width, v.print.decimals}), ViewerFormat(r[7]));
    EXPECT_EQ(PrintFormatText({v.write.type, v.write.width, v.write.decimals}), ViewerFormat(r[8]));
  }
}

TEST_F(DictionaryConformance, Attributes) {
  const Cli ours = RunCommand({"attrs", m_data});
  ASSERT_EQ(ours.code, 0) << ours.err;
  // PSPP names a variable by its label where it has one, and sorts the
  // attributes of each by name; the file's order is kept here.
  const Cli vars = RunCommand({"vars", m_data});
  std::map<std::string, std::string> byShownName{{"(dataset)", ""}};
  for (const Row& v : Lines(vars.out)) byShownName[v[1].empty() ? v[0] : v[1]] = v[0];
  std::vector<Row> expected;
  std::string owner;
  for (std::size_t i = 1; i < m_tables.at("Variable and Dataset Attributes").size(); ++i) {
    const Row& r = m_tables.at("Variable and Dataset Attributes")[i];
    if (!r[0].empty()) owner = byShownName.at(r[0]);
    expected.push_back({owner, r[1], r[2]});
  }
  auto got = Lines(ours.out);
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);
}

TEST_F(DictionaryConformance, MultipleResponseSets) {
  const Cli ours = RunCommand({"mrsets", m_data});
  ASSERT_EQ(ours.code, 0) << ours.err;
  std::vector<Row> expected;
  for (std::size_t i = 1; i < m_tables.at("Multiple Response Sets").size(); ++i) {
    Row r = m_tables.at("Multiple Response Sets")[i];
    r[2] = Lower(r[2]);
    std::replace(r[4].begin(), r[4].end(), '\n', ' ');
    expected.push_back(r);
  }
  auto got = Lines(ours.out);
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace brindle::cli
