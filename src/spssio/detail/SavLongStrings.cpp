// The long-string records (value labels, subtype 21; missing values,
// subtype 22): read once the variables are known, since they name them.
#include <string>
#include <unordered_map>

#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/DictionaryChecks.h"
#include "spssio/detail/SavReader.h"

namespace brindle {
namespace {

// A variable name as these records store it, without trailing padding.
std::string NameField(const std::uint8_t* bytes, std::size_t n) {
  while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == 0)) --n;
  return std::string(reinterpret_cast<const char*>(bytes), n);
}

}  // namespace

// The variable a long-string record names, when it is a string wider than
// 8 bytes; null after a warning otherwise.
SavVariable* SavReader::longStringVariable(std::string_view name, int subtype, std::int64_t at) {
  const std::string utf8 = m_text.toUtf8(std::string(name));
  const int index = findVariable(utf8);
  std::string why;
  if (index < 0)
    why = "names no variable";
  else if (m_vars[std::size_t(index)].width == 0)
    why = "is a numeric variable";
  else if (m_vars[std::size_t(index)].width <= 8)
    why = "is a string of width " + std::to_string(m_vars[std::size_t(index)].width);
  if (why.empty()) return &m_vars[std::size_t(index)];
  warn(7, subtype, at, "entry for " + ShownText(utf8) + ", which " + why + "; ignored");
  return nullptr;
}

void SavReader::applyLongStringLabels() {
  // Where each variable's labelled values are in its list, to find repeats.
  std::unordered_map<const SavVariable*, std::unordered_map<std::string, std::size_t>> labelled;
  for (const StoredRecord& record : m_longStringLabels) {
    const std::string& bytes = record.bytes;
    ByteCursor c(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), m_swap);
    while (!c.atEnd()) {
      std::int32_t nameLen, width, count;
      const std::uint8_t* name = nullptr;
      if (!c.readI32(nameLen) || nameLen < 0 || !c.readBytes(std::size_t(nameLen), name) ||
          !c.readI32(width) || !c.readI32(count) || count < 0) {
        warn(7, 21, record.at,
             "damaged at byte " + std::to_string(c.position()) + " of its data; the rest ignored");
        break;
      }
      SavVariable* v = longStringVariable(NameField(name, std::size_t(nameLen)), 21, record.at);
      const std::size_t varWidth = v ? std::size_t(v->width) : 0;
      bool ok = true;
      for (std::int32_t i = 0; i < count && ok; ++i) {
        std::int32_t valueLen, labelLen;
        const std::uint8_t *value = nullptr, *label = nullptr;
        ok = c.readI32(valueLen) && valueLen >= 0 && c.readBytes(std::size_t(valueLen), value) &&
             c.readI32(labelLen) && labelLen >= 0 && c.readBytes(std::size_t(labelLen), label);
        if (!ok || !v) continue;
        // Values are compared at the variable's width, blank padded; bytes
        // beyond it can only be padding.
        std::string stored(reinterpret_cast<const char*>(value), std::size_t(valueLen));
        if (stored.size() > varWidth) {
          if (stored.find_first_not_of(' ', varWidth) != std::string::npos) {
            warn(7, 21, record.at,
                 "variable " + v->name + ": a labelled value is longer than the variable's width " +
                     std::to_string(varWidth) + "; its label is ignored");
            continue;
          }
          stored.resize(varWidth);
        }
        stored.resize(varWidth, ' ');
        std::string text = m_text.toUtf8(label, std::size_t(labelLen));
        const auto [at, added] = labelled[v].emplace(stored, v->longStringLabels.size());
        if (!added) {
          warn(7, 21, record.at,
               "variable " + v->name + ": a value has a second label; kept the last one");
          v->longStringLabels[at->second].second = std::move(text);
        } else {
          v->longStringLabels.emplace_back(std::move(stored), std::move(text));
        }
      }
      // A damaged record loses only what follows the damage.
      if (!ok) {
        warn(7, 21, record.at,
             "damaged at byte " + std::to_string(c.position()) + " of its data; the rest ignored");
        break;
      }
    }
  }
}

void SavReader::applyLongStringMissing() {
  for (const StoredRecord& record : m_longStringMissing) {
    // Writers give the value length once before the values; some old ones
    // repeated it before each value. The layout that reads the record to
    // its end exactly is the one it was written in.
    if (readLongStringMissing(record, false) || readLongStringMissing(record, true)) continue;
    warn(7, 22, record.at, "damaged; ignored");
  }
}

bool SavReader::readLongStringMissing(const StoredRecord& record, bool lengthBeforeEach) {
  struct Entry {
    SavVariable* variable;
    int count;
    std::string values[3];
  };
  std::vector<Entry> entries;
  std::vector<std::string> names;
  const std::string& bytes = record.bytes;
  ByteCursor c(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), m_swap);
  while (!c.atEnd()) {
    std::int32_t nameLen, len = 0;
    const std::uint8_t* name = nullptr;
    std::uint8_t count;
    if (!c.readI32(nameLen) || nameLen < 0 || !c.readBytes(std::size_t(nameLen), name) ||
        !c.readU8(count) || count < 1 || count > 3)
      return false;
    Entry e{nullptr, count, {}};
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* value;
      if ((i == 0 || lengthBeforeEach) && (!c.readI32(len) || len < 0)) return false;
      if (!c.readBytes(std::size_t(len), value)) return false;
      // Only the first 8 bytes of a long string's missing value count.
      e.values[i].assign(reinterpret_cast<const char*>(value),
                         std::size_t(len) < 8 ? std::size_t(len) : 8);
    }
    names.push_back(NameField(name, std::size_t(nameLen)));
    entries.push_back(std::move(e));
  }
  for (std::size_t k = 0; k < entries.size(); ++k) {
    SavVariable* v = longStringVariable(names[k], 22, record.at);
    if (!v) continue;
    v->missingFormat = entries[k].count;
    for (int i = 0; i < 3; ++i) v->stringMissing[i] = entries[k].values[i];
  }
  return true;
}

}  // namespace brindle
