#include "datafile/DocumentReader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::ByteOrder;
using testing::Bytes;
using testing::InjectAt;

std::string Padded(std::string s) {
  s.resize(80, ' ');
  return s;
}

// A whole document record as the writer would put it, in order's byte order.
Bytes DocumentRecord(const std::vector<std::string>& lines, ByteOrder order) {
  Bytes b;
  testing::putInt32(b, 6, order);
  testing::putInt32(b, static_cast<std::int32_t>(lines.size()), order);
  for (const auto& line : lines) testing::putPadded(b, line, 80);
  return b;
}

DocumentReadResult Read(const testing::SavFile& f) {
  testing::TempFile file(testing::writeSav(f));
  return ReadDocumentRecord(file.path());
}

testing::SavFile OneVariable(ByteOrder order) {
  testing::SavFile f;
  f.byteOrder = order;
  f.variables = {testing::Variable::numeric("v")};
  f.cases = {{1.0}};
  return f;
}

TEST(DocumentReader, ThreeLinesBeforeExtensionRecords) {
  testing::SavFile f = OneVariable(ByteOrder::Little);
  f.documents = {"first line", "second", "   third   "};
  const auto doc = Read(f);
  ASSERT_TRUE(doc.found) << doc.message;
  EXPECT_EQ(doc.lineCount, 3);
  EXPECT_EQ(doc.lines, (std::vector<std::string>{Padded("first line"), Padded("second"),
                                                 Padded("   third   ")}));
  const auto window = DocumentWindowLines(doc);
  ASSERT_EQ(window.size(), 5u);
  EXPECT_EQ(window[0], "File contains 3 lines of documents");
  EXPECT_EQ(window[1], "");
  EXPECT_EQ(window[4].size(), 80u);  // trailing blanks kept
}

// Document records anywhere among the others, one or several: the lines come
// from the reader's parse, in file order, in either byte order.
struct DocumentPlacement {
  const char* name;
  void (*place)(testing::SavFile&, ByteOrder);
  std::vector<std::string> lines;
};

class DocumentRecordOrder
    : public ::testing::TestWithParam<std::tuple<DocumentPlacement, ByteOrder>> {};

TEST_P(DocumentRecordOrder, ReadsTheLinesInFileOrder) {
  const auto& [placement, order] = GetParam();
  testing::SavFile f = OneVariable(order);
  placement.place(f, order);
  const auto doc = Read(f);
  ASSERT_TRUE(doc.found) << doc.message;
  std::vector<std::string> expected;
  for (const auto& line : placement.lines) expected.push_back(Padded(line));
  EXPECT_EQ(doc.lines, expected);
  EXPECT_EQ(doc.lineCount, static_cast<std::int32_t>(expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Placements, DocumentRecordOrder,
    ::testing::Combine(
        ::testing::Values(
            DocumentPlacement{"AfterTheExtensionRecords",
                              [](testing::SavFile& f, ByteOrder o) {
                                f.injections.push_back(
                                    {InjectAt::BeforeTermination, DocumentRecord({"late"}, o)});
                              },
                              {"late"}},
            DocumentPlacement{
                "BeforeTheValueLabels",
                [](testing::SavFile& f, ByteOrder o) {
                  f.variables[0].numericLabels = {{1, "one"}};
                  f.injections.push_back({InjectAt::AfterVariables, DocumentRecord({"early"}, o)});
                },
                {"early"}},
            DocumentPlacement{"TwoRecordsJoined",
                              [](testing::SavFile& f, ByteOrder) {
                                f.documents = {"a", "b"};
                                f.documentsTwice = true;
                              },
                              {"a", "b", "a", "b"}},
            DocumentPlacement{"BeforeAndAfterTheExtensionRecords",
                              [](testing::SavFile& f, ByteOrder o) {
                                f.documents = {"first"};
                                f.injections.push_back({InjectAt::BeforeTermination,
                                                        DocumentRecord({"second", "third"}, o)});
                              },
                              {"first", "second", "third"}},
            DocumentPlacement{"ExtensionBetweenTheLinesAndSubtype3",
                              [](testing::SavFile& f, ByteOrder o) {
                                f.integerInfo = false;
                                f.documents = {"x"};
                                Bytes info;
                                for (int k = 0; k < 8; ++k) testing::putInt32(info, k + 1, o);
                                f.extraExtensions.push_back({3, 4, 8, info});
                                f.extraExtensions.push_back({11, 4, 4, Bytes(16, 0)});
                              },
                              {"x"}},
            DocumentPlacement{"ValueLabelNamingVariableSixJustBefore",
                              [](testing::SavFile& f, ByteOrder) {
                                for (int k = 2; k <= 6; ++k)
                                  f.variables.push_back(
                                      testing::Variable::numeric("v" + std::to_string(k)));
                                f.variables[5].numericLabels = {{6, "six"}};
                                f.cases = {{1.0, 2.0, 3.0, 4.0, 5.0, 6.0}};
                                f.documents = {"a", "b", "c", "d"};
                              },
                              {"a", "b", "c", "d"}},
            DocumentPlacement{"SixLines",
                              [](testing::SavFile& f,
                                 ByteOrder) { f.documents = {"a", "b", "c", "d", "e", "f"}; },
                              {"a", "b", "c", "d", "e", "f"}},
            DocumentPlacement{
                "NoLines", [](testing::SavFile& f, ByteOrder) { f.documentLineCount = 0; }, {}},
            DocumentPlacement{"TerminationRecordPastOneMebibyte",
                              [](testing::SavFile& f, ByteOrder) {
                                f.documents = {"doc"};
                                f.extraExtensions.push_back({10, 1, 1 << 20, Bytes(1 << 20, 'x')});
                              },
                              {"doc"}}),
        ::testing::Values(ByteOrder::Little, ByteOrder::Big)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) == ByteOrder::Big ? "Big" : "Little");
    });

TEST(DocumentReader, FilesThatGiveAMessage) {
  testing::SavFile none = OneVariable(ByteOrder::Little);
  EXPECT_EQ(Read(none).message, "cannot find document");

  testing::SavFile lyingCount = OneVariable(ByteOrder::Little);
  lyingCount.documents = {"one", "two"};
  lyingCount.documentLineCount = 0x1000000;  // more lines than the file holds
  const auto doc = Read(lyingCount);
  EXPECT_FALSE(doc.found);
  EXPECT_EQ(doc.message, "file corrupt or larger than 2 Gb");

  std::vector<unsigned char> tiny(183, 0);
  testing::TempFile tinyFile(Bytes(tiny.begin(), tiny.end()));
  EXPECT_EQ(ReadDocumentRecord(tinyFile.path()).message, "file corrupt or larger than 2 Gb");

  testing::SavLayout layout;
  testing::SavFile cut = OneVariable(ByteOrder::Little);
  cut.documents = {"a"};
  const Bytes whole = testing::writeSav(cut, &layout);
  testing::TempFile noTermination(testing::truncated(whole, layout.terminationStart));
  EXPECT_EQ(ReadDocumentRecord(noTermination.path()).message, "file corrupt or larger than 2 Gb");
}

TEST(DocumentReader, MissingFile) {
  EXPECT_EQ(ReadDocumentRecord("/nonexistent/dir/x.sav").message, "file open error");
}

struct RealFile {
  const char* name;
  int lines;
  const char* first;  // the start of the first line
};

class DocumentReaderRealFiles : public ::testing::TestWithParam<RealFile> {};

TEST_P(DocumentReaderRealFiles, ReadsTheDocument) {
  const auto path = std::filesystem::path(BRINDLE_TESTDATA_DIR) / GetParam().name;
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
  const auto doc = ReadDocumentRecord(path.string());
  ASSERT_TRUE(doc.found) << doc.message;
  EXPECT_EQ(doc.lineCount, GetParam().lines);
  ASSERT_FALSE(doc.lines.empty());
  EXPECT_EQ(doc.lines[0].rfind(GetParam().first, 0), 0u) << doc.lines[0];
  for (const auto& line : doc.lines) EXPECT_EQ(line.size(), 80u);
}

INSTANTIATE_TEST_SUITE_P(Files, DocumentReaderRealFiles,
                         ::testing::Values(RealFile{"horticulture.sav", 2, ""},
                                           RealFile{"physiology.sav", 4, ""},
                                           RealFile{"pyreadstat_sample.sav", 4, ""}),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           return n.substr(0, n.find('.'));
                         });

}  // namespace
}  // namespace brindle

namespace brindle {
namespace {

TEST(DocumentWindowLines, ConvertsFromTheFileEncoding) {
  DocumentReadResult doc;
  doc.found = true;
  doc.lineCount = 1;
  doc.lines = {std::string("caf\xE9") + std::string(76, ' ')};
  const auto lines = DocumentWindowLines(doc, "windows-1252");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "caf\xC3\xA9" + std::string(76, ' '));
  EXPECT_EQ(DocumentWindowLines(doc, "UTF-8")[2].substr(0, 3),
            "caf");  // invalid byte replaced, not kept raw
}

}  // namespace
}  // namespace brindle

namespace brindle {
namespace {

// Whole files from the test writer: variables, value labels, the document,
// extension records (or none), data.
class WrittenDocument : public ::testing::TestWithParam<
                            std::tuple<int, bool, testing::Compression, testing::ByteOrder>> {};

TEST_P(WrittenDocument, ReadsEveryLine) {
  const auto [lines, extensions, compression, order] = GetParam();
  testing::SavFile f;
  f.compression = compression;
  f.byteOrder = order;
  auto v = testing::Variable::numeric("v1", "first");
  v.numericLabels = {{6, "six"}};  // a value-label record naming variable index 0 right before
  f.variables = {v, testing::Variable::string("s", 300)};
  for (int i = 0; i < lines; ++i) f.documents.push_back("line " + std::to_string(i + 1));
  f.integerInfo = f.floatInfo = f.displayParameters = f.longNames = f.veryLongStrings =
      f.extendedCaseCount = f.encodingRecord = extensions;
  f.cases = {{1.0, std::string("a")}, {6.0, std::string("b")}};
  testing::TempFile file(testing::writeSav(f));
  const auto doc = ReadDocumentRecord(file.path());
  ASSERT_TRUE(doc.found) << doc.message;
  ASSERT_EQ(doc.lineCount, lines);
  for (int i = 0; i < lines; ++i) EXPECT_EQ(doc.lines[i], Padded("line " + std::to_string(i + 1)));
}

INSTANTIATE_TEST_SUITE_P(
    LinesAndRecords, WrittenDocument,
    ::testing::Combine(::testing::Values(1, 3, 6, 7), ::testing::Bool(),
                       ::testing::Values(testing::Compression::None, testing::Compression::Bytecode,
                                         testing::Compression::Zsav),
                       ::testing::Values(testing::ByteOrder::Little, testing::ByteOrder::Big)));

}  // namespace
}  // namespace brindle
