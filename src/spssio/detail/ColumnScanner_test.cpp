// The case decoder: passes over some elements against the every-element
// rows spssReadCaseRecord hands out (the same bytes for every case, whatever
// the layout, the elements asked for and the batch sizes, and the same
// stopping point and code), and bytecode decoded from memory.
#include "spssio/detail/FileAccess.h"
#include "spssio/detail/ColumnScanner.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <tuple>

#include "spssio/Spssio.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/SavReader.h"
#include "spssio/detail/ZsavInflater.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::Compression;

// n one-element variables; every fourth a string of 8 bytes. Values mix
// compressible integers, literals, system-missing and blanks.
testing::SavFile Layout(Compression compression, int n, int cases) {
  testing::SavFile f;
  f.compression = compression;
  f.zlibBlockSize = 1000;  // blocks that end inside cases and groups
  for (int v = 0; v < n; ++v)
    f.variables.push_back(v % 4 == 3 ? testing::Variable::string("s" + std::to_string(v), 8)
                                     : testing::Variable::numeric("v" + std::to_string(v)));
  for (int c = 0; c < cases; ++c) {
    testing::Case row;
    for (int v = 0; v < n; ++v) {
      const int k = (c * 7 + v * 3) % 11;
      if (v % 4 == 3)
        row.push_back(k < 4 ? std::string() : std::string("ab") + char('a' + k));
      else if (k < 5)
        row.push_back(double(k * 10 - 20));
      else if (k < 8)
        row.push_back(c * 0.37 + v);
      else if (k < 10)
        row.push_back(-DBL_MAX);
      else
        row.push_back(1e6 + c);
    }
    f.cases.push_back(row);
  }
  return f;
}

using Bytes = std::vector<std::uint8_t>;

Bytes Literal(double d) {
  Bytes b(8);
  std::memcpy(b.data(), &d, 8);
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

double AsDouble(const std::uint8_t* p, bool swap = false) {
  std::uint64_t bits;
  std::memcpy(&bits, p, 8);
  if (swap) bits = byteSwap64(bits);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

struct Decoded {
  std::vector<Bytes> rows;  // every element of each case
  int code = 0;             // what ended the data
  std::string error;
};

// A pass over elements, read with the given helper threads: the asked-for
// elements of each case, and how the data ended.
Decoded Pass(BlockFile& file, const CaseLayout& layout, const std::vector<std::size_t>& elements,
             unsigned threads) {
  ColumnScanner scanner;
  scanner.open(file, layout, elements, nullptr, threads);
  Decoded out;
  while (const std::size_t got = scanner.read(3))
    for (std::size_t i = 0; i < got; ++i) {
      Bytes row;
      for (std::size_t e : elements) {
        const std::uint8_t* value = scanner.row(i) + 8 * scanner.slotOf(e);
        row.insert(row.end(), value, value + 8);
      }
      out.rows.push_back(std::move(row));
    }
  out.code = scanner.status();
  out.error = scanner.error();
  return out;
}

// Bytecode read ahead on another thread, in stretches that end anywhere (in
// a command group, in a literal, on a group's first byte), gives what the
// case stream gives: the same elements of the same cases, the same end.
void ExpectSameWhenReadAhead(BlockFile& file, CaseLayout layout, const Decoded& whole) {
  const std::int64_t dataBytes = file.size() - layout.dataStart;
  const std::size_t n = layout.elementCount;
  std::vector<std::vector<std::size_t>> selections = {{0}, {n - 1}, {0, n - 1}, {}};
  for (std::size_t e = 0; e < n; e += 2) selections.back().push_back(e);
  if (n > 9) selections.push_back({n / 2, 8});
  for (std::size_t stretch : {1u, 7u, 8u, 9u, 71u, 72u, 73u, 4096u}) {
    if (dataBytes / std::int64_t(stretch) > 400) continue;  // each read is a task
    layout.readAheadStretch = stretch;
    for (const std::vector<std::size_t>& elements : selections) {
      SCOPED_TRACE(::testing::Message() << "stretch " << stretch << ", " << elements.size()
                                        << " elements from " << elements.front());
      const Decoded ahead = Pass(file, layout, elements, 1);
      ASSERT_EQ(ahead.rows.size(), whole.rows.size());
      for (std::size_t c = 0; c < whole.rows.size(); ++c)
        for (std::size_t k = 0; k < elements.size(); ++k)
          ASSERT_EQ(std::memcmp(&ahead.rows[c][8 * k], &whole.rows[c][8 * elements[k]], 8), 0)
              << "case " << c << " element " << elements[k];
      EXPECT_EQ(ahead.code, whole.code);
      EXPECT_EQ(ahead.error, whole.error);
    }
  }
}

using Param =
    std::tuple<Compression, int, bool, bool>;  // compression, variables, end code, case limit

class ColumnScannerTest : public ::testing::TestWithParam<Param> {};

TEST_P(ColumnScannerTest, SameBytesAsTheCaseStream) {
  const auto [compression, n, endCode, limited] = GetParam();
  const int cases = 300;
  testing::SavFile f = Layout(compression, n, cases);
  f.bytecodeEndCode = endCode;
  if (limited) {
    f.headerCases = cases - 7;
    f.extendedCases = cases - 7;
  }
  testing::TempFile file(testing::writeSav(f));
  int handle = -1;
  std::shared_ptr<SystemFile> sav;
  ASSERT_EQ(SystemFile::open(file.path(), sav), SPSS_OK);
  ASSERT_EQ(RegisterHandle(sav, &handle), SPSS_OK);
  SavReader& reader = FileAccess::reader(*sav);

  // The reference: the rows spssReadCaseRecord hands out, every element.
  std::vector<std::vector<std::uint8_t>> rows;
  int last;
  while ((last = spssReadCaseRecord(handle)) == SPSS_OK)
    rows.emplace_back(reader.cases().row(), reader.cases().row() + 8 * n);
  EXPECT_EQ(rows.size(), std::size_t(limited ? cases - 7 : cases));

  const std::vector<std::vector<std::size_t>> selections = {
      {0}, {std::size_t(n - 1)}, {std::size_t(n / 2), 0, std::size_t(n / 2)}, {}};
  for (auto elements : selections) {
    if (elements.empty())
      for (int e = 0; e < n; ++e) elements.push_back(std::size_t(e));
    for (std::size_t want : {1u, 7u, 1000u}) {
      SCOPED_TRACE(::testing::Message() << elements.size() << " elements, batches of " << want);
      ColumnScanner scanner;
      ASSERT_EQ(scanner.start(reader, elements), SPSS_OK);
      std::size_t at = 0;
      for (;;) {
        const std::size_t got = scanner.read(want);
        for (std::size_t i = 0; i < got; ++i, ++at) {
          ASSERT_LT(at, rows.size());
          for (std::size_t e : elements)
            ASSERT_EQ(
                std::memcmp(scanner.row(i) + 8 * scanner.slotOf(e), rows[at].data() + 8 * e, 8), 0)
                << "case " << at << " element " << e;
        }
        if (got < want) break;
      }
      EXPECT_EQ(at, rows.size());
      EXPECT_EQ(scanner.status(), last);
      scanner.finish();
    }
  }
  if (compression == Compression::Bytecode) {
    BlockFile own;
    ASSERT_TRUE(own.openSame(reader.file()));
    ExpectSameWhenReadAhead(own, reader.cases().layout(), Decoded{rows, last, ""});
  }
  // A compressed file's case index: a pass from any of its points, many of
  // them inside a case or a command group, gives the cases from there on.
  // ZSAV has one only where whole blocks inflate alone (with libdeflate);
  // zlib's stream is read from the start.
  if (compression == Compression::Bytecode ||
      (compression == Compression::Zsav && ZsavBlockInflater::available())) {
    ColumnScanner indexing;
    ASSERT_EQ(indexing.start(reader, {}, 7), SPSS_OK);
    while (indexing.read(1000)) {
    }
    indexing.finish();
    ASSERT_NE(reader.caseIndex(), nullptr);
    BlockFile own;
    ASSERT_TRUE(own.openSame(reader.file()));
    std::vector<std::size_t> all(std::size_t(n), 0);
    for (std::size_t e = 0; e < all.size(); ++e) all[e] = e;
    for (const CasePoint& point : reader.caseIndex()->points) {
      SCOPED_TRACE(::testing::Message() << "from case " << point.firstCase());
      ColumnScanner part;
      ASSERT_EQ(part.startSegment(reader, own, all, {point, std::int64_t(rows.size())}), SPSS_OK);
      std::size_t at = std::size_t(point.firstCase());
      while (const std::size_t got = part.read(13))
        for (std::size_t i = 0; i < got; ++i, ++at)
          ASSERT_TRUE(at < rows.size() &&
                      std::memcmp(part.row(i), rows[at].data(), 8 * all.size()) == 0)
              << "case " << at;
      EXPECT_EQ(at, rows.size());
    }
    // Seeking, forwards and back, starts from the index's points.
    for (std::size_t k : {std::size_t(150), std::size_t(0), std::size_t(7), std::size_t(8),
                          std::size_t(6), rows.size() - 1, rows.size()}) {
      ASSERT_EQ(reader.cases().seek(std::int64_t(k)), SPSS_OK) << k;
      if (k == rows.size()) {
        EXPECT_EQ(reader.cases().next(), last);
        continue;
      }
      ASSERT_EQ(reader.cases().next(), SPSS_OK) << k;
      EXPECT_EQ(std::memcmp(reader.cases().row(), rows[k].data(), 8 * std::size_t(n)), 0) << k;
    }
    EXPECT_EQ(reader.cases().seek(std::int64_t(rows.size()) + 1), SPSS_INVALID_CASE);
    reader.cases().rewind();
  }
  // The module's stream reads from the start again after Finish.
  EXPECT_EQ(spssReadCaseRecord(handle), SPSS_OK);
  EXPECT_EQ(std::memcmp(reader.cases().row(), rows[0].data(), 8 * std::size_t(n)), 0);
  spssCloseRead(handle);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ColumnScannerTest,
                         ::testing::Combine(::testing::Values(Compression::None,
                                                              Compression::Bytecode,
                                                              Compression::Zsav),
                                            ::testing::Values(1, 3, 8, 9, 21), ::testing::Bool(),
                                            ::testing::Bool()));

TEST(ColumnScanner, ElementOutsideTheCase) {
  testing::TempFile file(testing::writeSav(Layout(Compression::Bytecode, 2, 3)));
  int handle = -1;
  std::shared_ptr<SystemFile> sav;
  ASSERT_EQ(SystemFile::open(file.path(), sav), SPSS_OK);
  ASSERT_EQ(RegisterHandle(sav, &handle), SPSS_OK);
  ColumnScanner scanner;
  EXPECT_EQ(scanner.start(FileAccess::reader(*sav), {2}), SPSS_INVALID_ARGUMENT);
  EXPECT_EQ(scanner.read(10), 0u);
  spssCloseRead(handle);
}

// Bytecode data alone, read case by case; every pass over a part of the
// elements must give those elements of the same cases and end the same way.
Decoded DecodeBytecode(const Bytes& bytecode, std::size_t elements, double bias = 100,
                       bool swap = false) {
  CaseLayout layout;
  layout.compression = 1;
  layout.bias = bias;
  layout.swap = swap;
  layout.elementCount = elements;
  layout.dataStart = 8;  // after bytes that stand for the dictionary
  Bytes data(8, 0xFF);
  data.insert(data.end(), bytecode.begin(), bytecode.end());
  BlockFile file;
  EXPECT_TRUE(file.openMemory(data.data(), data.size()));
  CaseCursor cursor;
  EXPECT_EQ(cursor.start(&file, layout), SPSS_OK);
  Decoded out;
  while ((out.code = cursor.next()) == SPSS_OK)
    out.rows.emplace_back(cursor.row(), cursor.row() + 8 * elements);
  out.error = cursor.error();
  for (std::size_t e = 0; e < elements; ++e) {
    ColumnScanner one;
    one.open(file, layout, {e});
    std::size_t at = 0;
    while (const std::size_t got = one.read(5))
      for (std::size_t i = 0; i < got; ++i, ++at)
        EXPECT_TRUE(at < out.rows.size() &&
                    std::memcmp(one.row(i), out.rows[at].data() + 8 * e, 8) == 0)
            << "case " << at << " element " << e;
    EXPECT_EQ(at, out.rows.size());
    EXPECT_EQ(one.status(), out.code);
  }
  ExpectSameWhenReadAhead(file, layout, out);
  return out;
}

// Two cases of three elements: numbers, a literal, spaces, system-missing
// and padding codes.
const Bytes kTwoRows =
    Concat({Bytes{101, 253, 254, 255, 0, 100, 253, 0}, Literal(3.25), Literal(-7.5)});

TEST(CaseDecoder, DecodesEveryKindOfCode) {
  const Decoded d = DecodeBytecode(kTwoRows, 3);
  ASSERT_EQ(d.rows.size(), 2u);
  EXPECT_EQ(AsDouble(&d.rows[0][0]), 1.0);
  EXPECT_EQ(AsDouble(&d.rows[0][8]), 3.25);
  EXPECT_EQ(std::memcmp(&d.rows[0][16], "        ", 8), 0);
  EXPECT_EQ(AsDouble(&d.rows[1][0]), -DBL_MAX);
  EXPECT_EQ(AsDouble(&d.rows[1][8]), 0.0);
  EXPECT_EQ(AsDouble(&d.rows[1][16]), -7.5);
  EXPECT_EQ(d.code, SPSS_FILE_END);
}

TEST(CaseDecoder, BiasOtherThan100AndSwappedOrder) {
  const Bytes data{1, 251, 0, 0, 0, 0, 0, 0};
  const Decoded d = DecodeBytecode(data, 2, 0.0, true);
  ASSERT_EQ(d.rows.size(), 1u);
  EXPECT_EQ(AsDouble(&d.rows[0][0], true), 1.0);
  EXPECT_EQ(AsDouble(&d.rows[0][8], true), 251.0);
  const Decoded neg = DecodeBytecode(data, 1, -50.0);
  ASSERT_EQ(neg.rows.size(), 2u);
  EXPECT_EQ(AsDouble(&neg.rows[0][0]), 51.0);
}

// Millions of elements, so that the data spans several of the file's
// blocks and command groups and literals are cut at every kind of place.
TEST(CaseDecoder, CrossesTheFileBlocks) {
  Bytes data;
  std::vector<double> want;
  Bytes codes, literals;
  for (int k = 0; data.size() < 3 * BlockFile::kBlockSize; ++k) {
    const double value = k % 3 ? double(k % 150) : k * 0.5;
    codes.push_back(k % 3 ? std::uint8_t(k % 150 + 100) : 253);
    if (k % 3 == 0) {
      const Bytes l = Literal(value);
      literals.insert(literals.end(), l.begin(), l.end());
    }
    want.push_back(value);
    if (codes.size() == 8) {
      data.insert(data.end(), codes.begin(), codes.end());
      data.insert(data.end(), literals.begin(), literals.end());
      codes.clear();
      literals.clear();
    }
  }
  want.resize(want.size() - codes.size());
  const std::size_t elements = 7;
  const Decoded d = DecodeBytecode(data, elements);
  ASSERT_EQ(d.rows.size(), want.size() / elements);
  for (std::size_t c = 0; c < d.rows.size(); ++c)
    for (std::size_t e = 0; e < elements; ++e)
      ASSERT_EQ(AsDouble(&d.rows[c][8 * e]), want[c * elements + e]) << c << " " << e;
  EXPECT_EQ(d.code, want.size() % elements ? SPSS_FILE_TRUNCATED : SPSS_FILE_END);
}

// Where bytecode stops: the cases before it, and the code and message after.
struct EndCase {
  const char* name;
  Bytes data;
  std::size_t elements;
  std::size_t cases;
  int code;
  const char* message;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class CaseDecoderEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(CaseDecoderEnd, StopsWithItsCode) {
  const EndCase& c = GetParam();
  const Decoded d = DecodeBytecode(c.data, c.elements);
  EXPECT_EQ(d.rows.size(), c.cases);
  EXPECT_EQ(d.code, c.code);
  EXPECT_NE(d.error.find(c.message), std::string::npos) << d.error;
}

INSTANTIATE_TEST_SUITE_P(
    Data, CaseDecoderEnd,
    ::testing::Values(
        EndCase{"EndCode", Bytes{101, 102, 252, 103, 0, 0, 0, 0}, 1, 2, SPSS_FILE_END, ""},
        EndCase{"EndInsideCase", Bytes{101, 102, 103, 104, 252, 0, 0, 0}, 3, 1, SPSS_BAD_DATA,
                "case 2: the end-of-data code comes inside the case"},
        EndCase{"LiteralCut", Bytes{101, 253, 0, 0, 0, 0, 0, 0, 1, 2, 3}, 1, 1, SPSS_FILE_TRUNCATED,
                "case 2: the compressed data ends inside it"},
        EndCase{"GroupCut", Bytes{101, 101, 101}, 2, 0, SPSS_FILE_TRUNCATED, "case 1"},
        EndCase{"CodesForHalfACase", Bytes{101, 101, 101, 0, 0, 0, 0, 0}, 2, 1, SPSS_FILE_TRUNCATED,
                "case 2"},
        EndCase{"CleanEnd", Bytes{101, 101, 0, 0, 0, 0, 0, 0}, 2, 1, SPSS_FILE_END, ""},
        EndCase{"Empty", Bytes{}, 2, 0, SPSS_FILE_END, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes in memory are read as they are, an empty buffer as an empty file
// (no file of the system's stands in for it).
TEST(BlockFileTest, MemoryIsReadAsItIs) {
  const std::uint8_t bytes[5] = {1, 2, 3, 4, 5};
  BlockFile empty;
  ASSERT_TRUE(empty.openMemory(bytes, 0));
  EXPECT_EQ(empty.size(), 0);
  EXPECT_EQ(empty.fillSome(), 0u);
  BlockFile some;
  ASSERT_TRUE(some.openMemory(bytes, 5));
  ASSERT_TRUE(some.seek(3));
  ASSERT_TRUE(some.ensure(2));
  EXPECT_EQ(some.data()[1], 5);
  EXPECT_FALSE(some.ensure(3));
  BlockFile again;
  ASSERT_TRUE(again.openSame(some));
  ASSERT_TRUE(again.ensure(5));
  EXPECT_EQ(again.data()[0], 1);
}

}  // namespace
}  // namespace brindle
