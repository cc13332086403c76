#if BRINDLE_HAVE_CRYPTO
#include <openssl/evp.h>
#endif

#include <memory>
#include <stdexcept>

#include "spssio/EncryptedFile.h"
#include "spssio/testing/SavWriter.h"

namespace brindle::testing {

std::vector<std::uint8_t> encryptWrapper(const std::vector<std::uint8_t>& plain,
                                         std::string_view password, const WrapOptions& options) {
  if (!options.pad && plain.size() % kCipherBlockSize != 0)
    throw std::invalid_argument("unpadded plaintext must be whole 16-byte blocks");
#if !BRINDLE_HAVE_CRYPTO
  // Tests that wrap a file skip in a build without AES (EncryptionAvailable).
  (void)password;
  throw std::runtime_error("this build has no AES to encrypt with");
#else
  const auto key = DeriveEncryptionKey(password);
  if (!key) throw std::runtime_error("the key could not be derived");

  Bytes out = {0x1c, 0, 0, 0, 0, 0, 0, 0};
  putText(out, "ENCRYPTED");
  putPadded(out, options.kind, 3);
  putInt32(out, 0x15, ByteOrder::Little);
  out.resize(kEncryptedHeaderSize, 0);

  // The library's own padding is PKCS #7, the wrapper's.
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  const std::size_t header = out.size();
  out.resize(header + plain.size() + kCipherBlockSize);
  int n = 0, last = 0;
  if (!ctx || !EVP_EncryptInit_ex2(ctx.get(), EVP_aes_256_ecb(), key->data(), nullptr, nullptr) ||
      !EVP_CIPHER_CTX_set_padding(ctx.get(), options.pad ? 1 : 0) ||
      !EVP_EncryptUpdate(ctx.get(), out.data() + header, &n, plain.data(), int(plain.size())) ||
      !EVP_EncryptFinal_ex(ctx.get(), out.data() + header + n, &last))
    throw std::runtime_error("AES encryption failed");
  out.resize(header + std::size_t(n) + std::size_t(last));
  return out;
#endif
}

}  // namespace brindle::testing
