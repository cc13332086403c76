#include "export/CsvExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>

#include "datafile/MissingValueText.h"
#include "export/CsvRows.h"
#include "spssio/ColumnPass.h"
#include "spssio/FileNames.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"

namespace brindle {
namespace {

// Every whole number up to 2^53 is a double of its own.
constexpr double kExactInteger = 9007199254740992.0;

const NumberSeparators& DotSeparators() {
  static const NumberSeparators seps{".", ","};
  return seps;
}

void AppendPadded(std::string& out, int v, int digits) {
  char buf[16];
  char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  for (auto n = end - buf; n < digits; ++n) out += '0';
  out.append(buf, std::size_t(end - buf));
}

// A variable's labels, values as texts for the labels export.
struct LabelRow {
  double number = 0;
  std::string value;  // the stored string value (blank padded) for strings
  std::string label;
};

std::vector<LabelRow> ReadLabels(const SystemFile& file, int index) {
  std::vector<LabelRow> rows;
  if (index < 0) return rows;
  const std::size_t v = std::size_t(index);
  if (!file.variable(v).isString()) {
    for (NumericLabel& l : file.numericLabels(v)) rows.push_back({l.value, {}, std::move(l.label)});
  } else {
    for (StringLabel& l : file.stringLabels(v))
      rows.push_back({0, std::move(l.value), std::move(l.label)});
  }
  return rows;
}

ExportResult Failed(std::string message) {
  ExportResult r;
  r.status = ExportStatus::Failed;
  r.message = std::move(message);
  return r;
}

double Sysmis() {
  double sysmis = 0;
  spssHostSysmisVal(&sysmis);
  return sysmis;
}

}  // namespace

std::string ShortDataWarning(std::int64_t rows, std::int64_t total, const std::string& why) {
  const std::string cases = rows == 1 ? " case" : " cases";
  std::string text = "The data ended early: only " + std::to_string(rows);
  text += total > rows ? " of " + std::to_string(total) + " cases" : cases;
  text += " could be read";
  if (!why.empty()) text += " (" + why + ")";
  return text + ". The export holds the " + std::to_string(rows) + cases + " read.";
}

void AppendCsvField(std::string& out, std::string_view text) {
  bool plain = true;
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\n' || c == '\r') {
      plain = false;
      break;
    }
  }
  if (plain) {
    out.append(text);
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendNumberField(std::string& out, double x, double sysmis) {
  if (x == sysmis) return;
  char buf[40];
  // Whole numbers, the common case, as plain digits (1000000, not the
  // equally short 1e+06); -0 keeps its sign through the general path.
  if (x >= -kExactInteger && x <= kExactInteger && x == std::trunc(x) &&
      !(x == 0 && std::signbit(x))) {
    char* end = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(x)).ptr;
    out.append(buf, std::size_t(end - buf));
    return;
  }
  // Few decimals, the next most common case: k / 10^d is the double nearest
  // to the decimal k * 10^-d, so when it equals x that text reads back as x,
  // and the first such d gives the shortest plain text.
  if (x > -1e9 && x < 1e9 && x != 0) {
    static constexpr double kPowers[] = {10, 100, 1000, 10000};
    for (int d = 1; d <= 4; ++d) {
      const double scaled = std::nearbyint(x * kPowers[d - 1]);
      if (scaled / kPowers[d - 1] != x) continue;
      const auto k = static_cast<std::int64_t>(scaled);
      // The text is put together in buf and appended at once.
      char digits[24];
      char* p = std::to_chars(digits, digits + sizeof digits, k < 0 ? -k : k).ptr;
      const auto n = p - digits;
      char* t = buf;
      if (x < 0) *t++ = '-';
      if (n <= d) {
        *t++ = '0', *t++ = '.';
        for (auto z = n; z < d; ++z) *t++ = '0';
        std::memcpy(t, digits, std::size_t(n)), t += n;
      } else {
        std::memcpy(t, digits, std::size_t(n - d)), t += n - d;
        *t++ = '.';
        std::memcpy(t, p - d, std::size_t(d)), t += d;
      }
      out.append(buf, std::size_t(t - buf));
      return;
    }
  }
  char* end = std::to_chars(buf, buf + sizeof buf, x).ptr;
  out.append(buf, std::size_t(end - buf));
}

std::string_view TrimTrailingBlanks(std::string_view s) {
  const auto last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

std::string FormattedNumber(double x, const PrintFormat& f) {
  std::string out;
  if (std::isfinite(x) && (IsDateFormat(f.Fmt) || f.Fmt == kFmtDateTime)) {
    const bool withTime = f.Fmt == kFmtDateTime;
    const int dec = withTime ? std::clamp(f.Dec, 0, 9) : 0;
    // Rounded to what is shown, so that 59.7 seconds carries into the minute.
    const double v = withTime ? RoundHalfAway(x, dec) : x;
    int d = 0, m = 0, y = 0, days = 0, h = 0, mi = 0;
    double s = 0;
    if (spssConvertSPSSDate(&d, &m, &y, v) == SPSS_OK &&
        (!withTime || spssConvertSPSSTime(&days, &h, &mi, &s, v) == SPSS_OK)) {
      AppendPadded(out, y, 4), out += '-', AppendPadded(out, m, 2), out += '-',
          AppendPadded(out, d, 2);
      if (withTime) {
        out += ' ', AppendPadded(out, h, 2), out += ':', AppendPadded(out, mi, 2), out += ':';
        out += FixedText(s, dec > 0 ? dec + 3 : 2, dec, DotSeparators());
        // FixedText pads to the width with blanks; seconds take two digits.
        for (auto p = out.rfind(' '); p != std::string::npos && p > 10; p = out.rfind(' '))
          out[p] = '0';
      }
      return out;
    }
    AppendNumberField(out, x, -HUGE_VAL);
    return out;
  }
  out = FormatValue(x, f, true, DotSeparators());
  const auto first = out.find_first_not_of(' ');
  const auto last = out.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
}

namespace {

// The header row; false when progress cancels at the start.
bool WriteHeader(const std::vector<ExportColumn>& columns, std::int64_t totalCases, ExportFile& out,
                 const ExportProgress& progress) {
  AppendCsvHeader(out.Buffer(), columns);
  out.Written();
  return !progress || progress(0, totalCases);
}

// Case i of a batch, as AppendDataRow reads rows.
struct BatchRow {
  CaseBatch& batch;
  std::size_t i;
  double Number(std::size_t c) const { return batch.number(c, i); }
  std::string_view Text(std::size_t c) { return batch.text(c, i); }
};

}  // namespace

void AppendCsvHeader(std::string& line, const std::vector<ExportColumn>& columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c) line += ',';
    AppendCsvField(line, columns[c].name);
  }
  line += '\n';
}

ExportResult WriteDataCsv(ColumnPass& cases, const std::vector<ExportColumn>& columns,
                          DataMode mode, double sysmis, std::int64_t totalCases, ExportFile& out,
                          const ExportProgress& progress, unsigned threads) {
  ExportResult result;
  if (!WriteHeader(columns, totalCases, out, progress)) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  cases.setThreads(threads);
  std::string failure;
  bool cancel = false;
  const PassEnd end = cases.readInOrder(
      {},
      [&](CaseBatch& batch, std::string& text) {
        for (std::size_t i = 0; i < batch.size(); ++i) {
          BatchRow row{batch, i};
          AppendDataRow(text, row, columns, mode, sysmis);
        }
      },
      [&](std::string&& text, std::int64_t rows) {
        out.Write(text);
        result.rows += rows;
        if (!out.Ok()) {
          failure = out.Error();
          return false;
        }
        cancel = progress && !progress(result.rows, totalCases);
        return !cancel;
      });
  if (cancel) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  if (!failure.empty()) return Failed(failure);
  if (!end.stopped && !end.sound())
    result.warning = ShortDataWarning(result.rows, totalCases, end.message());
  if (progress) progress(result.rows, totalCases);
  if (!out.Ok()) return Failed(out.Error());
  if (result.warning.empty() && result.rows < totalCases)
    result.warning = ShortDataWarning(result.rows, totalCases, {});
  return result;
}

std::vector<ExportColumn> DataColumns(const SystemFile& file, std::vector<int> vars,
                                      bool withLabels) {
  std::vector<ExportColumn> columns;
  const int numVars = int(file.variableCount());
  std::sort(vars.begin(), vars.end());
  vars.erase(std::unique(vars.begin(), vars.end()), vars.end());
  for (int v : vars) {
    if (v < 0 || v >= numVars) continue;
    const Variable& var = file.variable(std::size_t(v));
    ExportColumn col;
    col.name = var.name;
    col.width = var.width;
    col.format = PrintFormat{var.print.type, var.print.width, var.print.decimals};
    col.missing = var.missing;
    if (withLabels) {
      for (LabelRow& row : ReadLabels(file, v)) {
        if (col.width > 0)
          col.textLabels.emplace(std::string(TrimTrailingBlanks(row.value)), std::move(row.label));
        else
          col.numberLabels.emplace(row.number, std::move(row.label));
      }
    }
    columns.push_back(std::move(col));
  }
  return columns;
}

ExportResult ExportData(SystemFile& file, const std::vector<int>& vars, DataMode mode,
                        ExportFile& out, const ExportProgress& progress) {
  std::vector<int> chosen = vars;
  if (chosen.empty())
    for (int v = 0; v < int(file.variableCount()); ++v) chosen.push_back(v);
  const std::vector<ExportColumn> columns = DataColumns(file, chosen, mode == DataMode::Labels);
  // The positions DataColumns took, in its order.
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  std::vector<int> positions;
  for (int v : chosen)
    if (v >= 0 && positions.size() < columns.size()) positions.push_back(v);
  const std::int64_t total = file.caseCount();
  // DataColumns keeps the positions in range, so every column has one.
  if (positions.size() != columns.size()) return Failed("a variable to export is not in the file");
  ColumnPass cases(file, positions);
  // A compressed file splits at its case index: a quick pass makes one when
  // the opening did not.
  if (!cases.indexed() &&
      cases.indexCases([&](std::int64_t) { return !progress || progress(0, total); }).stopped) {
    ExportResult cancelled;
    cancelled.status = ExportStatus::Cancelled;
    return cancelled;
  }
  return WriteDataCsv(cases, columns, mode, Sysmis(), total, out, progress);
}

std::vector<std::vector<std::string>> VariableRows(const SystemFile& file,
                                                   const std::vector<VarRecord>& records) {
  double lowest = 0, highest = 0;
  spssLowHighVal(&lowest, &highest);
  // The level and role columns are always there, empty where the file
  // records nothing, so scripts can rely on the header.
  static const char* const kLevels[] = {"", "nominal", "ordinal", "scale"};
  static const char* const kRoles[] = {"input", "target", "both", "none", "partition", "split"};
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"name", "label", "type", "width", "format", "missing", "value_labels",
                  "measurement_level", "role"});
  for (const VarRecord& r : records) {
    const bool isString = r.VarType > 0;
    std::vector<std::string> row;
    row.push_back(r.VarName);
    row.push_back(r.VarLabel);
    row.push_back(isString ? "string" : "numeric");
    row.push_back(std::to_string(isString ? r.VarType : r.Wid));
    row.push_back(r.PrintFmt);
    row.push_back(isString ? r.MissingValues
                           : NumericMissingText(r.missingFormat, r.nMiss1, r.nMiss2, r.nMiss3,
                                                lowest, highest, DotSeparators()));
    const int index = file.findVariable(r.VarName);
    row.push_back(std::to_string(ReadLabels(file, index).size()));
    int level = SPSS_MLVL_UNK, role = SPSS_ROLE_UNK;
    if (index >= 0) {
      level = file.variable(std::size_t(index)).measure;
      role = file.variable(std::size_t(index)).role;
    }
    row.push_back(level >= SPSS_MLVL_NOM && level <= SPSS_MLVL_RAT ? kLevels[level] : "");
    row.push_back(role >= SPSS_ROLE_INPUT && role <= SPSS_ROLE_SPLIT ? kRoles[role] : "");
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::vector<std::string>> ValueLabelRows(const SystemFile& file,
                                                     const std::vector<VarRecord>& records) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"variable", "value", "label"});
  for (const VarRecord& r : records) {
    const bool isString = r.VarType > 0;
    for (LabelRow& label : ReadLabels(file, file.findVariable(r.VarName))) {
      std::string value;
      if (isString)
        value = TrimTrailingBlanks(label.value);
      else
        AppendNumberField(value, label.number, Sysmis());
      rows.push_back({r.VarName, std::move(value), std::move(label.label)});
    }
  }
  return rows;
}

namespace {

// rows as CSV; the result counts the rows after the header.
ExportResult WriteRows(const std::vector<std::vector<std::string>>& rows, ExportFile& out) {
  std::string line;
  for (const std::vector<std::string>& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) line += ',';
      AppendCsvField(line, row[c]);
    }
    line += '\n';
    out.Write(line);
    line.clear();
  }
  ExportResult result;
  result.rows = static_cast<std::int64_t>(rows.size()) - 1;
  if (!out.Ok()) return Failed(out.Error());
  return result;
}

}  // namespace

ExportResult ExportVariables(const SystemFile& file, const std::vector<VarRecord>& records,
                             ExportFile& out) {
  return WriteRows(VariableRows(file, records), out);
}

ExportResult ExportValueLabels(const SystemFile& file, const std::vector<VarRecord>& records,
                               ExportFile& out) {
  return WriteRows(ValueLabelRows(file, records), out);
}

ExportResult ExportToFile(const std::string& target,
                          const std::function<ExportResult(ExportFile&)>& write,
                          const std::string& source) {
  std::error_code ec;
  if (!source.empty() &&
      std::filesystem::equivalent(PathFromUtf8(target), PathFromUtf8(source), ec))
    return Failed("Cannot export to " + target + ": it is the data file being read");
  ExportFile file;
  if (!file.Open(target)) return Failed(file.Error());
  ExportResult result = write(file);
  if (result.status != ExportStatus::Done) {
    file.Discard();
    return result;
  }
  if (!file.Commit()) return Failed(file.Error());
  return result;
}

}  // namespace brindle
