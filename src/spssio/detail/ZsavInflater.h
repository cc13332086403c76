// The inflater of ZSAV case data: a run of independent zlib streams (one per
// block) lying back to back between the data header and the trailer. It is
// resumable: input and output may come and go in pieces of any size, and it
// crosses from one stream into the next by itself. The block table of the
// trailer is not needed for a sequential pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brindle {

class BlockFile;

class ZsavInflater {
 public:
  enum class Result {
    Ok,         // made progress; call again
    NeedInput,  // all input used, more output may follow from more input
    Error,      // the zlib data is damaged
  };

  ZsavInflater();
  ~ZsavInflater();
  ZsavInflater(const ZsavInflater&) = delete;
  ZsavInflater& operator=(const ZsavInflater&) = delete;

  // Starts over at the beginning of the first stream.
  void reset();
  // The most bytes one stream may inflate to (the block size the ZSAV
  // trailer declares, when declared); a stream that gives more is an Error
  // once it has given one byte more, so no block is inflated much past it.
  // 0: no limit.
  void setStreamLimit(std::uint64_t bytes, bool declared = true) {
    m_streamLimit = bytes;
    m_limitDeclared = declared;
  }

  // Inflates from [in, inEnd) into [out, outEnd), advancing both pointers.
  Result inflate(const std::uint8_t*& in, const std::uint8_t* inEnd, std::uint8_t*& out,
                 std::uint8_t* outEnd);

  // True between streams: input may end here without losing data.
  bool atStreamBoundary() const { return !m_inStream; }
  const char* lastMessage() const { return m_message; }
  // Bytes the stream under way has given so far (after an error: what the
  // damaged block gave before its check failed).
  std::uint64_t streamOutput() const;

 private:
  struct State;
  std::unique_ptr<State> m_state;
  bool m_inStream = false;
  std::uint64_t m_streamLimit = 0;
  bool m_limitDeclared = true;
  std::string m_limitMessage;
  const char* m_message = "";
};

// Whole ZSAV blocks, as the trailer's block table gives them, inflated at once
// with libdeflate (two to three times as fast as zlib's streaming inflate),
// ahead of their use on helper threads. Each helper reads through a file of
// its own, opened on the same data.
class ZsavBlockInflater {
 public:
  struct Block {
    std::int64_t offset;  // of the compressed bytes in the file
    std::size_t compressed;
    std::size_t inflated;
  };

  // False when built without libdeflate: blocks are then inflated as a stream.
  static bool available();

  // Inflates blocks from `first` on, up to threads + 1 of them ahead of
  // take(); threads 0 inflates on the caller's thread within take().
  // Each block lands `headroom` bytes into its buffer.
  ZsavBlockInflater(const BlockFile& file, std::vector<Block> blocks, std::size_t first,
                    std::size_t headroom, unsigned threads);
  ~ZsavBlockInflater();
  ZsavBlockInflater(const ZsavBlockInflater&) = delete;
  ZsavBlockInflater& operator=(const ZsavBlockInflater&) = delete;

  // Block i (the next in order from `first`) into out, whose old buffer is
  // kept for a later block: [headroom, headroom + inflated) holds the block.
  // False when it cannot be read or does not inflate to its declared size.
  bool take(std::size_t i, std::vector<std::uint8_t>& out);

 private:
  struct Shared;
  std::unique_ptr<Shared> m_shared;
};

// One stretch of inflated ZSAV data, as InflateStretch leaves it in its
// buffer: [0, sound) may be decoded, [sound, end) came from a block that has
// not ended yet and is held back until it has (passed its check).
struct ZsavStretch {
  std::size_t sound = 0;
  std::size_t end = 0;
  bool inputDone = false;  // nothing more will come from the file
  // 0, or what to report once the sound bytes are decoded: SPSS_BAD_DATA for
  // a damaged or cut-off block (nothing of it is in the stretch),
  // SPSS_FILE_TRUNCATED when the file ends before its trailer. A read
  // failure (SPSS_FILE_RERROR) leaves nothing usable.
  int code = 0;
  std::string message;
};

// Inflates from file, up to regionEnd, into buffer after its first `have`
// bytes (what the last stretch held back and what the decoder left unused,
// moved to the front by the caller) until the buffer is full or the input
// ends. While fewer than `want` bytes are sound, one unfinished block fills
// the buffer and it grows, up to 64 MB, beyond which that block's output is
// used unchecked. cutBeforeTrailer: the file ends before the ZSAV trailer.
ZsavStretch InflateStretch(ZsavInflater& inflater, BlockFile& file, std::int64_t regionEnd,
                           bool cutBeforeTrailer, std::vector<std::uint8_t>& buffer,
                           std::size_t have, std::size_t want);

}  // namespace brindle
