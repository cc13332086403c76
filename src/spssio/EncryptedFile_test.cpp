#include "spssio/EncryptedFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <set>

#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace {

using brindle::EncryptedFile;
using brindle::MemoryByteSource;
using Bytes = std::vector<std::uint8_t>;
using Status = EncryptedFile::Status;
namespace bt = brindle::testing;

// Plaintext of n bytes that passes for a system file: the magic, then a pattern.
Bytes plainOf(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((i * 31 + 7) % 253);
  std::memcpy(b.data(), "$FL2@(#)", std::min<std::size_t>(n, 8));
  return b;
}

// The wrapper over bytes the caller keeps alive.
std::unique_ptr<EncryptedFile> wrap(const Bytes& wrapped) {
  return std::make_unique<EncryptedFile>(std::make_unique<MemoryByteSource>(wrapped));
}

Bytes readAll(EncryptedFile& f) {
  Bytes out(f.size());
  EXPECT_TRUE(f.readAt(0, out.data(), out.size()));
  return out;
}

TEST(EncryptionKey, MatchesThePublishedExampleAndCutsPasswordsAtTenBytes) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  const auto key = brindle::DeriveEncryptionKey("pspp");
  ASSERT_TRUE(key);
  const std::uint8_t cmac[16] = {0x3e, 0xda, 0x09, 0x8e, 0x66, 0x04, 0xd4, 0xfd,
                                 0xf9, 0x63, 0x0c, 0x2c, 0xa8, 0x6f, 0xb0, 0x45};
  EXPECT_EQ(std::memcmp(key->data(), cmac, 16), 0);
  EXPECT_EQ(std::memcmp(key->data() + 16, cmac, 16), 0);
  EXPECT_EQ(brindle::DeriveEncryptionKey("abcdefghijXYZ"),
            brindle::DeriveEncryptionKey("abcdefghij"));
  EXPECT_NE(brindle::DeriveEncryptionKey("abcdefghij"), brindle::DeriveEncryptionKey("abcdefghi"));
}

TEST(EncodedPassword, DecodesPairsAndRejectsWhatIsNotOne) {
  EXPECT_EQ(brindle::DecodeSpssPassword("-|"), "b");
  for (const char* bad : {"", "-", "-|-", "-|-|-|-|-|-|-|-|-|-|-|", "- ", "-\x7f"})
    EXPECT_FALSE(brindle::DecodeSpssPassword(bad)) << bad;
  // Every byte has an encoding, so every password can be given encoded.
  std::set<int> reached;
  for (char a = 33; a <= 126; ++a)
    for (char b = 33; b <= 126; ++b)
      reached.insert(std::uint8_t((*brindle::DecodeSpssPassword(std::string{a, b}))[0]));
  EXPECT_EQ(reached.size(), 256u);
}

// Plaintext sizes around the block size: a whole block of padding when the
// size is a multiple of 16, a partial one otherwise.
class EncryptedRoundTrip : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EncryptedRoundTrip, DecryptsByteForByte) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  const Bytes plain = plainOf(GetParam());
  const Bytes wrapped = bt::encryptWrapper(plain, "secret");
  EXPECT_EQ(wrapped.size(), brindle::kEncryptedHeaderSize + (plain.size() / 16 + 1) * 16);
  auto f = wrap(wrapped);
  EXPECT_EQ(f->status(), Status::Ok);
  EXPECT_EQ(f->kind(), brindle::WrappedKind::Sav);
  ASSERT_EQ(f->unlock("secret"), Status::Ok) << f->errorText();
  EXPECT_EQ(f->size(), plain.size());
  EXPECT_EQ(readAll(*f), plain);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EncryptedRoundTrip, ::testing::Values(8, 15, 16, 17, 32, 4101));

TEST(EncryptedFile, WrittenSystemFilesFromDiskDecryptWhole) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  for (bt::Compression compression : {bt::Compression::Bytecode, bt::Compression::Zsav}) {
    bt::SavFile file;
    file.compression = compression;
    file.variables = {bt::Variable::numeric("x"), bt::Variable::string("s", 12)};
    for (int i = 0; i < 300; ++i)
      file.cases.push_back({double(i), std::string("row ") + std::to_string(i)});
    const Bytes plain = bt::writeSav(file);
    bt::TempFile temp(bt::encryptWrapper(plain, "pspp"));
    auto f = brindle::OpenEncryptedFile(temp.path());
    ASSERT_TRUE(f);
    ASSERT_EQ(f->unlock("pspp"), Status::Ok) << f->errorText();
    EXPECT_EQ(readAll(*f), plain);
  }
  EXPECT_FALSE(brindle::OpenEncryptedFile(bt::TempFile().path()));
}

TEST(EncryptedFile, ReadsAnyRangeAndRefusesRangesPastTheEnd) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  const Bytes plain = plainOf(100);
  const Bytes wrapped = bt::encryptWrapper(plain, "k");
  auto f = wrap(wrapped);
  ASSERT_EQ(f->unlock("k"), Status::Ok);
  for (std::size_t offset = 0; offset <= plain.size(); ++offset)
    for (std::size_t n = 0; offset + n <= plain.size(); n += 1 + n / 3) {
      Bytes out(n);
      ASSERT_TRUE(f->readAt(offset, out.data(), n)) << offset << "+" << n;
      ASSERT_TRUE(std::equal(out.begin(), out.end(), plain.begin() + std::ptrdiff_t(offset)))
          << offset << "+" << n;
    }
  std::uint8_t b[32];
  EXPECT_FALSE(f->readAt(99, b, 2));  // into the padding
  EXPECT_FALSE(f->readAt(101, b, 0));
  EXPECT_FALSE(f->readAt(std::numeric_limits<std::uint64_t>::max(), b, 1));
  EXPECT_FALSE(f->readAt(1, b, std::numeric_limits<std::size_t>::max()));
}

TEST(EncryptedFile, WrongPasswordStaysLockedUntilTheRightOne) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  const Bytes wrapped = bt::encryptWrapper(plainOf(40), "b");
  auto f = wrap(wrapped);
  std::uint8_t byte;
  EXPECT_EQ(f->unlock("B"), Status::WrongPassword);
  EXPECT_NE(f->errorText().find("wrong password"), std::string::npos);
  EXPECT_FALSE(f->unlocked());
  EXPECT_EQ(f->size(), 0u);
  EXPECT_FALSE(f->readAt(0, &byte, 1));
  EXPECT_EQ(f->unlock("-|"), Status::Ok);  // "b" in SPSS's password encoding
  EXPECT_EQ(f->size(), 40u);
  EXPECT_EQ(f->unlock("wrong"), Status::WrongPassword);
  EXPECT_FALSE(f->readAt(0, &byte, 1));

  // A kind without a magic number gets no second, decoded guess: under the
  // key of "pspp" decoded, this wrapper's last block ends in a valid 01.
  const Bytes plain = {0,    0, 0, 0, 0, 0, 0, 'o',  'w',  's',  '-', '1', '2', '5', '3', 0xe7,
                       0x03, 0, 0, 0, 0, 0, 0, 0xfd, 0xfd, 0x19, 0,   ' ', ' ', 'a', ' ', ' '};
  const Bytes other = bt::encryptWrapper(plain, "pspp", {"ZZZ", false});
  EXPECT_EQ(wrap(other)->unlock("pspp"), Status::WrongPassword);
}

// Fails every read past a point: a file that shrinks or a disk that fails.
class FailingSource : public brindle::ByteSource {
 public:
  FailingSource(const Bytes& bytes, std::uint64_t good) : m_inner(bytes), m_good(good) {}
  std::uint64_t size() const override { return m_inner.size(); }
  bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
    return offset + n <= m_good && m_inner.readAt(offset, out, n);
  }

 private:
  MemoryByteSource m_inner;
  std::uint64_t m_good;
};

TEST(EncryptedFile, DamagedWrappersAreErrorsThatNameTheDamage) {
  if (!brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has no AES";
  const Bytes good = bt::encryptWrapper(plainOf(40), "pw");
  auto unpadded = [](std::initializer_list<std::uint8_t> tail, const char* kind = "SAV") {
    Bytes plain = plainOf(32);
    std::copy(tail.begin(), tail.end(), plain.end() - std::ptrdiff_t(tail.size()));
    return bt::encryptWrapper(plain, "pw", {kind, false});
  };
  struct Case {
    const char* name;
    Bytes bytes;
    Status status;
    const char* text;
  };
  const Case cases[] = {
      {"plain system file", plainOf(64), Status::NotEncrypted, "not an encrypted"},
      {"cut in header", bt::truncated(good, 20), Status::Truncated, "ends at byte 20"},
      {"header only", bt::truncated(good, 36), Status::Truncated, "no encrypted data"},
      {"cut in block", bt::truncated(good, good.size() - 1), Status::BadSize, "whole number"},
      {"byte added",
       [&] {
         Bytes b = good;
         b.push_back(0);
         return b;
       }(),
       Status::BadSize, "whole number"},
      {"padding zero", unpadded({0}), Status::BadPadding, "padding"},
      {"padding over 16", unpadded({17}), Status::BadPadding, "padding"},
      {"padding uneven", unpadded({3, 2, 3}), Status::BadPadding, "padding"},
      {"unknown kind", unpadded({3, 2, 3}, "XYZ"), Status::WrongPassword, "wrong password"},
  };
  for (const Case& c : cases) {
    auto f = wrap(c.bytes);
    f->unlock("pw");
    EXPECT_EQ(f->status(), c.status) << c.name;
    EXPECT_NE(f->errorText().find(c.text), std::string::npos) << c.name << ": " << f->errorText();
    EXPECT_FALSE(f->unlocked()) << c.name;
  }
  EncryptedFile failing(std::make_unique<FailingSource>(good, good.size() - 16));
  EXPECT_EQ(failing.unlock("pw"), Status::ReadFailed);
  EXPECT_NE(failing.errorText().find("at byte 68"), std::string::npos) << failing.errorText();
}

// A build without AES (the Windows one) still recognises and checks a
// wrapper, and unlocking it says why it goes no further.
TEST(EncryptedFile, WithoutAesUnlockingSaysThisBuildCannot) {
  if (brindle::EncryptionAvailable()) GTEST_SKIP() << "this build has AES";
  Bytes wrapped(brindle::kEncryptedHeaderSize + 32, 0x5a);
  std::memset(wrapped.data(), 0, brindle::kEncryptedHeaderSize);
  std::memcpy(wrapped.data() + 8, "ENCRYPTEDSAV", 12);
  auto f = wrap(wrapped);
  EXPECT_EQ(f->status(), Status::Ok);
  EXPECT_EQ(f->kind(), brindle::WrappedKind::Sav);
  for (const char* password : {"secret", ""}) {
    EXPECT_EQ(f->unlock(password), Status::CryptoFailed);
    EXPECT_EQ(f->errorText(), "this build of Brindle cannot open encrypted files");
    EXPECT_FALSE(f->unlocked());
  }
  EXPECT_EQ(f->unlockWithKey(brindle::EncryptionKey{}), Status::CryptoFailed);
  EXPECT_FALSE(brindle::DeriveEncryptionKey("secret"));
  // Damage is still told as damage, not as the missing cipher.
  wrapped.pop_back();
  EXPECT_EQ(wrap(wrapped)->unlock("secret"), Status::BadSize);
}

}  // namespace
