// The inflater of ZSAV case data: a run of independent zlib streams (one per
// block) lying back to back between the data header and the trailer. It is
// resumable: input and output may come and go in pieces of any size, and it
// crosses from one stream into the next by itself. The block table of the
// trailer is not needed for a sequential pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace brindle {

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
  const char* m_message = "";
};

}  // namespace brindle
