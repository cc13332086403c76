#include "export/ParquetExport.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <memory>
#include <sstream>
#include <unordered_map>

#include "export/DictionaryJson.h"
#include "export/ParquetThrift.h"
#include "format/FormatValue.h"
#include "spssio/CaseBatch.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"

#ifdef BRINDLE_HAVE_ZSTD
#include <zstd.h>
#endif
#ifdef BRINDLE_HAVE_SNAPPY
#include <snappy-c.h>
#endif

namespace brindle {
namespace {

using thrift::CompactWriter;

// Parquet's enums, by their numbers in the format's Thrift definition.
enum PhysicalType { kInt32 = 1, kInt64 = 2, kDouble = 5, kByteArray = 6 };
enum Encoding { kPlain = 0, kRle = 3, kRleDictionary = 8 };
enum Codec { kUncompressed = 0, kSnappyCodec = 1, kZstdCodec = 6 };
constexpr int kOptional = 1;
constexpr int kConvertedUtf8 = 0, kConvertedDate = 6;
constexpr int kDataPage = 0, kDictionaryPage = 2;

// Seconds from the start of the SPSS calendar (1582-10-14) to 1970-01-01.
constexpr double kUnixEpoch = 12219379200.0;
constexpr double kDaySeconds = 86400.0;
constexpr std::int64_t kMaxGroupRows = 1000000;
// What the pages of one row group may hold before it is written, about.
constexpr std::int64_t kGroupBytes = std::int64_t(256) << 20;
// Pages handed on and not yet encoded may hold this much before the cases
// wait for the encoding to catch up.
constexpr std::int64_t kPendingBytes = std::int64_t(16) << 20;
// A page is cut at this many bytes of values, whatever its rows.
constexpr std::size_t kPageBytes = std::size_t(8) << 20;
// A string column chunk whose distinct values pass this is written PLAIN.
constexpr std::size_t kDictionaryBytes = std::size_t(1) << 20;
// What the cases of a feed (not a column pass) gather before they are taken.
constexpr std::size_t kFeedPieceBytes = std::size_t(1) << 20;

enum class Kind { Number, Date, Time, Timestamp, Text };

ExportResult Failed(std::string message) {
  ExportResult r;
  r.status = ExportStatus::Failed;
  r.message = std::move(message);
  return r;
}

void AppendLe(std::string& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}

std::string Le(std::uint64_t v, int bytes) {
  std::string s;
  AppendLe(s, v, bytes);
  return s;
}

std::uint32_t GetU32(std::string_view s, std::size_t& at) {
  std::uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  at += 4;
  return v;
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v) { std::memcpy(&s[at], &v, 4); }

void AppendVarint(std::string& out, std::uint64_t v) {
  while (v >= 0x80) {
    out.push_back(char(v | 0x80));
    v >>= 7;
  }
  out.push_back(char(v));
}

PhysicalType Physical(Kind kind) {
  if (kind == Kind::Number) return kDouble;
  if (kind == Kind::Date) return kInt32;
  if (kind == Kind::Text) return kByteArray;
  return kInt64;
}

// A column's minimum and maximum, as Parquet orders its type.
struct Stats {
  bool has = false;
  double minD = 0, maxD = 0;
  std::int64_t minI = 0, maxI = 0;
  std::string minS, maxS;

  void AddDouble(double x) {
    if (std::isnan(x)) return;
    if (!has) minD = maxD = x, has = true;
    // -0 and +0 compare equal: the minimum says -0, the maximum +0.
    if (x < minD || (x == 0 && minD == 0 && std::signbit(x))) minD = x;
    if (x > maxD || (x == 0 && maxD == 0 && !std::signbit(x))) maxD = x;
  }
  void AddInt(std::int64_t v) {
    if (!has) minI = maxI = v, has = true;
    minI = std::min(minI, v), maxI = std::max(maxI, v);
  }
  // Byte order, as unsigned bytes: std::string_view compares so.
  void AddText(std::string_view s) {
    if (!has) {
      minS = maxS = s, has = true;
    } else if (s < std::string_view(minS)) {
      minS = s;
    } else if (s > std::string_view(maxS)) {
      maxS = s;
    }
  }
  void Merge(const Stats& o, Kind kind) {
    if (!o.has) return;
    if (kind == Kind::Number) {
      AddDouble(o.minD), AddDouble(o.maxD);
    } else if (kind == Kind::Text) {
      AddText(o.minS), AddText(o.maxS);
    } else {
      AddInt(o.minI), AddInt(o.maxI);
    }
  }
  std::string Bytes(Kind kind, bool max) const {
    if (kind == Kind::Number) {
      std::uint64_t bits;
      const double x = max ? maxD : minD;
      std::memcpy(&bits, &x, 8);
      return Le(bits, 8);
    }
    if (kind == Kind::Date) return Le(std::uint64_t(max ? maxI : minI), 4);
    if (kind == Kind::Text) return max ? maxS : minS;
    return Le(std::uint64_t(max ? maxI : minI), 8);
  }
  // In a rendered block: a flag, then the two values.
  void Append(std::string& out, Kind kind) const {
    out.push_back(char(has));
    if (!has) return;
    if (kind == Kind::Text) {
      AppendLe(out, minS.size(), 4), out += minS;
      AppendLe(out, maxS.size(), 4), out += maxS;
    } else if (kind == Kind::Number) {
      std::uint64_t lo, hi;
      std::memcpy(&lo, &minD, 8), std::memcpy(&hi, &maxD, 8);
      AppendLe(out, lo, 8), AppendLe(out, hi, 8);
    } else {
      AppendLe(out, std::uint64_t(minI), 8), AppendLe(out, std::uint64_t(maxI), 8);
    }
  }
  static Stats Read(std::string_view in, std::size_t& at, Kind kind) {
    Stats s;
    s.has = in[at++] != 0;
    if (!s.has) return s;
    if (kind == Kind::Text) {
      std::uint32_t n = GetU32(in, at);
      s.minS = in.substr(at, n), at += n;
      n = GetU32(in, at);
      s.maxS = in.substr(at, n), at += n;
    } else {
      std::uint64_t lo, hi;
      std::memcpy(&lo, in.data() + at, 8), std::memcpy(&hi, in.data() + at + 8, 8);
      at += 16;
      if (kind == Kind::Number) {
        std::memcpy(&s.minD, &lo, 8), std::memcpy(&s.maxD, &hi, 8);
      } else {
        s.minI = std::int64_t(lo), s.maxI = std::int64_t(hi);
      }
    }
    return s;
  }
};

bool IsUserMissing(const MissingValues& m, double x) {
  if (m.format >= 1 && m.format <= 3) {
    for (int i = 0; i < m.format; ++i)
      if (x == m.numbers[i]) return true;
  } else if (m.format == -2 || m.format == -3) {
    if (x >= m.numbers[0] && x <= m.numbers[1]) return true;
    if (m.format == -3 && x == m.numbers[2]) return true;
  }
  return false;
}

// text without trailing blanks against the missing strings (kept padded):
// a wider value is missing when it equals one padded with blanks.
bool IsUserMissing(const MissingValues& m, std::string_view text) {
  for (int i = 0; i < m.format && i < 3; ++i)
    if (TrimTrailingBlanks(m.strings[i]) == text) return true;
  return false;
}

// The values of one page before they are encoded: definition levels (0 null,
// 1 a value) and the PLAIN values.
struct RawPage {
  std::string levels;
  std::string values;
  std::int64_t rows = 0;
  std::int64_t nulls = 0;
};

// The definition levels as runs of the RLE/bit-packed hybrid, bit width 1,
// behind their 4-byte length.
void AppendLevels(std::string& out, std::string_view levels) {
  const std::size_t lengthAt = out.size();
  out.append(4, '\0');
  std::size_t i = 0;
  while (i < levels.size()) {
    std::size_t j = i + 1;
    while (j < levels.size() && levels[j] == levels[i]) ++j;
    AppendVarint(out, std::uint64_t(j - i) << 1);
    out.push_back(levels[i]);
    i = j;
  }
  PutU32(out, lengthAt, std::uint32_t(out.size() - lengthAt - 4));
}

// Dictionary indices in the RLE/bit-packed hybrid of `width` bits: runs of
// eight or more equal values as RLE runs, the rest bit-packed eight at a
// time (the last group padded: a page's value count says where it ends).
void AppendIndices(std::string& out, const std::uint32_t* v, std::size_t n, int width) {
  const std::size_t valueBytes = std::size_t(width + 7) / 8;
  const auto runAt = [&](std::size_t i) {
    std::size_t j = i + 1;
    while (j < n && v[j] == v[i]) ++j;
    return j - i;
  };
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = runAt(i);
    if (run >= 8) {
      AppendVarint(out, std::uint64_t(run) << 1);
      AppendLe(out, v[i], int(valueBytes));
      i += run;
      continue;
    }
    // Groups of eight until a run of eight begins, at most 63 groups a header.
    const std::size_t start = i;
    std::size_t groups = 0;
    do {
      i += 8, ++groups;
    } while (i < n && groups < 63 && runAt(i) < 8);
    AppendVarint(out, (std::uint64_t(groups) << 1) | 1);
    const std::size_t at = out.size();
    out.append(groups * std::size_t(width), '\0');
    // Least significant bits first, through an accumulator of under 40 bits.
    char* to = out.data() + at;
    std::uint64_t bits = 0;
    int held = 0;
    for (std::size_t k = start; k < std::min(i, n); ++k) {
      bits |= std::uint64_t(v[k]) << held;
      for (held += width; held >= 8; held -= 8, bits >>= 8) *to++ = char(bits & 0xFF);
    }
    if (held > 0) *to = char(bits & 0xFF);
  }
}

// Compresses page bodies. One zstd context per thread, kept for its pages.
class Compressor {
 public:
  explicit Compressor(ParquetCodec codec) : m_codec(codec) {}
  int code() const {
    if (m_codec == ParquetCodec::Zstd) return kZstdCodec;
    if (m_codec == ParquetCodec::Snappy) return kSnappyCodec;
    return kUncompressed;
  }
  // in compressed into out (in itself when uncompressed); false with error set.
  bool Compress(const std::string& in, std::string& out, std::string& error) const {
    switch (m_codec) {
      case ParquetCodec::None:
        out = in;
        return true;
      case ParquetCodec::Zstd: {
#ifdef BRINDLE_HAVE_ZSTD
        struct Context {
          ZSTD_CCtx* c = ZSTD_createCCtx();
          ~Context() { ZSTD_freeCCtx(c); }
        };
        thread_local Context context;
        out.resize(ZSTD_compressBound(in.size()));
        const std::size_t n =
            ZSTD_compressCCtx(context.c, out.data(), out.size(), in.data(), in.size(), 1);
        if (ZSTD_isError(n)) {
          error = std::string("zstd: ") + ZSTD_getErrorName(n);
          return false;
        }
        out.resize(n);
        return true;
#else
        break;
#endif
      }
      case ParquetCodec::Snappy: {
#ifdef BRINDLE_HAVE_SNAPPY
        std::size_t n = snappy_max_compressed_length(in.size());
        out.resize(n);
        if (snappy_compress(in.data(), in.size(), out.data(), &n) != SNAPPY_OK) {
          error = "snappy could not compress a page";
          return false;
        }
        out.resize(n);
        return true;
#else
        break;
#endif
      }
    }
    error = "This build of Brindle cannot compress Parquet pages that way";
    return false;
  }

 private:
  ParquetCodec m_codec;
};

// What the data pages of a column chunk come to in the file.
struct EncodedPart {
  std::vector<std::string> pieces;  // page headers and page bodies, in order
  std::int64_t size = 0;            // their bytes
  std::int64_t uncompressed = 0;    // the same with the bodies uncompressed
  std::string error;
};

std::string DataPageHeader(std::size_t rawSize, std::size_t packedSize, std::int64_t rows,
                           int encoding) {
  CompactWriter h;
  h.BeginStruct();
  h.FieldI32(1, kDataPage);
  h.FieldI32(2, std::int32_t(rawSize));
  h.FieldI32(3, std::int32_t(packedSize));
  h.FieldStruct(5);
  h.BeginStruct();
  h.FieldI32(1, std::int32_t(rows));
  h.FieldI32(2, encoding);
  h.FieldI32(3, kRle);
  h.FieldI32(4, kRle);
  h.EndStruct();
  h.EndStruct();
  return std::move(h.bytes());
}

// A page: its header, then its body (raw, as packed).
void AppendPage(EncodedPart& part, const std::string& raw, std::string header,
                std::string&& packed) {
  part.size += std::int64_t(header.size() + packed.size());
  part.uncompressed += std::int64_t(header.size() + raw.size());
  part.pieces.push_back(std::move(header));
  part.pieces.push_back(std::move(packed));
}

// A page of PLAIN values, compressed.
void EncodePlain(const RawPage& page, const Compressor& codec, EncodedPart& part) {
  std::string raw, packed;
  raw.reserve(page.levels.size() / 4 + page.values.size() + 16);
  AppendLevels(raw, page.levels);
  raw += page.values;
  if (!codec.Compress(raw, packed, part.error)) return;
  AppendPage(part, raw, DataPageHeader(raw.size(), packed.size(), page.rows, kPlain),
             std::move(packed));
}

// The distinct values of a column chunk, in the order met: their PLAIN bytes
// (the dictionary page's values) and a lookup from a value to its number.
// Fixed-size values (8 or 4 bytes) go through an open-addressing table of
// their bits; strings through a hash map.
class Dictionary {
 public:
  std::size_t size() const { return m_count; }
  std::size_t bytes() const { return m_plain.size(); }
  const std::string& plain() const { return m_plain; }
  void Clear() {
    m_plain.clear();
    m_texts.clear();
    m_slots.clear();
    m_count = 0;
  }
  // The number of a fixed-size value (its bits), added when new.
  std::uint32_t Number(std::uint64_t bits, int size) {
    if ((m_count + 1) * 2 > m_slots.size()) Grow();
    std::size_t at = Hash(bits);
    for (;; at = (at + 1) & (m_slots.size() - 1)) {
      const Slot& slot = m_slots[at];
      if (slot.id == 0) break;
      if (slot.key == bits) return slot.id - 1;
    }
    m_slots[at] = Slot{bits, std::uint32_t(++m_count)};
    AppendLe(m_plain, bits, size);
    return std::uint32_t(m_count - 1);
  }
  std::uint32_t Text(std::string_view s) {
    if (const auto it = m_texts.find(s); it != m_texts.end()) return it->second;
    m_texts.emplace(std::string(s), std::uint32_t(m_count));
    AppendLe(m_plain, s.size(), 4);
    m_plain.append(s);
    return std::uint32_t(m_count++);
  }

 private:
  std::size_t Hash(std::uint64_t bits) const {
    return std::size_t((bits * 0x9E3779B97F4A7C15ull) >> m_shift);
  }
  void Grow() {
    std::vector<Slot> slots = std::move(m_slots);
    const std::size_t size = slots.empty() ? 64 : slots.size() * 2;
    m_shift = 64;
    for (std::size_t n = size; n > 1; n >>= 1) --m_shift;
    m_slots.assign(size, Slot());
    for (const Slot& slot : slots) {
      if (!slot.id) continue;
      std::size_t at = Hash(slot.key);
      while (m_slots[at].id) at = (at + 1) & (size - 1);
      m_slots[at] = slot;
    }
  }

  // Looked up by std::string_view, without a string made for each value.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::string m_plain;
  std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> m_texts;
  // A value's bits and its number + 1 (0: empty), side by side: one cache
  // line a probe.
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t id = 0;
  };
  std::vector<Slot> m_slots;
  int m_shift = 64;
  std::size_t m_count = 0;
};

// Encodes the pages of one column chunk in order: RLE_DICTIONARY pages
// while the dictionary pays (its first page: the dictionary and the indices
// are smaller than the PLAIN values) and stays within kDictionaryBytes, then
// PLAIN pages (a chunk may change over once, as other writers do).
class ChunkEncoder {
 public:
  ChunkEncoder(Kind kind, const Compressor& codec) : m_kind(kind), m_codec(codec) {}

  void Add(const RawPage& page) {
    if (!m_plain && !Indexed(page)) {
      m_plain = true;
      // A dictionary no page uses is not written.
      if (m_dictionaryPages == 0) m_dictionary.Clear();
    }
    if (m_plain) EncodePlain(page, m_codec, m_part);
  }
  // The dictionary page (header and body), empty when no page uses one.
  std::string DictionaryPage(std::int64_t& uncompressed, std::string& error) const {
    if (m_dictionaryPages == 0) return {};
    std::string packed;
    if (!m_codec.Compress(m_dictionary.plain(), packed, error)) return {};
    CompactWriter h;
    h.BeginStruct();
    h.FieldI32(1, kDictionaryPage);
    h.FieldI32(2, std::int32_t(m_dictionary.bytes()));
    h.FieldI32(3, std::int32_t(packed.size()));
    h.FieldStruct(7);
    h.BeginStruct();
    h.FieldI32(1, std::int32_t(m_dictionary.size()));
    h.FieldI32(2, kPlain);
    h.EndStruct();
    h.EndStruct();
    uncompressed = std::int64_t(h.bytes().size() + m_dictionary.bytes());
    return h.bytes() + packed;
  }
  EncodedPart& part() { return m_part; }
  void Reset() {
    m_dictionary.Clear();
    m_plain = false;
    m_dictionaryPages = 0;
    m_part = EncodedPart();
  }

 private:
  // The page as a dictionary page; false when the dictionary does not pay.
  bool Indexed(const RawPage& page) {
    const std::string_view in = page.values;
    m_ids.clear();
    if (m_kind == Kind::Text) {
      for (std::size_t at = 0; at < in.size();) {
        const std::uint32_t n = GetU32(in, at);
        m_ids.push_back(m_dictionary.Text(in.substr(at, n)));
        at += n;
        if (m_dictionary.bytes() > kDictionaryBytes) return false;
      }
    } else {
      const int size = m_kind == Kind::Date ? 4 : 8;
      for (std::size_t at = 0; at + std::size_t(size) <= in.size(); at += std::size_t(size)) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, in.data() + at, std::size_t(size));
        m_ids.push_back(m_dictionary.Number(bits, size));
        if (m_dictionary.bytes() > kDictionaryBytes) return false;
      }
    }
    int width = 1;
    while (width < 32 && (std::size_t(1) << width) < m_dictionary.size()) ++width;
    if (m_dictionaryPages == 0 &&
        m_dictionary.bytes() + m_ids.size() * std::size_t(width) / 8 + 8 >= in.size())
      return false;
    std::string raw, packed;
    AppendLevels(raw, page.levels);
    raw.push_back(char(width));
    AppendIndices(raw, m_ids.data(), m_ids.size(), width);
    if (!m_codec.Compress(raw, packed, m_part.error)) return true;
    AppendPage(m_part, raw, DataPageHeader(raw.size(), packed.size(), page.rows, kRleDictionary),
               std::move(packed));
    ++m_dictionaryPages;
    return true;
  }

  Kind m_kind;
  const Compressor& m_codec;
  Dictionary m_dictionary;
  std::vector<std::uint32_t> m_ids;
  bool m_plain = false;
  int m_dictionaryPages = 0;
  EncodedPart m_part;
};

// The cases of a column pass's batch, as the rendering reads them.
struct BatchRows {
  CaseBatch& batch;
  double Number(std::size_t c, std::size_t i) const { return batch.numbers(c)[i]; }
  std::string_view Text(std::size_t c, std::size_t i) const { return batch.text(c, i); }
};

// One case of a feed.
struct OneRow {
  CaseValues& row;
  double Number(std::size_t c, std::size_t) const { return row.Number(c); }
  std::string_view Text(std::size_t c, std::size_t) const {
    return TrimTrailingBlanks(row.Text(c));
  }
};

// The export in two halves. Render() turns a block of cases into every
// column's values, levels and statistics, on any thread; Take() gathers the
// blocks in case order on one thread into pages, hands full pages (and, for
// strings, whole column chunks) to the task pool to be encoded and
// compressed, and writes each row group when it is full, its chunks in
// column order.
//
// A rendered block: the case count (u32), then per column the bytes of its
// values (u32), its nulls (u32), its values made null for their type's range
// (u32), one level byte per case, the PLAIN values, and its statistics.
class ParquetWriter {
 public:
  ParquetWriter(const std::vector<ExportColumn>& columns, DataMode mode, double sysmis,
                const ParquetOptions& options, ExportFile& out)
      : m_columns(columns),
        m_codec(options.codec),
        m_out(out),
        m_sysmis(sysmis),
        m_labels(mode == DataMode::Labels) {
    for (const ExportColumn& col : columns) {
      Column state;
      const int fmt = col.format.Fmt;
      state.asLabels = m_labels && col.width == 0 && !col.numberLabels.empty();
      if (col.width > 0 || state.asLabels)
        state.kind = Kind::Text;
      else if (IsDateFormat(fmt))
        state.kind = Kind::Date;
      else if (fmt == kFmtDateTime)
        state.kind = Kind::Timestamp;
      else if (fmt == kFmtTime)
        state.kind = Kind::Time;
      state.nullMissing = options.userMissingNull && col.missing.format != 0;
      state.strand = std::make_unique<Strand>(state.kind, m_codec);
      m_state.push_back(std::move(state));
    }
    m_groupLimit = options.rowGroupRows > 0 ? options.rowGroupRows : kMaxGroupRows;
    m_pageRows = options.pageRows > 0 ? options.pageRows : 65536;
    m_out.Write("PAR1");
    m_offset = 4;
  }
  ~ParquetWriter() {
    // The pool's encoding works on what this writer holds.
    for (Column& c : m_state) {
      {
        std::lock_guard lock(c.strand->mutex);
        c.strand->queue.clear();
      }
      for (const TaskPool::TaskHandle& task : c.strand->tasks) {
        try {
          task->wait();
        } catch (...) {
        }
      }
    }
  }

  template <class Rows>
  void Render(const Rows& rows, std::size_t n, std::string& out) const {
    AppendLe(out, n, 4);
    for (std::size_t c = 0; c < m_state.size(); ++c) RenderColumn(rows, c, n, out);
  }

  // Takes the rendered blocks of piece; false when the export failed.
  bool Take(std::string_view piece) {
    std::size_t at = 0;
    while (at < piece.size()) {
      const std::uint32_t n = GetU32(piece, at);
      if (m_groupRows > 0 && m_groupRows + n > m_groupLimit && !FlushGroup()) return false;
      for (std::size_t c = 0; c < m_state.size(); ++c) {
        Column& s = m_state[c];
        const std::uint32_t valueBytes = GetU32(piece, at);
        const std::uint32_t nulls = GetU32(piece, at);
        s.outOfRange += GetU32(piece, at);
        if (s.page.rows > 0 && s.page.rows + n > m_pageRows) FinishPage(s);
        if (s.page.rows == 0 && s.kind != Kind::Text) {
          // Room for the whole page at once, not twice what it grows to.
          const std::size_t rows = std::size_t(std::min<std::int64_t>(m_pageRows, 1 << 20));
          s.page.levels.reserve(rows);
          s.page.values.reserve(rows * (s.kind == Kind::Date ? 4 : 8));
        }
        s.page.levels.append(piece.substr(at, n));
        at += n;
        s.page.values.append(piece.substr(at, valueBytes));
        at += valueBytes;
        m_pageBytes += n + valueBytes;
        s.page.rows += n;
        s.page.nulls += nulls;
        s.chunkValues += n;
        s.chunkNulls += nulls;
        s.stats.Merge(Stats::Read(piece, at, s.kind), s.kind);
        if (s.page.rows >= m_pageRows || s.page.values.size() >= kPageBytes) FinishPage(s);
      }
      m_groupRows += n;
      if (m_pending.load() >= kPendingBytes) CatchUp();
      if ((m_groupRows >= m_groupLimit || m_held.load() + m_pageBytes >= kGroupBytes) &&
          !FlushGroup())
        return false;
    }
    return m_error.empty() && m_out.Ok();
  }

  // The footer: the file's metadata, its length and the closing magic.
  bool Finish(const std::string& dictionaryJson) {
    if (!FlushGroup()) return false;
    CompactWriter w;
    w.BeginStruct();
    w.FieldI32(1, 1);
    w.FieldList(2, thrift::kStruct, m_columns.size() + 1);
    w.BeginStruct();
    w.FieldBinary(4, "schema");
    w.FieldI32(5, std::int32_t(m_columns.size()));
    w.EndStruct();
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      const Kind kind = m_state[c].kind;
      w.BeginStruct();
      w.FieldI32(1, Physical(kind));
      w.FieldI32(3, kOptional);
      w.FieldBinary(4, m_columns[c].name);
      if (kind == Kind::Text) w.FieldI32(6, kConvertedUtf8);
      if (kind == Kind::Date) w.FieldI32(6, kConvertedDate);
      if (kind != Kind::Number) {
        w.FieldStruct(10);  // LogicalType, a union
        w.BeginStruct();
        if (kind == Kind::Text) {
          w.FieldStruct(1), w.BeginStruct(), w.EndStruct();
        } else if (kind == Kind::Date) {
          w.FieldStruct(6), w.BeginStruct(), w.EndStruct();
        } else {
          // TIME (7) or TIMESTAMP (8): local, in microseconds.
          w.FieldStruct(kind == Kind::Time ? 7 : 8);
          w.BeginStruct();
          w.FieldBool(1, false);
          w.FieldStruct(2);
          w.BeginStruct();
          w.FieldStruct(2), w.BeginStruct(), w.EndStruct();
          w.EndStruct();
          w.EndStruct();
        }
        w.EndStruct();
      }
      w.EndStruct();
    }
    w.FieldI64(3, m_rows);
    w.FieldList(4, thrift::kStruct, m_groups.size());
    for (const GroupMeta& g : m_groups) {
      w.BeginStruct();
      w.FieldList(1, thrift::kStruct, g.chunks.size());
      for (std::size_t c = 0; c < g.chunks.size(); ++c) {
        const ChunkMeta& m = g.chunks[c];
        w.BeginStruct();
        w.FieldI64(2, m.offset);
        w.FieldStruct(3);
        w.BeginStruct();
        w.FieldI32(1, Physical(m_state[c].kind));
        if (m.dictionaryOffset >= 0) {
          w.FieldList(2, thrift::kI32, 3);
          w.I32(kPlain), w.I32(kRle), w.I32(kRleDictionary);
        } else {
          w.FieldList(2, thrift::kI32, 2);
          w.I32(kPlain), w.I32(kRle);
        }
        w.FieldList(3, thrift::kBinary, 1);
        w.Binary(m_columns[c].name);
        w.FieldI32(4, m_codec.code());
        w.FieldI64(5, m.values);
        w.FieldI64(6, m.uncompressed);
        w.FieldI64(7, m.compressed);
        w.FieldI64(9, m.dataOffset);
        if (m.dictionaryOffset >= 0) w.FieldI64(11, m.dictionaryOffset);
        w.FieldStruct(12);
        w.BeginStruct();
        w.FieldI64(3, m.nulls);
        if (m.hasStats) w.FieldBinary(5, m.max), w.FieldBinary(6, m.min);
        w.EndStruct();
        w.EndStruct();
        w.EndStruct();
      }
      w.FieldI64(2, g.bytes);
      w.FieldI64(3, g.rows);
      if (!g.chunks.empty()) w.FieldI64(5, g.chunks.front().offset);
      w.FieldI64(6, g.compressed);
      w.EndStruct();
    }
    if (!dictionaryJson.empty()) {
      w.FieldList(5, thrift::kStruct, 1);
      w.BeginStruct();
      w.FieldBinary(1, kParquetDictionaryKey);
      w.FieldBinary(2, dictionaryJson);
      w.EndStruct();
    }
    w.FieldBinary(6, "Brindle");
    w.EndStruct();
    m_out.Write(w.bytes());
    m_out.Write(Le(w.bytes().size(), 4));
    m_out.Write("PAR1");
    return m_out.Ok();
  }

  // How many values were made null for being outside their type's range.
  std::string RangeNote() const {
    std::string names;
    std::int64_t count = 0;
    for (std::size_t c = 0; c < m_state.size(); ++c) {
      if (!m_state[c].outOfRange) continue;
      count += m_state[c].outOfRange;
      names += (names.empty() ? "" : ", ") + m_columns[c].name;
    }
    if (!count) return {};
    return std::to_string(count) + (count == 1 ? " value" : " values") +
           " outside the range of their Parquet date or time type written as null (" + names + ").";
  }

  std::string Error() const { return m_error; }

 private:
  // A column chunk's pages on their way through the pool: encoded one at a
  // time in page order (the dictionary grows from page to page), by a task
  // that takes them from the queue until it is empty; the next page then
  // starts another.
  struct Strand {
    Strand(Kind kind, const Compressor& codec) : encoder(kind, codec) {}
    std::mutex mutex;
    std::deque<RawPage> queue;
    bool running = false;
    std::vector<TaskPool::TaskHandle> tasks;  // the writer's thread only
    ChunkEncoder encoder;                     // the running task only
  };
  struct Column {
    Kind kind = Kind::Number;
    bool asLabels = false;     // a numeric variable written as strings through its labels
    bool nullMissing = false;  // user-missing values as null
    RawPage page;              // the page being filled
    std::unique_ptr<Strand> strand;
    std::int64_t chunkValues = 0, chunkNulls = 0;
    Stats stats;
    std::int64_t outOfRange = 0;  // dates and times made null, in the whole file
  };
  struct ChunkMeta {
    std::int64_t offset = 0, dataOffset = 0, dictionaryOffset = -1;
    std::int64_t values = 0, compressed = 0, uncompressed = 0, nulls = 0;
    bool hasStats = false;
    std::string min, max;
  };
  struct GroupMeta {
    std::int64_t rows = 0, bytes = 0, compressed = 0;
    std::vector<ChunkMeta> chunks;
  };

  template <class Rows>
  void RenderColumn(const Rows& rows, std::size_t c, std::size_t n, std::string& out) const {
    const Column& s = m_state[c];
    const ExportColumn& col = m_columns[c];
    const std::size_t head = out.size();
    out.append(12, '\0');
    const std::size_t levelsAt = out.size();
    out.append(n, '\1');
    const std::size_t valuesAt = out.size();
    std::uint32_t nulls = 0, outOfRange = 0;
    Stats stats;
    const auto null = [&](std::size_t i) { out[levelsAt + i] = 0, ++nulls; };
    const auto text = [&](std::string_view t) {
      AppendLe(out, t.size(), 4);
      out.append(t);
      stats.AddText(t);
    };
    if (col.width > 0) {
      for (std::size_t i = 0; i < n; ++i) {
        const std::string_view t = rows.Text(c, i);
        if (s.nullMissing && IsUserMissing(col.missing, t)) {
          null(i);
          continue;
        }
        if (m_labels && !col.textLabels.empty()) {
          const auto it = col.textLabels.find(std::string(t));
          if (it != col.textLabels.end()) {
            text(it->second);
            continue;
          }
        }
        text(t);
      }
    } else if (s.kind == Kind::Text) {
      for (std::size_t i = 0; i < n; ++i) {
        const double x = rows.Number(c, i);
        if (x == m_sysmis || std::isnan(x) || (s.nullMissing && IsUserMissing(col.missing, x))) {
          null(i);
          continue;
        }
        const auto it = col.numberLabels.find(x);
        if (it != col.numberLabels.end())
          text(it->second);
        else
          text(FormattedNumber(x, col.format));
      }
    } else {
      // Fixed-size values, written in place.
      const int size = s.kind == Kind::Date ? 4 : 8;
      out.resize(valuesAt + n * std::size_t(size));
      char* values = out.data() + valuesAt;
      std::size_t w = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const double x = rows.Number(c, i);
        if (x == m_sysmis || std::isnan(x) || (s.nullMissing && IsUserMissing(col.missing, x))) {
          null(i);
          continue;
        }
        std::int64_t v = 0;
        switch (s.kind) {
          case Kind::Number:
            std::memcpy(values + w, &x, 8);
            w += 8;
            stats.AddDouble(x);
            continue;
          case Kind::Date: {
            const double days = std::floor((x - kUnixEpoch) / kDaySeconds);
            if (!(days >= -2147483648.0 && days <= 2147483647.0)) {
              null(i), ++outOfRange;
              continue;
            }
            const std::int32_t d = std::int32_t(days);
            std::memcpy(values + w, &d, 4);
            w += 4;
            stats.AddInt(d);
            continue;
          }
          case Kind::Timestamp: {
            const double us = std::round((x - kUnixEpoch) * 1e6);
            if (!(std::isfinite(us) && std::fabs(us) < 9.2e18)) {
              null(i), ++outOfRange;
              continue;
            }
            v = std::int64_t(us);
            break;
          }
          case Kind::Time: {
            const double us = std::round(x * 1e6);
            if (!(us >= 0 && us < kDaySeconds * 1e6)) {
              null(i), ++outOfRange;
              continue;
            }
            v = std::int64_t(us);
            break;
          }
          case Kind::Text:
            break;
        }
        std::memcpy(values + w, &v, 8);
        w += 8;
        stats.AddInt(v);
      }
      out.resize(valuesAt + w);
    }
    PutU32(out, head, std::uint32_t(out.size() - valuesAt));
    PutU32(out, head + 4, nulls);
    PutU32(out, head + 8, outOfRange);
    stats.Append(out, s.kind);
  }

  // Hands a full page on to its column's strand.
  void FinishPage(Column& s) {
    if (s.page.rows == 0) return;
    const std::int64_t raw = std::int64_t(s.page.levels.size() + s.page.values.size());
    m_pageBytes -= raw;
    m_held += raw;
    m_pending += raw;
    Strand& strand = *s.strand;
    std::lock_guard lock(strand.mutex);
    strand.queue.push_back(std::move(s.page));
    s.page = RawPage();
    if (strand.running) return;
    strand.running = true;
    strand.tasks.push_back(TaskPool::shared().post([this, &strand] { Drain(strand); }));
  }

  // Encodes the strand's pages until its queue is empty.
  void Drain(Strand& strand) {
    for (;;) {
      RawPage page;
      {
        std::lock_guard lock(strand.mutex);
        if (strand.queue.empty()) {
          strand.running = false;
          return;
        }
        page = std::move(strand.queue.front());
        strand.queue.pop_front();
      }
      const std::int64_t raw = std::int64_t(page.levels.size() + page.values.size());
      EncodedPart& part = strand.encoder.part();
      const std::int64_t before = part.size;
      try {
        if (part.error.empty()) strand.encoder.Add(page);
      } catch (const std::exception& e) {
        if (part.error.empty()) part.error = std::string("Cannot encode a Parquet page: ") + e.what();
      }
      m_held += part.size - before - raw;
      m_pending -= raw;
    }
  }

  // Waits until the pages handed on are encoded (running the encoding here
  // where no pool thread has taken it), so that they do not pile up.
  void CatchUp() {
    for (Column& s : m_state) {
      for (const TaskPool::TaskHandle& task : s.strand->tasks) {
        try {
          task->wait();
        } catch (const std::exception& e) {
          if (m_error.empty()) m_error = std::string("Cannot encode a Parquet page: ") + e.what();
        }
      }
      s.strand->tasks.clear();
    }
  }

  // Writes the row group held (nothing when it has no rows); false when the
  // encoding or the writing failed.
  bool FlushGroup() {
    if (m_groupRows == 0) return m_error.empty();
    for (Column& s : m_state) FinishPage(s);
    GroupMeta group;
    group.rows = m_groupRows;
    for (Column& s : m_state) {
      Strand& strand = *s.strand;
      for (const TaskPool::TaskHandle& task : strand.tasks) {
        try {
          task->wait();
        } catch (const std::exception& e) {
          if (m_error.empty()) m_error = std::string("Cannot encode a Parquet page: ") + e.what();
        }
      }
      strand.tasks.clear();
      EncodedPart& part = strand.encoder.part();
      if (!part.error.empty() && m_error.empty()) m_error = part.error;
      ChunkMeta meta;
      meta.offset = m_offset;
      std::int64_t dictionaryRaw = 0;
      const std::string dictionary = strand.encoder.DictionaryPage(dictionaryRaw, m_error);
      if (!m_error.empty()) {
        strand.encoder.Reset();
        continue;
      }
      if (!dictionary.empty()) {
        meta.dictionaryOffset = m_offset;
        m_out.Write(dictionary);
      }
      meta.dataOffset = m_offset + std::int64_t(dictionary.size());
      for (const std::string& piece : part.pieces) m_out.Write(piece);
      meta.compressed = std::int64_t(dictionary.size()) + part.size;
      meta.uncompressed = dictionaryRaw + part.uncompressed;
      strand.encoder.Reset();
      meta.values = s.chunkValues;
      meta.nulls = s.chunkNulls;
      meta.hasStats = s.stats.has;
      if (s.stats.has) meta.min = s.stats.Bytes(s.kind, false), meta.max = s.stats.Bytes(s.kind, true);
      m_offset += meta.compressed;
      group.bytes += meta.uncompressed;
      group.compressed += meta.compressed;
      group.chunks.push_back(std::move(meta));
      s.chunkValues = s.chunkNulls = 0;
      s.stats = Stats();
    }
    m_held = 0;
    m_groups.push_back(std::move(group));
    m_rows += m_groupRows;
    m_groupRows = 0;
    return m_error.empty() && m_out.Ok();
  }

  const std::vector<ExportColumn>& m_columns;
  Compressor m_codec;
  ExportFile& m_out;
  double m_sysmis = 0;
  bool m_labels = false;  // labelled values as their labels
  std::vector<Column> m_state;
  std::vector<GroupMeta> m_groups;
  std::int64_t m_offset = 0, m_rows = 0, m_groupRows = 0, m_groupLimit = 0, m_pageRows = 0;
  std::int64_t m_pageBytes = 0;          // in the pages being filled
  std::atomic<std::int64_t> m_held{0};     // in the pages handed on, encoded or not
  std::atomic<std::int64_t> m_pending{0};  // in the pages handed on, not yet encoded
  std::string m_error;
};

bool CodecBuilt(ParquetCodec codec) {
  if (codec == ParquetCodec::Zstd) return ParquetHasZstd();
  if (codec == ParquetCodec::Snappy) return ParquetHasSnappy();
  return true;
}

std::string CodecName(ParquetCodec codec) {
  return codec == ParquetCodec::Snappy ? "snappy" : "zstd";
}

// The end of an export both ways of feeding it share: the footer, the
// warning of data that ended early, the note of values made null.
ExportResult Conclude(ParquetWriter& writer, ExportResult result, const PassEnd& end,
                      std::int64_t totalCases, const std::string& dictionaryJson,
                      ExportFile& out, const ExportProgress& progress) {
  if (!end.sound() && !end.stopped)
    result.warning = ShortDataWarning(result.rows, totalCases, end.message());
  if (!writer.Finish(dictionaryJson))
    return Failed(!writer.Error().empty() ? writer.Error() : out.Error());
  if (progress) progress(result.rows, totalCases);
  if (!out.Ok()) return Failed(out.Error());
  if (result.warning.empty() && result.rows < totalCases)
    result.warning = ShortDataWarning(result.rows, totalCases, {});
  result.note = writer.RangeNote();
  return result;
}

}  // namespace

bool ParquetHasZstd() {
#ifdef BRINDLE_HAVE_ZSTD
  return true;
#else
  return false;
#endif
}

bool ParquetHasSnappy() {
#ifdef BRINDLE_HAVE_SNAPPY
  return true;
#else
  return false;
#endif
}

ParquetCodec DefaultParquetCodec() {
  return ParquetHasZstd() ? ParquetCodec::Zstd : ParquetCodec::None;
}

ExportResult WriteDataParquet(const CaseFeed& feed, const std::vector<ExportColumn>& columns,
                              DataMode mode, double sysmis, std::int64_t totalCases,
                              const std::string& dictionaryJson, ExportFile& out,
                              const ExportProgress& progress, const ParquetOptions& options) {
  if (!CodecBuilt(options.codec))
    return Failed("This build of Brindle cannot compress Parquet pages with " +
                  CodecName(options.codec));
  ExportResult result;
  if (progress && !progress(0, totalCases)) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  ParquetWriter writer(columns, mode, sysmis, options, out);
  bool failed = false, cancelled = false;
  std::string piece;
  std::int64_t pending = 0;
  const auto take = [&] {
    if (!writer.Take(piece)) return !(failed = true);
    piece.clear();
    result.rows += pending;
    pending = 0;
    if (progress && !progress(result.rows, totalCases)) return !(cancelled = true);
    return true;
  };
  const PassEnd end = feed([&](CaseValues& row) {
    writer.Render(OneRow{row}, 1, piece);
    ++pending;
    return piece.size() < kFeedPieceBytes || take();
  });
  if (!failed && !cancelled && pending) take();
  if (failed) return Failed(!writer.Error().empty() ? writer.Error() : out.Error());
  if (cancelled) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  return Conclude(writer, result, end, totalCases, dictionaryJson, out, progress);
}

ExportResult ExportDataParquet(SystemFile& file, const std::vector<int>& vars, DataMode mode,
                               ExportFile& out, const ExportProgress& progress,
                               const ParquetOptions& options) {
  if (!CodecBuilt(options.codec))
    return Failed("This build of Brindle cannot compress Parquet pages with " +
                  CodecName(options.codec));
  // The positions DataColumns takes: in range, in dictionary order, once.
  std::vector<int> positions;
  for (int v = 0; v < int(file.variableCount()); ++v)
    if (vars.empty() || std::find(vars.begin(), vars.end(), v) != vars.end())
      positions.push_back(v);
  const DataMode written = mode == DataMode::Labels ? mode : DataMode::Raw;
  const std::vector<ExportColumn> columns = DataColumns(file, positions, mode == DataMode::Labels);
  std::ostringstream json;
  {
    ExportFile dict;
    dict.OpenStream(json);
    const ExportResult exported = ExportDictionaryJson(file, dict);
    if (exported.status != ExportStatus::Done || !dict.Commit())
      return Failed("Cannot write the dictionary into the Parquet file");
  }
  double sysmis = 0;
  spssHostSysmisVal(&sysmis);
  const std::int64_t total = file.caseCount();
  ExportResult result;
  if (progress && !progress(0, total)) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  ColumnPass pass(file, positions);
  // A compressed file splits at its case index: a quick pass makes one when
  // the opening did not.
  if (!pass.indexed() &&
      pass.indexCases([&](std::int64_t) { return !progress || progress(0, total); }).stopped) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  ParquetWriter writer(columns, written, sysmis, options, out);
  bool failed = false, cancelled = false;
  const PassEnd end = pass.readInOrder(
      {},
      [&](CaseBatch& batch, std::string& piece) {
        writer.Render(BatchRows{batch}, batch.size(), piece);
      },
      [&](std::string&& piece, std::int64_t cases) {
        if (!writer.Take(piece)) return !(failed = true);
        result.rows += cases;
        if (progress && !progress(result.rows, total)) return !(cancelled = true);
        return true;
      });
  if (failed) return Failed(!writer.Error().empty() ? writer.Error() : out.Error());
  if (cancelled) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  return Conclude(writer, result, end, total, json.str(), out, progress);
}

}  // namespace brindle
