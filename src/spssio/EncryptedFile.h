// SPSS's encrypted wrapper: a 36-byte header ("ENCRYPTED" at byte 8, then
// the wrapped kind: SAV, SPS or SPV), then the wrapped file with PKCS #7
// padding, encrypted with AES-256 in ECB mode. ECB decrypts each 16-byte
// block alone, so any plaintext range is read by decrypting only the blocks
// it touches. The key comes from the password through CMAC-AES-256.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "spssio/ByteSource.h"

namespace brindle {

constexpr std::size_t kEncryptedHeaderSize = 36;
constexpr std::size_t kCipherBlockSize = 16;
// Only the first ten bytes of a password count.
constexpr std::size_t kPasswordBytes = 10;

using EncryptionKey = std::array<std::uint8_t, 32>;

// The key of an open encrypted file, kept instead of its password for as
// long as the file is open (reopening it, reading its bytes directly); the
// bytes are wiped when it goes.
struct FileKey {
  EncryptionKey bytes{};
  FileKey() = default;
  explicit FileKey(const EncryptionKey& key) : bytes(key) {}
  FileKey(const FileKey&) = default;
  FileKey& operator=(const FileKey&) = default;
  ~FileKey();
};

enum class WrappedKind { Sav, Syntax, Viewer, Other };

// True when head (the first n bytes of a file) starts an encrypted wrapper
// of any kind; n may be short, then the answer is false.
bool IsEncryptedWrapper(const std::uint8_t* head, std::size_t n);

// False in a build without AES (the Windows build): there a wrapper is
// recognised, but unlocking it fails with CryptoFailed, whose error text says
// that this build cannot open encrypted files.
bool EncryptionAvailable();

// The AES-256 key for a password (its first ten bytes, NUL padded to 32, are
// the CMAC key over a fixed constant; the 16-byte CMAC twice is the key).
// Empty only when the crypto library fails or the build has none.
std::optional<std::array<std::uint8_t, 32>> DeriveEncryptionKey(std::string_view password);

// Decodes one of SPSS's "encrypted" passwords (really a fixed encoding of two
// graphic ASCII characters per password byte). Empty when text is not one:
// odd length, longer than 20 characters or a character outside 33..126.
std::optional<std::string> DecodeSpssPassword(std::string_view text);

// A wrapped file as plaintext. Construction reads and checks the header and
// the size; unlock() then tries passwords until one fits. Once unlocked, the
// object is a ByteSource of the plaintext, padding removed. Like its source,
// it is not safe to use from several threads at once.
class EncryptedFile final : public ByteSource {
 public:
  enum class Status {
    Ok,             // a well-formed wrapper (after unlock: the password fits)
    NotEncrypted,   // no "ENCRYPTED" at byte 8
    Truncated,      // the header or the first encrypted block is incomplete
    BadSize,        // the encrypted data is not a whole number of blocks
    WrongPassword,  // no magic at the start (other kinds: no valid padding at the end)
    BadPadding,     // the password fits but the padding of the last block is damaged
    ReadFailed,     // the source could not be read
    CryptoFailed,   // the crypto library failed
  };

  // Takes the source; status() and errorText() tell whether it is a wrapper.
  explicit EncryptedFile(std::unique_ptr<ByteSource> source);
  ~EncryptedFile() override;
  EncryptedFile(const EncryptedFile&) = delete;
  EncryptedFile& operator=(const EncryptedFile&) = delete;

  Status status() const { return m_status; }
  // Why the last step failed, naming the byte offset; empty after success.
  const std::string& errorText() const { return m_error; }
  WrappedKind kind() const { return m_kind; }
  // The size of the wrapper on disk.
  std::uint64_t wrappedSize() const { return m_wrappedSize; }

  // Tries password as typed, then, when it is an SPSS-encoded password, as
  // decoded. A system file's plaintext must begin with "$FL2@(#)" or
  // "$FL3@(#)", a syntax file's with "* Encoding", a viewer file's with a
  // ZIP header; other kinds are checked by their padding alone (which one
  // wrong password in 256 passes) and get no second guess. On failure
  // the file stays locked and another password may be tried. Returns the
  // new status; a wrapper that is not Ok after construction stays as it is.
  Status unlock(std::string_view password);
  // The same with the key a password gave (for opening the file once more
  // without keeping the password); no second guess.
  Status unlockWithKey(const EncryptionKey& key);
  bool unlocked() const { return m_cipher != nullptr; }
  // The key that unlocked the file; null while locked.
  const EncryptionKey* key() const;

  // The plaintext size once unlocked, else 0.
  std::uint64_t size() const override { return m_plainSize; }
  // Reads plaintext; false when locked, out of range or the source fails.
  bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;

 private:
  struct Cipher;
  Status fail(Status status, std::string text);
  Status failedBlock(Status status, std::uint64_t at);
  Status tryPassword(std::string_view password, Cipher& cipher);
  Status tryKey(const std::array<std::uint8_t, 32>& key, Cipher& cipher);
  Status keep(std::unique_ptr<Cipher> cipher);
  // Reads n bytes (whole blocks) of encrypted data at cipherOffset and
  // decrypts them into out; no side effects on the status.
  Status decryptBlocks(Cipher& cipher, std::uint64_t cipherOffset, std::uint8_t* out,
                       std::size_t n);

  std::unique_ptr<ByteSource> m_source;
  std::unique_ptr<Cipher> m_cipher;  // set once unlocked
  Status m_status = Status::Ok;
  bool m_wellFormed = false;  // header and size check out: passwords may be tried
  std::string m_error;
  WrappedKind m_kind = WrappedKind::Other;
  std::uint64_t m_wrappedSize = 0;
  std::uint64_t m_plainSize = 0;
};

// The plaintext of the wrapper source holds, unlocked with key: null when
// source is null or the key does not open it.
std::unique_ptr<EncryptedFile> UnlockedWithKey(std::unique_ptr<ByteSource> source,
                                               const EncryptionKey& key);

// Opens the file at path as a wrapper. Null when the file cannot be opened;
// otherwise status() tells whether it is one.
std::unique_ptr<EncryptedFile> OpenEncryptedFile(const std::string& path);

}  // namespace brindle
