// The set records: multiple-response sets (subtype 7, and 19 for dichotomies
// labelled by their counted values) and variable sets (subtype 5), read once
// the variables are known since they name them.
//
// A multiple-response set is one line: $name=C, =Dn value or =E s n value
// (s 1, or 11 when the label comes from the variables), then a space, the
// label as a byte count, a space and the bytes, then the members' short
// names each after a space. Counts are in bytes of the file's encoding, so
// a line is taken apart before its texts are converted.
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "spssio/AsciiText.h"
#include "spssio/detail/DictionaryChecks.h"
#include "spssio/detail/SavReader.h"

namespace brindle {
namespace {

// A cursor over one stored line.
struct LineCursor {
  std::string_view line;
  std::size_t p = 0;

  bool at(char c) const { return p < line.size() && line[p] == c; }
  bool skip(char c) {
    if (!at(c)) return false;
    ++p;
    return true;
  }
  // Decimal digits, after any blanks; false when there are none or too many.
  bool number(std::size_t& n) {
    while (at(' ')) ++p;
    const std::size_t first = p;
    n = 0;
    while (p < line.size() && line[p] >= '0' && line[p] <= '9' && p - first < 9)
      n = n * 10 + std::size_t(line[p++] - '0');
    return p > first;
  }
  // A count, one space and that many bytes; false when the line is shorter.
  bool counted(std::string& text) {
    std::size_t n;
    if (!number(n) || !skip(' ') || n > line.size() - p) return false;
    text.assign(line.substr(p, n));
    p += n;
    return true;
  }
};

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

void SavReader::applyMultipleResponseSets() {
  for (const StoredRecord& r : m_mrSetRecords) readMultipleResponseSets(r, 7);
  for (const StoredRecord& r : m_countedSetRecords) readMultipleResponseSets(r, 19);
}

void SavReader::readMultipleResponseSets(const StoredRecord& record, int subtype) {
  // Members are named by short name in lower case; long names are taken too.
  std::unordered_map<std::string, int> byShortName;
  for (std::size_t i = 0; i < m_vars.size(); ++i)
    byShortName.emplace(AsciiUpper(m_raw[m_vars[i].element].shortName), int(i));
  std::unordered_set<std::string> setNames;
  for (const MultipleResponseSet& s : m_mrSets) setNames.insert(AsciiUpper(s.name));
  std::string fault;
  int faults = 0;
  const auto note = [&](std::string text) {
    if (faults++ == 0) fault = std::move(text);
  };
  const std::string_view bytes = record.bytes;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    LineCursor c{bytes.substr(start, end - start)};
    start = end + 1;
    while (!c.line.empty() &&
           (c.line.back() == '\r' || c.line.back() == '\0' || c.line.back() == ' '))
      c.line.remove_suffix(1);
    if (c.line.empty()) continue;
    const std::size_t eq = c.line.find('=');
    if (eq == std::string_view::npos || eq == 0) {
      note("a line without a set name");
      continue;
    }
    MultipleResponseSet set;
    set.name = m_text.toUtf8(std::string(c.line.substr(0, eq)));
    c.p = eq + 1;
    const char kind = c.p < c.line.size() ? c.line[c.p++] : 0;
    std::size_t source = 0;
    bool sound = true;
    if (kind == 'C' && subtype == 7) {
      set.kind = SetKind::Categories;
      sound = c.skip(' ');
    } else if (kind == 'D' && subtype == 7) {
      set.kind = SetKind::Dichotomies;
    } else if (kind == 'E' && subtype == 19) {
      set.kind = SetKind::CountedValues;
      sound = c.skip(' ') && c.number(source) && c.skip(' ');
      set.labelFromVariable = source == 11;
    } else {
      note("set " + ShownText(set.name) + " of unknown kind; ignored");
      continue;
    }
    std::string counted, label;
    if (sound && set.isDichotomy()) sound = c.counted(counted) && c.skip(' ');
    if (sound) sound = c.counted(label);
    if (!sound) {
      note("set " + ShownText(set.name) + " has a count larger than its line; ignored");
      continue;
    }
    set.countedValue = WithoutTrailingBlanks(m_text.toUtf8(counted));
    set.label = m_text.toUtf8(label);
    std::vector<std::string> unknown;
    while (c.p < c.line.size()) {
      while (c.at(' ')) ++c.p;
      const std::size_t first = c.p;
      while (c.p < c.line.size() && c.line[c.p] != ' ') ++c.p;
      if (c.p == first) break;
      const std::string name(c.line.substr(first, c.p - first));
      const auto shortName = byShortName.find(AsciiUpper(name));
      const int var =
          shortName != byShortName.end() ? shortName->second : findVariable(m_text.toUtf8(name));
      if (var >= 0)
        set.members.push_back(var);
      else
        unknown.push_back(m_text.toUtf8(name));
    }
    if (set.labelFromVariable && set.label.empty() && !set.members.empty())
      set.label = m_vars[std::size_t(set.members.front())].label;
    if (set.name.empty() || set.name.front() != '$')
      note("set name " + ShownText(set.name) + " without \"$\"");
    if (!unknown.empty())
      note("set " + ShownText(set.name) + " names " + ShownText(unknown.front()) +
           ", which is not a variable; left out");
    if (set.members.empty()) note("set " + ShownText(set.name) + " has no members");
    if (!setNames.insert(AsciiUpper(set.name)).second) {
      note("set " + ShownText(set.name) + " is given twice; kept the first");
      continue;
    }
    m_mrSets.push_back(std::move(set));
  }
  if (faults > 0)
    warn(7, subtype, record.at,
         "multiple-response sets: " + fault +
             (faults > 1 ? " (and " + std::to_string(faults - 1) + " more faults)" : ""));
}

// Each line: the set's name, "= ", then its members' long names separated
// by blanks.
void SavReader::applyVariableSets() {
  for (const StoredRecord& record : m_variableSetRecords) {
    const std::string text = m_text.toUtf8(record.bytes);
    std::string fault;
    int faults = 0;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string_view line = std::string_view(text).substr(start, end - start);
      start = end + 1;
      while (!line.empty() && (line.back() == '\r' || line.back() == '\0' || line.back() == ' '))
        line.remove_suffix(1);
      if (line.empty()) continue;
      const std::size_t eq = line.find('=');
      if (eq == std::string_view::npos || eq == 0) {
        if (faults++ == 0) fault = "a line without a set name";
        continue;
      }
      VariableSet set{std::string(line.substr(0, eq)), {}};
      std::size_t p = eq + 1;
      while (p < line.size()) {
        while (p < line.size() && line[p] == ' ') ++p;
        const std::size_t first = p;
        while (p < line.size() && line[p] != ' ') ++p;
        if (p == first) break;
        const std::string name(line.substr(first, p - first));
        const int var = findVariable(name);
        if (var >= 0)
          set.members.push_back(var);
        else if (faults++ == 0)
          fault = "set " + ShownText(set.name) + " names " + ShownText(name) +
                  ", which is not a variable; left out";
      }
      m_variableSets.push_back(std::move(set));
    }
    if (faults > 0)
      warn(7, 5, record.at,
           "variable sets: " + fault +
               (faults > 1 ? " (and " + std::to_string(faults - 1) + " more faults)" : ""));
  }
}

}  // namespace brindle
