#include "cli/CliCommands.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <ostream>
#include <string_view>
#include <system_error>
#include <vector>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cases/CaseView.h"
#include "codebook/Codebook.h"
#include "datafile/DataFileState.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/DictionaryText.h"
#include "datafile/DocumentReader.h"
#include "datafile/FileReport.h"
#include "datafile/OpenFile.h"
#include "export/CsvExport.h"
#include "export/DictionaryJson.h"
#include "export/ExcelExport.h"
#include "export/ParquetExport.h"
#include "export/StataExport.h"
#include "spssio/AsciiText.h"
#include "spssio/ColumnPass.h"
#include "spssio/DeliverInOrder.h"
#include "spssio/FileNames.h"
#include "spssio/FileWarning.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "values/Frequencies.h"
#include "values/ValueLabels.h"
#include "variables/VariableList.h"

namespace brindle::cli {
namespace {

enum ExitCode { kOk = 0, kFileError = 1, kUsage = 2 };

struct Command {
  std::string name;
  std::string file;
  std::string variable;
  std::string weight;
  bool weighted = false;
  bool fixedFormat = true;
  std::string exportKind;  // export: data, vars or labels
  std::string outPath;     // export: empty for standard output
  DataMode dataMode = DataMode::Raw;
  bool modeGiven = false;
  bool passwordGiven = false;  // --password or --password-file
  std::string password;
  std::string passwordFile;  // "-" for standard input
  bool check = false;        // info --check: only the file's warnings, on standard output
  bool json = false;         // export dict --json
  std::string format;  // export data --format: csv, parquet or xlsx; empty: by --out's extension
  bool compressionGiven = false;
  ParquetCodec codec = DefaultParquetCodec();  // export data --compression (Parquet)
  bool userMissingGiven = false;
  bool userMissingNull = false;  // export data --user-missing null (Parquet)
  // The options only a Parquet export takes.
  bool parquetOptions() const { return compressionGiven || userMissingGiven; }
  std::vector<std::string> vars;            // codebook --vars
  bool varsGiven = false;
  int top = 10;  // codebook --top
  bool topGiven = false;
  // cases: the first case (1-based), how many.
  std::int64_t from = 1;
  std::int64_t count = 20;
  bool rangeGiven = false;
};

// A --top count: a decimal number from 0 to a million.
bool ParseTop(const std::string& text, int& top) {
  if (text.empty() || text.size() > 7) return false;
  int n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n > 1000000) return false;
  top = n;
  return true;
}

// A --vars list: names separated by commas, none empty.
bool ParseVars(const std::string& text, std::vector<std::string>& vars) {
  std::size_t at = 0;
  while (true) {
    const std::size_t comma = text.find(',', at);
    const std::string name =
        text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (name.empty()) return false;
    vars.push_back(name);
    if (comma == std::string::npos) return true;
    at = comma + 1;
  }
}

// A whole number of at least `least`, as --from and --count take it.
bool ParseCount(const std::string& text, std::int64_t least, std::int64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  std::int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < least) return false;
  value = v;
  return true;
}

// Overwrites a password before its memory goes back to the heap.
void Wipe(std::string& text) {
  volatile char* p = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

// The first line of the password file (standard input for "-"), without its
// line end and a leading UTF-8 byte-order mark; false when it cannot be read.
bool ReadPasswordFile(const std::string& name, std::istream& in, std::string& password) {
  std::ifstream file;
  std::istream* from = &in;
  if (name != "-") {
    file.open(PathFromUtf8(name), std::ios::binary);
    if (!file) return false;
    from = &file;
  }
  if (!std::getline(*from, password) && !from->eof()) return false;
  if (!password.empty() && password.back() == '\r') password.pop_back();
  // Editors that save UTF-8 may put a byte-order mark first; it is no part of
  // the password.
  if (password.compare(0, 3, "\xEF\xBB\xBF") == 0) password.erase(0, 3);
  return true;
}

// An open file with its dictionary loaded; closed when it goes.
class LoadedFile {
 public:
  LoadedFile() = default;
  LoadedFile(const LoadedFile&) = delete;
  LoadedFile& operator=(const LoadedFile&) = delete;
  ~LoadedFile() = default;

  // Opens and loads; on failure writes the viewer's message to err. The
  // file's warnings go to err first, one "warning: " line each, and then the
  // damaged data's message, unless quiet (info --check prints them itself).
  bool Load(const std::string& fileName, const NumberSeparators& seps, std::ostream& err,
            const char* password, bool quiet) {
    std::string message;
    if (OpenDataFileState(fileName, state, &message, password) != SPSS_OK) {
      err << message << "\n";
      return false;
    }
    if (!quiet) printWarnings(err);
    const DictionaryLoadResult loaded = LoadDictionary(state, table, seps);
    if (!loaded.error.empty()) {
      err << loaded.error << "\n";
      return false;
    }
    if (!loaded.warning.empty()) {
      damageText = loaded.warning;
      if (!quiet) err << loaded.warning << "\n";
      damaged = true;
    }
    return true;
  }

  // The file's warnings not printed yet, one "warning: " line each: those
  // of the open, and after a pass those it found (a compressed file whose
  // data goes on past its case count).
  void printWarnings(std::ostream& err) {
    const std::vector<FileWarning> warnings = state.File->warnings();
    for (; warningsShown < warnings.size(); ++warningsShown)
      err << "warning: " << WarningLine(warnings[warningsShown]) << "\n";
  }

  DataFileState state;
  std::size_t warningsShown = 0;
  // The case count is an estimate: the data is damaged, and the command's
  // output covers the cases that could be read.
  bool damaged = false;
  std::string damageText;
  VariableList table;
};

// The data export's format by the output's extension (any case): parquet
// for .parquet, xlsx for .xlsx, dta for .dta, else csv.
std::string FormatByExtension(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  for (const char* ext : {"parquet", "xlsx", "dta"}) {
    const std::string dotted = std::string(".") + ext;
    if (lower.size() >= dotted.size() &&
        lower.compare(lower.size() - dotted.size(), dotted.size(), dotted) == 0)
      return ext;
  }
  return "csv";
}

bool ParseArgs(const std::vector<std::string>& args, Command& cmd) {
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--no-fixed-format") {
      cmd.fixedFormat = false;
    } else if (a == "--out") {
      if (i + 1 >= args.size() || !cmd.outPath.empty() || args[i + 1].empty()) return false;
      cmd.outPath = args[++i];
    } else if (a == "--formatted" || a == "--labels") {
      if (cmd.modeGiven) return false;
      cmd.modeGiven = true;
      cmd.dataMode = a == "--formatted" ? DataMode::Formatted : DataMode::Labels;
    } else if (a == "--password" || a == "--password-file") {
      if (i + 1 >= args.size() || cmd.passwordGiven) return false;
      cmd.passwordGiven = true;
      (a == "--password" ? cmd.password : cmd.passwordFile) = args[++i];
    } else if (a == "--from" || a == "--count") {
      if (i + 1 >= args.size()) return false;
      cmd.rangeGiven = true;
      if (!ParseCount(args[++i], a == "--from" ? 1 : 0, a == "--from" ? cmd.from : cmd.count))
        return false;
    } else if (a == "--check") {
      cmd.check = true;
    } else if (a == "--json") {
      cmd.json = true;
    } else if (a == "--format") {
      if (i + 1 >= args.size() || !cmd.format.empty()) return false;
      cmd.format = args[++i];
      if (cmd.format != "csv" && cmd.format != "parquet" && cmd.format != "xlsx" &&
          cmd.format != "dta")
        return false;
    } else if (a == "--compression") {
      if (i + 1 >= args.size() || cmd.compressionGiven) return false;
      cmd.compressionGiven = true;
      const std::string& c = args[++i];
      if (c != "zstd" && c != "snappy" && c != "none") return false;
      cmd.codec = c == "zstd"     ? ParquetCodec::Zstd
                  : c == "snappy" ? ParquetCodec::Snappy
                                  : ParquetCodec::None;
    } else if (a == "--user-missing") {
      if (i + 1 >= args.size() || cmd.userMissingGiven) return false;
      cmd.userMissingGiven = true;
      const std::string& how = args[++i];
      if (how != "null" && how != "values") return false;
      cmd.userMissingNull = how == "null";
    } else if (a == "--vars") {
      if (i + 1 >= args.size() || cmd.varsGiven || !ParseVars(args[i + 1], cmd.vars)) return false;
      cmd.varsGiven = true;
      ++i;
    } else if (a == "--top") {
      if (i + 1 >= args.size() || cmd.topGiven || !ParseTop(args[i + 1], cmd.top)) return false;
      cmd.topGiven = true;
      ++i;
    } else if (a == "--weight") {
      if (i + 1 >= args.size() || cmd.weighted) return false;
      cmd.weighted = true;
      cmd.weight = args[++i];
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return false;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty()) return false;
  cmd.name = positional[0];
  if (cmd.name == "export") {
    if (positional.size() != 3 || cmd.weighted || cmd.varsGiven || cmd.topGiven || cmd.rangeGiven)
      return false;
    cmd.exportKind = positional[1];
    cmd.file = positional[2];
    // The dictionary is written as JSON, and only that is asked for.
    if (cmd.exportKind == "dict")
      return cmd.json && !cmd.modeGiven && cmd.format.empty() && !cmd.parquetOptions();
    if (cmd.exportKind != "data" && (!cmd.format.empty() || cmd.parquetOptions())) return false;
    if (cmd.format.empty() && cmd.exportKind == "data") cmd.format = FormatByExtension(cmd.outPath);
    if (cmd.format == "parquet" || cmd.format == "xlsx" || cmd.format == "dta") {
      // Binary files: to a file only; their types carry the formats.
      if (cmd.outPath.empty() || cmd.outPath == "-") return false;
      if (cmd.modeGiven && cmd.dataMode == DataMode::Formatted) return false;
      // A Stata file carries the value labels themselves.
      if (cmd.modeGiven && cmd.format == "dta") return false;
    }
    if (cmd.parquetOptions() && cmd.format != "parquet") return false;
    if (cmd.json) return false;
    if (cmd.exportKind != "data" && cmd.exportKind != "vars" && cmd.exportKind != "labels")
      return false;
    return !cmd.modeGiven || cmd.exportKind == "data";
  }
  if (cmd.name == "codebook") {
    if (positional.size() != 2 || cmd.modeGiven || cmd.json || cmd.check || cmd.rangeGiven ||
        !cmd.format.empty() || cmd.parquetOptions())
      return false;
    cmd.file = positional[1];
    return true;
  }
  if (cmd.name == "cases") {
    if (positional.size() != 2 || !cmd.outPath.empty() || cmd.json || cmd.weighted || cmd.check ||
        cmd.topGiven || !cmd.format.empty() || cmd.parquetOptions())
      return false;
    cmd.file = positional[1];
    return true;
  }
  if (!cmd.outPath.empty() || cmd.modeGiven || cmd.json || cmd.varsGiven || cmd.topGiven ||
      cmd.rangeGiven || !cmd.format.empty() || cmd.parquetOptions())
    return false;
  if (cmd.name == "attrs" || cmd.name == "mrsets") {
    // attrs takes an optional variable.
    const std::size_t most = cmd.name == "attrs" ? 3 : 2;
    if (cmd.weighted || cmd.check || positional.size() < 2 || positional.size() > most)
      return false;
    cmd.file = positional[1];
    if (positional.size() == 3) cmd.variable = positional[2];
    return true;
  }
  const std::size_t wanted = cmd.name == "labels" || cmd.name == "freq" ? 3 : 2;
  if (cmd.name != "info" && cmd.name != "vars" && cmd.name != "labels" && cmd.name != "doc" &&
      cmd.name != "freq")
    return false;
  if (cmd.weighted && cmd.name != "freq") return false;
  if (cmd.check && cmd.name != "info") return false;
  if (positional.size() != wanted) return false;
  cmd.file = positional[1];
  if (wanted == 3) cmd.variable = positional[2];
  return true;
}

// One field of a tab-separated row, escaped as every command writes it.
void AppendField(std::string_view text, std::string& out) { AppendOneLine(text, out); }

std::string Field(const std::string& text) {
  std::string out;
  AppendField(text, out);
  return out;
}

// Rows [from, to) of a frequency table as tab-separated lines, appended to out.
void RenderRows(const FrequencyTable& table, int from, int to, std::string& out) {
  FrequencyTable::Renderer texts(table);
  // Numbers, counts and percentages are digits, signs and separators: only
  // labels and string values can hold what needs escaping.
  const int escaped = table.IsString() ? 2 : 1;
  std::string cell;
  for (int row = from; row < to; ++row) {
    for (int col = 0; col < 5; ++col) {
      if (col > 0) out += '\t';
      if (col >= escaped) {
        texts.Append(col, row, out);
        continue;
      }
      cell.clear();
      texts.Append(col, row, cell);
      AppendField(cell, out);
    }
    out += '\n';
  }
}

// The table's lines, rendered as they are printed (the table holds values,
// not texts). A long table is rendered in pieces on the task pool, a few
// pieces ahead of the one being written, and written in order.
void PrintRows(const FrequencyTable& table, std::ostream& out) {
  constexpr int kPieceRows = 32768;
  const int rows = table.Rows();
  if (rows <= kPieceRows) {
    std::string text;
    RenderRows(table, 0, rows, text);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return;
  }
  TaskPool& pool = TaskPool::shared();
  const std::size_t pieces = std::size_t((rows + kPieceRows - 1) / kPieceRows);
  DeliverInOrder<std::string>(
      pool, pieces, std::size_t(std::min(pool.threadCount(), 8u)) + 1, 1,
      [&](std::size_t piece, auto& deliver) {
        const int from = int(piece) * kPieceRows;
        std::string text;
        RenderRows(table, from, std::min(rows, from + kPieceRows), text);
        deliver(std::move(text));
      },
      [&](std::size_t, std::string&& text) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return true;
      });
}

int Info(LoadedFile& f, std::ostream& out) {
  const SystemFile& file = *f.state.File;
  out << FileInfoReport(f.state, file.productText(), file.caseSize()) << "\n";
  return kOk;
}

// info --check: the warnings, one line each; 1 when there are any. The
// damaged data's case-count message counts as one. Compressed data is read
// through to its count, which finds further cases past it.
int Check(LoadedFile& f, std::ostream& out) {
  SystemFile& file = *f.state.File;
  if (file.compressed() && file.caseCount() >= 0 && !f.damaged) ColumnPass(file, {}).indexCases();
  const std::vector<FileWarning> warnings = file.warnings();
  for (const FileWarning& w : warnings) out << "warning: " << WarningLine(w) << "\n";
  if (f.damaged) {
    std::string text = f.damageText;
    std::replace(text.begin(), text.end(), '\n', ' ');
    out << "warning: case data: " << text << "\n";
  }
  return warnings.empty() && !f.damaged ? kOk : kFileError;
}

int Vars(LoadedFile& f, std::ostream& out) {
  // The table is in dictionary order right after the load.
  for (int row = 0; row < f.table.RecordCount(); ++row) {
    const VarRecord& r = *f.table.ViewRecord(row);
    out << Field(r.VarName) << '\t' << Field(r.VarLabel) << '\t' << Field(r.MissingValues) << '\t'
        << Field(r.PrintFmt) << '\n';
  }
  return kOk;
}

// Variable names match as SPSS matches them: without regard to letter case.
const VarRecord* FindVariable(const VariableList& table, const std::string& name) {
  const VarRecord* folded = nullptr;
  const std::string wanted = AsciiUpper(name);
  for (int row = 0; row < table.RecordCount(); ++row) {
    const VarRecord* r = table.ViewRecord(row);
    if (r->VarName == name) return r;
    if (!folded && AsciiUpper(r->VarName) == wanted) folded = r;
  }
  return folded;
}

int Labels(LoadedFile& f, const std::string& variable, const NumberSeparators& seps,
           std::ostream& out, std::ostream& err) {
  const VarRecord* var = FindVariable(f.table, variable);
  if (!var) {
    err << "unknown variable " << variable << "\n";
    return kUsage;
  }
  for (const auto& row : ReadValueLabels(*f.state.File, *var, seps).rows)
    out << Field(row.label) << '\t' << Field(row.value) << '\n';
  return kOk;
}

// The values grid's data rows, then the statistics box when it is shown.
int Freq(LoadedFile& f, const Command& cmd, const NumberSeparators& seps, std::ostream& out,
         std::ostream& err) {
  const VarRecord* var = FindVariable(f.table, cmd.variable);
  if (!var) {
    err << "unknown variable " << cmd.variable << "\n";
    return kUsage;
  }
  const FrequencyPass pass =
      MakeFrequencyPass(f.state.File, f.state.NumCases, cmd.fixedFormat, seps);
  const FrequencyResult res = cmd.weighted ? CountWeightedFrequencies(pass, *var, cmd.weight)
                                           : CountFrequencies(pass, *var);
  if (!res.message.empty()) {
    err << res.message << "\n";
    return kUsage;
  }
  PrintRows(*res.table, out);
  if (res.memo == MemoDisplay::Shown) {
    out << '\n';
    for (const auto& line : res.memoLines) out << line << '\n';
  }
  if (!res.warning.empty()) {
    err << res.warning << "\n";
    return kFileError;
  }
  return kOk;
}

int Doc(LoadedFile& f, std::ostream& out, std::ostream& err) {
  if (f.state.HasDocument == 0) return kOk;
  const DocumentReadResult doc = DocumentOf(*f.state.File);
  if (!doc.found) {
    if (!doc.message.empty()) err << doc.message << "\n";
    return doc.message.empty() ? kOk : kFileError;
  }
  // Escaped like every field: a tab or line break inside a document line
  // would otherwise split or merge lines.
  for (const auto& line : DocumentWindowLines(doc, f.state.File->encoding()))
    out << Field(line) << '\n';
  return kOk;
}

// One line per attribute value: variable (empty for the file's own), name
// (Name[n] for array elements), value.
int Attrs(LoadedFile& f, const std::string& variable, std::ostream& out, std::ostream& err) {
  const SystemFile& file = *f.state.File;
  const auto print = [&out](const std::string& owner, const std::vector<Attribute>& attributes) {
    for (const AttributeLine& line : AttributeLines(attributes))
      out << Field(owner) << '\t' << Field(line.name) << '\t' << Field(line.value) << '\n';
  };
  if (!variable.empty()) {
    const VarRecord* var = FindVariable(f.table, variable);
    const int index = var ? file.findVariable(var->VarName) : -1;
    if (index < 0) {
      err << "unknown variable " << variable << "\n";
      return kUsage;
    }
    print(file.variable(std::size_t(index)).name, file.variable(std::size_t(index)).attributes);
    return kOk;
  }
  print({}, file.fileAttributes());
  for (const Variable& v : file.variables()) print(v.name, v.attributes);
  return kOk;
}

// One line per multiple-response set: name, label, kind, counted value,
// the members' names separated by blanks.
int MrSets(LoadedFile& f, std::ostream& out) {
  const SystemFile& file = *f.state.File;
  for (const MultipleResponseSet& s : file.multipleResponseSets())
    out << Field(s.name) << '\t' << Field(s.label) << '\t' << SetKindName(s.kind) << '\t'
        << Field(s.countedValue) << '\t' << Field(MemberNames(file, s.members)) << '\n';
  return kOk;
}

// Cases --from .. as tab-separated lines under a line of names: the values
// as the data page shows them with --formatted or --labels, else numbers as
// the shortest text that reads back to the same double and the
// system-missing value as an empty field.
int Cases(LoadedFile& f, const Command& cmd, const NumberSeparators& seps, std::ostream& out,
          std::ostream& err) {
  SystemFile& file = *f.state.File;
  std::vector<std::size_t> vars;
  if (cmd.varsGiven) {
    for (const std::string& name : cmd.vars) {
      const VarRecord* var = FindVariable(f.table, name);
      const int index = var ? file.findVariable(var->VarName) : -1;
      if (index < 0) {
        err << "unknown variable " << name << "\n";
        return kUsage;
      }
      vars.push_back(std::size_t(index));
    }
  } else {
    for (std::size_t v = 0; v < file.variableCount(); ++v) vars.push_back(v);
  }
  CaseView view(file, cmd.file, f.state.NumCases);
  CellOptions options;
  options.fixedFormat = cmd.fixedFormat;
  options.seps = seps;
  options.mode = cmd.dataMode == DataMode::Labels      ? CellMode::Labels
                 : cmd.dataMode == DataMode::Formatted ? CellMode::Values
                                                       : CellMode::Raw;
  view.setCellOptions(options);
  view.setColumns(vars);
  const std::int64_t first = cmd.from - 1;
  if (cmd.count > 0 && first >= view.rowCount()) {
    err << "case " << cmd.from << " is beyond the last case (" << view.rowCount() << ")\n";
    return kUsage;
  }
  std::string line;
  for (std::size_t c = 0; c < view.columnCount(); ++c) {
    if (c > 0) line += '\t';
    AppendField(view.name(c), line);
  }
  line += '\n';
  out.write(line.data(), std::streamsize(line.size()));
  std::string cell;
  for (std::int64_t row = first; row < first + cmd.count; ++row) {
    line.clear();
    bool present = true;
    for (std::size_t c = 0; c < view.columnCount() && present; ++c) {
      cell.clear();
      present = view.cellNow(row, c, cell) == CellState::Shown;
      if (c > 0) line += '\t';
      AppendField(cell, line);
    }
    // A file without variables has cases of nothing: one empty line each.
    if (view.columnCount() == 0) present = row < view.rowCount();
    if (!present) break;
    line += '\n';
    out.write(line.data(), std::streamsize(line.size()));
  }
  const CaseBlocks& blocks = view.blocks();
  if (blocks.damageAt() >= 0 && blocks.damageAt() < first + cmd.count) {
    if (!f.damaged) err << blocks.damageText() << "\n";
    return kFileError;
  }
  return kOk;
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(2) != 0;
#endif
}

// The CSV exports, to --out or to standard output. Progress goes to stderr
// only when it is the process's own stderr and a terminal.
int Export(LoadedFile& f, const Command& cmd, std::ostream& out, std::ostream& err) {
  const bool showProgress = cmd.exportKind == "data" && &err == &std::cerr && StderrIsTerminal();
  int lastPercent = -1;
  const ExportProgress progress = [&](std::int64_t done, std::int64_t total) {
    if (total > 0) {
      const int percent = static_cast<int>(done * 100 / total);
      if (percent != lastPercent) err << "\rexporting " << percent << "%" << std::flush;
      lastPercent = percent;
    }
    return true;
  };
  std::vector<VarRecord> records;
  for (int row = 0; row < f.table.RecordCount(); ++row) records.push_back(*f.table.ViewRecord(row));
  const auto write = [&](ExportFile& file) {
    if (cmd.exportKind == "vars") return ExportVariables(*f.state.File, records, file);
    if (cmd.exportKind == "labels") return ExportValueLabels(*f.state.File, records, file);
    if (cmd.exportKind == "dict") return ExportDictionaryJson(*f.state.File, file);
    if (cmd.format == "parquet") {
      ParquetOptions options;
      options.codec = cmd.codec;
      options.userMissingNull = cmd.userMissingNull;
      return ExportDataParquet(*f.state.File, {}, cmd.dataMode, file,
                               showProgress ? progress : ExportProgress(), options);
    }
    if (cmd.format == "dta")
      return ExportDataDta(*f.state.File, {}, file, showProgress ? progress : ExportProgress());
    if (cmd.format == "xlsx")
      return ExportDataXlsx(*f.state.File, {}, cmd.dataMode, records, file,
                            showProgress ? progress : ExportProgress());
    return ExportData(*f.state.File, {}, cmd.dataMode, file,
                      showProgress ? progress : ExportProgress());
  };
  ExportResult result;
  if (cmd.outPath.empty() || cmd.outPath == "-") {
    ExportFile file;
    file.OpenStream(out);
    result = write(file);
    if (result.status == ExportStatus::Done && !file.Commit()) result.message = file.Error();
  } else {
    result = ExportToFile(cmd.outPath, write, f.state.FileName);
  }
  if (lastPercent >= 0) err << "\r\033[K" << std::flush;
  if (!result.message.empty()) {
    err << result.message << "\n";
    return kFileError;
  }
  if (!result.note.empty()) err << result.note << "\n";
  // Short data: the cases that could be read are written all the same.
  if (!result.warning.empty()) {
    err << result.warning << "\n";
    return kFileError;
  }
  return kOk;
}

// The codebook, to --out or to standard output. Progress as for an export.
int Codebook(LoadedFile& f, const Command& cmd, const NumberSeparators& seps, std::ostream& out,
             std::ostream& err) {
  CodebookSource source;
  source.state = &f.state;
  source.damage = f.damageText;
  for (int row = 0; row < f.table.RecordCount(); ++row)
    source.records.push_back(*f.table.ViewRecord(row));
  CodebookRequest request;
  request.variables = cmd.vars;
  request.top = cmd.top;
  request.weight = cmd.weighted ? cmd.weight : std::string();
  request.usePrintFormat = cmd.fixedFormat;
  request.seps = seps;
  // Usage errors before any output is made.
  std::string unknown;
  if (CodebookVariables(source, request, &unknown).empty() && !unknown.empty()) {
    err << "unknown variable " << unknown << "\n";
    return kUsage;
  }
  if (cmd.weighted) {
    const int index = f.state.File->findVariable(cmd.weight);
    if (index < 0 || f.state.File->variable(std::size_t(index)).isString()) {
      err << "cannot find weight variable\n";
      return kUsage;
    }
  }
  const bool showProgress = &err == &std::cerr && StderrIsTerminal();
  int lastPercent = -1;
  const ExportProgress progress = [&](std::int64_t done, std::int64_t total) {
    if (showProgress && total > 0) {
      const int percent = static_cast<int>(std::min<std::int64_t>(done, total) * 100 / total);
      if (percent != lastPercent) err << "\rcounting " << percent << "%" << std::flush;
      lastPercent = percent;
    }
    return true;
  };
  ExportResult result;
  if (cmd.outPath.empty() || cmd.outPath == "-") {
    ExportFile file;
    file.OpenStream(out);
    result = WriteCodebook(source, request, file, progress);
    if (result.status == ExportStatus::Done && !file.Commit()) result.message = file.Error();
  } else {
    result = WriteCodebookFile(cmd.outPath, source, request, progress);
  }
  if (lastPercent >= 0) err << "\r\033[K" << std::flush;
  if (!result.message.empty()) {
    err << result.message << "\n";
    return kFileError;
  }
  if (!result.warning.empty() && result.warning != f.damageText) {
    err << result.warning << "\n";
    return kFileError;
  }
  return kOk;
}

// Whether the command's output depends on the cases: damaged data is then
// an error even when the command itself read to the end. The dictionary
// commands are whole without the data.
bool ReadsData(const Command& cmd) {
  return cmd.name == "info" || cmd.name == "freq" || cmd.name == "codebook" ||
         (cmd.name == "export" && cmd.exportKind == "data");
}

}  // namespace

std::string UsageText() {
  return "usage: brindle-cli info   FILE [--check]\n"
         "       brindle-cli vars   FILE\n"
         "       brindle-cli labels FILE VAR\n"
         "       brindle-cli doc    FILE\n"
         "       brindle-cli freq   FILE VAR [--weight WVAR]\n"
         "       brindle-cli export data|vars|labels FILE [--out PATH] [--formatted|--labels]\n"
         "       brindle-cli export data FILE --out PATH [--format csv|parquet|xlsx|dta]\n"
         "                          [--labels] [--compression zstd|snappy|none]\n"
         "                          [--user-missing null|values]\n"
         "       brindle-cli attrs  FILE [VAR]\n"
         "       brindle-cli mrsets FILE\n"
         "       brindle-cli export dict FILE --json [--out PATH]\n"
         "       brindle-cli cases  FILE [--from N] [--count K] [--vars A,B,...]\n"
         "                          [--labels|--formatted]\n"
         "       brindle-cli codebook FILE [--out PATH] [--vars A,B,...] [--top N] [--weight WVAR]\n"
         "export data: the format is csv, or parquet (xlsx, dta) for an --out PATH ending\n"
         "       in .parquet (.xlsx, .dta);\n"
         "       a Parquet file holds the dictionary as JSON under the key\n"
         "       \"brindle.dictionary\" of its metadata\n"
         "option --no-fixed-format  numbers in general form instead of the print format\n"
         "option --password PW, --password-file F (- for standard input)\n"
         "       the password of an encrypted file; the file's first line is the password\n"
         "info --check: only the file's warnings, on standard output; exit code 1 when there\n"
         "       are any. Every other command writes them to standard error, each line\n"
         "       starting with \"warning: \", before its output\n"
         "cases: K cases (20 when not given) from case N (1-based, 1 when not given) as\n"
         "       tab-separated lines under a line of names; --formatted as the data page\n"
         "       shows them, --labels with value labels where there are any\n";
}

NumberSeparators LocaleSeparators() {
  NumberSeparators seps;
  if (const std::lconv* lc = std::localeconv()) {
    if (lc->decimal_point && *lc->decimal_point) seps.decimal = lc->decimal_point;
    if (lc->thousands_sep && *lc->thousands_sep) seps.thousands = lc->thousands_sep;
  }
  return seps;
}

int RunCli(const std::vector<std::string>& args, const NumberSeparators& seps, std::ostream& out,
           std::ostream& err) {
  Command cmd;
  if (!ParseArgs(args, cmd)) {
    err << UsageText();
    return kUsage;
  }
  if (!cmd.passwordFile.empty() && !ReadPasswordFile(cmd.passwordFile, std::cin, cmd.password)) {
    err << "cannot read the password file " << cmd.passwordFile << "\n";
    return kFileError;
  }
  LoadedFile file;
  const bool loaded =
      file.Load(cmd.file, seps, err, cmd.passwordGiven ? cmd.password.c_str() : nullptr, cmd.check);
  Wipe(cmd.password);
  if (!loaded) return kFileError;
  if (cmd.check) return Check(file, out);
  int code = kOk;
  if (cmd.name == "info")
    code = Info(file, out);
  else if (cmd.name == "vars")
    code = Vars(file, out);
  else if (cmd.name == "labels")
    code = Labels(file, cmd.variable, seps, out, err);
  else if (cmd.name == "freq")
    code = Freq(file, cmd, seps, out, err);
  else if (cmd.name == "export")
    code = Export(file, cmd, out, err);
  else if (cmd.name == "attrs")
    code = Attrs(file, cmd.variable, out, err);
  else if (cmd.name == "mrsets")
    code = MrSets(file, out);
  else if (cmd.name == "cases")
    code = Cases(file, cmd, seps, out, err);
  else if (cmd.name == "codebook")
    code = Codebook(file, cmd, seps, out, err);
  else
    code = Doc(file, out, err);
  file.printWarnings(err);
  if (code == kOk && file.damaged && ReadsData(cmd)) code = kFileError;
  // An export checks its own output (and names a file it could not write).
  return cmd.name == "export" || cmd.name == "codebook" ? code : CheckedExit(out, err, code);
}

int CheckedExit(std::ostream& out, std::ostream& err, int code) {
  if (out.flush()) return code;
  err << "Cannot write the output: the write failed\n";
  return kFileError;
}

}  // namespace brindle::cli
