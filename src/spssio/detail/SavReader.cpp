// The dictionary records, one reader function per record type, behind the
// dispatch on the record type; and the values of the current case.
#include "spssio/detail/SavReader.h"

#include <cstring>

#include "spssio/AsciiText.h"
#include "spssio/SpssioCodes.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/DictionaryChecks.h"

namespace brindle {

int SavReader::fail(int code, std::int64_t offset, const std::string& record,
                    const std::string& what) {
  m_error = record + " at offset " + std::to_string(offset) + ": " + what;
  return code;
}

void SavReader::warn(int record, int subtype, std::int64_t offset, std::string text) {
  // A file can repeat one fault many times (an index in every entry of a
  // long list); what a user reads, and the memory, stay bounded.
  constexpr std::size_t kMostWarnings = 500;
  if (m_warnings.size() > kMostWarnings) return;
  if (m_warnings.size() == kMostWarnings)
    text = "more than " + std::to_string(kMostWarnings) + " warnings; the rest are not shown";
  m_warnings.push_back({record, subtype, offset, std::move(text)});
}

bool SavReader::take(std::size_t n, const std::uint8_t*& bytes) {
  if (!m_file.ensure(n)) return false;
  bytes = m_file.data();
  m_file.consume(n);
  return true;
}

int SavReader::readDictionary() {
  int rc = readHeader();
  if (rc == SPSS_OK) rc = readRecords();
  if (rc != SPSS_OK) return rc;

  // The encoding's name wins; the character code is the fallback.
  const bool named = !m_encodingName.empty() && m_text.setEncoding(m_encodingName);
  if (!named && m_characterCode != 0) m_text.setCodePage(m_characterCode);
  if (!m_encodingName.empty() && !named)
    warn(7, 20, m_encodingAt,
         "unknown encoding \"" + ShownText(m_encodingName) + "\"; used " + m_text.encoding());
  applyVeryLongStrings();
  applyLongNames();
  applyDisplayParameters();
  buildVariables();
  // A dictionary without a variable describes no data file.
  if (m_vars.empty())
    return fail(SPSS_BAD_DICTIONARY, m_file.tell(), "dictionary", "the file has no variables");
  applyLongStringLabels();
  applyLongStringMissing();
  applyVariableAttributes();
  applyFileAttributes();
  applyMultipleResponseSets();
  applyVariableSets();
  for (auto& set : m_labelSets)
    for (auto& l : set) l.label = m_text.toUtf8(l.label);
  for (const std::string& line : m_rawDocuments)
    m_documents.push_back(m_text.toUtf8(
        TrimmedField(reinterpret_cast<const std::uint8_t*>(line.data()), line.size())));
  m_fileLabel = m_text.toUtf8(m_fileLabel);
  m_product = m_text.toUtf8(m_product);
  m_productInfo = TrimmedText(m_text.toUtf8(m_productInfo));

  CaseLayout layout;
  layout.compression = m_compression;
  layout.bias = m_bias;
  layout.swap = m_swap;
  layout.dataStart = m_file.tell();
  layout.elementCount = m_elementCount;
  m_caseCount = chooseCaseCount(m_file.size() - layout.dataStart);
  layout.caseLimit = m_caseCount;
  layout.beyond = &m_beyond;
  m_cases.useIndex(&m_index);
  rc = m_cases.start(&m_file, layout);
  if (rc != SPSS_OK) {
    m_error = m_cases.error();
    return rc;
  }
  warnAboutCaseCount(layout.dataStart);
  for (const FileWarning& w : m_cases.warnings()) m_warnings.push_back(w);
  return SPSS_OK;
}

int SavReader::readRecords() {
  int pendingType = 0;
  bool pending = false;
  for (;;) {
    std::int64_t at = m_file.tell();
    std::int32_t type;
    if (pending) {
      type = pendingType;
      at -= 4;
      pending = false;
    } else {
      const std::uint8_t* b;
      if (!take(4, b)) {
        if (m_file.readFailed()) return fail(SPSS_FILE_RERROR, at, "record type", "read failed");
        if (m_file.remaining() == 0)
          return fail(SPSS_NO_TYPE999, at, "dictionary",
                      "the file ends before the dictionary termination record");
        return fail(SPSS_FILE_TRUNCATED, at, "record type", "the file ends inside it");
      }
      ByteCursor c(b, 4, m_swap, at);
      c.readI32(type);
    }
    int rc = SPSS_OK;
    switch (type) {
      case 2:
        rc = readVariableRecord(at);
        break;
      case 3:
        rc = readValueLabels(at, pendingType, pending);
        break;
      case 4: {
        // A variable list without its labels: nothing to attach, skip it.
        warn(4, 0, at, "value label variables record without value labels before it; ignored");
        std::vector<std::int32_t> indexes;
        rc = readLabelVariables(at, indexes);
        break;
      }
      case 6:
        rc = readDocument(at);
        break;
      case 7:
        rc = readExtension(at);
        break;
      case 999: {
        const std::uint8_t* b;
        if (!take(4, b))
          return fail(SPSS_FILE_TRUNCATED, at, "dictionary termination record",
                      "the file ends inside it");
        return SPSS_OK;
      }
      default:
        return fail(m_raw.empty() ? SPSS_NO_TYPE2 : SPSS_BAD_DICTIONARY, at, "record",
                    "unknown record type " + std::to_string(type));
    }
    if (rc != SPSS_OK) return rc;
  }
}

int SavReader::readVariableRecord(std::int64_t at) {
  static const std::string kRecord = "variable record";
  const std::uint8_t* b;
  if (!take(28, b)) return fail(SPSS_FILE_TRUNCATED, at, kRecord, "the file ends inside it");
  ByteCursor c(b, 28, m_swap, at + 4);
  RawVariable v;
  std::int32_t hasLabel;
  c.readI32(v.type);
  c.readI32(hasLabel);
  c.readI32(v.nMissing);
  c.readI32(v.print);
  c.readI32(v.write);
  const std::uint8_t* name = nullptr;
  c.readBytes(8, name);
  v.shortName = TrimmedField(name, 8);
  if (v.type < -1 || v.type > 255)
    return fail(SPSS_BAD_DICTIONARY, at, kRecord, "variable type " + std::to_string(v.type));
  if (hasLabel == 1) {
    std::int32_t len;
    if (!take(4, b)) return fail(SPSS_FILE_TRUNCATED, at, kRecord, "the file ends inside it");
    ByteCursor(b, 4, m_swap).readI32(len);
    std::int64_t padded = (std::int64_t(len) + 3) / 4 * 4;
    if (len < 0 || padded > m_file.remaining())
      return fail(SPSS_FILE_TRUNCATED, at, kRecord,
                  "label length " + std::to_string(len) + " goes past the end of the file");
    take(std::size_t(padded), b);
    std::size_t n = std::size_t(len);
    while (n > 0 && b[n - 1] == 0) --n;
    v.label.assign(reinterpret_cast<const char*>(b), n);
  } else if (hasLabel != 0) {
    return fail(SPSS_BAD_DICTIONARY, at, kRecord, "label flag " + std::to_string(hasLabel));
  }
  if (v.nMissing != 0) {
    if (v.nMissing < -3 || v.nMissing > 3 || v.nMissing == -1)
      return fail(SPSS_BAD_DICTIONARY, at, kRecord,
                  "missing value count " + std::to_string(v.nMissing));
    int n = v.nMissing < 0 ? -v.nMissing : v.nMissing;
    if (!take(std::size_t(n) * 8, b))
      return fail(SPSS_FILE_TRUNCATED, at, kRecord, "the file ends inside it");
    std::memcpy(v.missing, b, std::size_t(n) * 8);
    if (v.type == -1) v.nMissing = 0;
  }
  // A continuation belongs to the string before it; a stray one is still an
  // element of the case and is kept as an anonymous slot (no owner).
  if (v.type == -1)
    warn(2, 0, at, "string continuation without its string; kept as an unnamed part of the case");
  v.at = at;
  m_raw.push_back(std::move(v));
  // A long string announces its continuation records; without them the case
  // layout cannot be trusted.
  const RawVariable& added = m_raw.back();
  if (added.type > 8) {
    int continuations = (added.type + 7) / 8 - 1;
    for (int i = 0; i < continuations; ++i) {
      std::int64_t cat = m_file.tell();
      if (!take(32, b)) return fail(SPSS_FILE_TRUNCATED, cat, kRecord, "the file ends inside it");
      ByteCursor cc(b, 32, m_swap, cat);
      std::int32_t recType, type, contLabel, contMissing;
      cc.readI32(recType);
      cc.readI32(type);
      cc.readI32(contLabel);
      cc.readI32(contMissing);
      if (recType != 2 || type != -1)
        return fail(SPSS_NO_TYPE2, cat, kRecord,
                    "a continuation record of the string variable " + m_raw.back().shortName +
                        " is missing");
      RawVariable cont;
      cont.type = -1;
      m_raw.push_back(cont);
      // Some writers put a label on continuation records; read past it.
      if (contLabel == 1) {
        std::int32_t len;
        if (!take(4, b)) return fail(SPSS_FILE_TRUNCATED, cat, kRecord, "the file ends inside it");
        ByteCursor(b, 4, m_swap).readI32(len);
        std::int64_t padded = (std::int64_t(len) + 3) / 4 * 4;
        if (len < 0 || padded > m_file.remaining())
          return fail(SPSS_FILE_TRUNCATED, cat, kRecord,
                      "label length goes past the end of the file");
        take(std::size_t(padded), b);
      }
      if (contMissing != 0) {
        if (contMissing < -3 || contMissing > 3)
          return fail(SPSS_BAD_DICTIONARY, cat, kRecord,
                      "missing value count " + std::to_string(contMissing));
        int n = contMissing < 0 ? -contMissing : contMissing;
        if (!take(std::size_t(n) * 8, b))
          return fail(SPSS_FILE_TRUNCATED, cat, kRecord, "the file ends inside it");
      }
    }
  }
  return SPSS_OK;
}

int SavReader::readValueLabels(std::int64_t at, int& pendingType, bool& pending) {
  static const std::string kRecord = "value label record";
  const std::uint8_t* b;
  std::int32_t count;
  if (!take(4, b)) return fail(SPSS_FILE_TRUNCATED, at, kRecord, "the file ends inside it");
  ByteCursor(b, 4, m_swap).readI32(count);
  // Each label takes at least 16 bytes; a count the file cannot hold is a lie.
  if (count < 0 || std::int64_t(count) * 16 > m_file.remaining())
    return fail(SPSS_FILE_TRUNCATED, at, kRecord,
                "label count " + std::to_string(count) + " goes past the end of the file");
  std::vector<SavValueLabel> labels;
  labels.reserve(std::size_t(count));
  for (std::int32_t i = 0; i < count; ++i) {
    std::int64_t lat = m_file.tell();
    if (!take(9, b)) return fail(SPSS_FILE_TRUNCATED, lat, kRecord, "the file ends inside it");
    SavValueLabel l;
    std::memcpy(l.value, b, 8);
    std::size_t len = b[8];
    std::size_t padded = (len + 1 + 7) / 8 * 8 - 1;
    if (!take(padded, b))
      return fail(SPSS_FILE_TRUNCATED, lat, kRecord,
                  "the file ends inside label " + std::to_string(i + 1));
    while (len > 0 && b[len - 1] == 0) --len;
    l.label.assign(reinterpret_cast<const char*>(b), len);
    labels.push_back(std::move(l));
  }
  std::int64_t vat = m_file.tell();
  if (!take(4, b))
    return fail(SPSS_FILE_TRUNCATED, vat, "value label variables record",
                "the file ends before it");
  std::int32_t type;
  ByteCursor(b, 4, m_swap).readI32(type);
  if (type != 4) {
    // Labels that name no variables apply to none; read on with this record.
    warn(3, 0, at,
         "value labels without the value label variables record after them; " +
             std::to_string(labels.size()) + (labels.size() == 1 ? " label" : " labels") +
             " ignored");
    pendingType = type;
    pending = true;
    return SPSS_OK;
  }
  std::vector<std::int32_t> indexes;
  if (const int rc = readLabelVariables(vat, indexes); rc != SPSS_OK) return rc;
  int set = int(m_labelSets.size());
  m_labelSets.push_back(std::move(labels));
  attachLabelSet(set, indexes, vat);
  return SPSS_OK;
}

// The value label variables record (type 4) after its record type at `at`:
// the variable indexes its labels apply to.
int SavReader::readLabelVariables(std::int64_t at, std::vector<std::int32_t>& indexes) {
  static const std::string kRecord = "value label variables record";
  const std::uint8_t* b;
  std::int32_t n;
  if (!take(4, b)) return fail(SPSS_FILE_TRUNCATED, at, kRecord, "the file ends inside it");
  ByteCursor(b, 4, m_swap).readI32(n);
  if (n < 0 || std::int64_t(n) * 4 > m_file.remaining())
    return fail(SPSS_FILE_TRUNCATED, at, kRecord,
                "count " + std::to_string(n) + " goes past the end of the file");
  take(std::size_t(n) * 4, b);
  ByteCursor c(b, std::size_t(n) * 4, m_swap, at + 8);
  indexes.assign(std::size_t(n), 0);
  for (std::int32_t& index : indexes) c.readI32(index);
  return SPSS_OK;
}

void SavReader::attachLabelSet(int set, const std::vector<std::int32_t>& indexes, std::int64_t at) {
  // Indexes count from 1 over all variable records; ones that point
  // nowhere or at a continuation are ignored.
  std::vector<RawVariable*> targets;
  bool numeric = false, string = false;
  for (std::int32_t index : indexes) {
    const std::string which = "variable index " + std::to_string(index);
    if (index < 1 || std::size_t(index) > m_raw.size()) {
      warn(4, 0, at,
           which + " is out of range (the file has " + std::to_string(m_raw.size()) +
               " variable records); ignored");
      continue;
    }
    RawVariable& v = m_raw[std::size_t(index) - 1];
    if (v.type < 0) {
      warn(4, 0, at, which + " is the continuation of a string; ignored");
      continue;
    }
    // The 8 stored bytes of a label cannot hold a value of a wider string:
    // those have the long-string value labels record.
    if (v.type > 8) {
      warn(4, 0, at,
           which + " is a string of width " + std::to_string(v.type) +
               ", wider than a value label holds; its labels from this record are ignored");
      continue;
    }
    (v.type == 0 ? numeric : string) = true;
    targets.push_back(&v);
  }
  if (numeric && string) {
    warn(4, 0, at,
         "the record names numeric and string variables together; its labels are ignored");
    return;
  }
  for (RawVariable* v : targets)
    if (v->labelSets.empty() || v->labelSets.back() != set) v->labelSets.push_back(set);
}

int SavReader::readDocument(std::int64_t at) {
  const std::uint8_t* b;
  std::int32_t n;
  if (!take(4, b))
    return fail(SPSS_FILE_TRUNCATED, at, "document record", "the file ends inside it");
  ByteCursor(b, 4, m_swap).readI32(n);
  if (n < 0 || std::int64_t(n) * 80 > m_file.remaining())
    return fail(SPSS_FILE_TRUNCATED, at, "document record",
                "line count " + std::to_string(n) + " goes past the end of the file");
  take(std::size_t(n) * 80, b);
  if (m_hasDocument)
    warn(6, 0, at,
         "a second document record; its " + std::to_string(n) +
             (n == 1 ? " line was" : " lines were") + " added after the earlier lines");
  m_hasDocument = true;
  // A second document record adds its lines to the first's.
  for (std::int32_t i = 0; i < n; ++i) {
    m_rawDocuments.emplace_back(reinterpret_cast<const char*>(b + std::size_t(i) * 80), 80);
  }
  return SPSS_OK;
}

int SavReader::readExtension(std::int64_t at) {
  static const std::string kRecord = "extension record";
  const std::uint8_t* b;
  if (!take(12, b)) return fail(SPSS_FILE_TRUNCATED, at, kRecord, "the file ends inside it");
  ByteCursor h(b, 12, m_swap);
  std::int32_t subtype, size, count;
  h.readI32(subtype);
  h.readI32(size);
  h.readI32(count);
  std::string record = kRecord + " (subtype " + std::to_string(subtype) + ")";
  if (size < 0 || count < 0) return fail(SPSS_BAD_DICTIONARY, at, record, "negative size or count");
  std::int64_t bytes = std::int64_t(size) * std::int64_t(count);  // cannot overflow in 64 bits
  if (bytes > m_file.remaining())
    return fail(SPSS_FILE_TRUNCATED, at, record,
                std::to_string(bytes) + " bytes go past the end of the file");
  take(std::size_t(bytes), b);
  m_subtypes.insert(subtype);
  ByteCursor c(b, std::size_t(bytes), m_swap, at + 16);
  std::string text(reinterpret_cast<const char*>(b), std::size_t(bytes));
  switch (subtype) {
    case 3:
      if (size != 4 || count < 8)
        warn(7, 3, at,
             "integer info record of " + std::to_string(count) + " values of " +
                 std::to_string(size) + " bytes, not 8 of 4; ignored");
      else
        readIntegerInfo(c, size, count);
      break;
    case 13:
      if (m_longNamesAt < 0) m_longNamesAt = at;
      m_longNames += (m_longNames.empty() ? "" : "\t") + text;
      break;
    case 14:
      if (m_veryLongAt < 0) m_veryLongAt = at;
      m_veryLongStrings += (m_veryLongStrings.empty() ? "" : "\t") + text;
      break;
    case 11:
      if (size == 4) {
        m_displayAt = at;
        m_displayParameters.resize(std::size_t(count));
        for (auto& x : m_displayParameters) c.readI32(x);
      } else {
        warn(7, 11, at,
             "display parameters of " + std::to_string(size) + " bytes each, not 4; ignored");
      }
      break;
    case 16:
      if (size != 8 || count != 2)
        warn(7, 16, at,
             "extended case count record of " + std::to_string(count) + " values of " +
                 std::to_string(size) + " bytes, not 2 of 8; ignored");
      else
        readExtendedCaseCount(c, size, count);
      break;
    case 18:
      if (m_attributesAt < 0) m_attributesAt = at;
      m_variableAttributes += (m_variableAttributes.empty() ? "" : "/") + text;
      break;
    case 5:
      m_variableSetRecords.push_back({at, std::move(text)});
      break;
    case 7:
      m_mrSetRecords.push_back({at, std::move(text)});
      break;
    case 10:
      m_productInfo += text;
      break;
    case 17:
      m_fileAttributeRecords.push_back({at, std::move(text)});
      break;
    case 19:
      m_countedSetRecords.push_back({at, std::move(text)});
      break;
    case 20:
      m_encodingAt = at;
      m_encodingName = TrimmedText(text);
      break;
    case 21:
      m_longStringLabels.push_back({at, std::move(text)});
      break;
    case 22:
      m_longStringMissing.push_back({at, std::move(text)});
      break;
    // Floating-point info (4; the system-missing value is known by its bit
    // pattern) and unknown subtypes carry nothing this reader returns.
    default:
      break;
  }
  return SPSS_OK;
}

void SavReader::readIntegerInfo(ByteCursor& c, std::int32_t size, std::int32_t count) {
  if (size != 4 || count < 8) return;
  std::int32_t v[8];
  for (auto& x : v) c.readI32(x);
  m_characterCode = v[7];
}

void SavReader::readExtendedCaseCount(ByteCursor& c, std::int32_t size, std::int32_t count) {
  if (size != 8 || count != 2) return;
  std::int64_t unknown, n;
  c.readI64(unknown);
  if (c.readI64(n) && n >= 0) m_extendedCases = n;
}

int SavReader::findVariable(std::string_view name) const {
  auto it = m_byName.find(std::string(name));
  if (it != m_byName.end()) return it->second;
  auto up = m_byUpperName.find(AsciiUpper(name));
  return up == m_byUpperName.end() ? -1 : up->second;
}

double SavReader::labelNumber(const SavValueLabel& l) const {
  double d = 0;
  ByteCursor(l.value, 8, m_swap).readF64(d);
  return d;
}

double SavReader::numericValue(const SavVariable& v) const {
  std::uint64_t bits;
  std::memcpy(&bits, m_cases.row() + v.element * 8, 8);
  if (m_swap) bits = byteSwap64(bits);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

std::string SavReader::stringValue(const SavVariable& v) const {
  if (v.segments.size() == 1)
    return m_text.toUtf8(m_cases.row() + v.segments[0].element * 8, v.segments[0].bytes);
  m_scratch.clear();
  for (const SavSegment& s : v.segments)
    m_scratch.append(reinterpret_cast<const char*>(m_cases.row() + s.element * 8), s.bytes);
  return m_text.toUtf8(m_scratch);
}

}  // namespace brindle
