#include "datafile/DocumentReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

// Builds the bytes of a file the way the document scan sees it: a 176-byte
// header (never interpreted) followed by 32-bit integers and raw text.
class Bytes {
 public:
  Bytes() : m_b(176, 0) {}
  Bytes& Int(std::int32_t v, bool bigEndian = false) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
      const int shift = bigEndian ? 24 - 8 * i : 8 * i;
      m_b.push_back(static_cast<unsigned char>(u >> shift));
    }
    return *this;
  }
  Bytes& Text(const std::string& s) {
    m_b.insert(m_b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& Lines(const std::vector<std::string>& lines) {
    for (auto l : lines) {
      l.resize(80, ' ');
      Text(l);
    }
    return *this;
  }
  Bytes& Document(const std::vector<std::string>& lines) {
    return Int(6).Int(static_cast<std::int32_t>(lines.size())).Lines(lines);
  }
  Bytes& IntegerInfo() {  // a subtype-3 record: 8 integers
    Int(7).Int(3).Int(4).Int(8);
    for (int i = 0; i < 8; ++i) Int(i + 1);
    return *this;
  }
  Bytes& Extension(int subtype, int count) {
    Int(7).Int(subtype).Int(1).Int(count);
    m_b.insert(m_b.end(), static_cast<std::size_t>(count), 'x');
    return *this;
  }
  Bytes& End() { return Int(999).Int(0); }
  const std::vector<unsigned char>& data() const { return m_b; }
  std::vector<unsigned char>& data() { return m_b; }

 private:
  std::vector<unsigned char> m_b;
};

class TempFile {
 public:
  explicit TempFile(const std::vector<unsigned char>& bytes) {
    static int serial = 0;
    m_path =
        (std::filesystem::temp_directory_path() /
         ("brindle_doc_" + std::to_string(::getpid()) + "_" + std::to_string(serial++) + ".sav"))
            .string();
    std::ofstream(m_path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() { std::remove(m_path.c_str()); }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

DocumentReadResult Read(const Bytes& b) { return ReadDocumentRecord(TempFile(b.data()).path()); }

std::string Padded(std::string s) {
  s.resize(80, ' ');
  return s;
}

TEST(DocumentReader, ThreeLinesBeforeExtensionRecords) {
  Bytes b;
  b.Int(2).Document({"first line", "second", "   third   "}).IntegerInfo().Extension(11, 12).End();
  b.Int(0).Int(0);  // data behind the dictionary is never read for the document
  const auto doc = Read(b);
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

TEST(DocumentReader, ValueLabelIndexSixBeforeTheDocument) {
  // The value-label variables record names variable 6 just before the
  // document record: two 6s in a row, yet the document has 4 lines.
  Bytes b;
  b.Int(4).Int(1).Int(6).Document({"a", "b", "c", "d"}).IntegerInfo().End();
  const auto doc = Read(b);
  ASSERT_TRUE(doc.found) << doc.message;
  EXPECT_EQ(doc.lineCount, 4);
  EXPECT_EQ(doc.lines.front(), Padded("a"));
}

TEST(DocumentReader, SixLinesCountEqualToRecordType) {
  Bytes b;
  b.Int(2).Document({"a", "b", "c", "d", "e", "f"}).IntegerInfo().End();
  const auto doc = Read(b);
  ASSERT_TRUE(doc.found) << doc.message;
  EXPECT_EQ(doc.lineCount, 6);
  EXPECT_EQ(doc.lines.front(), Padded("a"));
  EXPECT_EQ(doc.lines.back(), Padded("f"));
}

TEST(DocumentReader, DocumentFollowedDirectlyByTerminationRecord) {
  Bytes b;
  b.Int(2).Document({"only", ""}).End();
  const auto doc = Read(b);
  ASSERT_TRUE(doc.found) << doc.message;
  EXPECT_EQ(doc.lines, (std::vector<std::string>{Padded("only"), std::string(80, ' ')}));
}

TEST(DocumentReader, CountCheckFailures) {
  Bytes between;  // another extension record stands between the lines and subtype 3
  between.Int(2).Document({"x"}).Extension(11, 16).IntegerInfo().End();
  EXPECT_EQ(Read(between).message, "unable to find number of document lines");

  Bytes noSubtype3;
  noSubtype3.Int(2).Document({"x"}).Extension(11, 16).End();
  EXPECT_EQ(Read(noSubtype3).message, "unable to find number of document lines");

  Bytes lyingCount;
  lyingCount.Int(2).Int(6).Int(5).Lines({"one", "two"}).End();
  const auto doc = Read(lyingCount);
  EXPECT_FALSE(doc.found);
  EXPECT_EQ(doc.message, "unable to find number of document lines");
}

TEST(DocumentReader, SmallFiles) {
  std::vector<unsigned char> tiny(183, 0);
  EXPECT_EQ(ReadDocumentRecord(TempFile(tiny).path()).message, "file corrupt or larger than 2 Gb");

  Bytes headerOnly;
  headerOnly.End();
  ASSERT_EQ(headerOnly.data().size(), 184u);
  EXPECT_EQ(Read(headerOnly).message, "cannot find document");
}

TEST(DocumentReader, NoTerminationRecordShowsNothing) {
  Bytes b;
  b.Int(2).Document({"a"}).IntegerInfo();
  const auto doc = Read(b);
  EXPECT_FALSE(doc.found);
  EXPECT_EQ(doc.message, "");
}

// The header's layout code (2 or 3) tells the byte order of the integers;
// without one they are read little-endian.
TEST(DocumentReader, ByteOrderFromTheLayoutCode) {
  Bytes b;
  b.Int(2, true).Int(6, true).Int(1, true).Lines({"line"}).Int(999, true).Int(0, true);
  EXPECT_FALSE(Read(b).found);
  for (std::uint8_t code : {2, 3}) {
    b.data()[67] = code;
    const auto doc = Read(b);
    ASSERT_TRUE(doc.found) << doc.message;
    EXPECT_EQ(doc.lines, std::vector<std::string>{Padded("line")});
  }
}

TEST(DocumentReader, MissingFile) {
  EXPECT_EQ(ReadDocumentRecord("/nonexistent/dir/x.sav").message, "file open error");
}

TEST(DocumentReader, TerminationRecordAcrossReadChunks) {
  // A long extension record pushes the termination record across the 1 MiB
  // boundary at which the file is read piecewise.
  Bytes b;
  b.Int(2).Document({"doc"}).IntegerInfo();
  const auto before = static_cast<int>(b.data().size()) + 16;
  b.Extension(10, (1 << 20) - 4 - before).End();
  ASSERT_EQ(b.data().size(), (1u << 20) + 4);
  const auto doc = Read(b);
  // The document region runs to the subtype-3 record, so the lines are found.
  ASSERT_TRUE(doc.found) << doc.message;
  EXPECT_EQ(doc.lines, std::vector<std::string>{Padded("doc")});
}

TEST(DocumentReader, ScansStayInsideTheBytes) {
  const std::vector<unsigned char> empty;
  std::int32_t count = -1;
  EXPECT_EQ(FindDictionaryEnd(empty), 0);
  EXPECT_EQ(FindDocumentEnd(empty, 0), 0);
  EXPECT_EQ(FindDocumentStart(empty, 0, count), 0);
  Bytes b;
  b.Int(6);  // a record type with no count behind it
  EXPECT_EQ(FindDocumentStart(b.data(), static_cast<std::int64_t>(b.data().size()) + 4, count), 0);
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
