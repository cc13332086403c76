// The writer is checked against an independent reader: PSPP, when installed,
// must read back exactly what was written. The layout report and the
// streaming writer are checked against the whole-file writer.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle::testing {
namespace {

constexpr const char* kPspp = "/usr/bin/pspp";

// PSPP is a program of the build machine: a Windows test (under Wine) cannot
// start it, though its path is reachable.
bool PsppAvailable() {
#ifdef _WIN32
  return false;
#else
  return std::filesystem::exists(kPspp);
#endif
}

std::string runPspp(const std::string& syntax) {
  TempFile script(textBytes(syntax), ".sps");
  const std::string command = std::string(kPspp) + " -O format=csv " + script.path() + " 2>&1";
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
  }
  return out;
}

// A dictionary with one of everything the writer knows, and cases.
SavFile richFile(Compression compression, ByteOrder order) {
  SavFile f;
  f.compression = compression;
  f.byteOrder = order;
  f.zlibBlockSize = 256;  // several blocks even for a small file
  f.fileLabel = "Writer check";
  f.documents = {"First document line", "Second"};

  Variable id = Variable::numeric("id", "Identifier");
  id.numericLabels = {{1, "One"}, {2, "Two"}};
  id.missingCode = -3;
  id.missing[0] = 90;
  id.missing[1] = 99;
  id.missing[2] = -1;
  Variable disc = Variable::numeric("DISC");
  disc.missingCode = 2;
  disc.missing[0] = 7;
  disc.missing[1] = 8.5;
  Variable low = Variable::numeric("low");
  low.missingCode = -2;
  low.missing[0] = lowestInRanges();
  low.missing[1] = 0;
  Variable s1 = Variable::string("s1", 1);
  s1.stringLabels = {{"a", "Letter a"}};
  s1.stringMissing = {"x"};
  Variable s9 = Variable::string("s9", 9, std::string(300, 'L'));
  s9.stringLabels = {{"abcdefghi", "nine letters"}};
  s9.stringMissing = {"zzz"};
  Variable longA = Variable::string("LongVariableA", 300);
  Variable longB = Variable::numeric("LongVariableB");
  Variable vls = Variable::string("VeryLongString", 600);
  Variable w = Variable::numeric("weight");
  w.print = Format{5, 8, 1};
  Variable when = Variable::numeric("when");
  when.print = Format{20, 11, 0};
  f.variables = {id, disc, low, s1, s9, longA, longB, vls, w, when};
  f.weight = "weight";
  for (int i = 0; i < 40; ++i)
    f.cases.push_back({double(i), i * 0.25, -1e300 * i, std::string(1, char('a' + i % 3)),
                       std::string("123456789"), std::string(299, 'p') + "q", double(1000 + i),
                       std::string(300, 'x') + std::string(299, 'y') + "z",
                       i == 3 ? sysmis() : 1.5 * i, 13000000000.0 + i * 86400});
  return f;
}

struct Variant {
  Compression compression;
  ByteOrder order;
  const char* compressionText;
};

class PsppReadsWriterFiles : public ::testing::TestWithParam<Variant> {};

TEST_P(PsppReadsWriterFiles, DictionaryAndCasesComeBackAsWritten) {
  if (!PsppAvailable()) GTEST_SKIP() << "pspp not installed";
  const Variant v = GetParam();
  TempFile file(writeSav(richFile(v.compression, v.order)));
  const std::string out = runPspp("SYSFILE INFO FILE='" + file.path() + "'.\nGET FILE='" +
                                  file.path() + "'.\nDISPLAY DOCUMENTS.\nLIST.\n");
  // The small zlib block size is the only thing PSPP may remark on.
  for (std::size_t at = out.find("warning"); at != std::string::npos;
       at = out.find("warning", at + 1)) {
    const std::string line = out.substr(at, out.find('\n', at) - at);
    EXPECT_NE(line.find("ZLIB trailer specifies unexpected"), std::string::npos) << line;
  }
  EXPECT_EQ(out.find("error"), std::string::npos) << out;

  for (const std::string& expected : std::vector<std::string>{
           "Label,Writer check",
           "Cases,40",
           "Weight,weight",
           std::string("Compression,") + v.compressionText,
           "Encoding,UTF-8",
           "Documents,\"First document line\nSecond\"",
           "id,1,Identifier,Scale,Input,8,Right,F8.2,F8.2,90 THRU 99; -1",
           "DISC,2,,Scale,Input,8,Right,F8.2,F8.2,7; 8.5",
           "low,3,,Scale,Input,8,Right,F8.2,F8.2,LOWEST THRU 0",
           "s1,4,,Nominal,Input,8,Left,A1,A1,\"\"\"x\"\"\"",
           "s9,5," + std::string(300, 'L') + ",Nominal,Input,8,Left,A9,A9,\"\"\"zzz     \"\"\"",
           "LongVariableA,6,,Nominal,Input,8,Left,A300,A300,",
           "LongVariableB,7,",
           "VeryLongString,8,",
           "weight,9,,Scale,Input,8,Right,F8.1,F8.1,",
           "when,10,,Scale,Input,8,Right,DATE11,DATE11,",
           "Identifier,1.00,One\n,2.00,Two\ns1,a,Letter a\n",
           ",abcdefghi,nine letters",
           "id,DISC,low,s1,s9,LongVariableA,LongVariableB,VeryLongString,weight,when\n",
           "3.00,.75,-3E+300,a,123456789," + std::string(299, 'p') + "q,1003.00," +
               std::string(300, 'x') + std::string(299, 'y') + "z,. ,29-SEP-1994\n",
           "39.00,9.75,",
       })
    EXPECT_NE(out.find(expected), std::string::npos) << "missing: " << expected << "\n--- output:\n"
                                                     << out;
}

INSTANTIATE_TEST_SUITE_P(EachCompressionAndByteOrder, PsppReadsWriterFiles,
                         ::testing::Values(Variant{Compression::None, ByteOrder::Little, "None"},
                                           Variant{Compression::None, ByteOrder::Big, "None"},
                                           Variant{Compression::Bytecode, ByteOrder::Little, "SAV"},
                                           Variant{Compression::Bytecode, ByteOrder::Big, "SAV"},
                                           Variant{Compression::Zsav, ByteOrder::Little, "ZSAV"},
                                           Variant{Compression::Zsav, ByteOrder::Big, "ZSAV"}));

// Text of exactly width bytes whose every 252- and 255-byte stretch differs,
// so a segment stored in the wrong place shows.
std::string patterned(int width) {
  std::string s;
  for (int i = 0; i < width; ++i) s += char('A' + (i / 7) % 26);
  return s;
}

TEST(SavWriter, PsppReadsStringsOfEveryWidthAndLyingHeaders) {
  if (!PsppAvailable()) GTEST_SKIP() << "pspp not installed";
  const std::vector<int> widths = {1, 8, 9, 255, 256, 300, 2000};
  for (Compression c : {Compression::None, Compression::Bytecode, Compression::Zsav}) {
    SavFile f;
    f.compression = c;
    f.byteOrder = c == Compression::Bytecode ? ByteOrder::Little : ByteOrder::Big;
    // Header fields that lie or say "unknown"; the data still holds three cases.
    f.headerCases = -1;
    f.extendedCaseCount = false;
    f.nominalCaseSize = c == Compression::None ? 0 : -1;
    Case first, second, third;
    for (int w : widths) {
      f.variables.push_back(Variable::string("w" + std::to_string(w), w));
      first.push_back(patterned(w));
      second.push_back(std::string(w > 3 ? "end" : ""));
      third.push_back(std::string(static_cast<std::size_t>(w), ' '));
    }
    f.variables.push_back(Variable::numeric("n"));
    first.push_back(1e10);
    second.push_back(-0.5);
    third.push_back(sysmis());
    f.cases = {first, second, third};
    TempFile file(writeSav(f));
    const std::string out = runPspp("GET FILE='" + file.path() + "'.\nLIST.\n");
    EXPECT_EQ(out.find("warning"), std::string::npos) << out;
    std::string header = "w1";
    std::string row1 = patterned(1);
    for (std::size_t i = 1; i < widths.size(); ++i) {
      header += ",w" + std::to_string(widths[i]);
      row1 += "," + patterned(widths[i]);
    }
    EXPECT_NE(out.find(header + ",n\n" + row1 + ",1.0E+010\n"), std::string::npos) << out;
    EXPECT_NE(out.find(",end,end,end,end,end,end,-.50\n"), std::string::npos) << out;
    EXPECT_NE(out.find(",,,,,,,.  \n"), std::string::npos) << out;
  }
}

TEST(SavWriter, StreamingWriterWritesTheSameBytesAsTheWholeFileWriter) {
  for (Compression c : {Compression::None, Compression::Bytecode, Compression::Zsav}) {
    SavFile f = richFile(c, ByteOrder::Big);
    SavLayout whole;
    const Bytes expected = writeSav(f, &whole);
    TempFile file;
    {
      SavStreamWriter w(f, file.path());
      for (const Case& row : f.cases) w.appendCase(row);
      const SavLayout streamed = w.finish();
      EXPECT_EQ(streamed.fileSize, whole.fileSize);
      EXPECT_EQ(streamed.dataStart, whole.dataStart);
    }
    EXPECT_EQ(readFileBytes(file.path()), expected) << "compression " << int(c);
  }
}

TEST(SavWriter, LayoutNamesEveryRecordBoundary) {
  SavFile f = richFile(Compression::Zsav, ByteOrder::Little);
  f.injections = {{InjectAt::AfterDocument, textBytes("JUNK")}};
  SavLayout layout;
  const Bytes bytes = writeSav(f, &layout);
  EXPECT_EQ(layout.headerEnd, 176u);
  EXPECT_EQ(layout.fileSize, bytes.size());
  ASSERT_FALSE(layout.records.empty());
  EXPECT_EQ(layout.records.front().offset, 0u);
  for (std::size_t i = 1; i < layout.records.size(); ++i)
    EXPECT_EQ(layout.records[i].offset, layout.records[i - 1].end) << "record " << i;
  EXPECT_EQ(layout.records.back().type, 999);
  EXPECT_EQ(layout.records.back().end, layout.dataStart);
  EXPECT_EQ(
      Bytes(bytes.begin() + long(layout.terminationStart), bytes.begin() + long(layout.dataStart)),
      (Bytes{0xe7, 3, 0, 0, 0, 0, 0, 0}));
  int injected = 0;
  for (const RecordMark& r : layout.records)
    if (r.type == 0) {
      ++injected;
      EXPECT_EQ(Bytes(bytes.begin() + long(r.offset), bytes.begin() + long(r.end)),
                textBytes("JUNK"));
    }
  EXPECT_EQ(injected, 1);
  EXPECT_GT(layout.zlibBlockOffsets.size(), 2u);
  EXPECT_EQ(layout.dataEnd, bytes.size());
}

TEST(SavWriter, ShortNamesAreUniqueUpperCaseAndAtMostEightBytes) {
  SavFile f;
  f.compression = Compression::None;
  f.variables = {Variable::numeric("average_a"), Variable::numeric("average_b"),
                 Variable::numeric("AVERAGE_"), Variable::string("averages", 700)};
  const Bytes bytes = writeSav(f);
  std::vector<std::string> names;
  for (std::size_t at = 176; at + 32 <= bytes.size();) {
    if (bytes[at] != 2) break;
    names.emplace_back(bytes.begin() + long(at + 24), bytes.begin() + long(at + 32));
    at += 32;  // no labels or missing values here
  }
  std::vector<std::string> named;
  for (const std::string& n : names)
    if (n != std::string(8, ' ')) named.push_back(n);
  ASSERT_EQ(named.size(), 3u + 3u);  // three numbers, three segments
  std::set<std::string> unique(named.begin(), named.end());
  EXPECT_EQ(unique.size(), named.size());
  for (const std::string& n : named)
    for (char c : n) EXPECT_FALSE(c >= 'a' && c <= 'z') << n;
}

}  // namespace
}  // namespace brindle::testing
