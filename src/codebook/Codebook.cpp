#include "codebook/Codebook.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <system_error>

#include "codebook/FrequencyChart.h"
#include "codebook/HtmlText.h"
#include "datafile/DictionaryText.h"
#include "datafile/DocumentReader.h"
#include "datafile/FileReport.h"
#include "spssio/AsciiText.h"
#include "spssio/FileNames.h"
#include "spssio/SystemFile.h"
#include "values/Percentiles.h"

namespace brindle {
namespace {

// Light and dark schemes, A4 and Letter alike: no fixed page width, a page
// break before every variable in print.
constexpr const char* kStyle = R"(
:root { color-scheme: light dark; --line: #c8c8c8; --head: #f0f0f0; --bar: #4a7ab5;
  --miss: #9a9a9a; --note: #8a4b00; }
@media (prefers-color-scheme: dark) {
  :root { --line: #555; --head: #2a2a2a; --bar: #6f9fd8; --miss: #777; --note: #f0b060; } }
body { font-family: sans-serif; font-size: 14px; line-height: 1.35; margin: 1.5em auto;
  max-width: 60em; padding: 0 1em; }
h1 { font-size: 1.6em; } h2 { font-size: 1.25em; margin: 0 0 .3em; }
h3 { font-size: 1em; margin: 1em 0 .3em; }
table { border-collapse: collapse; margin: .4em 0; }
th, td { border: 1px solid var(--line); padding: .15em .5em; vertical-align: top;
  text-align: left; }
th { background: var(--head); font-weight: 600; }
td.num { text-align: right; white-space: pre; font-variant-numeric: tabular-nums; }
td.bar { width: 12em; padding: .15em .3em; }
td.bar span { display: block; height: .8em; background: var(--bar); margin-top: .2em; }
tr.miss td { font-style: italic; } tr.miss td.bar span { background: var(--miss); }
.note { color: var(--note); font-weight: 600; }
.label { font-weight: normal; }
pre { white-space: pre-wrap; }
section.var { border-top: 2px solid var(--line); margin-top: 1.5em; padding-top: .6em; }
nav td:first-child { white-space: nowrap; }
svg { max-width: 100%; height: auto; display: block; margin: .4em 0; }
@media print {
  body { max-width: none; margin: 0; font-size: 10pt; }
  section.var { break-before: page; border-top: none; }
  table, svg { break-inside: avoid; }
  a { color: inherit; text-decoration: none; }
}
)";

std::string E(std::string_view text) { return Escaped(text); }

// A report of "caption\tvalue" lines, blocks apart by an empty line, each
// block after the first under a heading of one line: tables under h3s.
void AppendReport(const std::string& report, std::string& out) {
  std::size_t at = 0;
  bool first = true, open = false;
  while (at <= report.size()) {
    std::size_t end = report.find('\n', at);
    if (end == std::string::npos) end = report.size();
    const std::string_view line(report.data() + at, end - at);
    at = end + 1;
    if (line.empty()) {
      if (open) out += "</table>\n";
      open = false;
      first = false;
      continue;
    }
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos && !first && !open) {
      out += "<h3>" + E(line) + "</h3>\n";
      continue;
    }
    if (!open) out += "<table>\n";
    open = true;
    out += "<tr><th>";
    if (tab == std::string_view::npos) {
      out += E(line) + "</th><td></td></tr>\n";
    } else {
      std::string caption(line.substr(0, tab));
      while (!caption.empty() && caption.back() == ' ') caption.pop_back();
      out += E(caption) + "</th><td>" + E(line.substr(tab + 1)) + "</td></tr>\n";
    }
  }
  if (open) out += "</table>\n";
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void AppendHeader(const CodebookSource& source, const CodebookRequest& request,
                  const std::string& warning, std::int64_t casesRead, std::string& out) {
  const DataFileState& state = *source.state;
  const SystemFile& file = *state.File;
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<meta name=\"generator\" content=\"Brindle\">\n<title>Codebook: " +
         E(BaseName(state.FileName)) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  out += "<header>\n<h1>Codebook: " + E(BaseName(state.FileName)) + "</h1>\n";
  if (!source.damage.empty() || !warning.empty()) {
    out += "<p class=\"note\">The data is damaged: this codebook describes the " +
           std::to_string(casesRead) + " cases that could be read.</p>\n";
    for (const std::string* text : {&source.damage, &warning})
      if (!text->empty()) out += "<p class=\"note\">" + E(*text) + "</p>\n";
  }
  if (!request.weight.empty())
    out += "<p class=\"note\">Counts are weighted by " + E(request.weight) + ".</p>\n";
  else
    out += "<p>Counts are not weighted.</p>\n";
  out += "<h2>File</h2>\n";
  AppendReport(FileInfoReport(state, file.productText(), file.caseSize()), out);
  if (state.HasDocument != 0) {
    const DocumentReadResult doc = DocumentOf(file);
    if (doc.found) {
      out += "<h2>Documents</h2>\n<pre>";
      for (const std::string& line : DocumentWindowLines(doc, file.encoding())) {
        AppendEscaped(TrimTrailingControls(line), out);
        out += '\n';
      }
      out += "</pre>\n";
    }
  }
  out += "</header>\n";
}

void AppendContents(const std::vector<VarRecord>& vars, std::string& out) {
  out += "<nav>\n<h2>Variables</h2>\n<table>\n<tr><th>Name</th><th>Label</th></tr>\n";
  for (const VarRecord& r : vars)
    out += "<tr><td><a href=\"#v" + std::to_string(r.RecId) + "\">" + E(r.VarName) +
           "</a></td><td>" + E(r.VarLabel) + "</td></tr>\n";
  out += "</table>\n</nav>\n";
}

void AppendFrequencyTable(const FrequencyTable& table, std::string& out) {
  double most = 0;
  for (int row = 0; row < table.Rows(); ++row) most = std::max(most, table.Amount(row));
  const double sysmis = table.GetLayout().sysmis;
  out += "<table class=\"freq\">\n<tr>";
  for (const std::string& title : kValuesGridTitles) out += "<th>" + E(title) + "</th>";
  out += "<th></th><th></th></tr>\n";
  FrequencyTable::Renderer texts(table);
  std::string cell;
  for (int row = 0; row < table.Rows(); ++row) {
    const bool valid = table.Valid(row);
    out += valid ? "<tr>" : "<tr class=\"miss\">";
    for (int col = 0; col < 5; ++col) {
      cell.clear();
      texts.Append(col, row, cell);
      out += col >= 2 ? "<td class=\"num\">" : "<td>";
      AppendEscaped(cell, out);
      out += "</td>";
    }
    const double share = most > 0 ? 100 * table.Amount(row) / most : 0;
    out += "<td class=\"bar\"><span style=\"width:" + SvgNumber(share) + "%\"></span></td><td>";
    if (!valid)
      out += !table.IsString() && table.Number(row) == sysmis ? "system-missing" : "user-missing";
    out += "</td></tr>\n";
  }
  out += "</table>\n";
}

// The statistics box's lines as a table of three label/value pairs a row.
void AppendStatistics(const FrequencyResult& res, std::string& out) {
  out += "<table class=\"stats\">\n";
  for (const std::string& line : res.memoLines) {
    out += "<tr>";
    std::size_t at = 0;
    for (int field = 0; at <= line.size(); ++field) {
      std::size_t tab = line.find('\t', at);
      if (tab == std::string::npos) tab = line.size();
      std::string text = line.substr(at, tab - at);
      at = tab + 1;
      // Statistics are padded to their field width in the box.
      const std::size_t first = text.find_first_not_of(' ');
      text.erase(0, first == std::string::npos ? text.size() : first);
      out += field % 2 == 0 ? "<th>" + E(text) + "</th>" : "<td class=\"num\">" + E(text) + "</td>";
    }
    out += "</tr>\n";
  }
  out += "</table>\n";
}

void AppendQuartiles(const FrequencyTable& table, std::string& out) {
  const std::vector<double> q = TablePercentiles(table, {0.25, 0.5, 0.75});
  if (std::isnan(q[1])) return;
  const FrequencyTable::Layout& layout = table.GetLayout();
  static const char* const kNames[] = {"25th percentile", "median", "75th percentile"};
  out += "<table class=\"quartiles\">\n<tr>";
  for (std::size_t i = 0; i < 3; ++i) {
    std::string text;
    FormatStatistic(q[i], layout.format, layout.usePrintFormat, layout.seps, text);
    const std::size_t first = text.find_first_not_of(' ');
    text.erase(0, first == std::string::npos ? text.size() : first);
    out += std::string("<th>") + kNames[i] + "</th><td class=\"num\">" + E(text) + "</td>";
  }
  out += "</tr>\n</table>\n";
}

void AppendHistogram(const FrequencyTable& table, std::string& out) {
  out += "<figure>";
  out += FrequencyChartSvg(table, {}, 560);
  out += "</figure>\n";
}

// The `top` most frequent strings, the count of distinct ones before them.
void AppendTopStrings(const FrequencyTable& table, int top, std::string& out) {
  std::vector<int> rows(std::size_t(table.Rows()));
  std::iota(rows.begin(), rows.end(), 0);
  const std::size_t shown = std::min<std::size_t>(rows.size(), std::size_t(std::max(0, top)));
  std::partial_sort(rows.begin(), rows.begin() + std::ptrdiff_t(shown), rows.end(),
                    [&](int a, int b) {
                      return table.Amount(a) != table.Amount(b) ? table.Amount(a) > table.Amount(b)
                                                                : a < b;
                    });
  out += "<p>" + std::to_string(table.Rows()) + " distinct values";
  if (shown > 0) out += "; the " + std::to_string(shown) + " most frequent:";
  out += "</p>\n";
  if (shown == 0) return;
  out += "<table class=\"freq\">\n<tr><th>Value</th><th>Freq</th><th>% Total</th></tr>\n";
  for (std::size_t k = 0; k < shown; ++k) {
    const int row = rows[k];
    out += table.Valid(row) ? "<tr>" : "<tr class=\"miss\">";
    out += "<td>" + E(table.Text(1, row)) + "</td><td class=\"num\">" + E(table.Text(2, row)) +
           "</td><td class=\"num\">" + E(table.Text(3, row)) + "</td></tr>\n";
  }
  out += "</table>\n";
}

void AppendVariable(const SystemFile& file, const VarRecord& var, const FrequencyResult& res,
                    const CodebookRequest& request, std::string& out) {
  out += "<section class=\"var\" id=\"v" + std::to_string(var.RecId) + "\">\n<h2>" +
         E(var.VarName);
  if (!var.VarLabel.empty()) out += " <span class=\"label\">" + E(var.VarLabel) + "</span>";
  out += "</h2>\n";
  const int index = file.findVariable(var.VarName);
  if (index >= 0) AppendReport(VariableDetailsText(file, std::size_t(index), request.seps), out);
  if (!res.ran || res.cancelled) {
    out += "<p>Not counted.</p>\n";
  } else {
    const FrequencyTable& table = *res.table;
    const bool labelled = !table.Labels().empty();
    if (table.Rows() <= kTableRows || (labelled && table.Rows() <= kLabelledRows)) {
      AppendFrequencyTable(table, out);
      if (res.memo == MemoDisplay::Shown) {
        AppendStatistics(res, out);
        AppendQuartiles(table, out);
      }
    } else if (!table.IsString()) {
      out += "<p>" + std::to_string(table.Rows()) + " distinct values.</p>\n";
      if (res.memo == MemoDisplay::Shown) {
        AppendStatistics(res, out);
        AppendQuartiles(table, out);
      }
      AppendHistogram(table, out);
    } else {
      AppendTopStrings(table, request.top, out);
    }
  }
  out += "</section>\n";
}

}  // namespace

std::vector<VarRecord> CodebookVariables(const CodebookSource& source,
                                         const CodebookRequest& request, std::string* unknown) {
  if (request.variables.empty()) return source.records;
  std::vector<VarRecord> chosen;
  for (const std::string& name : request.variables) {
    const VarRecord* found = nullptr;
    const std::string wanted = AsciiUpper(name);
    for (const VarRecord& r : source.records) {
      if (r.VarName == name) {
        found = &r;
        break;
      }
      if (!found && AsciiUpper(r.VarName) == wanted) found = &r;
    }
    if (!found) {
      if (unknown) *unknown = name;
      return {};
    }
    // A variable named twice is described once, where it is named first.
    if (std::none_of(chosen.begin(), chosen.end(),
                     [&](const VarRecord& r) { return r.RecId == found->RecId; }))
      chosen.push_back(*found);
  }
  return chosen;
}

ExportResult WriteCodebook(const CodebookSource& source, const CodebookRequest& request,
                           ExportFile& out, const ExportProgress& progress) {
  ExportResult result;
  if (!source.state || !source.state->File) {
    result.status = ExportStatus::Failed;
    result.message = "No data file is open";
    return result;
  }
  const DataFileState& state = *source.state;
  std::string unknown;
  const std::vector<VarRecord> vars = CodebookVariables(source, request, &unknown);
  if (!unknown.empty()) {
    result.status = ExportStatus::Failed;
    result.message = "unknown variable " + unknown;
    return result;
  }
  const FrequencyPass pass =
      MakeFrequencyPass(state.File, state.NumCases, request.usePrintFormat, request.seps);
  const std::int64_t total = state.NumCases;
  const FrequencyProgress counting = [&](std::int64_t done) {
    return progress && !progress(done, total);
  };
  const std::string* weight = request.weight.empty() ? nullptr : &request.weight;
  FrequencySet set = CountFrequencySet(pass, vars, weight, counting);
  if (set.cancelled) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  if (!set.message.empty()) {
    result.status = ExportStatus::Failed;
    result.message = set.message;
    return result;
  }
  // Variables whose values would not fit beside the others, one at a time.
  for (std::size_t v = 0; v < vars.size() && set.ran; ++v) {
    if (!set.leftOut[v]) continue;
    set.results[v] = weight ? CountWeightedFrequencies(pass, vars[v], *weight, counting)
                            : CountFrequencies(pass, vars[v], counting);
    if (set.results[v].cancelled) {
      result.status = ExportStatus::Cancelled;
      return result;
    }
  }

  std::string html;
  AppendHeader(source, request, set.warning, set.casesRead, html);
  AppendContents(vars, html);
  out.Write(html);
  for (std::size_t v = 0; v < vars.size() && out.Ok(); ++v) {
    html.clear();
    AppendVariable(*state.File, vars[v], set.results[v], request, html);
    out.Write(html);
    set.results[v] = FrequencyResult();  // its memory goes back at once
  }
  out.Write("</body>\n</html>\n");
  if (!out.Ok()) {
    result.status = ExportStatus::Failed;
    result.message = out.Error();
    return result;
  }
  result.rows = std::int64_t(vars.size());
  result.warning = set.warning;
  if (result.warning.empty() && !source.damage.empty()) result.warning = source.damage;
  return result;
}

ExportResult WriteCodebookFile(const std::string& target, const CodebookSource& source,
                               const CodebookRequest& request, const ExportProgress& progress) {
  return ExportToFile(
      target, [&](ExportFile& file) { return WriteCodebook(source, request, file, progress); },
      source.state ? source.state->FileName : std::string());
}

}  // namespace brindle
