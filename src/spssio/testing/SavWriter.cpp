#include "spssio/testing/SavWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <stdexcept>
#ifndef _WIN32
#include <sys/types.h>
#endif

namespace brindle::testing {

std::uint32_t Format::packed() const {
  return (static_cast<std::uint32_t>(type & 0xff) << 16) |
         (static_cast<std::uint32_t>(width & 0xff) << 8) |
         static_cast<std::uint32_t>(decimals & 0xff);
}

Variable Variable::numeric(std::string name, std::optional<std::string> label) {
  Variable v;
  v.name = std::move(name);
  v.label = std::move(label);
  return v;
}

Variable Variable::string(std::string name, int width, std::optional<std::string> label) {
  Variable v;
  v.name = std::move(name);
  v.width = width;
  v.label = std::move(label);
  return v;
}

double sysmis() { return -DBL_MAX; }
double lowestInRanges() { return std::nextafter(-DBL_MAX, 0.0); }

namespace {

// Where the bytes go: memory for small tests, a file for big ones. Counts
// are patched in place once the data is written.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(const std::uint8_t* data, std::size_t n) = 0;
  virtual void patch(std::uint64_t offset, const Bytes& bytes) = 0;
  virtual void close() {}
  std::uint64_t size() const { return m_size; }
  void write(const Bytes& b) { write(b.data(), b.size()); }

 protected:
  std::uint64_t m_size = 0;
};

class VectorSink : public Sink {
 public:
  void write(const std::uint8_t* data, std::size_t n) override {
    m_bytes.insert(m_bytes.end(), data, data + n);
    m_size += n;
  }
  void patch(std::uint64_t offset, const Bytes& bytes) override {
    patchBytes(m_bytes, static_cast<std::size_t>(offset), bytes);
  }
  Bytes take() { return std::move(m_bytes); }

 private:
  Bytes m_bytes;
};

class FileSink : public Sink {
 public:
  explicit FileSink(const std::string& path) : m_path(path) {
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) throw std::runtime_error("cannot create " + path);
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
  }
  ~FileSink() override {
    if (m_file) std::fclose(m_file);
  }
  void write(const std::uint8_t* data, std::size_t n) override {
    // Cases arrive 8 bytes at a time; gather them before calling the library.
    m_pending.insert(m_pending.end(), data, data + n);
    m_size += n;
    if (m_pending.size() >= (1u << 20)) drain();
  }
  void patch(std::uint64_t offset, const Bytes& bytes) override {
    drain();
    if (std::fflush(m_file) != 0 || seek(offset, SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size() ||
        seek(0, SEEK_END) != 0)
      fail();
  }
  void close() override {
    drain();
    std::FILE* f = m_file;
    m_file = nullptr;
    if (std::fclose(f) != 0) fail();
  }

 private:
  // Files past 2 GiB need 64-bit positions, which plain fseek lacks on Windows.
  int seek(std::uint64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(m_file, static_cast<long long>(offset), whence);
#else
    return fseeko(m_file, static_cast<off_t>(offset), whence);
#endif
  }
  void drain() {
    if (!m_pending.empty() &&
        std::fwrite(m_pending.data(), 1, m_pending.size(), m_file) != m_pending.size())
      fail();
    m_pending.clear();
  }
  [[noreturn]] void fail() { throw std::runtime_error("cannot write " + m_path); }
  std::string m_path;
  std::FILE* m_file = nullptr;
  Bytes m_pending;
};

// One variable record and its continuation records: a whole variable, or one
// segment of a very long string.
struct Segment {
  int width = 0;                // 0 numeric, else the record's string width
  int elements = 1;             // 8-byte elements of the case
  std::string name;             // the record's 8-byte name
  std::size_t valueOffset = 0;  // first byte of the string value stored here
  std::size_t valueBytes = 0;   // bytes of the string value stored here
  std::int32_t dictIndex = 0;   // dictionary index of the record
};

struct VarLayout {
  std::vector<Segment> segments;
};

bool isSysmis(double d) {
  const double s = -DBL_MAX;
  return std::memcmp(&d, &s, sizeof d) == 0;
}

std::string upperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// The first n bytes of s, not cutting a UTF-8 sequence.
std::string cutUtf8(const std::string& s, std::size_t n) {
  if (s.size() <= n) return s;
  std::size_t end = n;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  return s.substr(0, end);
}

class ShortNames {
 public:
  void reserve(const std::string& name) { m_used.insert(upperAscii(name)); }
  // An unused name of at most 8 bytes built from base: base itself when free,
  // else base shortened to make room for a suffix _A, _B, ..., _Z, _AA, ...
  std::string make(const std::string& base) {
    std::string stem = cutUtf8(upperAscii(base), 8);
    if (stem.empty()) stem = "V";
    if (m_used.insert(stem).second) return stem;
    for (unsigned n = 0;; ++n) {
      std::string suffix;
      for (unsigned k = n + 1; k > 0; k = (k - 1) / 26)
        suffix.insert(suffix.begin(), char('A' + (k - 1) % 26));
      suffix.insert(suffix.begin(), '_');
      std::string candidate = cutUtf8(stem, 8 - suffix.size()) + suffix;
      if (m_used.insert(candidate).second) return candidate;
    }
  }

 private:
  std::set<std::string> m_used;
};

}  // namespace

namespace detail {

// The writer proper, shared by writeSav, writeSavFile and SavStreamWriter.
class SavWriterEngine {
 public:
  SavWriterEngine(const SavFile& file, std::unique_ptr<Sink> sink)
      : m_file(file), m_sink(std::move(sink)) {
    if (m_file.compression == Compression::Zsav && m_file.zlibBlockSize == 0)
      throw std::invalid_argument("zlib block size 0");
    m_file.cases.clear();
    planVariables();
    writeDictionary();
    startData();
  }

  void appendCase(const Case& values);
  SavLayout finish();
  Sink& sink() { return *m_sink; }

 private:
  Bytes& rec() { return m_buf; }
  void flushRecord(int type, int subtype);
  void inject(InjectAt where);
  void planVariables();
  void writeDictionary();
  void writeHeader();
  void writeVariableRecords();
  void writeValueLabels();
  void writeDocuments();
  void writeExtensions();
  std::int32_t weightIndex() const;
  void startData();
  void putElement(const std::uint8_t* raw, bool numeric, double number);
  void emitData(const std::uint8_t* data, std::size_t n);
  void flushGroup();
  void compressBlock(std::size_t n);

  SavFile m_file;
  std::unique_ptr<Sink> m_sink;
  std::vector<VarLayout> m_vars;
  std::int32_t m_elements = 0;
  Bytes m_buf;
  SavLayout m_layout;
  std::uint64_t m_ncasesOffset = 0, m_extendedCasesOffset = 0;
  bool m_patchHeaderCases = false, m_patchExtendedCases = false;

  // Bytecode: the current group of codes and its uncompressible values.
  std::uint8_t m_codes[8] = {};
  int m_nCodes = 0;
  Bytes m_groupData;
  // ZSAV: bytecode awaiting compression, and the blocks written.
  Bytes m_block;
  struct Block {
    std::uint64_t uncompressedOffset, compressedOffset;
    std::uint32_t uncompressedSize, compressedSize;
  };
  std::vector<Block> m_blocks;
  std::uint64_t m_uncompressedOffset = 0;
  std::uint64_t m_zheaderOffset = 0;
  Bytes m_element;  // scratch for one string value laid out in elements
  bool m_finished = false;
};

void SavWriterEngine::flushRecord(int type, int subtype) {
  RecordMark mark{type, subtype, m_sink->size(), m_sink->size() + m_buf.size()};
  m_sink->write(m_buf);
  m_layout.records.push_back(mark);
  m_buf.clear();
}

void SavWriterEngine::inject(InjectAt where) {
  for (const Injection& inj : m_file.injections) {
    if (inj.where != where) continue;
    m_buf = inj.bytes;
    flushRecord(0, 0);
  }
}

void SavWriterEngine::planVariables() {
  ShortNames names;
  for (const Variable& v : m_file.variables)
    if (!v.shortName.empty()) names.reserve(v.shortName);
  std::int32_t index = 0;
  for (const Variable& v : m_file.variables) {
    if (v.width < 0 || v.width > 32767) throw std::invalid_argument("bad width for " + v.name);
    VarLayout layout;
    const std::string shortName = v.shortName.empty() ? names.make(v.name) : v.shortName;
    if (v.width <= 255) {
      Segment s;
      s.width = v.width;
      s.elements = v.width == 0 ? 1 : (v.width + 7) / 8;
      s.name = shortName;
      s.valueBytes = static_cast<std::size_t>(v.width);
      layout.segments.push_back(s);
    } else {
      // Each segment but the last is 255 wide and holds 255 bytes of the
      // value; the last is the remaining width, counted in 252s.
      const int n = (v.width + 251) / 252;
      for (int i = 0; i < n; ++i) {
        Segment s;
        s.width = i + 1 < n ? 255 : v.width - (n - 1) * 252;
        s.elements = (s.width + 7) / 8;
        s.name = i == 0 ? shortName : names.make(cutUtf8(shortName, 5) + std::to_string(i));
        s.valueOffset = static_cast<std::size_t>(i) * 255;
        const std::size_t remaining =
            static_cast<std::size_t>(v.width) - std::min<std::size_t>(s.valueOffset, v.width);
        s.valueBytes = std::min<std::size_t>(255, remaining);
        layout.segments.push_back(s);
      }
    }
    for (Segment& s : layout.segments) {
      s.dictIndex = index;
      index += s.elements;
    }
    m_vars.push_back(std::move(layout));
  }
  m_elements = index;
  m_layout.elementsPerCase = index;
}

void SavWriterEngine::writeDictionary() {
  writeHeader();
  inject(InjectAt::AfterHeader);
  writeVariableRecords();
  inject(InjectAt::AfterVariables);
  writeValueLabels();
  inject(InjectAt::BeforeDocument);
  writeDocuments();
  inject(InjectAt::AfterDocument);
  writeExtensions();
  inject(InjectAt::BeforeTermination);
  m_layout.terminationStart = m_sink->size();
  putInt32(m_buf, 999, m_file.byteOrder);
  putInt32(m_buf, 0, m_file.byteOrder);
  flushRecord(999, 0);
  inject(InjectAt::AfterTermination);
  m_layout.dataStart = m_sink->size();
}

std::int32_t SavWriterEngine::weightIndex() const {
  if (m_file.weightIndex) return *m_file.weightIndex;
  if (m_file.weight.empty()) return 0;
  for (std::size_t i = 0; i < m_file.variables.size(); ++i)
    if (m_file.variables[i].name == m_file.weight) return m_vars[i].segments[0].dictIndex + 1;
  throw std::invalid_argument("no weight variable " + m_file.weight);
}

void SavWriterEngine::writeHeader() {
  const ByteOrder o = m_file.byteOrder;
  const bool zsav = m_file.compression == Compression::Zsav;
  putPadded(m_buf, m_file.recordType.value_or(zsav ? "$FL3" : "$FL2"), 4);
  putPadded(m_buf, m_file.product, 60);
  putInt32(m_buf, m_file.layoutCode, o);
  putInt32(m_buf, m_file.nominalCaseSize.value_or(m_elements), o);
  putInt32(m_buf, m_file.compressionCode.value_or(static_cast<std::int32_t>(m_file.compression)),
           o);
  putInt32(m_buf, weightIndex(), o);
  m_ncasesOffset = m_buf.size();
  m_patchHeaderCases = !m_file.headerCases.has_value();
  putInt32(m_buf, m_file.headerCases.value_or(-1), o);
  putDouble(m_buf, m_file.bias, o);
  putPadded(m_buf, m_file.creationDate, 9);
  putPadded(m_buf, m_file.creationTime, 8);
  putPadded(m_buf, m_file.fileLabel, 64);
  putPadded(m_buf, "", 3, '\0');
  flushRecord(1, 0);
  m_layout.headerEnd = m_sink->size();
}

void SavWriterEngine::writeVariableRecords() {
  const ByteOrder o = m_file.byteOrder;
  for (std::size_t i = 0; i < m_file.variables.size(); ++i) {
    const Variable& v = m_file.variables[i];
    for (std::size_t k = 0; k < m_vars[i].segments.size(); ++k) {
      const Segment& s = m_vars[i].segments[k];
      const bool first = k == 0;
      const Format fallback = s.width == 0 ? Format{5, 8, 2} : Format{1, s.width, 0};
      const Format print = first ? v.print.value_or(fallback) : fallback;
      const Format write = first ? v.write.value_or(print) : fallback;
      const bool hasLabel = first && v.label.has_value();

      // Missing values in the record: numbers, or strings of up to 8 bytes.
      std::int32_t nMissing = 0;
      if (first && v.width == 0) {
        nMissing = v.missingCode;
      } else if (first && v.width <= 8 && (v.missingCode != 0 || !v.stringMissing.empty())) {
        nMissing =
            v.missingCode != 0 ? v.missingCode : static_cast<std::int32_t>(v.stringMissing.size());
      }

      putInt32(m_buf, 2, o);
      putInt32(m_buf, s.width, o);
      putInt32(m_buf, hasLabel ? 1 : 0, o);
      putInt32(m_buf, nMissing, o);
      putInt32(m_buf, static_cast<std::int32_t>(print.packed()), o);
      putInt32(m_buf, static_cast<std::int32_t>(write.packed()), o);
      putPadded(m_buf, s.name, 8);
      if (hasLabel) {
        putInt32(m_buf, static_cast<std::int32_t>(v.label->size()), o);
        putPadded(m_buf, *v.label, (v.label->size() + 3) / 4 * 4);
      }
      const int count = std::min(std::abs(nMissing), 3);
      for (int m = 0; m < count; ++m) {
        if (v.width == 0)
          putDouble(m_buf, v.missing[m], o);
        else
          putPadded(m_buf, m < static_cast<int>(v.stringMissing.size()) ? v.stringMissing[m] : "",
                    8);
      }
      flushRecord(2, 0);

      // Continuation records of a string wider than 8 bytes.
      for (int c = 1; c < s.elements; ++c) {
        putInt32(m_buf, 2, o);
        putInt32(m_buf, -1, o);
        putInt32(m_buf, 0, o);
        putInt32(m_buf, 0, o);
        putInt32(m_buf, static_cast<std::int32_t>(Format{1, 8, 0}.packed()), o);
        putInt32(m_buf, static_cast<std::int32_t>(Format{1, 8, 0}.packed()), o);
        putPadded(m_buf, "", 8);
        flushRecord(2, 0);
      }
    }
  }
}

void SavWriterEngine::writeValueLabels() {
  const ByteOrder o = m_file.byteOrder;
  for (std::size_t i = 0; i < m_file.variables.size(); ++i) {
    const Variable& v = m_file.variables[i];
    if (v.width > 8) continue;  // the long-string record carries these
    const std::size_t n = v.width == 0 ? v.numericLabels.size() : v.stringLabels.size();
    if (n == 0) continue;
    putInt32(m_buf, 3, o);
    putInt32(m_buf, static_cast<std::int32_t>(n), o);
    for (std::size_t k = 0; k < n; ++k) {
      if (v.width == 0)
        putDouble(m_buf, v.numericLabels[k].first, o);
      else
        putPadded(m_buf, v.stringLabels[k].first, 8);
      std::string_view label = v.width == 0 ? v.numericLabels[k].second : v.stringLabels[k].second;
      if (label.size() > 255) label = label.substr(0, 255);
      m_buf.push_back(static_cast<std::uint8_t>(label.size()));
      // Length byte and label together fill whole 8-byte units.
      putPadded(m_buf, label, (label.size() + 1 + 7) / 8 * 8 - 1);
    }
    flushRecord(3, 0);
    putInt32(m_buf, 4, o);
    putInt32(m_buf, 1, o);
    putInt32(m_buf, m_vars[i].segments[0].dictIndex + 1, o);
    flushRecord(4, 0);
  }
}

void SavWriterEngine::writeDocuments() {
  if (m_file.documents.empty() && !m_file.documentLineCount) return;
  for (int copy = 0; copy < (m_file.documentsTwice ? 2 : 1); ++copy) {
    putInt32(m_buf, 6, m_file.byteOrder);
    putInt32(m_buf,
             m_file.documentLineCount.value_or(static_cast<std::int32_t>(m_file.documents.size())),
             m_file.byteOrder);
    for (const std::string& line : m_file.documents) putPadded(m_buf, line, 80);
    flushRecord(6, 0);
  }
}

void SavWriterEngine::writeExtensions() {
  const ByteOrder o = m_file.byteOrder;
  struct Ext {
    int subtype;
    Bytes bytes;
  };
  std::vector<Ext> exts;
  auto add = [&](int subtype, int size, const Bytes& data) {
    exts.push_back(
        {subtype, extensionRecord(subtype, size, static_cast<int>(data.size() / size), data, o)});
  };

  if (m_file.integerInfo) {
    Bytes d;
    for (std::int32_t x : {1, 0, 0, -1, 1, 1}) putInt32(d, x, o);
    putInt32(d, m_file.endiannessCode.value_or(o == ByteOrder::Big ? 1 : 2), o);
    putInt32(d, m_file.characterCode, o);
    add(3, 4, d);
  }
  if (m_file.floatInfo) {
    Bytes d;
    putDouble(d, -DBL_MAX, o);
    putDouble(d, DBL_MAX, o);
    putDouble(d, lowestInRanges(), o);
    add(4, 8, d);
  }
  if (m_file.displayParameters && !m_file.variables.empty()) {
    Bytes d;
    for (const Variable& v : m_file.variables) {
      const std::size_t segments = m_vars[&v - m_file.variables.data()].segments.size();
      for (std::size_t k = 0; k < segments; ++k) {
        putInt32(d, v.measure != 0 ? v.measure : (v.width == 0 ? 3 : 1), o);
        putInt32(d, v.displayWidth, o);
        putInt32(d, v.alignment >= 0 ? v.alignment : (v.width == 0 ? 1 : 0), o);
      }
    }
    add(11, 4, d);
  }
  if (m_file.longNames) {
    bool needed = false;
    Bytes d;
    for (std::size_t i = 0; i < m_file.variables.size(); ++i) {
      const std::string& shortName = m_vars[i].segments[0].name;
      needed = needed || shortName != m_file.variables[i].name;
      if (i) d.push_back('\t');
      putText(d, shortName);
      d.push_back('=');
      putText(d, m_file.variables[i].name);
    }
    if (needed) add(13, 1, d);
  }
  if (m_file.veryLongStrings) {
    Bytes d;
    for (std::size_t i = 0; i < m_file.variables.size(); ++i) {
      if (m_file.variables[i].width <= 255) continue;
      char width[16];
      std::snprintf(width, sizeof width, "%05d", m_file.variables[i].width);
      putText(d, m_vars[i].segments[0].name);
      d.push_back('=');
      putText(d, width);
      d.push_back('\0');
      d.push_back('\t');
    }
    if (!d.empty()) add(14, 1, d);
  }
  if (m_file.extendedCaseCount) {
    Bytes d;
    putInt64(d, 1, o);
    m_patchExtendedCases = !m_file.extendedCases.has_value();
    putInt64(d, m_file.extendedCases.value_or(-1), o);
    add(16, 8, d);
  }
  if (m_file.encodingRecord) add(20, 1, textBytes(m_file.encoding));
  {
    Bytes d;
    for (const Variable& v : m_file.variables) {
      if (v.width <= 8 || v.stringLabels.empty()) continue;
      putInt32(d, static_cast<std::int32_t>(v.name.size()), o);
      putText(d, v.name);
      putInt32(d, v.width, o);
      putInt32(d, static_cast<std::int32_t>(v.stringLabels.size()), o);
      for (const auto& [value, label] : v.stringLabels) {
        putInt32(d, v.width, o);
        putPadded(d, value, static_cast<std::size_t>(v.width));
        putInt32(d, static_cast<std::int32_t>(label.size()), o);
        putText(d, label);
      }
    }
    if (!d.empty()) add(21, 1, d);
  }
  {
    Bytes d;
    for (const Variable& v : m_file.variables) {
      if (v.width <= 8 || v.stringMissing.empty()) continue;
      putInt32(d, static_cast<std::int32_t>(v.name.size()), o);
      putText(d, v.name);
      d.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(v.stringMissing.size(), 3)));
      for (std::size_t m = 0; m < v.stringMissing.size() && m < 3; ++m) {
        putInt32(d, 8, o);
        putPadded(d, v.stringMissing[m], 8);
      }
    }
    if (!d.empty()) add(22, 1, d);
  }
  for (const RawExtension& raw : m_file.extraExtensions)
    exts.push_back({raw.subtype, extensionRecord(raw.subtype, raw.size, raw.count, raw.data, o)});
  std::stable_sort(exts.begin(), exts.end(),
                   [](const Ext& a, const Ext& b) { return a.subtype < b.subtype; });

  for (Ext& e : exts) {
    if (e.subtype == 16) m_extendedCasesOffset = m_sink->size() + 16 + 8;
    m_buf = std::move(e.bytes);
    flushRecord(7, e.subtype);
  }
}

void SavWriterEngine::startData() {
  if (m_file.compression == Compression::Zsav) {
    // The zlib header is patched once the trailer's place is known.
    m_zheaderOffset = m_sink->size();
    m_uncompressedOffset = m_zheaderOffset;
    Bytes zero(24, 0);
    m_sink->write(zero);
  }
}

void SavWriterEngine::emitData(const std::uint8_t* data, std::size_t n) {
  if (m_file.compression != Compression::Zsav) {
    m_sink->write(data, n);
    return;
  }
  m_block.insert(m_block.end(), data, data + n);
  while (m_block.size() >= m_file.zlibBlockSize) compressBlock(m_file.zlibBlockSize);
}

void SavWriterEngine::compressBlock(std::size_t n) {
  uLongf outSize = compressBound(static_cast<uLong>(n));
  Bytes out(outSize);
  if (compress2(out.data(), &outSize, m_block.data(), static_cast<uLong>(n), 1) != Z_OK)
    throw std::runtime_error("zlib compression failed");
  Block b;
  b.uncompressedOffset = m_uncompressedOffset;
  b.compressedOffset = m_sink->size();
  b.uncompressedSize = static_cast<std::uint32_t>(n);
  b.compressedSize = static_cast<std::uint32_t>(outSize);
  m_blocks.push_back(b);
  m_layout.zlibBlockOffsets.push_back(b.compressedOffset);
  m_uncompressedOffset += n;
  m_sink->write(out.data(), outSize);
  m_block.erase(m_block.begin(), m_block.begin() + static_cast<std::ptrdiff_t>(n));
}

void SavWriterEngine::flushGroup() {
  if (m_nCodes == 0) return;
  std::fill(m_codes + m_nCodes, m_codes + 8, std::uint8_t{0});
  emitData(m_codes, 8);
  if (!m_groupData.empty()) emitData(m_groupData.data(), m_groupData.size());
  m_groupData.clear();
  m_nCodes = 0;
}

void SavWriterEngine::putElement(const std::uint8_t* raw, bool numeric, double number) {
  if (m_file.compression == Compression::None) {
    emitData(raw, 8);
    return;
  }
  std::uint8_t code = 253;
  if (numeric) {
    if (isSysmis(number)) {
      code = 255;
    } else {
      const double c = number + m_file.bias;
      if (number == std::floor(number) && c >= 1 && c <= 251 && c == std::floor(c) &&
          c - m_file.bias == number)
        code = static_cast<std::uint8_t>(c);
    }
  } else if (std::all_of(raw, raw + 8, [](std::uint8_t b) { return b == ' '; })) {
    code = 254;
  }
  m_codes[m_nCodes++] = code;
  if (code == 253) m_groupData.insert(m_groupData.end(), raw, raw + 8);
  if (m_nCodes == 8) flushGroup();
}

void SavWriterEngine::appendCase(const Case& values) {
  if (m_finished) throw std::logic_error("case after finish");
  if (values.size() != m_file.variables.size())
    throw std::invalid_argument("case has " + std::to_string(values.size()) + " values for " +
                                std::to_string(m_file.variables.size()) + " variables");
  const ByteOrder o = m_file.byteOrder;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const Variable& v = m_file.variables[i];
    if (v.width == 0) {
      const double* d = std::get_if<double>(&values[i]);
      if (!d) throw std::invalid_argument("string value for numeric variable " + v.name);
      m_element.clear();
      putDouble(m_element, *d, o);
      putElement(m_element.data(), true, *d);
      continue;
    }
    const std::string* s = std::get_if<std::string>(&values[i]);
    if (!s) throw std::invalid_argument("number for string variable " + v.name);
    for (const Segment& seg : m_vars[i].segments) {
      m_element.assign(static_cast<std::size_t>(seg.elements) * 8, ' ');
      if (seg.valueOffset < s->size()) {
        const std::size_t n = std::min(seg.valueBytes, s->size() - seg.valueOffset);
        std::memcpy(m_element.data(), s->data() + seg.valueOffset, n);
      }
      for (int e = 0; e < seg.elements; ++e) putElement(m_element.data() + 8 * e, false, 0);
    }
  }
  ++m_layout.casesWritten;
}

SavLayout SavWriterEngine::finish() {
  if (m_finished) return m_layout;
  m_finished = true;
  const ByteOrder o = m_file.byteOrder;
  if (m_file.compression != Compression::None) {
    if (m_file.bytecodeEndCode) {
      m_codes[m_nCodes++] = 252;
      if (m_nCodes == 8) flushGroup();
    }
    flushGroup();
  }
  if (m_file.compression == Compression::Zsav) {
    if (!m_block.empty()) compressBlock(m_block.size());
    const std::uint64_t trailerOffset = m_sink->size();
    const std::uint64_t trailerLength = 24 + 24 * m_blocks.size();
    Bytes t;
    putInt64(t, -static_cast<std::int64_t>(m_file.bias), o);
    putInt64(t, 0, o);
    putInt32(t, static_cast<std::int32_t>(m_file.zlibBlockSize), o);
    putInt32(t, static_cast<std::int32_t>(m_blocks.size()), o);
    for (const Block& b : m_blocks) {
      putInt64(t, static_cast<std::int64_t>(b.uncompressedOffset), o);
      putInt64(t, static_cast<std::int64_t>(b.compressedOffset), o);
      putInt32(t, static_cast<std::int32_t>(b.uncompressedSize), o);
      putInt32(t, static_cast<std::int32_t>(b.compressedSize), o);
    }
    m_sink->write(t);
    m_layout.zlibTrailerStart = trailerOffset;
    Bytes h;
    putInt64(h, static_cast<std::int64_t>(m_zheaderOffset), o);
    putInt64(h, static_cast<std::int64_t>(trailerOffset), o);
    putInt64(h, static_cast<std::int64_t>(trailerLength), o);
    m_sink->patch(m_zheaderOffset, h);
  }
  m_layout.dataEnd = m_sink->size();
  inject(InjectAt::AtEnd);
  if (m_patchHeaderCases) {
    // A count the 32-bit field cannot hold is written as unknown.
    const std::int64_t n = m_layout.casesWritten;
    m_sink->patch(m_ncasesOffset, int32Bytes(n > INT32_MAX ? -1 : static_cast<std::int32_t>(n), o));
  }
  if (m_patchExtendedCases && m_extendedCasesOffset) {
    Bytes b;
    putInt64(b, m_layout.casesWritten, o);
    m_sink->patch(m_extendedCasesOffset, b);
  }
  m_layout.fileSize = m_sink->size();
  m_sink->close();
  return m_layout;
}

}  // namespace detail

std::vector<std::uint8_t> writeSav(const SavFile& file, SavLayout* layout) {
  auto sink = std::make_unique<VectorSink>();
  VectorSink* raw = sink.get();
  detail::SavWriterEngine w(file, std::move(sink));
  for (const Case& c : file.cases) w.appendCase(c);
  SavLayout l = w.finish();
  if (layout) *layout = std::move(l);
  return raw->take();
}

void writeSavFile(const SavFile& file, const std::string& path, SavLayout* layout) {
  detail::SavWriterEngine w(file, std::make_unique<FileSink>(path));
  for (const Case& c : file.cases) w.appendCase(c);
  SavLayout l = w.finish();
  if (layout) *layout = std::move(l);
}

std::vector<std::uint8_t> writeZsavBlocks(const SavFile& file,
                                          const std::vector<std::vector<std::uint8_t>>& blocks,
                                          SavLayout* layout) {
  SavFile dictionary = file;
  dictionary.compression = Compression::Zsav;
  dictionary.cases.clear();
  if (!dictionary.headerCases) dictionary.headerCases = -1;
  if (!dictionary.extendedCases) dictionary.extendedCases = -1;
  SavLayout l;
  Bytes out = writeSav(dictionary, &l);
  out.resize(l.dataStart);  // the data header and trailer come anew
  const ByteOrder o = dictionary.byteOrder;
  const std::int64_t headerAt = static_cast<std::int64_t>(l.dataStart);
  Bytes data, trailer;
  putInt64(trailer, -static_cast<std::int64_t>(dictionary.bias), o);
  putInt64(trailer, 0, o);
  putInt32(trailer, blocks.empty() ? 0x3ff000 : static_cast<std::int32_t>(blocks[0].size()), o);
  putInt32(trailer, static_cast<std::int32_t>(blocks.size()), o);
  std::int64_t inflatedAt = headerAt;
  std::int64_t at = headerAt + 24;
  l.zlibBlockOffsets.clear();
  for (const Bytes& block : blocks) {
    uLongf size = compressBound(static_cast<uLong>(block.size()));
    Bytes z(size);
    if (compress2(z.data(), &size, block.data(), static_cast<uLong>(block.size()), 1) != Z_OK)
      throw std::runtime_error("zlib compression failed");
    putInt64(trailer, inflatedAt, o);
    putInt64(trailer, at, o);
    putInt32(trailer, static_cast<std::int32_t>(block.size()), o);
    putInt32(trailer, static_cast<std::int32_t>(size), o);
    l.zlibBlockOffsets.push_back(static_cast<std::uint64_t>(at));
    data.insert(data.end(), z.begin(), z.begin() + static_cast<std::ptrdiff_t>(size));
    inflatedAt += static_cast<std::int64_t>(block.size());
    at += static_cast<std::int64_t>(size);
  }
  putInt64(out, headerAt, o);
  putInt64(out, at, o);
  putInt64(out, static_cast<std::int64_t>(trailer.size()), o);
  out.insert(out.end(), data.begin(), data.end());
  out.insert(out.end(), trailer.begin(), trailer.end());
  l.zlibTrailerStart = static_cast<std::uint64_t>(at);
  l.dataEnd = l.fileSize = out.size();
  l.casesWritten = 0;
  if (layout) *layout = std::move(l);
  return out;
}

SavStreamWriter::SavStreamWriter(const SavFile& file, const std::string& path)
    : m_impl(std::make_unique<detail::SavWriterEngine>(file, std::make_unique<FileSink>(path))) {}

SavStreamWriter::~SavStreamWriter() = default;

void SavStreamWriter::appendCase(const Case& values) { m_impl->appendCase(values); }

SavLayout SavStreamWriter::finish() { return m_impl->finish(); }

}  // namespace brindle::testing
