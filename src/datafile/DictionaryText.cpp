#include "datafile/DictionaryText.h"

#include <algorithm>

#include <initializer_list>

#include "datafile/MissingValueText.h"
#include "format/FormatValue.h"
#include "spssio/AsciiText.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"

namespace brindle {
namespace {

std::string FormatText(const VariableFormat& f) {
  return PrintFormatText(PrintFormat{f.type, f.width, f.decimals});
}

std::string MissingText(const Variable& v, const NumberSeparators& seps) {
  if (v.isString())
    return StringMissingText(v.missing.format, v.missing.strings[0], v.missing.strings[1],
                             v.missing.strings[2]);
  double lowest = 0, highest = 0;
  spssLowHighVal(&lowest, &highest);
  return NumericMissingText(v.missing.format, v.missing.numbers[0], v.missing.numbers[1],
                            v.missing.numbers[2], lowest, highest, seps);
}

bool Contains(const std::vector<int>& members, int index) {
  for (int m : members)
    if (m == index) return true;
  return false;
}

}  // namespace

void AppendOneLine(std::string_view text, std::string& out) {
  const auto plain = [](char c) { return c != '\t' && c != '\r' && c != '\n' && c != '\\'; };
  if (std::all_of(text.begin(), text.end(), plain)) {
    out += text;
    return;
  }
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
}

std::string OneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendOneLine(text, out);
  return out;
}

std::string MeasureName(int measure) {
  switch (measure) {
    case SPSS_MLVL_NOM:
      return "nominal";
    case SPSS_MLVL_ORD:
      return "ordinal";
    case SPSS_MLVL_RAT:
      return "scale";
    default:
      return {};
  }
}

std::string RoleName(int role) {
  static const char* const kRoles[] = {"input", "target", "both", "none", "partition", "split"};
  return role >= 0 && role <= 5 ? kRoles[role] : "";
}

std::string AlignmentName(int alignment) {
  static const char* const kAlignments[] = {"left", "right", "center"};
  return alignment >= 0 && alignment <= 2 ? kAlignments[alignment] : "";
}

std::vector<AttributeLine> AttributeLines(const std::vector<Attribute>& attributes) {
  std::vector<AttributeLine> out;
  for (const Attribute& a : attributes) {
    if (a.values.size() == 1) {
      out.push_back({a.name, a.values.front()});
      continue;
    }
    for (std::size_t i = 0; i < a.values.size(); ++i)
      out.push_back({a.name + "[" + std::to_string(i + 1) + "]", a.values[i]});
  }
  return out;
}

bool IsProgramAttribute(const std::string& name) { return name.rfind("$@", 0) == 0; }

bool AttributeValuesContain(const Variable& variable, std::string_view needle) {
  if (needle.empty()) return false;
  const std::string wanted = AsciiUpper(needle);
  for (const Attribute& a : variable.attributes)
    for (const std::string& value : a.values)
      if (AsciiUpper(value).find(wanted) != std::string::npos) return true;
  return false;
}

std::string MemberNames(const SystemFile& file, const std::vector<int>& members) {
  std::string out;
  for (int m : members) {
    if (m < 0 || std::size_t(m) >= file.variableCount()) continue;
    if (!out.empty()) out += ' ';
    out += file.variable(std::size_t(m)).name;
  }
  return out;
}

std::string VariableDetailsText(const SystemFile& file, std::size_t index,
                                const NumberSeparators& seps) {
  if (index >= file.variableCount()) return {};
  const Variable& v = file.variable(index);
  std::string t = "name\t" + v.name;
  t += "\nlabel\t" + v.label;
  t += "\ntype\t" + (v.isString() ? "string, width " + std::to_string(v.width) : "numeric");
  t += "\nprint format\t" + FormatText(v.print);
  t += "\nwrite format\t" + FormatText(v.write);
  t += "\nmissing values\t" + MissingText(v, seps);
  t += "\nmeasurement level\t" + MeasureName(v.measure);
  t += "\nrole\t" + RoleName(v.role);
  t += "\ndisplay width\t" + (v.displayWidth >= 0 ? std::to_string(v.displayWidth) : "");
  t += "\nalignment\t" + AlignmentName(v.alignment);
  std::string own, program;
  for (const AttributeLine& line : AttributeLines(v.attributes))
    (IsProgramAttribute(line.name) ? program : own) += "\n" + line.name + "\t" + line.value;
  if (!own.empty()) t += "\n\nattributes" + own;
  if (!program.empty()) t += "\n\nthe program's own attributes" + program;
  std::string sets;
  for (const MultipleResponseSet& s : file.multipleResponseSets())
    if (Contains(s.members, int(index))) sets += "\n" + s.name + "\t" + s.label;
  if (!sets.empty()) t += "\n\nmultiple-response sets" + sets;
  sets.clear();
  for (const VariableSet& s : file.variableSets())
    if (Contains(s.members, int(index))) sets += "\n" + s.name;
  if (!sets.empty()) t += "\n\nvariable sets" + sets;
  return t;
}

std::string DictionaryReportText(const SystemFile& file) {
  std::string t;
  // Each line's fields appended one by one, escaped where a text could
  // split the line.
  const auto line = [&t](std::initializer_list<std::string_view> fields) {
    t += '\n';
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) t += '\t';
      t += OneLine(fields.begin()[i]);
    }
  };
  if (!file.productInfo().empty()) {
    t += '\n';
    line({"product information", file.productInfo()});
  }
  if (!file.fileAttributes().empty()) {
    t += "\n\ndata file attributes";
    for (const AttributeLine& a : AttributeLines(file.fileAttributes())) line({a.name, a.value});
  }
  if (!file.multipleResponseSets().empty()) {
    t += "\n\nmultiple-response sets";
    // One readable line each: "dichotomies counting 1: a b c; label: ..."
    // (brindle-cli mrsets gives the fields apart).
    for (const MultipleResponseSet& s : file.multipleResponseSets()) {
      std::string text = SetKindName(s.kind);
      if (s.isDichotomy()) text += " counting " + s.countedValue;
      text += ": " + MemberNames(file, s.members);
      if (!s.label.empty()) text += "; label: " + s.label;
      line({s.name, text});
    }
  }
  if (!file.variableSets().empty()) {
    t += "\n\nvariable sets";
    for (const VariableSet& s : file.variableSets()) line({s.name, MemberNames(file, s.members)});
  }
  return t;
}

}  // namespace brindle
