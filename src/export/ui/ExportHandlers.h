// File > Export in the viewer: the target file from the save dialog (its
// filter chooses raw values, formatted values or value labels for the data,
// as CSV, Parquet, an Excel workbook or a Stata file) and the file written by export/ with a
// progress dialog whose Cancel stops it.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "variables/VarRecord.h"

class QWidget;

namespace brindle {

class VariableList;
class SystemFile;
class UiService;

// What one export writes, and where.
struct ExportJob {
  int kind = 0;  // 0 data, 1 variable properties, 2 value labels
  DataMode mode = DataMode::Raw;
  bool parquet = false;  // the data as Parquet rather than CSV
  bool xlsx = false;     // the data as an Excel workbook
  bool dta = false;      // the data as a Stata file
  QString target;
  // The whole dictionary in file order, for properties and labels.
  std::vector<VarRecord> records;
  // The variables of the table's view, for the data.
  std::vector<int> vars;
};

// Asks for the target of an export of the given kind, suggested beside the
// data file. Nothing when the user cancels, or when a data export would
// have no variables (which is reported).
std::optional<ExportJob> AskExportJob(UiService& ui, QWidget* parent, int kind,
                                      const std::string& fileName, const VariableList& variables);

// Writes the job from the open file, with a progress dialog over
// parent. stopRequested is asked between batches: the export is cancelled
// when it says so, and a failure is then not reported. Data that ends early
// still gives the file, with the cases read, and a warning saying so.
void RunExportJob(UiService& ui, QWidget* parent, const ExportJob& job, SystemFile& file,
                  const std::string& fileName, const std::function<bool()>& stopRequested);

}  // namespace brindle
