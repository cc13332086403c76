#include "spssio/detail/SavReader.h"

#include <cfloat>
#include <cstring>

#include "spssio/AsciiText.h"
#include "spssio/SpssioCodes.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/DictionaryChecks.h"

namespace brindle {
namespace {

constexpr std::size_t kHeaderSize = 176;

// Trailing blanks and zero bytes are padding in every fixed-width field.
std::string trimmedField(const std::uint8_t* bytes, std::size_t n) {
  while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == 0)) --n;
  return std::string(reinterpret_cast<const char*>(bytes), n);
}

std::string trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == 0 || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == 0 || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return std::string(s.substr(b, e - b));
}

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
      std::string key = trimmed(tuple.substr(0, eq));
      std::string value = trimmed(tuple.substr(eq + 1));
      if (!key.empty()) out.emplace_back(std::move(key), std::move(value));
    }
    i = end + 1;
  }
  return out;
}

}  // namespace

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

int SavReader::open(const char* path, const FileUnlock* unlock) {
  if (!path || !m_file.open(path)) {
    m_error = std::string("cannot open ") + (path ? path : "(no name)");
    return SPSS_FILE_OERROR;
  }
  const int rc = unwrap(unlock, [name = std::string(path)]() -> std::unique_ptr<ByteSource> {
    auto source = std::make_unique<FileByteSource>();
    if (!source->open(name)) return nullptr;
    return source;
  });
  return rc != SPSS_OK ? rc : readDictionary();
}

int SavReader::openMemory(const std::uint8_t* data, std::size_t size, const FileUnlock* unlock) {
  if (!m_file.openMemory(data, size)) {
    m_error = "cannot read the bytes in memory as a file";
    return SPSS_FILE_OERROR;
  }
  const int rc = unwrap(unlock, [data, size]() -> std::unique_ptr<ByteSource> {
    return std::make_unique<MemoryByteSource>(std::span<const std::uint8_t>(data, size));
  });
  return rc != SPSS_OK ? rc : readDictionary();
}

int SavReader::unwrap(const FileUnlock* unlock, const ByteSourceOpener& raw) {
  if (!unlock || !(m_file.size() >= 36 && m_file.ensure(36) &&
                   std::memcmp(m_file.data() + 8, "ENCRYPTEDSAV", 12) == 0))
    return SPSS_OK;
  std::unique_ptr<ByteSource> bytes = raw();
  if (!bytes)
    return fail(SPSS_FILE_OERROR, 0, "encrypted file", "cannot open it once more to decrypt it");
  auto wrapper = std::make_unique<EncryptedFile>(std::move(bytes));
  using Status = EncryptedFile::Status;
  Status status = wrapper->status();
  if (status == Status::Ok)
    status = unlock->key ? wrapper->unlockWithKey(unlock->key->bytes)
                         : wrapper->unlock(unlock->password);
  switch (status) {
    case Status::Ok:
      break;
    case Status::WrongPassword:
      return fail(SPSS_WRONG_PASSWORD, 36, "encrypted data", wrapper->errorText());
    case Status::Truncated:
    case Status::BadSize:
    case Status::BadPadding:
      return fail(SPSS_FILE_TRUNCATED, 0, "encrypted file", wrapper->errorText());
    case Status::CryptoFailed:
      // A build without AES: an encrypted file it cannot open, not a damaged one.
      if (!EncryptionAvailable())
        return fail(SPSS_ENCRYPTED_FILE, 0, "encrypted file", wrapper->errorText());
      return fail(SPSS_FILE_RERROR, 0, "encrypted file", wrapper->errorText());
    default:
      return fail(SPSS_FILE_RERROR, 0, "encrypted file", wrapper->errorText());
  }
  // Every opened copy of the file (a pass on another thread) decrypts with
  // its own cipher under the same key; the password is gone by now.
  auto key = std::make_shared<const FileKey>(*wrapper->key());
  auto opener = std::make_shared<const ByteSourceOpener>(
      [raw, key]() -> std::unique_ptr<ByteSource> { return UnlockedWithKey(raw(), key->bytes); });
  if (!m_file.openSource(std::move(opener), std::move(wrapper))) {
    m_error = "cannot read the decrypted file";
    return SPSS_FILE_RERROR;
  }
  m_key = std::move(key);
  return SPSS_OK;
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
  for (auto& set : m_labelSets)
    for (auto& l : set) l.label = m_text.toUtf8(l.label);
  for (const std::string& line : m_rawDocuments)
    m_documents.push_back(m_text.toUtf8(
        trimmedField(reinterpret_cast<const std::uint8_t*>(line.data()), line.size())));
  m_fileLabel = m_text.toUtf8(m_fileLabel);
  m_product = m_text.toUtf8(m_product);

  CaseLayout layout;
  layout.compression = m_compression;
  layout.bias = m_bias;
  layout.swap = m_swap;
  layout.dataStart = m_file.tell();
  layout.elementCount = m_elementCount;
  m_caseCount = chooseCaseCount(m_file.size() - layout.dataStart);
  layout.caseLimit = m_caseCount;
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

// Data beyond the count the file gives: uncompressed data shows it by its
// size, and a count of 0 over data that holds cases is not taken at all.
// (Compressed data holding more cases than a count it gives is found only
// by decoding it.)
void SavReader::warnAboutCaseCount(std::int64_t dataStart) {
  const bool fromHeader = m_headerCases >= 0;
  const std::int64_t given = fromHeader ? m_headerCases : m_extendedCases;
  if (given < 0 || m_elementCount == 0) return;
  const std::string source =
      fromHeader ? "the file header" : "the extended case count record (type 7 subtype 16)";
  const std::int64_t dataBytes = m_file.size() - dataStart;
  const std::int64_t caseBytes = std::int64_t(m_elementCount) * 8;
  if (m_caseCount == given) {
    if (m_compression != 0 || given > dataBytes / caseBytes) return;
    const std::int64_t extra = dataBytes - given * caseBytes;
    if (extra == 0) return;
    const std::int64_t at = dataStart + given * caseBytes;
    const std::string count = std::to_string(given);
    if (extra >= caseBytes)
      warn(0, 0, at,
           "the data holds " + std::to_string(dataBytes / caseBytes) + " cases, more than the " +
               count + " " + source + " counts; only the first " + count + " are read");
    else
      warn(0, 0, at,
           "the data goes on for " + std::to_string(extra) + " bytes after the " + count +
               " cases " + source + " counts; they are ignored");
    return;
  }
  if (given != 0) return;
  std::string used;
  if (m_caseCount < 0)
    used = "the cases are counted from the data";
  else if (fromHeader && m_caseCount == m_extendedCases)
    used = "the extended case count record's " + std::to_string(m_caseCount) + " is used";
  else
    used = "all " + std::to_string(m_caseCount) + " are read";
  warn(0, 0, dataStart, source + " counts 0 cases, but the data holds some; " + used);
}

std::int64_t SavReader::chooseCaseCount(std::int64_t dataBytes) const {
  if (m_elementCount == 0) {
    std::int64_t promised = m_extendedCases >= 0 ? m_extendedCases : m_headerCases;
    return promised < 0 ? 0 : promised;
  }
  if (dataBytes < 0) dataBytes = 0;
  const std::int64_t elements = std::int64_t(m_elementCount);
  const std::int64_t caseBytes = elements * 8;
  // The most cases the data area can hold: uncompressed, each takes its full
  // size; bytecode spends at least one command byte on every element; zlib
  // makes at most 1032 bytes of one (258-byte matches in 2 bits).
  std::int64_t most;
  bool holdsData;
  if (m_compression == 0) {
    most = dataBytes / caseBytes;
    holdsData = most > 0;
  } else if (m_compression == 1) {
    most = dataBytes / elements;
    holdsData = dataBytes > 0;
  } else {
    constexpr std::int64_t kInflateRatio = 1032;
    const std::int64_t bytes = dataBytes - 48;  // data header and trailer header
    most = bytes <= 0                          ? 0
           : bytes > INT64_MAX / kInflateRatio ? INT64_MAX
                                               : bytes * kInflateRatio / elements;
    holdsData = bytes > 0;
  }
  // A count of 0 over data that holds cases is as wrong as one too large.
  auto plausible = [&](std::int64_t n) { return n >= 0 && n <= most && (n > 0 || !holdsData); };
  if (plausible(m_headerCases)) return m_headerCases;
  if (plausible(m_extendedCases)) return m_extendedCases;
  // The header promises more than the data holds: the file was cut short,
  // and reading stops where the data does, as the pass then reports.
  if (m_headerCases > most) return m_headerCases;
  // Unknown. Uncompressed data tells by its size, unless it ends inside a
  // case; then only reading finds out how far the cases are sound.
  if (m_compression == 0 && dataBytes % caseBytes == 0) return most;
  return -1;
}

int SavReader::readHeader() {
  const std::uint8_t* h;
  if (m_file.size() >= 36 && m_file.ensure(36) &&
      std::memcmp(m_file.data() + 8, "ENCRYPTEDSAV", 12) == 0)
    return fail(SPSS_ENCRYPTED_FILE, 0, "file header", "the file is encrypted");
  if (!m_file.ensure(4) ||
      (std::memcmp(m_file.data(), "$FL2", 4) != 0 && std::memcmp(m_file.data(), "$FL3", 4) != 0))
    return fail(SPSS_INVALID_FILE, 0, "file header", "no SPSS system file signature");
  if (!take(kHeaderSize, h))
    return fail(SPSS_FILE_TRUNCATED, 0, "file header", "the file ends inside it");

  // The layout code is 2 or 3 in the writer's byte order; that decides the
  // byte order of every number in the file.
  std::int32_t layout;
  std::memcpy(&layout, h + 64, 4);
  bool nativeLittle = [] {
    std::uint16_t one = 1;
    std::uint8_t b;
    std::memcpy(&b, &one, 1);
    return b == 1;
  }();
  if (layout == 2 || layout == 3) {
    m_swap = false;
  } else if (byteSwap32(std::uint32_t(layout)) == 2 || byteSwap32(std::uint32_t(layout)) == 3) {
    m_swap = true;
  } else {
    return fail(SPSS_INVALID_FILE, 64, "file header",
                "unknown layout code " + std::to_string(layout));
  }
  m_bigEndian = nativeLittle == m_swap;

  ByteCursor c(h, kHeaderSize, m_swap);
  c.skip(4);
  const std::uint8_t* product;
  c.readBytes(60, product);
  std::int32_t layoutCode, nominal, compression, weight, ncases;
  c.readI32(layoutCode);
  c.readI32(nominal);  // unreliable; the variable records decide the case size
  c.readI32(compression);
  c.readI32(weight);
  c.readI32(ncases);
  c.readF64(m_bias);
  const std::uint8_t *date = nullptr, *time = nullptr, *label = nullptr;
  c.readBytes(9, date);
  c.readBytes(8, time);
  c.readBytes(64, label);

  if (compression < 0 || compression > 2)
    return fail(SPSS_INVALID_FILE, 72, "file header",
                "unknown compression " + std::to_string(compression));
  m_compression = compression;
  m_weightIndex = weight;
  m_headerCases = ncases >= 0 ? ncases : -1;
  std::string productText = trimmedField(product, 60);
  const char kPrefix[] = "@(#) SPSS DATA FILE";
  if (productText.compare(0, sizeof kPrefix - 1, kPrefix) == 0)
    productText.erase(0, sizeof kPrefix - 1);
  std::size_t lead = 0;
  while (lead < productText.size() && productText[lead] == ' ') ++lead;
  productText.erase(0, lead);
  if (productText.size() > 42) productText.resize(42);
  m_product = productText;
  // Time stamps are kept as stored, with non-printable bytes blanked so a
  // broken stamp cannot carry control characters or invalid UTF-8 out.
  auto printable = [](const std::uint8_t* b, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(b[i] >= 0x20 && b[i] < 0x7f ? char(b[i]) : ' ');
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  m_date = printable(date, 9);
  m_time = printable(time, 8);
  m_fileLabel = trimmedField(label, 64);
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
        const std::uint8_t* b;
        std::int32_t n;
        if (!take(4, b))
          return fail(SPSS_FILE_TRUNCATED, at, "value label variables record",
                      "the file ends inside it");
        ByteCursor(b, 4, m_swap).readI32(n);
        if (n < 0 || std::int64_t(n) * 4 > m_file.remaining())
          return fail(SPSS_FILE_TRUNCATED, at, "value label variables record",
                      "count " + std::to_string(n) + " goes past the end of the file");
        take(std::size_t(n) * 4, b);
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
  v.shortName = trimmedField(name, 8);
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
  std::int32_t n;
  if (!take(4, b))
    return fail(SPSS_FILE_TRUNCATED, vat, "value label variables record",
                "the file ends inside it");
  ByteCursor(b, 4, m_swap).readI32(n);
  if (n < 0 || std::int64_t(n) * 4 > m_file.remaining())
    return fail(SPSS_FILE_TRUNCATED, vat, "value label variables record",
                "count " + std::to_string(n) + " goes past the end of the file");
  take(std::size_t(n) * 4, b);
  ByteCursor c(b, std::size_t(n) * 4, m_swap, vat + 8);
  std::vector<std::int32_t> indexes(std::size_t(n), 0);
  for (std::int32_t& index : indexes) c.readI32(index);
  int set = int(m_labelSets.size());
  m_labelSets.push_back(std::move(labels));
  attachLabelSet(set, indexes, vat);
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
    case 20:
      m_encodingAt = at;
      m_encodingName = trimmed(text);
      break;
    case 21:
      m_longStringLabels.push_back({at, std::move(text)});
      break;
    case 22:
      m_longStringMissing.push_back({at, std::move(text)});
      break;
    // Floating-point info (4; the system-missing value is known by its bit
    // pattern), multiple response sets (7, 19), product info (10), display
    // parameters' widths and alignments (11), file attributes (17) and unknown subtypes carry
    // nothing this reader returns.
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

// One entry of 3 (measure, column width, alignment) or 2 (measure, width)
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
    std::int32_t measure = m_displayParameters[i * stride];
    if (measure >= 1 && measure <= 3) (*target)[i]->measure = measure;
  }
}

// Variable attribute sets: NAME:ATTR('value'\n...)ATTR(...)/NAME:... with the
// long name in the file's encoding. Only the role is taken; parsing stops at
// the first malformed set, keeping what came before.
void SavReader::applyVariableAttributes() {
  if (m_variableAttributes.empty()) return;
  const std::string text = m_text.toUtf8(m_variableAttributes);
  std::size_t p = 0;
  const auto malformed = [&] {
    warn(7, 18, m_attributesAt,
         "variable attributes malformed at byte " + std::to_string(p) + "; the rest ignored");
  };
  while (p < text.size()) {
    std::size_t colon = text.find(':', p);
    if (colon == std::string::npos) return malformed();
    int var = findVariable(std::string_view(text).substr(p, colon - p));
    p = colon + 1;
    while (p < text.size() && text[p] != '/') {
      std::size_t open = text.find('(', p);
      if (open == std::string::npos) return malformed();
      std::string_view attr = std::string_view(text).substr(p, open - p);
      p = open + 1;
      bool first = true;
      while (p < text.size() && text[p] == '\'') {
        std::size_t end = text.find("'\n", p + 1);
        if (end == std::string::npos) return malformed();
        std::string_view value = std::string_view(text).substr(p + 1, end - p - 1);
        if (first && var >= 0 && attr == "$@Role" && value.size() == 1 && value[0] >= '0' &&
            value[0] <= '5')
          m_vars[std::size_t(var)].role = value[0] - '0';
        first = false;
        p = end + 2;
      }
      if (p >= text.size() || text[p] != ')') return malformed();
      ++p;
    }
    ++p;  // past the '/'
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
