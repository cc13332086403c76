#include "export/testing/ModuleCsv.h"

#include <string>
#include <string_view>

#include "export/CsvRows.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"

namespace brindle {
namespace {

// The current case of the file, as AppendDataRow reads rows.
struct ModuleRow {
  SystemFile& file;
  const std::vector<int>& vars;
  std::string text;
  double Number(std::size_t c) const { return file.number(std::size_t(vars[c])); }
  std::string_view Text(std::size_t c) {
    text = file.text(std::size_t(vars[c]));
    return text;
  }
};

}  // namespace

ExportResult WriteDataCsvThroughModule(SystemFile& file, const std::vector<int>& vars,
                                       const std::vector<ExportColumn>& columns, DataMode mode,
                                       double sysmis, std::int64_t totalCases, ExportFile& out) {
  ExportResult result;
  AppendCsvHeader(out.Buffer(), columns);
  out.Written();
  file.rewind();
  ModuleRow row{file, vars, {}};
  for (;;) {
    const int rc = file.readCase();
    if (rc == SPSS_FILE_END) break;
    if (rc != SPSS_OK) {
      result.warning = ShortDataWarning(result.rows, totalCases, CodeText(rc, file.caseError()));
      break;
    }
    AppendDataRow(out.Buffer(), row, columns, mode, sysmis);
    out.Written();
    ++result.rows;
  }
  file.rewind();
  if (!out.Ok()) {
    result.status = ExportStatus::Failed;
    result.message = out.Error();
    return result;
  }
  if (result.warning.empty() && result.rows < totalCases)
    result.warning = ShortDataWarning(result.rows, totalCases, {});
  return result;
}

}  // namespace brindle
