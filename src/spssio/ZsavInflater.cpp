#include "spssio/ZsavInflater.h"

#include <zlib.h>

#include <cstring>

namespace brindle {

struct ZsavInflater::State {
  z_stream stream;
  bool initialised = false;
};

ZsavInflater::ZsavInflater() : m_state(std::make_unique<State>()) {
  std::memset(&m_state->stream, 0, sizeof m_state->stream);
  m_state->initialised = inflateInit(&m_state->stream) == Z_OK;
}

ZsavInflater::~ZsavInflater() {
  if (m_state->initialised) inflateEnd(&m_state->stream);
}

std::uint64_t ZsavInflater::streamOutput() const {
  return m_state->initialised && m_inStream ? m_state->stream.total_out : 0;
}

void ZsavInflater::reset() {
  if (m_state->initialised) inflateReset(&m_state->stream);
  m_inStream = false;
  m_message = "";
}

ZsavInflater::Result ZsavInflater::inflate(const std::uint8_t*& in, const std::uint8_t* inEnd,
                                           std::uint8_t*& out, std::uint8_t* outEnd) {
  if (!m_state->initialised) {
    m_message = "zlib could not be initialised";
    return Result::Error;
  }
  z_stream& z = m_state->stream;
  while (out < outEnd) {
    if (in == inEnd) return Result::NeedInput;
    // zlib counts in uInt; pieces are bounded so that large buffers work too.
    constexpr std::size_t kPiece = std::size_t(1) << 30;
    std::size_t inLen = std::size_t(inEnd - in);
    std::size_t outLen = std::size_t(outEnd - out);
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(inLen < kPiece ? inLen : kPiece);
    z.next_out = out;
    z.avail_out = uInt(outLen < kPiece ? outLen : kPiece);
    m_inStream = true;
    int rc = ::inflate(&z, Z_NO_FLUSH);
    in = z.next_in;
    out = z.next_out;
    if (rc == Z_STREAM_END) {
      // The next block is a stream of its own.
      inflateReset(&z);
      m_inStream = false;
      continue;
    }
    if (rc == Z_BUF_ERROR) {
      // No progress possible with what is at hand.
      if (z.avail_in == 0) return Result::NeedInput;
      return Result::Ok;
    }
    if (rc != Z_OK) {
      m_message = z.msg ? z.msg : "damaged zlib stream";
      return Result::Error;
    }
  }
  return Result::Ok;
}

}  // namespace brindle
