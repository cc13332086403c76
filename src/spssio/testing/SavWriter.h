// A writer of SPSS system files for tests, benchmarks and fuzz seeds. It
// writes exactly what it is told, including lies (case counts, case sizes,
// missing records, injected bytes), so tests can build sound, unusual and
// damaged files alike. It does no encoding conversion: every text is bytes in
// the file's encoding. The program itself never writes system files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "spssio/testing/SavBytes.h"

namespace brindle::testing {

namespace detail {
class SavWriterEngine;
}

enum class Compression { None, Bytecode, Zsav };

// A print or write format: type code (5 = F, 1 = A, 20 = DATE, ...), field
// width and decimals. Each part is stored as one byte; values outside 0..255
// are cut to their low byte, so tests can write invalid formats.
struct Format {
  int type = 5;
  int width = 8;
  int decimals = 2;
  std::uint32_t packed() const;
};

// One variable of the dictionary as a user sees it. A string wider than 255
// bytes is written as 255-byte segments plus the very-long-string record.
struct Variable {
  std::string name;       // full name; a short name is derived unless shortName is set
  int width = 0;          // 0 numeric, else string width in bytes (1..32767)
  std::string shortName;  // the 8-byte record name; empty: generated, unique, upper case
  std::optional<std::string> label;
  std::optional<Format> print;  // default: F8.2 for numbers, A<width> for strings
  std::optional<Format> write;  // default: the print format

  // Numeric missing values as stored: missingCode 0 none, 1..3 discrete,
  // -2 range (missing[0]..missing[1]), -3 range plus missing[2].
  int missingCode = 0;
  double missing[3] = {0, 0, 0};
  // String missing values (1..3). Width <= 8: in the variable record, blank
  // padded to 8 bytes. Wider strings: in the long-string missing-values
  // record, first 8 bytes, blank padded.
  std::vector<std::string> stringMissing;

  // Value labels in the order given. Numeric labels and labels of strings up
  // to 8 bytes go into a value-label record pair of their own (labels are cut
  // to 255 bytes, the most a length byte holds); labels of wider strings go
  // into the long-string value-labels record (values padded to the width).
  std::vector<std::pair<double, std::string>> numericLabels;
  std::vector<std::pair<std::string, std::string>> stringLabels;

  // Display parameters (measure 1 nominal, 2 ordinal, 3 scale; alignment
  // 0 left, 1 right, 2 centre). Measure 0 means: 3 for numbers, 1 for strings.
  int measure = 0;
  int displayWidth = 8;
  int alignment = -1;  // -1: 1 for numbers, 0 for strings

  static Variable numeric(std::string name, std::optional<std::string> label = std::nullopt);
  static Variable string(std::string name, int width,
                         std::optional<std::string> label = std::nullopt);
};

// A case value: a number (system-missing is -DBL_MAX, see sysmis()) or the
// bytes of a string (blank padded or cut to the variable's width).
using Value = std::variant<double, std::string>;
using Case = std::vector<Value>;

double sysmis();          // -DBL_MAX
double lowestInRanges();  // the second-lowest double, LOWEST of old files

// Where injected bytes go.
enum class InjectAt {
  AfterHeader,        // before the first variable record
  AfterVariables,     // after the last variable record, before value labels
  BeforeDocument,     // after value labels, where the document record would start
  AfterDocument,      // after the document record(s), before extension records
  BeforeTermination,  // after extension records, before the 999 record
  AfterTermination,   // right after the 999 record, before the data
  AtEnd,              // after the data (after the ZSAV trailer)
};

struct Injection {
  InjectAt where;
  std::vector<std::uint8_t> bytes;
};

// An extension (type 7) record written as given; see extensionRecord() for
// the bytes. It is placed among the writer's own extension records in
// ascending order of subtype (after the writer's record of the same subtype).
struct RawExtension {
  int subtype = 0;
  int size = 1;
  int count = 0;  // size * count should equal data.size(); not checked
  std::vector<std::uint8_t> data;
};

// Everything the file will hold except, for the streaming writer, its cases.
struct SavFile {
  Compression compression = Compression::Bytecode;
  ByteOrder byteOrder = ByteOrder::Little;
  std::int32_t layoutCode = 2;
  double bias = 100.0;
  std::optional<std::string> recordType;  // default "$FL2", "$FL3" for ZSAV
  std::string product = "@(#) SPSS DATA FILE Brindle test writer";  // padded to 60
  std::optional<std::int32_t> headerCases;                          // default: the true count
  std::optional<std::int32_t> nominalCaseSize;  // default: the true count of 8-byte elements
  std::optional<std::int32_t> compressionCode;  // default: 0, 1 or 2 by compression
  std::string weight;                           // full name of the weight variable; empty: none
  std::optional<std::int32_t> weightIndex;      // overrides the index derived from weight
  std::string creationDate = "14 Mar 24";       // 9 bytes, blank padded or cut
  std::string creationTime = "13:45:10";        // 8 bytes
  std::string fileLabel;                        // 64 bytes, blank padded

  std::vector<Variable> variables;

  std::vector<std::string> documents;             // each line blank padded or cut to 80 bytes
  bool documentsTwice = false;                    // write the document record twice
  std::optional<std::int32_t> documentLineCount;  // overrides n_lines (the lines written stay)

  // Extension records of the writer's own; each can be switched off.
  bool integerInfo = true;  // subtype 3
  std::int32_t characterCode = 65001;
  std::optional<std::int32_t> endiannessCode;  // default 1 big, 2 little by byteOrder
  bool floatInfo = true;                       // subtype 4
  bool displayParameters = true;               // subtype 11, one entry per variable record segment
  bool longNames = true;          // subtype 13, written when a name differs from its short name
  bool veryLongStrings = true;    // subtype 14, written when a string is wider than 255
  bool extendedCaseCount = true;  // subtype 16
  std::optional<std::int64_t> extendedCases;  // default: the true count
  bool encodingRecord = true;                 // subtype 20
  std::string encoding = "UTF-8";
  std::vector<RawExtension> extraExtensions;

  std::vector<Injection> injections;

  // Data.
  bool bytecodeEndCode = false;            // write code 252 after the last case
  std::uint32_t zlibBlockSize = 0x3ff000;  // uncompressed bytes per ZSAV block

  std::vector<Case> cases;  // used by writeSav(); the streaming writer ignores it
};

// Byte offsets of what was written, so tests can cut or patch the file at
// every record boundary.
struct RecordMark {
  int type = 0;     // 1 header ("$FL2"), 2, 3, 4, 6, 7, 999; 0 injected bytes
  int subtype = 0;  // for type 7
  std::uint64_t offset = 0;
  std::uint64_t end = 0;
};

struct SavLayout {
  std::uint64_t headerEnd = 0;         // 176
  std::vector<RecordMark> records;     // in file order
  std::uint64_t terminationStart = 0;  // the 999 record
  std::uint64_t dataStart = 0;         // after the 999 record (ZSAV: the zlib header)
  std::uint64_t dataEnd = 0;           // end of data (ZSAV: end of the trailer)
  std::uint64_t fileSize = 0;
  std::int64_t casesWritten = 0;
  std::int32_t elementsPerCase = 0;             // 8-byte elements per case
  std::vector<std::uint64_t> zlibBlockOffsets;  // ZSAV: each compressed block's start
  std::uint64_t zlibTrailerStart = 0;
};

// Writes the whole file, with file.cases, to memory.
std::vector<std::uint8_t> writeSav(const SavFile& file, SavLayout* layout = nullptr);
// Writes the whole file, with file.cases, to path. Throws std::runtime_error
// when the file cannot be written.
void writeSavFile(const SavFile& file, const std::string& path, SavLayout* layout = nullptr);

// A ZSAV file with file's dictionary (its cases are not written) whose data
// is one zlib block for each of blocks, each inflating to the bytes given
// (bytecode, as the reader decodes it), behind a data header and trailer
// that tell the truth; the trailer's block size is the first block's. The
// case counts are -1 unless file gives them; bytes injected after the data
// are not written. Tests patch the header or trailer to make them lie.
std::vector<std::uint8_t> writeZsavBlocks(const SavFile& file,
                                          const std::vector<std::vector<std::uint8_t>>& blocks,
                                          SavLayout* layout = nullptr);

// Writes the dictionary at construction, then one case per appendCase,
// without keeping the cases; finish() completes the counts and the ZSAV
// trailer and closes the file. Throws std::invalid_argument for a case that
// does not fit the dictionary and std::runtime_error on write failures.
class SavStreamWriter {
 public:
  SavStreamWriter(const SavFile& file, const std::string& path);
  ~SavStreamWriter();
  SavStreamWriter(const SavStreamWriter&) = delete;
  SavStreamWriter& operator=(const SavStreamWriter&) = delete;

  void appendCase(const Case& values);
  SavLayout finish();

 private:
  std::unique_ptr<detail::SavWriterEngine> m_impl;
};

// SPSS's encrypted wrapper around the bytes of a whole file: the 36-byte
// header naming kind ("SAV" for a system file), then plain with PKCS #7
// padding, encrypted with AES-256 in ECB mode under the key derived from
// password. With pad false, plain must be a whole number of 16-byte blocks
// and is encrypted as it stands, so tests can write their own padding.
// Throws std::invalid_argument for such a plain of another size and
// std::runtime_error when the crypto library fails.
struct WrapOptions {
  std::string kind = "SAV";
  bool pad = true;
};
std::vector<std::uint8_t> encryptWrapper(const std::vector<std::uint8_t>& plain,
                                         std::string_view password,
                                         const WrapOptions& options = {});

}  // namespace brindle::testing
