#include "codebook/Codebook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "codebook/HtmlText.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::Case;
using testing::SavFile;
using testing::TempFile;
using testing::Variable;

// Names, labels and values that mean something in HTML.
SavFile Tricky(int cases) {
  SavFile f;
  f.fileLabel = "<b>label</b>";
  f.documents = {"Document line with <script>alert(1)</script> & more"};
  Variable a = Variable::numeric("a", "Answer <i>\"quoted\"</i> & 'single'");
  a.numericLabels = {{1, "<Low>"}, {2, "Mid & \"high\""}};
  a.missingCode = 1;
  a.missing[0] = 9;
  f.variables.push_back(a);
  Variable x = Variable::numeric("x", "Many values");
  f.variables.push_back(x);
  Variable s = Variable::string("s", 12, "Texts");
  f.variables.push_back(s);
  f.variables.push_back(Variable::numeric("w"));
  for (int i = 0; i < cases; ++i) {
    Case c;
    c.push_back(i % 10 == 0 ? 9.0 : i % 7 == 0 ? testing::sysmis() : double(1 + i % 2));
    c.push_back(double(i) / 4);
    c.push_back(std::string(i % 3 == 0 ? "<tag>" : i % 3 == 1 ? "a&b" : "v") +
                std::to_string(i % 60));
    c.push_back(double(1 + i % 3));
    f.cases.push_back(std::move(c));
  }
  return f;
}

class Loaded {
 public:
  explicit Loaded(const std::vector<std::uint8_t>& bytes) : m_file(bytes) {
    if (OpenDataFileState(m_file.path(), state) != SPSS_OK) return;
    const DictionaryLoadResult r = LoadDictionary(state, table, NumberSeparators{});
    source.state = &state;
    source.damage = r.warning;
    for (int row = 0; row < table.RecordCount(); ++row)
      source.records.push_back(*table.ViewRecord(row));
  }
  std::string Html(const CodebookRequest& request, ExportResult* result = nullptr) {
    std::ostringstream text;
    ExportFile out;
    out.OpenStream(text);
    const ExportResult r = WriteCodebook(source, request, out);
    EXPECT_TRUE(out.Commit());
    if (result) *result = r;
    return text.str();
  }

  TempFile m_file;
  DataFileState state;
  VariableList table;
  CodebookSource source;
};

TEST(Codebook, EscapesEveryTextFromTheFile) {
  Loaded file(testing::writeSav(Tricky(300)));
  ASSERT_NE(file.state.File, nullptr);
  ExportResult result;
  const std::string html = file.Html({}, &result);
  EXPECT_EQ(result.status, ExportStatus::Done);
  EXPECT_EQ(result.rows, 4);
  // No markup but the document's own: every tag is one the writer makes.
  const std::regex tag("<(/?)([a-zA-Z0-9]+)");
  const std::set<std::string> ours = {"html", "head", "meta", "title", "style", "body",
                                      "header", "h1", "h2", "h3", "p", "table", "tr",
                                      "th", "td", "a", "nav", "section", "span", "pre",
                                      "figure", "svg", "rect", "text", "line"};
  for (auto it = std::sregex_iterator(html.begin(), html.end(), tag); it != std::sregex_iterator();
       ++it)
    EXPECT_TRUE(ours.count((*it)[2].str())) << (*it)[0].str();
  EXPECT_NE(html.find("Answer &lt;i&gt;&quot;quoted&quot;&lt;/i&gt; &amp; &#39;single&#39;"),
            std::string::npos);
  EXPECT_NE(html.find("&lt;Low&gt;"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt; &amp; more"), std::string::npos);
  EXPECT_NE(html.find("&lt;tag&gt;"), std::string::npos);
}

TEST(Codebook, EachVariableShowsWhatSuitsIt) {
  Loaded file(testing::writeSav(Tricky(300)));
  const std::string html = file.Html({});
  const auto section = [&](const char* id) {
    const std::size_t from = html.find(std::string("<section class=\"var\" id=\"") + id + "\"");
    EXPECT_NE(from, std::string::npos) << id;
    const std::size_t to = html.find("</section>", from);
    return html.substr(from, to - from);
  };
  // a: labelled, a frequency table with missing rows marked, statistics, quartiles.
  const std::string a = section("v1");
  EXPECT_NE(a.find("<table class=\"freq\">"), std::string::npos);
  EXPECT_NE(a.find("user-missing"), std::string::npos);
  EXPECT_NE(a.find("system-missing"), std::string::npos);
  EXPECT_NE(a.find("<th>median</th>"), std::string::npos);
  EXPECT_EQ(a.find("<svg"), std::string::npos);
  // x: 300 distinct values, statistics and a histogram.
  const std::string x = section("v2");
  EXPECT_NE(x.find("300 distinct values"), std::string::npos);
  EXPECT_NE(x.find("<svg"), std::string::npos);
  EXPECT_NE(x.find("<th>25th percentile</th><td class=\"num\">18.6875</td>"), std::string::npos)
      << x;
  // s: 60 distinct strings, the ten most frequent.
  const std::string s = section("v3");
  EXPECT_NE(s.find("60 distinct values; the 10 most frequent:"), std::string::npos);
  // The table of contents links every variable.
  for (const char* id : {"#v1", "#v2", "#v3", "#v4"})
    EXPECT_NE(html.find(std::string("href=\"") + id + "\""), std::string::npos);
  EXPECT_NE(html.find("Counts are not weighted."), std::string::npos);
}

TEST(Codebook, ChosenVariablesTopAndWeight) {
  Loaded file(testing::writeSav(Tricky(300)));
  CodebookRequest request;
  request.variables = {"S", "a", "s"};
  request.top = 3;
  request.weight = "w";
  const std::string html = file.Html(request);
  EXPECT_NE(html.find("Counts are weighted by w."), std::string::npos);
  EXPECT_NE(html.find("the 3 most frequent"), std::string::npos);
  EXPECT_EQ(html.find("id=\"v2\""), std::string::npos);
  EXPECT_LT(html.find("id=\"v3\""), html.find("id=\"v1\""));
  EXPECT_EQ(html.find("id=\"v3\""), html.rfind("id=\"v3\""));

  std::string unknown;
  request.variables = {"a", "nope"};
  EXPECT_TRUE(CodebookVariables(file.source, request, &unknown).empty());
  EXPECT_EQ(unknown, "nope");
  request.variables.clear();
  request.weight = "s";
  ExportResult result;
  file.Html(request, &result);
  EXPECT_EQ(result.status, ExportStatus::Failed);
  EXPECT_EQ(result.message, "cannot find weight variable");
}

TEST(Codebook, CancelAndFailureLeaveNoFile) {
  Loaded file(testing::writeSav(Tricky(5000)));
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "brindle-codebook";
  std::filesystem::create_directories(dir);
  const std::string target = (dir / "book.html").string();
  std::filesystem::remove(target);
  const ExportResult cancelled =
      WriteCodebookFile(target, file.source, {}, [](std::int64_t, std::int64_t) { return false; });
  EXPECT_EQ(cancelled.status, ExportStatus::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  // A folder is no file to write over.
  const ExportResult folder = WriteCodebookFile(dir.string(), file.source, {});
  EXPECT_EQ(folder.status, ExportStatus::Failed);
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  const ExportResult done = WriteCodebookFile(target, file.source, {});
  EXPECT_EQ(done.status, ExportStatus::Done) << done.message;
  EXPECT_TRUE(std::filesystem::is_regular_file(target));
  std::filesystem::remove_all(dir);
}

TEST(Codebook, DamagedDataIsDescribedAsFarAsRead) {
  testing::SavLayout layout;
  const auto bytes = testing::writeSav(Tricky(3000), &layout);
  const auto cutAt = long(layout.dataStart + (layout.dataEnd - layout.dataStart) / 2);
  Loaded file(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cutAt));
  ASSERT_NE(file.state.File, nullptr);
  ExportResult result;
  const std::string html = file.Html({}, &result);
  EXPECT_EQ(result.status, ExportStatus::Done);
  EXPECT_FALSE(result.warning.empty());
  const std::size_t note = html.find("<p class=\"note\">The data is damaged");
  EXPECT_NE(note, std::string::npos);
  EXPECT_LT(note, html.find("<nav>"));
  EXPECT_NE(html.find("id=\"v4\""), std::string::npos);
}

TEST(HtmlText, EscapesMarkupCharacters) {
  EXPECT_EQ(Escaped("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  EXPECT_EQ(Escaped(std::string("x\0y", 3)), "x\xEF\xBF\xBDy");
  EXPECT_EQ(SvgNumber(12), "12");
  EXPECT_EQ(SvgNumber(3.5), "3.5");
  EXPECT_EQ(SvgNumber(-0.001), "0");
  EXPECT_EQ(SvgNumber(1.0 / 3), "0.33");
}

}  // namespace
}  // namespace brindle
