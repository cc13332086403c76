// Compressed data that goes on past the cases the header counts: every kind
// of pass stops at the count, and the first one to get there looks at what
// follows, so that the file's warnings say that further cases were left
// unread and where they begin. Padding and the end code are not data.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "spssio/ColumnPass.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"

namespace brindle {
namespace {

using testing::Bytes;

// Bytecode of `cases` cases of `elements` numbers each, all small integers
// (one command each, no literals), the last group filled with padding or,
// with endInGroup, the end code first. Command k is at offset k.
Bytes CaseCodes(int elements, int cases, bool endInGroup) {
  Bytes out;
  for (int c = 0; c < cases; ++c)
    for (int e = 0; e < elements; ++e) out.push_back(std::uint8_t(100 + 1 + (c + e) % 50));
  if (out.size() % 8 != 0 && endInGroup) out.push_back(252);
  while (out.size() % 8 != 0) out.push_back(0);
  return out;
}

struct Row {
  const char* name;
  int elements;
  int written;      // cases in the data
  int counted;      // cases the header counts
  bool endInGroup;  // the end code right after the last case, in its group
  Bytes tail;       // bytecode after the cases' groups
  std::int64_t at;  // where further cases begin, in the bytecode; -1 none
};

const Bytes kZeros8(8, 0);

Bytes Join(std::vector<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Row kRows[] = {
    // 450 commands counted: the group at 448 holds more after its second.
    {"extra cases begin inside a group", 3, 200, 150, false, {}, 448},
    {"one extra case at the end of the last group", 3, 200, 199, false, {}, 592},
    // 400 commands counted, a whole number of groups: the next one has more.
    {"extra cases begin a group", 4, 200, 100, false, {}, 400},
    {"a case after a group of padding", 4, 100, 100, false, Join({kZeros8, CaseCodes(4, 1, false)}),
     408},
    {"exactly the count", 3, 200, 200, false, {}, -1},
    // Far into the data, past the first stretches read.
    {"extra cases after many", 3, 100000, 99990, false, {}, 299968},
    {"exactly the count of many", 5, 100000, 100000, false, Join({kZeros8, {252}}), -1},
    {"the count ends before the padding of the last group", 3, 199, 199, false, {}, -1},
    {"the end code in the last group", 3, 199, 199, true, {}, -1},
    {"the end code in a group of its own", 4, 100, 100, false, {252, 0, 0, 0, 0, 0, 0, 0}, -1},
    {"groups of padding", 4, 100, 100, false, Join({kZeros8, kZeros8}), -1},
    {"part of a group of padding", 4, 100, 100, false, {0, 0, 0, 0}, -1},
    {"cases after the end code are not data", 4, 100, 100, false,
     Join({{252, 0, 0, 0, 0, 0, 0, 0}, CaseCodes(4, 3, false)}), -1},
};

struct Built {
  Bytes bytes;
  std::int64_t dataStart = 0;  // of the bytecode in the file (bytecode files)
};

Built Build(const Row& row, testing::Compression compression, testing::ByteOrder order) {
  testing::SavFile f;
  f.compression = compression;
  f.byteOrder = order;
  for (int e = 0; e < row.elements; ++e)
    f.variables.push_back(testing::Variable::numeric("v" + std::to_string(e)));
  f.headerCases = row.counted;
  f.extendedCases = row.counted;
  const Bytes data = Join({CaseCodes(row.elements, row.written, row.endInGroup), row.tail});
  Built out;
  testing::SavLayout layout;
  if (compression == testing::Compression::Zsav) {
    out.bytes = testing::writeZsavBlocks(f, {data}, &layout);
  } else {
    // No cases: the data area is what comes after the dictionary.
    out.bytes = testing::writeSav(f, &layout);
    out.bytes.insert(out.bytes.end(), data.begin(), data.end());
  }
  out.dataStart = std::int64_t(layout.dataStart);
  return out;
}

// The passes there are: case by case (the value calls), columns straight
// from the file (one element in every few), and counting (no element).
struct Pass {
  const char* name;
  std::function<std::int64_t(SystemFile&)> run;  // the cases it read
};

const Pass kPasses[] = {
    {"case by case",
     [](SystemFile& f) {
       std::int64_t n = 0;
       f.rewind();
       while (f.readCase() == SPSS_OK) ++n;
       return n;
     }},
    {"columns",
     [](SystemFile& f) {
       ColumnPass columns(f, {1});
       if (!columns.valid()) return std::int64_t(-1);
       columns.setThreads(1);
       return columns.read({}, [](CaseBatch&) { return true; }).cases;
     }},
    {"counting", [](SystemFile& f) { return ColumnPass(f, {}).indexCases().cases; }},
};

TEST(DataBeyondCount, PassesWarnOnceWhenCompressedDataGoesOn) {
  for (const auto compression : {testing::Compression::Bytecode, testing::Compression::Zsav})
    for (const auto order : {testing::ByteOrder::Little, testing::ByteOrder::Big})
      for (const Row& row : kRows)
        for (const Pass& pass : kPasses) {
          const bool zsav = compression == testing::Compression::Zsav;
          SCOPED_TRACE(std::string(zsav ? "zsav, " : "bytecode, ") +
                       (order == testing::ByteOrder::Big ? "big endian, " : "little endian, ") +
                       row.name + ", " + pass.name);
          const Built built = Build(row, compression, order);
          std::shared_ptr<SystemFile> file;
          std::string error;
          EXPECT_EQ(SystemFile::openMemory(built.bytes.data(), built.bytes.size(), file, &error),
                    SPSS_OK)
              << error;
          if (!file) continue;
          const std::size_t atOpen = file->warnings().size();
          EXPECT_EQ(pass.run(*file), row.counted);
          // A second pass finds the same and adds nothing.
          EXPECT_EQ(pass.run(*file), row.counted);
          const std::vector<FileWarning> warnings = file->warnings();
          if (row.at < 0) {
            EXPECT_EQ(warnings.size(), atOpen);
            continue;
          }
          EXPECT_EQ(warnings.size(), atOpen + 1);
          if (warnings.size() != atOpen + 1) continue;
          const FileWarning& w = warnings.back();
          EXPECT_EQ(w.record, 0);
          const std::string counted = std::to_string(row.counted);
          std::string text =
              "the data goes on past the " + counted + " cases the file header counts";
          if (zsav) {
            EXPECT_EQ(w.offset, -1);
            text += ", at offset " + std::to_string(row.at) + " of the inflated data";
          } else {
            EXPECT_EQ(w.offset, built.dataStart + row.at);
          }
          EXPECT_EQ(w.text, text + "; only those are read");
        }
}

// The count from the extended case count record, when the header gives none,
// is the one named.
TEST(DataBeyondCount, NamesTheExtendedCountWhenThatIsUsed) {
  const Row row{"", 3, 20, 10, false, {}, 24};
  Built built = Build(row, testing::Compression::Bytecode, testing::ByteOrder::Little);
  // The header's count (at offset 80) unknown.
  for (int k = 0; k < 4; ++k) built.bytes[80 + k] = 0xFF;
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::openMemory(built.bytes.data(), built.bytes.size(), file), SPSS_OK);
  ASSERT_EQ(file->caseCount(), 10);
  EXPECT_EQ(ColumnPass(*file, {}).indexCases().cases, 10);
  const std::vector<FileWarning> warnings = file->warnings();
  ASSERT_FALSE(warnings.empty());
  EXPECT_EQ(warnings.back().text,
            "the data goes on past the 10 cases the extended case count record (type 7 subtype "
            "16) counts; only those are read");
}

}  // namespace
}  // namespace brindle
