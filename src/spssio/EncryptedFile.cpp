#include "spssio/EncryptedFile.h"

#if BRINDLE_HAVE_CRYPTO
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#endif

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace brindle {
namespace {

#if BRINDLE_HAVE_CRYPTO
constexpr char kNoCipher[] = "the AES cipher could not be set up";

void wipe(void* bytes, std::size_t n) { OPENSSL_cleanse(bytes, n); }
#else
// A build without libcrypto (the Windows one) recognises the wrapper and says
// why it stops there.
constexpr char kNoCipher[] = "this build of Brindle cannot open encrypted files";

void wipe(void* bytes, std::size_t n) {
  volatile std::uint8_t* p = static_cast<std::uint8_t*>(bytes);
  for (std::size_t i = 0; i < n; ++i) p[i] = 0;
}
#endif

constexpr char kKeyword[] = "ENCRYPTED";
constexpr std::size_t kKeywordAt = 8;
constexpr std::size_t kKindAt = 17;

// The message CMAC-AES-256 signs with the padded password to make the key.
constexpr std::uint8_t kKeyConstant[73] = {
    0x00, 0x00, 0x00, 0x01, 0x35, 0x27, 0x13, 0xcc, 0x53, 0xa7, 0x78, 0x89, 0x87, 0x53, 0x22,
    0x11, 0xd6, 0x5b, 0x31, 0x58, 0xdc, 0xfe, 0x2e, 0x7e, 0x94, 0xda, 0x2f, 0x00, 0xcc, 0x15,
    0x71, 0x80, 0x0a, 0x6c, 0x63, 0x53, 0x00, 0x38, 0xc3, 0x38, 0xac, 0x22, 0xf3, 0x63, 0x62,
    0x0e, 0xce, 0x85, 0x3f, 0xb8, 0x07, 0x4c, 0x4e, 0x2b, 0x77, 0xc7, 0x21, 0xf5, 0x1a, 0x80,
    0x1d, 0x67, 0xfb, 0xe1, 0xe1, 0x83, 0x07, 0xd8, 0x0d, 0x00, 0x00, 0x01, 0x00};

WrappedKind kindOf(const std::uint8_t* code) {
  if (std::memcmp(code, "SAV", 3) == 0) return WrappedKind::Sav;
  if (std::memcmp(code, "SPS", 3) == 0) return WrappedKind::Syntax;
  if (std::memcmp(code, "SPV", 3) == 0) return WrappedKind::Viewer;
  return WrappedKind::Other;
}

// Whether the first plaintext block is what the wrapped kind begins with.
// Other kinds have no known magic; their padding alone decides.
bool hasMagic(WrappedKind kind, const std::uint8_t* block) {
  switch (kind) {
    case WrappedKind::Sav:
      return (std::memcmp(block, "$FL2@(#)", 8) == 0 || std::memcmp(block, "$FL3@(#)", 8) == 0);
    case WrappedKind::Syntax:
      return std::memcmp(block, "* Encoding", 10) == 0;
    case WrappedKind::Viewer:
      return std::memcmp(block, "PK\x03\x04\x14\x00\x08", 7) == 0;
    case WrappedKind::Other:
      return true;
  }
  return false;
}

const char* kindName(WrappedKind kind) {
  switch (kind) {
    case WrappedKind::Sav:
      return "a system file";
    case WrappedKind::Syntax:
      return "a syntax file";
    case WrappedKind::Viewer:
      return "a viewer file";
    case WrappedKind::Other:
      break;
  }
  return "its contents";
}

// PKCS #7: 1 to 16 bytes, each holding the count. Returns the count, or 0.
std::size_t paddingOf(const std::uint8_t* lastBlock) {
  const std::uint8_t n = lastBlock[kCipherBlockSize - 1];
  if (n == 0 || n > kCipherBlockSize) return 0;
  for (std::size_t i = kCipherBlockSize - n; i < kCipherBlockSize; ++i)
    if (lastBlock[i] != n) return 0;
  return n;
}

// An encoded password byte is two characters; each character's high and low
// nibbles name one of four groups, and the decoded nibble is the one value
// both characters' groups share.
constexpr std::uint16_t nibbles(int a, int b, int c, int d) {
  return std::uint16_t((1u << a) | (1u << b) | (1u << c) | (1u << d));
}
constexpr std::uint16_t kFirstGroups[4] = {nibbles(0x0, 0x1, 0x4, 0x5), nibbles(0x2, 0x3, 0x6, 0x7),
                                           nibbles(0x8, 0x9, 0xc, 0xd),
                                           nibbles(0xa, 0xb, 0xe, 0xf)};
constexpr std::uint16_t kSecondGroups[4] = {
    nibbles(0x0, 0x2, 0x8, 0xa), nibbles(0x1, 0x3, 0x9, 0xb), nibbles(0x4, 0x6, 0xc, 0xe),
    nibbles(0x5, 0x7, 0xd, 0xf)};
// Group of a character's high nibble (2..7) and of its low nibble (0..15).
constexpr std::uint8_t kHighGroup[8] = {0, 0, 1, 0, 2, 3, 3, 2};
constexpr std::uint8_t kLowGroup[16] = {0, 1, 1, 0, 2, 3, 3, 2, 2, 3, 3, 2, 0, 1, 1, 0};

int sharedNibble(int firstGroup, int secondGroup) {
  return std::countr_zero(unsigned(kFirstGroups[firstGroup] & kSecondGroups[secondGroup]));
}

}  // namespace

#if BRINDLE_HAVE_CRYPTO
struct EncryptedFile::Cipher {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EncryptionKey key{};  // the one that fits, once it does; wiped at the end
  ~Cipher() {
    EVP_CIPHER_CTX_free(ctx);
    wipe(key.data(), key.size());
  }
};
#else
struct EncryptedFile::Cipher {
  void* ctx = nullptr;  // never set up: unlocking fails with kNoCipher
  EncryptionKey key{};
  ~Cipher() { wipe(key.data(), key.size()); }
};
#endif

bool EncryptionAvailable() {
#if BRINDLE_HAVE_CRYPTO
  return true;
#else
  return false;
#endif
}

bool IsEncryptedWrapper(const std::uint8_t* head, std::size_t n) {
  return n >= kKeywordAt + sizeof kKeyword - 1 &&
         std::memcmp(head + kKeywordAt, kKeyword, sizeof kKeyword - 1) == 0;
}

std::optional<std::array<std::uint8_t, 32>> DeriveEncryptionKey(std::string_view password) {
#if !BRINDLE_HAVE_CRYPTO
  (void)password;
  return std::nullopt;
#else
  std::uint8_t padded[32] = {};
  std::memcpy(padded, password.data(), std::min(password.size(), kPasswordBytes));

  std::optional<std::array<std::uint8_t, 32>> key;
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, "CMAC", nullptr);
  EVP_MAC_CTX* ctx = mac ? EVP_MAC_CTX_new(mac) : nullptr;
  char cipherName[] = "AES-256-CBC";
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipherName, 0),
      OSSL_PARAM_construct_end()};
  std::uint8_t cmac[16];
  std::size_t length = 0;
  if (ctx && EVP_MAC_init(ctx, padded, sizeof padded, params) &&
      EVP_MAC_update(ctx, kKeyConstant, sizeof kKeyConstant) &&
      EVP_MAC_final(ctx, cmac, &length, sizeof cmac) && length == sizeof cmac) {
    key.emplace();
    std::memcpy(key->data(), cmac, 16);
    std::memcpy(key->data() + 16, cmac, 16);
  }
  EVP_MAC_CTX_free(ctx);
  EVP_MAC_free(mac);
  // Nothing of the password outlives the call but the key.
  wipe(padded, sizeof padded);
  wipe(cmac, sizeof cmac);
  return key;
#endif
}

std::optional<std::string> DecodeSpssPassword(std::string_view text) {
  if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * kPasswordBytes) return std::nullopt;
  std::string plain;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const auto a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
    if (a < 33 || a > 126 || b < 33 || b > 126) return std::nullopt;
    const int high = sharedNibble(kHighGroup[a >> 4], kHighGroup[b >> 4]);
    const int low = sharedNibble(kLowGroup[a & 15], kLowGroup[b & 15]);
    plain.push_back(static_cast<char>(high << 4 | low));
  }
  return plain;
}

EncryptedFile::EncryptedFile(std::unique_ptr<ByteSource> source) : m_source(std::move(source)) {
  m_wrappedSize = m_source->size();
  std::uint8_t header[kEncryptedHeaderSize];
  const std::size_t got = std::size_t(std::min<std::uint64_t>(m_wrappedSize, sizeof header));
  if (!m_source->readAt(0, header, got)) {
    fail(Status::ReadFailed, "the file could not be read at byte 0");
    return;
  }
  if (!IsEncryptedWrapper(header, got)) {
    fail(Status::NotEncrypted, "the file is not an encrypted wrapper: no \"ENCRYPTED\" at byte 8");
    return;
  }
  if (got < sizeof header) {
    fail(Status::Truncated, "the encrypted file ends at byte " + std::to_string(got) +
                                ", inside its " + std::to_string(sizeof header) + "-byte header");
    return;
  }
  m_kind = kindOf(header + kKindAt);
  const std::uint64_t data = m_wrappedSize - sizeof header;
  if (data == 0) {
    fail(Status::Truncated, "the encrypted file holds no encrypted data after its header");
  } else if (data % kCipherBlockSize != 0) {
    fail(Status::BadSize,
         "the encrypted data (" + std::to_string(data) + " bytes from byte " +
             std::to_string(sizeof header) +
             ") is not a whole number of 16-byte blocks; the file is truncated or damaged");
  } else {
    m_wellFormed = true;
  }
}

EncryptedFile::~EncryptedFile() = default;

EncryptedFile::Status EncryptedFile::fail(Status status, std::string text) {
  m_status = status;
  m_error = std::move(text);
  return status;
}

EncryptedFile::Status EncryptedFile::failedBlock(Status status, std::uint64_t at) {
  if (status == Status::ReadFailed)
    return fail(status, "the file could not be read at byte " + std::to_string(at));
  return fail(status, "the AES cipher failed");
}

EncryptedFile::Status EncryptedFile::unlock(std::string_view password) {
  if (!m_wellFormed) return m_status;
  m_cipher.reset();
  m_plainSize = 0;
  auto cipher = std::make_unique<Cipher>();
  if (!cipher->ctx) return fail(Status::CryptoFailed, kNoCipher);

  Status status = tryPassword(password, *cipher);
  // A second guess only where a magic number tells a fit: any padding check
  // alone passes one wrong key in 256.
  if (status == Status::WrongPassword && m_kind != WrappedKind::Other) {
    if (std::optional<std::string> decoded = DecodeSpssPassword(password)) {
      status = tryPassword(*decoded, *cipher);
      wipe(decoded->data(), decoded->size());
    }
  }
  return status == Status::Ok ? keep(std::move(cipher)) : status;
}

EncryptedFile::Status EncryptedFile::unlockWithKey(const EncryptionKey& key) {
  if (!m_wellFormed) return m_status;
  m_cipher.reset();
  m_plainSize = 0;
  auto cipher = std::make_unique<Cipher>();
  if (!cipher->ctx) return fail(Status::CryptoFailed, kNoCipher);
  const Status status = tryKey(key, *cipher);
  return status == Status::Ok ? keep(std::move(cipher)) : status;
}

EncryptedFile::Status EncryptedFile::keep(std::unique_ptr<Cipher> cipher) {
  m_cipher = std::move(cipher);
  m_error.clear();
  m_status = Status::Ok;
  return Status::Ok;
}

const EncryptionKey* EncryptedFile::key() const { return m_cipher ? &m_cipher->key : nullptr; }

EncryptedFile::Status EncryptedFile::tryPassword(std::string_view password, Cipher& cipher) {
  auto key = DeriveEncryptionKey(password);
  if (!key) return fail(Status::CryptoFailed, "the key could not be derived from the password");
  const Status status = tryKey(*key, cipher);
  wipe(key->data(), key->size());
  return status;
}

EncryptedFile::Status EncryptedFile::tryKey(const std::array<std::uint8_t, 32>& key,
                                            Cipher& cipher) {
#if BRINDLE_HAVE_CRYPTO
  if (!EVP_DecryptInit_ex2(cipher.ctx, EVP_aes_256_ecb(), key.data(), nullptr, nullptr) ||
      !EVP_CIPHER_CTX_set_padding(cipher.ctx, 0))
#endif
    return fail(Status::CryptoFailed, kNoCipher);

  const std::uint64_t data = m_wrappedSize - kEncryptedHeaderSize;
  std::uint8_t first[kCipherBlockSize], last[kCipherBlockSize];
  if (const Status s = decryptBlocks(cipher, 0, first, sizeof first); s != Status::Ok)
    return failedBlock(s, kEncryptedHeaderSize);
  if (!hasMagic(m_kind, first))
    return fail(Status::WrongPassword, std::string("wrong password: the data at byte ") +
                                           std::to_string(kEncryptedHeaderSize) +
                                           " does not decrypt to " + kindName(m_kind));
  if (const Status s = decryptBlocks(cipher, data - kCipherBlockSize, last, sizeof last);
      s != Status::Ok)
    return failedBlock(s, m_wrappedSize - kCipherBlockSize);
  const std::size_t padding = paddingOf(last);
  if (padding == 0) {
    // Without a magic number to go by, damaged padding is all a wrong key shows.
    if (m_kind == WrappedKind::Other)
      return fail(Status::WrongPassword,
                  "wrong password: the last block does not decrypt to valid padding");
    return fail(Status::BadPadding, "the padding of the last encrypted block (at byte " +
                                        std::to_string(m_wrappedSize - kCipherBlockSize) +
                                        ") is damaged; the file is truncated or damaged");
  }
  m_plainSize = data - padding;
  cipher.key = key;
  return Status::Ok;
}

EncryptedFile::Status EncryptedFile::decryptBlocks(Cipher& cipher, std::uint64_t cipherOffset,
                                                   std::uint8_t* out, std::size_t n) {
  if (!m_source->readAt(kEncryptedHeaderSize + cipherOffset, out, n)) return Status::ReadFailed;
  // ECB without padding turns every whole block out at once; in place is allowed.
  constexpr std::size_t kChunk = std::size_t(1) << 30;
  for (std::size_t done = 0; done < n;) {
    const std::size_t step = std::min(kChunk, n - done);
#if BRINDLE_HAVE_CRYPTO
    int produced = 0;
    if (!EVP_DecryptUpdate(cipher.ctx, out + done, &produced, out + done, int(step)) ||
        std::size_t(produced) != step)
#else
    (void)cipher;
#endif
      return Status::CryptoFailed;
    done += step;
  }
  return Status::Ok;
}

bool EncryptedFile::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (!m_cipher || offset > m_plainSize || n > m_plainSize - offset) return false;
  while (n > 0) {
    const std::size_t within = std::size_t(offset % kCipherBlockSize);
    std::size_t step;
    if (within == 0 && n >= kCipherBlockSize) {
      step = n - n % kCipherBlockSize;
      if (decryptBlocks(*m_cipher, offset, out, step) != Status::Ok) return false;
    } else {
      // A block cut by the range's start or end: decrypt it aside.
      std::uint8_t block[kCipherBlockSize];
      if (decryptBlocks(*m_cipher, offset - within, block, sizeof block) != Status::Ok)
        return false;
      step = std::min(kCipherBlockSize - within, n);
      std::memcpy(out, block + within, step);
    }
    offset += step;
    out += step;
    n -= step;
  }
  return true;
}

FileKey::~FileKey() { wipe(bytes.data(), bytes.size()); }

std::unique_ptr<EncryptedFile> UnlockedWithKey(std::unique_ptr<ByteSource> source,
                                               const EncryptionKey& key) {
  if (!source) return nullptr;
  auto file = std::make_unique<EncryptedFile>(std::move(source));
  if (file->unlockWithKey(key) != EncryptedFile::Status::Ok) return nullptr;
  return file;
}

std::unique_ptr<EncryptedFile> OpenEncryptedFile(const std::string& path) {
  auto source = std::make_unique<FileByteSource>();
  if (!source->open(path)) return nullptr;
  return std::make_unique<EncryptedFile>(std::move(source));
}

}  // namespace brindle
