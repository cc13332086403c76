// A check for the export's own reading: the data export written from the
// cases of the open file read one at a time through SystemFile's
// case-by-case calls, as spssReadCaseRecord reads them. Only the tests use
// it, to compare the export's output with.
#pragma once

#include <cstdint>
#include <vector>

#include "export/CsvExport.h"

namespace brindle {

class SystemFile;

// What WriteDataCsv writes for the variables at `vars` (the columns'
// dictionary positions), without progress. The file's case stream is
// rewound before and after.
ExportResult WriteDataCsvThroughModule(SystemFile& file, const std::vector<int>& vars,
                                       const std::vector<ExportColumn>& columns, DataMode mode,
                                       double sysmis, std::int64_t totalCases, ExportFile& out);

}  // namespace brindle
