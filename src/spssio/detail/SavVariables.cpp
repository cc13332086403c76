// The variables built from the records once they are all read: very long
// strings joined from their segments, long names, display parameters, print
// formats checked, names made unique, roles from the variable attributes.
#include <string>
#include <unordered_map>

#include "spssio/AsciiText.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/DictionaryChecks.h"
#include "spssio/detail/SavReader.h"

namespace brindle {
namespace {

SavFormat decodeFormat(std::int32_t f) {
  SavFormat out;
  out.type = (f >> 16) & 0xff;
  out.width = (f >> 8) & 0xff;
  out.decimals = f & 0xff;
  return out;
}

// Splits key=value lists whose tuples some writers separate with tabs, others
// with zero bytes, line ends or combinations of them.
std::vector<std::pair<std::string, std::string>> keyValuePairs(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && text[end] != '\t' && text[end] != '\0' && text[end] != '\n' &&
           text[end] != '\r')
      ++end;
    std::string_view tuple(text.data() + i, end - i);
    std::size_t eq = tuple.find('=');
    if (eq != std::string_view::npos) {
      std::string key = TrimmedText(tuple.substr(0, eq));
      std::string value = TrimmedText(tuple.substr(eq + 1));
      if (!key.empty()) out.emplace_back(std::move(key), std::move(value));
    }
    i = end + 1;
  }
  return out;
}

}  // namespace

void SavReader::applyVeryLongStrings() {
  if (m_veryLongStrings.empty()) return;
  std::unordered_map<std::string, std::vector<int>> byShort;
  for (std::size_t i = 0; i < m_raw.size(); ++i)
    if (m_raw[i].type > 0) byShort[AsciiUpper(m_raw[i].shortName)].push_back(int(i));
  for (const auto& [key, value] : keyValuePairs(m_veryLongStrings)) {
    int width = 0;
    bool digits = !value.empty();
    for (char ch : value) {
      if (ch < '0' || ch > '9' || width > 100000) {
        digits = false;
        break;
      }
      width = width * 10 + (ch - '0');
    }
    const std::string entry = "very long string " + ShownText(key) + ": ";
    if (!digits || width < 9 || width > 32767) {
      warn(7, 14, m_veryLongAt,
           entry + "width \"" + ShownText(value) + "\" is not a width from 9 to 32767; ignored");
      continue;
    }
    auto it = byShort.find(AsciiUpper(key));
    if (it == byShort.end()) {
      warn(7, 14, m_veryLongAt, entry + "no string variable has that name; ignored");
      continue;
    }
    // With duplicate short names, the first one not yet taken is meant.
    int head = -1;
    for (int candidate : it->second)
      if (!m_raw[std::size_t(candidate)].absorbed &&
          m_raw[std::size_t(candidate)].segmentHeads.empty()) {
        head = candidate;
        break;
      }
    if (head < 0) {
      warn(7, 14, m_veryLongAt, entry + "the variable is already part of another; ignored");
      continue;
    }
    std::size_t segments = std::size_t(width + 251) / 252;
    std::vector<int> heads;
    for (std::size_t i = std::size_t(head); i < m_raw.size() && heads.size() < segments; ++i) {
      if (m_raw[i].type == -1) continue;
      if (m_raw[i].type == 0 || m_raw[i].absorbed || !m_raw[i].segmentHeads.empty()) break;
      heads.push_back(int(i));
    }
    // Segments that are not there: the record is wrong, the variables stay
    // as they are.
    if (heads.size() != segments) {
      warn(7, 14, m_veryLongAt,
           entry + "width " + std::to_string(width) + " needs " + std::to_string(segments) +
               " segments, the file has " + std::to_string(heads.size()) +
               "; the variables were kept as they are");
      continue;
    }
    // Every segment but the last is a string of 255 bytes; another width
    // would put the value's bytes in the wrong places.
    std::size_t narrow = 0;
    while (narrow + 1 < heads.size() && m_raw[std::size_t(heads[narrow])].type == 255) ++narrow;
    if (narrow + 1 < heads.size()) {
      warn(7, 14, m_veryLongAt,
           entry + "segment " + std::to_string(narrow + 1) + " has width " +
               std::to_string(m_raw[std::size_t(heads[narrow])].type) +
               ", not 255; the variables were kept as they are");
      continue;
    }
    for (std::size_t s = 1; s < heads.size(); ++s) m_raw[std::size_t(heads[s])].absorbed = true;
    m_raw[std::size_t(head)].veryLongWidth = width;
    m_raw[std::size_t(head)].segmentHeads = std::move(heads);
  }
}

void SavReader::applyLongNames() {
  if (m_longNames.empty()) return;
  std::unordered_map<std::string, std::vector<int>> byShort;
  for (std::size_t i = 0; i < m_raw.size(); ++i)
    if (m_raw[i].type >= 0 && !m_raw[i].absorbed)
      byShort[AsciiUpper(m_raw[i].shortName)].push_back(int(i));
  for (const auto& [key, value] : keyValuePairs(m_longNames)) {
    auto it = byShort.find(AsciiUpper(key));
    if (it == byShort.end() || value.empty()) {
      warn(7, 13, m_longNamesAt,
           "long name for " + ShownText(key) +
               (value.empty() ? ": the name is empty; ignored"
                              : ", which is the name of no variable; ignored"));
      continue;
    }
    bool given = false;
    for (int candidate : it->second) {
      RawVariable& v = m_raw[std::size_t(candidate)];
      if (v.longName.empty()) {
        v.longName = value;
        given = true;
        break;
      }
    }
    if (!given)
      warn(7, 13, m_longNamesAt,
           "a second long name for " + ShownText(key) + " (\"" + ShownText(value) + "\"); ignored");
  }
}

void SavReader::buildVariables() {
  m_elementCount = m_raw.size();
  m_vars.reserve(m_raw.size());
  for (std::size_t i = 0; i < m_raw.size(); ++i) {
    RawVariable& r = m_raw[i];
    if (r.type < 0 || r.absorbed) continue;
    SavVariable v;
    if (r.longName.empty() && !m_subtypes.count(13)) {
      // Writers without long names store names in capitals; they read in
      // lower case, as other readers show them.
      v.name = Utf8Lower(m_text.toUtf8(r.shortName));
    } else {
      v.name = m_text.toUtf8(r.longName.empty() ? r.shortName : r.longName);
    }
    v.label = m_text.toUtf8(r.label);
    v.width = r.veryLongWidth ? r.veryLongWidth : r.type;
    v.print = decodeFormat(r.print);
    v.write = decodeFormat(r.write);
    v.element = i;
    v.labelSets = std::move(r.labelSets);
    v.measure = r.measure;
    v.displayWidth = r.displayWidth;
    v.alignment = r.alignment;
    if (v.width == 0) {
      v.missingFormat = r.nMissing;
      int n = r.nMissing < 0 ? -r.nMissing : r.nMissing;
      for (int k = 0; k < n; ++k) ByteCursor(r.missing[k], 8, m_swap).readF64(v.missing[k]);
    } else {
      // Strings have only discrete missing values.
      v.missingFormat = r.nMissing > 0 ? r.nMissing : 0;
      std::size_t bytes = v.width < 8 ? std::size_t(v.width) : 8;
      for (int k = 0; k < v.missingFormat; ++k)
        v.stringMissing[k].assign(reinterpret_cast<const char*>(r.missing[k]), bytes);
      // A format's width field holds one byte, so a very long string's
      // formats say 255; its own width is the true one.
      if (r.veryLongWidth) {
        if (v.print.type == 1) v.print.width = v.width;
        if (v.write.type == 1) v.write.width = v.width;
      }
      if (r.segmentHeads.empty()) {
        v.segments.push_back({i, std::size_t(v.width)});
      } else {
        // Each segment but the last holds 255 bytes of the value.
        std::size_t left = std::size_t(v.width);
        for (int h : r.segmentHeads) {
          std::size_t bytes = std::size_t(m_raw[std::size_t(h)].type);
          if (bytes > 255) bytes = 255;
          if (bytes > left) bytes = left;
          if (bytes == 0) break;
          v.segments.push_back({std::size_t(h), bytes});
          left -= bytes;
        }
      }
    }
    r.owner = int(m_vars.size());
    m_vars.push_back(std::move(v));
  }
  makeNamesUnique();
  for (SavVariable& v : m_vars) {
    const RawVariable& r = m_raw[v.element];
    checkFormats(v, r);
    if (v.width != 0 && r.nMissing < 0)
      warn(2, 0, r.at, "variable " + v.name + ": a missing value range on a string; ignored");
  }
  // The header's weight index field is at byte 76.
  constexpr std::int64_t kWeightIndexAt = 76;
  const std::string weight = "weight variable index " + std::to_string(m_weightIndex);
  if (m_weightIndex >= 1 && std::size_t(m_weightIndex) <= m_raw.size()) {
    const RawVariable& w = m_raw[std::size_t(m_weightIndex) - 1];
    if (w.owner >= 0 && m_vars[std::size_t(w.owner)].width == 0)
      m_weightVar = w.owner;
    else if (w.owner >= 0)
      warn(1, 0, kWeightIndexAt,
           weight + " names the string variable " + m_vars[std::size_t(w.owner)].name +
               "; the cases are not weighted");
    else
      warn(1, 0, kWeightIndexAt,
           weight + " is part of a string, not a variable; the cases are not weighted");
  } else if (m_weightIndex != 0) {
    warn(1, 0, kWeightIndexAt,
         weight + " is out of range (the file has " + std::to_string(m_raw.size()) +
             " variable records); the cases are not weighted");
  }
}

void SavReader::checkFormats(SavVariable& v, const RawVariable& r) {
  for (SavFormat* format : {&v.print, &v.write}) {
    const std::string fault = FormatFault(*format, v.width);
    if (fault.empty()) continue;
    *format = DefaultFormat(v.width);
    warn(2, 0, r.at,
         "variable " + v.name + ": " + (format == &v.print ? "print" : "write") + " " + fault +
             "; used " + FormatText(*format));
  }
}

// One entry of 3 (measure, column width, alignment) or 2 (measure, alignment)
// values per variable record that starts a value: each segment of a very long
// string has one, continuations of strings have none. Writers that give one
// entry per whole variable are accepted too; any other count is ignored.
void SavReader::applyDisplayParameters() {
  if (m_displayParameters.empty()) return;
  std::vector<RawVariable*> records, variables;
  for (RawVariable& r : m_raw) {
    if (r.type < 0) continue;
    records.push_back(&r);
    if (!r.absorbed) variables.push_back(&r);
  }
  const std::size_t n = m_displayParameters.size();
  const std::vector<RawVariable*>* target = nullptr;
  std::size_t stride = 0;
  for (const auto* list : {&records, &variables})
    for (std::size_t k : {3u, 2u})
      if (!target && !list->empty() && n == list->size() * k) {
        target = list;
        stride = k;
      }
  if (!target) {
    warn(7, 11, m_displayAt,
         std::to_string(n) + " display parameters do not fit the " +
             std::to_string(variables.size()) + " variables; ignored");
    return;
  }
  for (std::size_t i = 0; i < target->size(); ++i) {
    RawVariable& r = *(*target)[i];
    const std::int32_t measure = m_displayParameters[i * stride];
    if (measure >= 1 && measure <= 3) r.measure = measure;
    // Three values: measure, width, alignment; two leave the width out.
    const std::int32_t alignment = m_displayParameters[i * stride + stride - 1];
    if (alignment >= 0 && alignment <= 2) r.alignment = alignment;
    if (stride == 3 && m_displayParameters[i * stride + 1] >= 0)
      r.displayWidth = m_displayParameters[i * stride + 1];
  }
}

void SavReader::makeNamesUnique() {
  m_byName.reserve(m_vars.size() * 2);
  m_byUpperName.reserve(m_vars.size() * 2);
  for (std::size_t i = 0; i < m_vars.size(); ++i) {
    SavVariable& v = m_vars[i];
    const std::int64_t at = m_raw[v.element].at;
    if (v.name.empty()) {
      v.name = "V" + std::to_string(i + 1);
      warn(2, 0, at, "variable without a name; named " + v.name);
    }
    std::string upper = AsciiUpper(v.name);
    if (m_byUpperName.count(upper)) {
      // Names are case-insensitive; a clash gets the first free suffix.
      for (int k = 2;; ++k) {
        std::string candidate = v.name + "_" + std::to_string(k);
        std::string cu = AsciiUpper(candidate);
        if (!m_byUpperName.count(cu)) {
          warn(2, 0, at, "variable name " + v.name + " is used twice; named " + candidate);
          v.name = std::move(candidate);
          upper = std::move(cu);
          break;
        }
      }
    }
    m_byUpperName.emplace(upper, int(i));
    m_byName.emplace(v.name, int(i));
  }
}

}  // namespace brindle
