// Opening a system file: the file header, the encrypted wrapper some files
// come in, and the case count the data is read to.
#include <cstring>

#include "spssio/SpssioCodes.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/DictionaryChecks.h"
#include "spssio/detail/SavReader.h"

namespace brindle {
namespace {

constexpr std::size_t kHeaderSize = 176;

}  // namespace

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
  std::string productText = TrimmedField(product, 60);
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
  m_fileLabel = TrimmedField(label, 64);
  return SPSS_OK;
}

// Data beyond the count the file gives: uncompressed data shows it by its
// size, and a count of 0 over data that holds cases is not taken at all.
// (Compressed data holding more cases than a count it gives is found only
// by decoding it.)
std::string SavReader::caseCountSource() const {
  return m_headerCases >= 0 ? "the file header"
                            : "the extended case count record (type 7 subtype 16)";
}

bool SavReader::beyondCountWarning(FileWarning& w) const {
  const std::int64_t at = m_beyond.offset.load();
  if (at < 0) return false;
  const std::string source = m_caseCount == m_headerCases
                                 ? "the file header"
                                 : "the extended case count record (type 7 subtype 16)";
  const std::string count = std::to_string(m_caseCount);
  std::string text = "the data goes on past the " + count + " cases " + source + " counts";
  if (m_compression == 2) text += ", at offset " + std::to_string(at) + " of the inflated data";
  w = FileWarning{0, 0, m_compression == 2 ? -1 : at, text + "; only those are read"};
  return true;
}

void SavReader::warnAboutCaseCount(std::int64_t dataStart) {
  const bool fromHeader = m_headerCases >= 0;
  const std::int64_t given = fromHeader ? m_headerCases : m_extendedCases;
  if (given < 0 || m_elementCount == 0) return;
  const std::string source = caseCountSource();
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

}  // namespace brindle
