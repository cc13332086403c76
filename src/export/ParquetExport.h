// Data export as an Apache Parquet file: one column per variable with its
// type, system-missing as null, the whole dictionary (as `export dict --json`
// writes it) in the file's key-value metadata under kParquetDictionaryKey.
//
// Column types: numbers DOUBLE; date formats (DATE, ADATE, EDATE, SDATE,
// JDATE, MOYR, QYR, WKYR) the DATE logical type (INT32 days since
// 1970-01-01, the day the value falls on); DATETIME the TIMESTAMP logical
// type (INT64 microseconds since 1970-01-01 00:00, not adjusted to UTC);
// TIME the TIME logical type (INT64 microseconds since midnight, for values
// from 0 up to 24 hours); strings UTF-8 BYTE_ARRAY without trailing blanks.
// A date or time value outside its type's range becomes null, and the
// export says so in its note. With DataMode::Labels a variable with value
// labels is written as strings: the label where there is one, else the
// formatted value. User-missing values stay values unless the options make
// them null.
//
// Layout: row groups of up to 1,000,000 rows (fewer for wide cases, so that
// what is held stays bounded), data pages (version 1, RLE definition levels)
// of up to 65,536 rows (and about 8 MB), column statistics (min, max, null
// count). Column chunks are dictionary-encoded (a dictionary page, then
// RLE_DICTIONARY pages) while that pays: a chunk whose first page is not
// smaller so, or whose dictionary passes 1 MB, goes on with PLAIN pages.
// Pages are compressed with zstd, snappy or not at all. The footer's structures are
// written by field id in Thrift's compact protocol (ParquetThrift.h).
//
// The cases are turned into column values on every thread of the task pool
// (the ordered column pass), and the pages are compressed there too; one
// thread puts them together and writes them in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/CaseFeed.h"
#include "export/CsvExport.h"
#include "export/ExportFile.h"

namespace brindle {

class SystemFile;

// The key-value metadata key that holds the dictionary JSON.
inline constexpr const char* kParquetDictionaryKey = "brindle.dictionary";

enum class ParquetCodec { Zstd, None, Snappy };

// Whether this build compresses Parquet pages with zstd.
bool ParquetHasZstd();
// Whether this build compresses Parquet pages with snappy.
bool ParquetHasSnappy();
// The pages' compression when none is asked for: zstd where this build has
// it, else none, so that an export without the choice always works.
ParquetCodec DefaultParquetCodec();

struct ParquetOptions {
  ParquetCodec codec = DefaultParquetCodec();
  // Rows per row group; 0 for the default (see above).
  std::int64_t rowGroupRows = 0;
  std::int64_t pageRows = 65536;
  // User-missing values written as null instead of as values.
  bool userMissingNull = false;
};

// Writes the cases of feed as a Parquet file to out. dictionaryJson goes into
// the key-value metadata (nothing when empty). Data that ends before
// totalCases (when not -1) or is damaged ends the rows there, as for CSV.
// A codec this build lacks fails the export.
ExportResult WriteDataParquet(const CaseFeed& feed, const std::vector<ExportColumn>& columns,
                              DataMode mode, double sysmis, std::int64_t totalCases,
                              const std::string& dictionaryJson, ExportFile& out,
                              const ExportProgress& progress, const ParquetOptions& options = {});

// The data of the variables `vars` (all of them when empty; in dictionary
// order, each once) of the open file, with its whole dictionary. mode is Raw
// or Labels (Formatted is written as Raw: the types carry the formats).
ExportResult ExportDataParquet(SystemFile& file, const std::vector<int>& vars, DataMode mode,
                               ExportFile& out, const ExportProgress& progress,
                               const ParquetOptions& options = {});

}  // namespace brindle
