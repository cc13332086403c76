#include "export/DictionaryJson.h"

#include <cmath>

#include "datafile/DictionaryText.h"
#include "format/FormatValue.h"
#include "spssio/SystemFile.h"

namespace brindle {
namespace {

// A JSON writer of just what this document needs: it keeps track of the
// commas, the caller of the nesting.
class JsonText {
 public:
  explicit JsonText(std::string& out) : m_out(out) {}
  void open(char bracket) {
    comma();
    m_out += bracket;
    m_first = true;
  }
  void close(char bracket) {
    m_out += bracket;
    m_first = false;
  }
  void key(std::string_view name) {
    comma();
    AppendJsonString(m_out, name);
    m_out += ':';
    m_first = true;  // the value follows without a comma
  }
  void string(std::string_view text) {
    comma();
    AppendJsonString(m_out, text);
  }
  // A number as the shortest text that reads back to it; null when it is
  // not finite (JSON has no infinities).
  void number(double x) {
    comma();
    if (!std::isfinite(x))
      m_out += "null";
    else
      AppendNumberField(m_out, x, NAN);
  }
  void integer(long long n) {
    comma();
    m_out += std::to_string(n);
  }
  void boolean(bool b) {
    comma();
    m_out += b ? "true" : "false";
  }
  void null() {
    comma();
    m_out += "null";
  }
  // A name that is empty when unknown, as a string or null.
  void nameOrNull(const std::string& name) {
    if (name.empty())
      null();
    else
      string(name);
  }

 private:
  void comma() {
    if (!m_first) m_out += ',';
    m_first = false;
  }
  std::string& m_out;
  bool m_first = true;
};

std::string_view WithoutTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string FormatText(const VariableFormat& f) {
  return PrintFormatText(PrintFormat{f.type, f.width, f.decimals});
}

void WriteAttributes(JsonText& j, const std::vector<Attribute>& attributes) {
  j.open('[');
  for (const Attribute& a : attributes) {
    j.open('{');
    j.key("name");
    j.string(a.name);
    j.key("values");
    j.open('[');
    for (const std::string& v : a.values) j.string(v);
    j.close(']');
    j.close('}');
  }
  j.close(']');
}

void WriteMissing(JsonText& j, const Variable& v) {
  const MissingValues& m = v.missing;
  j.open('{');
  j.key("values");
  j.open('[');
  if (v.isString()) {
    for (int i = 0; i < m.format && i < 3; ++i) j.string(WithoutTrailingBlanks(m.strings[i]));
  } else if (m.format >= 1 && m.format <= 3) {
    for (int i = 0; i < m.format; ++i) j.number(m.numbers[i]);
  } else if (m.format == -3) {
    j.number(m.numbers[2]);
  }
  j.close(']');
  j.key("range");
  if (!v.isString() && (m.format == -2 || m.format == -3)) {
    j.open('[');
    j.number(m.numbers[0]);
    j.number(m.numbers[1]);
    j.close(']');
  } else {
    j.null();
  }
  j.close('}');
}

void WriteVariable(JsonText& j, const SystemFile& file, std::size_t index) {
  const Variable& v = file.variable(index);
  j.open('{');
  j.key("name");
  j.string(v.name);
  j.key("label");
  j.string(v.label);
  j.key("type");
  j.string(v.isString() ? "string" : "numeric");
  j.key("width");
  j.integer(v.width);
  j.key("print_format");
  j.string(FormatText(v.print));
  j.key("write_format");
  j.string(FormatText(v.write));
  j.key("measurement_level");
  j.nameOrNull(MeasureName(v.measure));
  j.key("role");
  j.nameOrNull(RoleName(v.role));
  j.key("display_width");
  if (v.displayWidth >= 0)
    j.integer(v.displayWidth);
  else
    j.null();
  j.key("alignment");
  j.nameOrNull(AlignmentName(v.alignment));
  j.key("missing_values");
  WriteMissing(j, v);
  j.key("value_labels");
  j.open('[');
  if (v.isString()) {
    for (const StringLabel& l : file.stringLabels(index)) {
      j.open('{');
      j.key("value");
      j.string(WithoutTrailingBlanks(l.value));
      j.key("label");
      j.string(l.label);
      j.close('}');
    }
  } else {
    for (const NumericLabel& l : file.numericLabels(index)) {
      j.open('{');
      j.key("value");
      j.number(l.value);
      j.key("label");
      j.string(l.label);
      j.close('}');
    }
  }
  j.close(']');
  j.key("attributes");
  WriteAttributes(j, v.attributes);
  j.close('}');
}

void WriteMembers(JsonText& j, const SystemFile& file, const std::vector<int>& members) {
  j.open('[');
  for (int m : members)
    if (m >= 0 && std::size_t(m) < file.variableCount())
      j.string(file.variable(std::size_t(m)).name);
  j.close(']');
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20) {
          out += "\\u00";
          out += kHex[u >> 4];
          out += kHex[u & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

ExportResult ExportDictionaryJson(const SystemFile& file, ExportFile& out) {
  std::string text;
  JsonText j(text);
  j.open('{');
  j.key("file");
  j.open('{');
  j.key("product");
  j.string(file.productText());
  j.key("product_info");
  j.string(file.productInfo());
  j.key("created");
  j.string(file.creationDate() + " " + file.creationTime());
  j.key("encoding");
  j.string(file.encoding());
  j.key("cases");
  if (file.caseCount() >= 0)
    j.integer(file.caseCount());
  else
    j.null();
  j.key("weight");
  if (file.weightVariable() >= 0)
    j.string(file.variable(std::size_t(file.weightVariable())).name);
  else
    j.null();
  j.key("attributes");
  WriteAttributes(j, file.fileAttributes());
  j.close('}');

  j.key("variables");
  j.open('[');
  for (std::size_t i = 0; i < file.variableCount(); ++i) {
    WriteVariable(j, file, i);
    // Written a piece at a time: a wide file's document stays out of memory.
    if (text.size() > (1u << 16)) {
      out.Write(text);
      text.clear();
    }
  }
  j.close(']');

  j.key("multiple_response_sets");
  j.open('[');
  for (const MultipleResponseSet& s : file.multipleResponseSets()) {
    j.open('{');
    j.key("name");
    j.string(s.name);
    j.key("label");
    j.string(s.label);
    j.key("kind");
    j.string(SetKindName(s.kind));
    j.key("counted_value");
    if (s.isDichotomy())
      j.string(s.countedValue);
    else
      j.null();
    j.key("category_labels");
    if (s.isDichotomy())
      j.string(s.kind == SetKind::CountedValues ? "counted_values" : "variable_labels");
    else
      j.null();
    j.key("label_from_variable");
    j.boolean(s.labelFromVariable);
    j.key("members");
    WriteMembers(j, file, s.members);
    j.close('}');
  }
  j.close(']');

  j.key("variable_sets");
  j.open('[');
  for (const VariableSet& s : file.variableSets()) {
    j.open('{');
    j.key("name");
    j.string(s.name);
    j.key("members");
    WriteMembers(j, file, s.members);
    j.close('}');
  }
  j.close(']');

  j.key("documents");
  j.open('[');
  for (const std::string& line : file.documents()) j.string(line);
  j.close(']');
  j.close('}');
  text += '\n';
  out.Write(text);
  ExportResult result;
  result.rows = static_cast<std::int64_t>(file.variableCount());
  if (!out.Ok()) {
    result.status = ExportStatus::Failed;
    result.message = out.Error();
  }
  return result;
}

}  // namespace brindle
