// libFuzzer target over the encrypted wrapper. Random bytes almost never
// decrypt to anything, so most inputs are plaintext that the target wraps
// itself (with or without padding, under a header of some kind), then cuts or
// damages by the first bytes' say. Beyond memory safety it checks that an
// undamaged wrapper unlocks exactly when it should and that reads of any
// range give back the plaintext.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "spssio/EncryptedFile.h"
#include "spssio/testing/SavWriter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr char kPassword[] = "pspp";

std::unique_ptr<brindle::EncryptedFile> open(const Bytes& bytes) {
  return std::make_unique<brindle::EncryptedFile>(
      std::make_unique<brindle::MemoryByteSource>(bytes));
}

bool wellPadded(const Bytes& plain) {
  if (plain.empty()) return false;
  const std::uint8_t n = plain.back();
  return n >= 1 && n <= 16 &&
         std::all_of(plain.end() - n, plain.end(), [n](std::uint8_t b) { return b == n; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::uint8_t flags = data[0];
  const std::uint8_t cut = data[1];
  const std::size_t flipAt = std::size_t(data[2]) << 8 | data[3];
  Bytes input(data + 4, data + size);

  if (flags & 1) {  // the input is the wrapper itself
    auto f = open(input);
    if (f->unlock(kPassword) == brindle::EncryptedFile::Status::Ok) {
      Bytes out(f->size());
      if (!f->readAt(0, out.data(), out.size())) std::abort();
    }
    return 0;
  }

  const bool pad = flags & 2;
  const bool sav = flags & 4;
  if (flags & 8) std::memcpy(input.data(), "$FL2@(#)", std::min<std::size_t>(8, input.size()));
  if (!pad) input.resize(input.size() - input.size() % 16);
  if (input.empty()) return 0;
  Bytes wrapped = brindle::testing::encryptWrapper(input, kPassword, {sav ? "SAV" : "ZZZ", pad});
  const bool damaged = cut != 0 || (flags & 16);
  if (cut != 0) wrapped.resize(wrapped.size() - std::min<std::size_t>(cut, wrapped.size()));
  if ((flags & 16) && !wrapped.empty()) wrapped[flipAt % wrapped.size()] ^= 0x5a;

  auto f = open(wrapped);
  const auto status = f->unlock(kPassword);
  const bool ok = status == brindle::EncryptedFile::Status::Ok;
  if (!damaged) {
    const bool magic =
        !sav || (input.size() >= 8 && (std::memcmp(input.data(), "$FL2@(#)", 8) == 0 ||
                                       std::memcmp(input.data(), "$FL3@(#)", 8) == 0));
    const bool expectOk = magic && (pad || wellPadded(input));
    if (ok != expectOk) std::abort();
    if (ok) {
      const std::size_t plainSize = pad ? input.size() : input.size() - input.back();
      if (f->size() != plainSize) std::abort();
      // Ranges from an offset the unused damage bytes choose, of growing length.
      for (std::size_t offset = flipAt % (plainSize + 1), n = 0; n <= plainSize - offset;
           n += 1 + n / 2) {
        Bytes out(n);
        if (!f->readAt(offset, out.data(), n) ||
            !std::equal(out.begin(), out.end(), input.begin() + std::ptrdiff_t(offset)))
          std::abort();
      }
    }
  } else if (ok) {
    Bytes out(f->size());
    if (!f->readAt(0, out.data(), out.size())) std::abort();
  }
  std::uint8_t byte;
  if (f->readAt(f->size(), &byte, 1)) std::abort();
  return 0;
}
