// The custom attribute records: the data file's (subtype 17) and the
// variables' (subtype 18), read once the variables are known. An attribute
// set is Name('value'\n'value'\n)Name(...)...; the variables' record holds
// LongName:set for each variable, separated by '/'.
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "spssio/detail/DictionaryChecks.h"
#include "spssio/detail/SavReader.h"

namespace brindle {
namespace {

// Where the value that starts after the quote at open ends: at a quote and
// line feed followed by the next value, the closing parenthesis or the end.
// A value may hold quotes and line feeds of its own; npos when unterminated.
std::size_t ValueEnd(const std::string& text, std::size_t open) {
  std::size_t end = open + 1;
  while ((end = text.find("'\n", end)) != std::string::npos) {
    const std::size_t next = end + 2;
    if (next >= text.size() || text[next] == '\'' || text[next] == ')') return end;
    ++end;
  }
  return std::string::npos;
}

// Line ends, blanks or zero bytes after the last set are padding.
std::string WithoutPadding(std::string text) {
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '\0'))
    text.pop_back();
  return text;
}

// Names that one warning lists, a few of them.
std::string NameList(const std::vector<std::string>& names) {
  std::string out;
  const std::size_t shown = names.size() < 5 ? names.size() : 5;
  for (std::size_t i = 0; i < shown; ++i) out += (i ? ", " : "") + ShownText(names[i]);
  if (names.size() > shown) out += " and " + std::to_string(names.size() - shown) + " more";
  return out;
}

}  // namespace

bool SavReader::readAttributeSet(const std::string& text, std::size_t& p,
                                 std::vector<Attribute>& out,
                                 std::unordered_set<std::string>& names,
                                 std::vector<std::string>& duplicates) {
  while (p < text.size() && text[p] != '/') {
    const std::size_t open = text.find('(', p);
    if (open == std::string::npos || open == p) return false;
    std::string name = text.substr(p, open - p);
    if (name.find_first_of("/)'\n") != std::string::npos) return false;
    p = open + 1;
    Attribute attribute{std::move(name), {}};
    while (p < text.size() && text[p] == '\'') {
      const std::size_t end = ValueEnd(text, p);
      if (end == std::string::npos) return false;
      attribute.values.push_back(text.substr(p + 1, end - p - 1));
      p = end + 2;
    }
    if (p >= text.size() || text[p] != ')' || attribute.values.empty()) return false;
    ++p;
    if (!names.insert(attribute.name).second)
      duplicates.push_back(attribute.name);
    else
      out.push_back(std::move(attribute));
  }
  return true;
}

void SavReader::applyVariableAttributes() {
  if (m_variableAttributes.empty()) return;
  const std::string text = WithoutPadding(m_text.toUtf8(m_variableAttributes));
  std::vector<std::string> unknown, duplicates;
  std::unordered_map<int, std::unordered_set<std::string>> names;  // of each variable's attributes
  std::size_t p = 0;
  bool sound = true;
  while (p < text.size() && sound) {
    const std::size_t colon = text.find(':', p);
    if (colon == std::string::npos) {
      sound = false;
      break;
    }
    const std::string name = text.substr(p, colon - p);
    const int var = findVariable(name);
    p = colon + 1;
    std::vector<Attribute> scratch;
    std::unordered_set<std::string> scratchNames;
    std::vector<Attribute>& into = var >= 0 ? m_vars[std::size_t(var)].attributes : scratch;
    std::vector<std::string> repeated;
    sound = readAttributeSet(text, p, into, var >= 0 ? names[var] : scratchNames, repeated);
    if (var < 0)
      unknown.push_back(name);
    else
      for (const std::string& r : repeated) duplicates.push_back(name + " " + r);
    if (sound) ++p;  // past the '/'
  }
  for (SavVariable& v : m_vars) {
    for (const Attribute& a : v.attributes) {
      if (a.name != "$@Role") continue;
      const std::string& value = a.values.front();
      if (value.size() == 1 && value[0] >= '0' && value[0] <= '5') v.role = value[0] - '0';
    }
  }
  if (!sound)
    warn(7, 18, m_attributesAt,
         "variable attributes malformed at byte " + std::to_string(p) + "; the rest ignored");
  if (!unknown.empty())
    warn(7, 18, m_attributesAt,
         "attributes of variables that are not in the file (" + NameList(unknown) + "); ignored");
  if (!duplicates.empty())
    warn(7, 18, m_attributesAt,
         "attributes given twice (" + NameList(duplicates) + "); kept the first");
}

void SavReader::applyFileAttributes() {
  std::unordered_set<std::string> names;
  for (const StoredRecord& record : m_fileAttributeRecords) {
    const std::string text = WithoutPadding(m_text.toUtf8(record.bytes));
    std::vector<std::string> duplicates;
    std::size_t p = 0;
    // A '/' cannot start an attribute name: it is malformed here too.
    const bool sound =
        readAttributeSet(text, p, m_fileAttributes, names, duplicates) && p >= text.size();
    if (!sound)
      warn(7, 17, record.at,
           "data file attributes malformed at byte " + std::to_string(p) + "; the rest ignored");
    if (!duplicates.empty())
      warn(7, 17, record.at,
           "attributes given twice (" + NameList(duplicates) + "); kept the first");
  }
}

}  // namespace brindle
