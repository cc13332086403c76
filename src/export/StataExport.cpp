#include "export/StataExport.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "export/CaseFeed.h"
#include "format/FormatValue.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"

#ifdef BRINDLE_HAVE_READSTAT
#include <readstat.h>
#endif

namespace brindle {
namespace {

ExportResult Failed(std::string message) {
  ExportResult r;
  r.status = ExportStatus::Failed;
  r.message = std::move(message);
  return r;
}

bool Reserved(const std::string& n) {
  static const char* const kWords[] = {"_all",  "_b",   "byte",  "_coef", "_cons", "double",
                                       "float", "if",   "in",    "int",   "long",  "_n",
                                       "_N",    "_pi",  "_pred", "_rc",   "_skip", "strL",
                                       "using", "with", "str",   "float", "_se",   "_merge"};
  for (const char* w : kWords)
    if (n == w) return true;
  // str1 ... str2045
  return n.size() > 3 && n.compare(0, 3, "str") == 0 &&
         std::all_of(n.begin() + 3, n.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string StataName(const std::string& name, std::vector<std::string>& taken) {
  std::string n;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if ((c & 0xC0) == 0x80) continue;  // the rest of a UTF-8 letter: one _ for it
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    n += ok ? char(c) : '_';
  }
  if (n.empty() || (n[0] >= '0' && n[0] <= '9')) n.insert(n.begin(), '_');
  if (n.size() > 32) n.resize(32);
  if (Reserved(n)) n = n.substr(0, 31) + "_";
  std::string unique = n;
  for (int k = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++k) {
    const std::string suffix = "_" + std::to_string(k);
    unique = n.substr(0, 32 - suffix.size()) + suffix;
  }
  taken.push_back(unique);
  return unique;
}

#ifndef BRINDLE_HAVE_READSTAT

bool StataAvailable() { return false; }

ExportResult ExportDataDta(SystemFile&, const std::vector<int>&, ExportFile&,
                           const ExportProgress&) {
  return Failed("This build of Brindle cannot write Stata files");
}

#else

namespace {

// 1960-01-01, Stata's day 0, in seconds since 1582-10-14.
constexpr double kStataEpoch = 11903760000.0;
constexpr int kMaxStr = 2045;
constexpr std::int64_t kBatchCases = 4096;

enum class Kind { Number, Date, DateTime, Time, Text, LongText };

struct Column {
  Kind kind = Kind::Number;
  readstat_variable_t* var = nullptr;
  MissingValues missing;
};

ssize_t WriteOut(const void* data, size_t len, void* ctx) {
  auto* out = static_cast<ExportFile*>(ctx);
  out->Write(std::string_view(static_cast<const char*>(data), len));
  return out->Ok() ? ssize_t(len) : -1;
}

// The extended missing code ('a', 'b', 'c') of a user-missing x; 0 when x is
// no user-missing value.
char MissingTag(const MissingValues& m, double x) {
  if (m.format >= 1 && m.format <= 3) {
    for (int i = 0; i < m.format; ++i)
      if (x == m.numbers[i]) return char('a' + i);
  } else if (m.format == -2 || m.format == -3) {
    if (x >= m.numbers[0] && x <= m.numbers[1]) return 'a';
    if (m.format == -3 && x == m.numbers[2]) return 'b';
  }
  return 0;
}

// label cut to at most max bytes, not inside a UTF-8 character.
std::string Cut(std::string label, std::size_t max) {
  if (label.size() <= max) return label;
  std::size_t n = max;
  while (n > 0 && (static_cast<unsigned char>(label[n]) & 0xC0) == 0x80) --n;
  label.resize(n);
  return label;
}

}  // namespace

bool StataAvailable() { return true; }

ExportResult ExportDataDta(SystemFile& file, const std::vector<int>& vars, ExportFile& out,
                           const ExportProgress& progress) {
  std::vector<int> positions;
  for (int v = 0; v < int(file.variableCount()); ++v)
    if (vars.empty() || std::find(vars.begin(), vars.end(), v) != vars.end())
      positions.push_back(v);
  const std::int64_t total = file.caseCount();  // -1 when the file does not say
  if (progress && !progress(0, total)) {
    ExportResult cancelled;
    cancelled.status = ExportStatus::Cancelled;
    return cancelled;
  }
  readstat_writer_t* writer = readstat_writer_init();
  struct Free {
    readstat_writer_t* w;
    ~Free() { readstat_writer_free(w); }
  } freeWriter{writer};
  readstat_set_data_writer(writer, WriteOut);
  readstat_writer_set_file_format_version(writer, 118);

  // A Stata file counts its cases before them: the cases that can be read
  // are counted first (a pass that decodes no value), and only those go in.
  std::int64_t count = total;
  std::string shortWarning;
  {
    ColumnPass counter(file, {});
    const PassEnd counted =
        counter.indexCases([&](std::int64_t) { return !progress || progress(0, total); });
    if (counted.stopped) {
      ExportResult cancelled;
      cancelled.status = ExportStatus::Cancelled;
      return cancelled;
    }
    if (total < 0) count = counted.cases;
    if (!counted.sound() || counted.cases < total) {
      count = total < 0 ? counted.cases : std::min(counted.cases, total);
      shortWarning =
          ShortDataWarning(count, total, counted.sound() ? std::string() : counted.message());
    }
  }

  std::vector<std::string> taken, renames, droppedLabels;
  std::vector<Column> columns;
  for (int v : positions) {
    const Variable& var = file.variable(std::size_t(v));
    Column col;
    col.missing = var.missing;
    const std::string name = StataName(var.name, taken);
    if (name != var.name) renames.push_back(var.name + " as " + name);
    std::string format;
    readstat_type_t type = READSTAT_TYPE_DOUBLE;
    std::size_t width = 0;
    if (var.width > 0) {
      col.kind = var.width > kMaxStr ? Kind::LongText : Kind::Text;
      type = col.kind == Kind::Text ? READSTAT_TYPE_STRING : READSTAT_TYPE_STRING_REF;
      width = col.kind == Kind::Text ? std::size_t(var.width) : 0;
      format = "%" + std::to_string(std::min(var.width, kMaxStr)) + "s";
    } else if (IsDateFormat(var.print.type)) {
      col.kind = Kind::Date, format = "%td";
    } else if (var.print.type == kFmtDateTime) {
      col.kind = Kind::DateTime, format = "%tc";
    } else if (var.print.type == kFmtTime) {
      col.kind = Kind::Time, format = "%tcHH:MM:SS";
    } else if (var.print.type == kFmtF && var.print.width > 0) {
      format = "%" + std::to_string(std::clamp(var.print.width, 1, 244)) + "." +
               std::to_string(std::clamp(var.print.decimals, 0, 16)) + "f";
    } else {
      format = "%9.0g";
    }
    col.var = readstat_add_variable(writer, name.c_str(), type, width);
    readstat_variable_set_format(col.var, format.c_str());
    if (!var.label.empty()) readstat_variable_set_label(col.var, Cut(var.label, 80).c_str());
    if (var.width > 0) {
      if (!file.stringLabels(std::size_t(v)).empty()) droppedLabels.push_back(var.name);
    } else {
      const std::vector<NumericLabel> labels = file.numericLabels(std::size_t(v));
      if (!labels.empty()) {
        readstat_label_set_t* set =
            readstat_add_label_set(writer, READSTAT_TYPE_INT32, name.c_str());
        bool dropped = false;
        for (const NumericLabel& l : labels) {
          const std::string text = Cut(l.label, 32000);
          if (const char tag = MissingTag(var.missing, l.value)) {
            readstat_label_tagged_value(set, tag, text.c_str());
          } else if (l.value == std::floor(l.value) && std::fabs(l.value) <= 2147483620.0 &&
                     col.kind == Kind::Number) {
            readstat_label_int32_value(set, std::int32_t(l.value), text.c_str());
          } else {
            dropped = true;
          }
        }
        readstat_variable_set_label_set(col.var, set);
        if (dropped) droppedLabels.push_back(var.name);
      }
    }
    columns.push_back(col);
  }

  // The writer takes strL values as references made before the writing
  // starts: a first pass over the long strings makes one for each
  // different value.
  std::unordered_map<std::string, readstat_string_ref_t*> refs;
  std::vector<int> longPositions;
  for (std::size_t c = 0; c < columns.size(); ++c)
    if (columns[c].kind == Kind::LongText) longPositions.push_back(positions[c]);
  if (!longPositions.empty()) {
    ColumnPass longPass(file, longPositions);
    std::string value;
    std::int64_t n = 0;
    bool cancelled = false;
    FeedFromPass(longPass, [&](CaseValues& row) {
      for (std::size_t k = 0; k < longPositions.size(); ++k) {
        value = TrimTrailingBlanks(row.Text(k));
        if (!refs.count(value)) refs.emplace(value, readstat_add_string_ref(writer, value.c_str()));
      }
      if (progress && ++n % kBatchCases == 0 && !progress(0, total)) return !(cancelled = true);
      return n < count;
    });
    if (cancelled) {
      ExportResult stopped;
      stopped.status = ExportStatus::Cancelled;
      return stopped;
    }
  }

  readstat_error_t rc = readstat_begin_writing_dta(writer, &out, long(count));
  if (rc != READSTAT_OK)
    return Failed(std::string("Cannot write a Stata file: ") + readstat_error_message(rc));
  double sysmis = 0;
  spssHostSysmisVal(&sysmis);
  ColumnPass pass(file, positions);
  ExportResult result;
  std::string text;
  bool cancelled = false;
  const PassEnd end = FeedFromPass(pass, [&](CaseValues& rows) {
    rc = readstat_begin_row(writer);
    for (std::size_t c = 0; c < columns.size() && rc == READSTAT_OK; ++c) {
      const Column& col = columns[c];
      if (col.kind == Kind::Text || col.kind == Kind::LongText) {
        text = TrimTrailingBlanks(rows.Text(c));
        if (col.kind == Kind::Text) {
          rc = readstat_insert_string_value(writer, col.var, text.c_str());
        } else {
          const auto ref = refs.find(text);
          rc = ref == refs.end() ? READSTAT_ERROR_WRITE
                                 : readstat_insert_string_ref(writer, col.var, ref->second);
        }
        continue;
      }
      const double x = rows.Number(c);
      if (x == sysmis || std::isnan(x)) {
        rc = readstat_insert_missing_value(writer, col.var);
        continue;
      }
      if (const char tag = MissingTag(col.missing, x)) {
        rc = readstat_insert_tagged_missing_value(writer, col.var, tag);
        continue;
      }
      double y = x;
      if (col.kind == Kind::Date) y = std::floor((x - kStataEpoch) / 86400.0);
      if (col.kind == Kind::DateTime) y = std::round((x - kStataEpoch) * 1000.0);
      if (col.kind == Kind::Time) y = std::round(x * 1000.0);
      rc = readstat_insert_double_value(writer, col.var, y);
    }
    if (rc == READSTAT_OK) rc = readstat_end_row(writer);
    if (rc != READSTAT_OK) return false;
    ++result.rows;
    if (progress && result.rows % kBatchCases == 0 && !progress(result.rows, total))
      return !(cancelled = true);
    // The header holds the count: cases past it are not written.
    return result.rows < count;
  });
  if (cancelled) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  if (rc != READSTAT_OK) {
    if (!out.Ok()) return Failed(out.Error());
    return Failed(std::string("Cannot write a Stata file: ") + readstat_error_message(rc));
  }
  // Damage the counting pass could not see (it decodes no value) ends the
  // cases before the count already written.
  if (result.rows < count)
    return Failed(
        "Cannot write a Stata file: " +
        ShortDataWarning(result.rows, total, end.sound() ? std::string() : end.message()) +
        " A Stata file must hold the cases its header counts.");
  result.warning = shortWarning;
  rc = readstat_end_writing(writer);
  if (!out.Ok()) return Failed(out.Error());
  if (rc != READSTAT_OK)
    return Failed(std::string("Cannot write a Stata file: ") + readstat_error_message(rc));
  if (progress) progress(result.rows, total);
  auto list = [](const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& i : items) s += (s.empty() ? "" : ", ") + i;
    return s;
  };
  if (!renames.empty()) result.note = "Renamed for Stata: " + list(renames) + ".";
  if (!droppedLabels.empty())
    result.note += std::string(result.note.empty() ? "" : " ") +
                   "Value labels Stata cannot hold (not whole numbers, or of strings) were "
                   "dropped: " +
                   list(droppedLabels) + ".";
  return result;
}

#endif

}  // namespace brindle
