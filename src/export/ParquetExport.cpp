#include "export/ParquetExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

#include "export/DictionaryJson.h"
#include "export/ParquetThrift.h"
#include "format/FormatValue.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"

#ifdef BRINDLE_HAVE_ZSTD
#include <zstd.h>
#endif

namespace brindle {
namespace {

using thrift::CompactWriter;

// Parquet's enums, by their numbers in the format's Thrift definition.
enum PhysicalType { kInt32 = 1, kInt64 = 2, kDouble = 5, kByteArray = 6 };
enum Encoding { kPlain = 0, kRle = 3 };
enum Codec { kUncompressed = 0, kZstdCodec = 6 };
constexpr int kOptional = 1;
constexpr int kConvertedUtf8 = 0, kConvertedDate = 6;
constexpr int kDataPage = 0;

// Seconds from the start of the SPSS calendar (1582-10-14) to 1970-01-01.
constexpr double kUnixEpoch = 12219379200.0;
constexpr double kDaySeconds = 86400.0;
constexpr std::int64_t kMaxGroupRows = 1000000;
// What the rows of one row group may hold before it is written, about.
constexpr std::size_t kGroupBytes = std::size_t(256) << 20;
constexpr std::int64_t kBatchCases = 4096;

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

// One column's row group in the making: the pages written so far, the page
// being filled, and the statistics.
struct ColumnChunk {
  Kind kind = Kind::Number;
  bool asLabels = false;  // written as strings through the labels
  std::string pages;      // page headers and (compressed) page data
  std::string values;     // the current page's PLAIN values
  std::vector<std::uint8_t> defined;
  std::int64_t pageValues = 0;
  std::int64_t chunkValues = 0, nulls = 0, uncompressed = 0;
  bool hasStats = false;
  double minD = 0, maxD = 0;
  std::int64_t minI = 0, maxI = 0;
  std::string minS, maxS;
  std::int64_t outOfRange = 0;  // dates and times made null, in the whole file

  PhysicalType physical() const {
    if (kind == Kind::Number) return kDouble;
    if (kind == Kind::Date) return kInt32;
    if (kind == Kind::Text) return kByteArray;
    return kInt64;
  }
  void Null() {
    defined.push_back(0);
    ++nulls;
  }
  void Double(double x) {
    defined.push_back(1);
    std::uint64_t bits;
    std::memcpy(&bits, &x, 8);
    AppendLe(values, bits, 8);
    if (std::isnan(x)) return;
    if (!hasStats) minD = maxD = x, hasStats = true;
    // -0 and +0 compare equal: the minimum says -0, the maximum +0.
    if (x < minD || (x == 0 && minD == 0 && std::signbit(x))) minD = x;
    if (x > maxD || (x == 0 && maxD == 0 && !std::signbit(x))) maxD = x;
  }
  void Integer(std::int64_t v, int bytes) {
    defined.push_back(1);
    AppendLe(values, std::uint64_t(v), bytes);
    if (!hasStats) minI = maxI = v, hasStats = true;
    minI = std::min(minI, v), maxI = std::max(maxI, v);
  }
  void Text(std::string_view s) {
    defined.push_back(1);
    AppendLe(values, s.size(), 4);
    values.append(s);
    // Byte order, as unsigned bytes: std::string_view compares so.
    if (!hasStats) {
      minS = maxS = s, hasStats = true;
    } else if (s < std::string_view(minS)) {
      minS = s;
    } else if (s > std::string_view(maxS)) {
      maxS = s;
    }
  }
  std::string StatBytes(bool max) const {
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
  void ResetChunk() {
    pages.clear();
    chunkValues = nulls = uncompressed = 0;
    hasStats = false;
    minS.clear(), maxS.clear();
  }
};

// The definition levels (0 null, 1 a value) as runs of the RLE/bit-packed
// hybrid, bit width 1, behind their 4-byte length.
void AppendLevels(std::string& out, const std::vector<std::uint8_t>& levels) {
  std::string runs;
  std::size_t i = 0;
  while (i < levels.size()) {
    std::size_t j = i + 1;
    while (j < levels.size() && levels[j] == levels[i]) ++j;
    std::uint64_t header = std::uint64_t(j - i) << 1;
    while (header >= 0x80) {
      runs.push_back(char(header | 0x80));
      header >>= 7;
    }
    runs.push_back(char(header));
    runs.push_back(char(levels[i]));
    i = j;
  }
  AppendLe(out, runs.size(), 4);
  out += runs;
}

class ParquetWriter {
 public:
  ParquetWriter(const std::vector<ExportColumn>& columns, DataMode mode,
                const ParquetOptions& options, ExportFile& out)
      : m_columns(columns), m_options(options), m_out(out), m_labels(mode == DataMode::Labels) {
    for (const ExportColumn& col : columns) {
      ColumnChunk chunk;
      const int fmt = col.format.Fmt;
      chunk.asLabels = mode == DataMode::Labels && col.width == 0 && !col.numberLabels.empty();
      if (col.width > 0 || chunk.asLabels)
        chunk.kind = Kind::Text;
      else if (IsDateFormat(fmt))
        chunk.kind = Kind::Date;
      else if (fmt == kFmtDateTime)
        chunk.kind = Kind::Timestamp;
      else if (fmt == kFmtTime)
        chunk.kind = Kind::Time;
      m_chunks.push_back(std::move(chunk));
    }
#ifdef BRINDLE_HAVE_ZSTD
    m_zstd = options.codec == ParquetCodec::Zstd;
    if (m_zstd) m_cctx = ZSTD_createCCtx();
#endif
    m_out.Write("PAR1");
    m_offset = 4;
  }
  ~ParquetWriter() {
#ifdef BRINDLE_HAVE_ZSTD
    if (m_cctx) ZSTD_freeCCtx(m_cctx);
#endif
  }

  void Add(CaseValues& row, const std::vector<ExportColumn>& columns, double sysmis) {
    for (std::size_t c = 0; c < m_chunks.size(); ++c) {
      ColumnChunk& chunk = m_chunks[c];
      const ExportColumn& col = columns[c];
      if (col.width > 0) {
        const std::string_view text = TrimTrailingBlanks(row.Text(c));
        if (m_labels && !col.textLabels.empty()) {
          const auto it = col.textLabels.find(std::string(text));
          if (it != col.textLabels.end()) {
            chunk.Text(it->second);
            CountValue(chunk);
            continue;
          }
        }
        chunk.Text(text);
      } else {
        const double x = row.Number(c);
        if (x == sysmis || std::isnan(x)) {
          chunk.Null();
        } else {
          switch (chunk.kind) {
            case Kind::Number:
              chunk.Double(x);
              break;
            case Kind::Text: {
              const auto it = col.numberLabels.find(x);
              if (it != col.numberLabels.end())
                chunk.Text(it->second);
              else
                chunk.Text(FormattedNumber(x, col.format));
              break;
            }
            case Kind::Date: {
              const double days = std::floor((x - kUnixEpoch) / kDaySeconds);
              if (days >= -2147483648.0 && days <= 2147483647.0)
                chunk.Integer(std::int64_t(days), 4);
              else
                chunk.Null(), ++chunk.outOfRange;
              break;
            }
            case Kind::Timestamp: {
              const double us = std::round((x - kUnixEpoch) * 1e6);
              if (std::isfinite(us) && std::fabs(us) < 9.2e18)
                chunk.Integer(std::int64_t(us), 8);
              else
                chunk.Null(), ++chunk.outOfRange;
              break;
            }
            case Kind::Time: {
              const double us = std::round(x * 1e6);
              if (us >= 0 && us < kDaySeconds * 1e6)
                chunk.Integer(std::int64_t(us), 8);
              else
                chunk.Null(), ++chunk.outOfRange;
              break;
            }
          }
        }
      }
      CountValue(chunk);
    }
    ++m_groupRows;
  }

  std::int64_t groupRows() const { return m_groupRows; }
  bool groupFull(std::int64_t limit) const {
    if (m_groupRows >= limit) return true;
    std::size_t held = 0;
    for (const ColumnChunk& c : m_chunks) held += c.pages.size() + c.values.size();
    return held >= kGroupBytes;
  }

  // Writes the row group held (nothing when it has no rows).
  void FlushGroup() {
    if (m_groupRows == 0) return;
    GroupMeta group;
    group.rows = m_groupRows;
    for (ColumnChunk& chunk : m_chunks) {
      if (chunk.pageValues) FlushPage(chunk);
      ChunkMeta meta;
      meta.offset = m_offset;
      meta.values = chunk.chunkValues;
      meta.compressed = std::int64_t(chunk.pages.size());
      meta.uncompressed = chunk.uncompressed;
      meta.nulls = chunk.nulls;
      meta.hasStats = chunk.hasStats;
      if (chunk.hasStats) meta.min = chunk.StatBytes(false), meta.max = chunk.StatBytes(true);
      m_out.Write(chunk.pages);
      m_offset += meta.compressed;
      group.bytes += meta.uncompressed;
      group.compressed += meta.compressed;
      group.chunks.push_back(std::move(meta));
      chunk.ResetChunk();
    }
    m_groups.push_back(std::move(group));
    m_rows += m_groupRows;
    m_groupRows = 0;
  }

  // The footer: the file's metadata, its length and the closing magic.
  void Finish(const std::string& dictionaryJson) {
    FlushGroup();
    CompactWriter w;
    w.BeginStruct();
    w.FieldI32(1, 1);
    w.FieldList(2, thrift::kStruct, m_columns.size() + 1);
    w.BeginStruct();
    w.FieldBinary(4, "schema");
    w.FieldI32(5, std::int32_t(m_columns.size()));
    w.EndStruct();
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      const ColumnChunk& chunk = m_chunks[c];
      w.BeginStruct();
      w.FieldI32(1, chunk.physical());
      w.FieldI32(3, kOptional);
      w.FieldBinary(4, m_columns[c].name);
      if (chunk.kind == Kind::Text) w.FieldI32(6, kConvertedUtf8);
      if (chunk.kind == Kind::Date) w.FieldI32(6, kConvertedDate);
      if (chunk.kind != Kind::Number) {
        w.FieldStruct(10);  // LogicalType, a union
        w.BeginStruct();
        if (chunk.kind == Kind::Text) {
          w.FieldStruct(1), w.BeginStruct(), w.EndStruct();
        } else if (chunk.kind == Kind::Date) {
          w.FieldStruct(6), w.BeginStruct(), w.EndStruct();
        } else {
          // TIME (7) or TIMESTAMP (8): local, in microseconds.
          w.FieldStruct(chunk.kind == Kind::Time ? 7 : 8);
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
        w.FieldI32(1, m_chunks[c].physical());
        w.FieldList(2, thrift::kI32, 2);
        w.I32(kPlain), w.I32(kRle);
        w.FieldList(3, thrift::kBinary, 1);
        w.Binary(m_columns[c].name);
        w.FieldI32(4, codec());
        w.FieldI64(5, m.values);
        w.FieldI64(6, m.uncompressed);
        w.FieldI64(7, m.compressed);
        w.FieldI64(9, m.offset);
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
  }

  // How many values were made null for being outside their type's range.
  std::string RangeWarning() const {
    std::string names;
    std::int64_t count = 0;
    for (std::size_t c = 0; c < m_chunks.size(); ++c) {
      if (!m_chunks[c].outOfRange) continue;
      count += m_chunks[c].outOfRange;
      names += (names.empty() ? "" : ", ") + m_columns[c].name;
    }
    if (!count) return {};
    return std::to_string(count) + (count == 1 ? " value" : " values") +
           " outside the range of their Parquet date or time type written as null (" + names + ").";
  }

  std::string Error() const { return m_error; }

 private:
  struct ChunkMeta {
    std::int64_t offset = 0, values = 0, compressed = 0, uncompressed = 0, nulls = 0;
    bool hasStats = false;
    std::string min, max;
  };
  struct GroupMeta {
    std::int64_t rows = 0, bytes = 0, compressed = 0;
    std::vector<ChunkMeta> chunks;
  };

  int codec() const { return m_zstd ? kZstdCodec : kUncompressed; }
  // Counts the value just added; a full page is written.
  void CountValue(ColumnChunk& chunk) {
    if (++chunk.pageValues >= m_options.pageRows) FlushPage(chunk);
  }

  void FlushPage(ColumnChunk& chunk) {
    m_page.clear();
    AppendLevels(m_page, chunk.defined);
    m_page += chunk.values;
    const std::string* body = &m_page;
#ifdef BRINDLE_HAVE_ZSTD
    if (m_zstd) {
      m_packed.resize(ZSTD_compressBound(m_page.size()));
      const std::size_t n = ZSTD_compressCCtx(m_cctx, m_packed.data(), m_packed.size(),
                                              m_page.data(), m_page.size(), 1);
      if (ZSTD_isError(n)) {
        // Out of memory in the compressor: this page goes uncompressed would
        // break the chunk's codec, so the export fails.
        m_error = std::string("zstd: ") + ZSTD_getErrorName(n);
        m_packed.clear();
      } else {
        m_packed.resize(n);
      }
      body = &m_packed;
    }
#endif
    CompactWriter h;
    h.BeginStruct();
    h.FieldI32(1, kDataPage);
    h.FieldI32(2, std::int32_t(m_page.size()));
    h.FieldI32(3, std::int32_t(body->size()));
    h.FieldStruct(5);
    h.BeginStruct();
    h.FieldI32(1, std::int32_t(chunk.pageValues));
    h.FieldI32(2, kPlain);
    h.FieldI32(3, kRle);
    h.FieldI32(4, kRle);
    h.EndStruct();
    h.EndStruct();
    chunk.pages += h.bytes();
    chunk.pages += *body;
    chunk.uncompressed += std::int64_t(h.bytes().size() + m_page.size());
    chunk.chunkValues += chunk.pageValues;
    chunk.pageValues = 0;
    chunk.values.clear();
    chunk.defined.clear();
  }

  const std::vector<ExportColumn>& m_columns;
  ParquetOptions m_options;
  ExportFile& m_out;
  std::vector<ColumnChunk> m_chunks;
  std::vector<GroupMeta> m_groups;
  std::int64_t m_offset = 0, m_rows = 0, m_groupRows = 0;
  std::string m_page, m_packed, m_error;
  bool m_zstd = false;
  bool m_labels = false;  // labelled values as their labels
#ifdef BRINDLE_HAVE_ZSTD
  ZSTD_CCtx* m_cctx = nullptr;
#endif
};

}  // namespace

bool ParquetHasZstd() {
#ifdef BRINDLE_HAVE_ZSTD
  return true;
#else
  return false;
#endif
}

ExportResult WriteDataParquet(const CaseFeed& feed, const std::vector<ExportColumn>& columns,
                              DataMode mode, double sysmis, std::int64_t totalCases,
                              const std::string& dictionaryJson, ExportFile& out,
                              const ExportProgress& progress, const ParquetOptions& options) {
  ExportResult result;
  ParquetOptions opts = options;
  if (opts.pageRows <= 0) opts.pageRows = 65536;
  std::int64_t groupRows = opts.rowGroupRows;
  if (groupRows <= 0) groupRows = kMaxGroupRows;
  if (progress && !progress(0, totalCases)) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  ParquetWriter writer(columns, mode, opts, out);
  bool failed = false, cancelled = false;
  const PassEnd end = feed([&](CaseValues& row) {
    writer.Add(row, columns, sysmis);
    ++result.rows;
    if (writer.groupFull(groupRows)) {
      writer.FlushGroup();
      if (!writer.Error().empty() || !out.Ok()) return !(failed = true);
    }
    if (progress && result.rows % kBatchCases == 0 && !progress(result.rows, totalCases))
      return !(cancelled = true);
    return true;
  });
  if (failed) return Failed(!writer.Error().empty() ? writer.Error() : out.Error());
  if (cancelled) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  if (!end.sound() && !end.stopped)
    result.warning = ShortDataWarning(result.rows, totalCases, end.message());
  writer.Finish(dictionaryJson);
  if (!writer.Error().empty()) return Failed(writer.Error());
  if (progress) progress(result.rows, totalCases);
  if (!out.Ok()) return Failed(out.Error());
  if (result.warning.empty() && result.rows < totalCases)
    result.warning = ShortDataWarning(result.rows, totalCases, {});
  const std::string range = writer.RangeWarning();
  if (!range.empty()) result.warning += (result.warning.empty() ? "" : " ") + range;
  return result;
}

ExportResult ExportDataParquet(SystemFile& file, const std::vector<int>& vars, DataMode mode,
                               ExportFile& out, const ExportProgress& progress,
                               const ParquetOptions& options) {
  // The positions DataColumns takes: in range, in dictionary order, once.
  std::vector<int> positions;
  for (int v = 0; v < int(file.variableCount()); ++v)
    if (vars.empty() || std::find(vars.begin(), vars.end(), v) != vars.end())
      positions.push_back(v);
  const std::vector<ExportColumn> columns = DataColumns(file, positions, mode == DataMode::Labels);
  std::ostringstream json;
  {
    ExportFile dict;
    dict.OpenStream(json);
    const ExportResult written = ExportDictionaryJson(file, dict);
    if (written.status != ExportStatus::Done || !dict.Commit())
      return Failed("Cannot write the dictionary into the Parquet file");
  }
  double sysmis = 0;
  spssHostSysmisVal(&sysmis);
  ColumnPass pass(file, positions);
  return WriteDataParquet([&](const CaseTaker& take) { return FeedFromPass(pass, take); }, columns,
                          mode == DataMode::Labels ? mode : DataMode::Raw, sysmis, file.caseCount(),
                          json.str(), out, progress, options);
}

}  // namespace brindle
