#include "spssio/detail/ZsavInflater.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#ifdef BRINDLE_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "spssio/SpssioCodes.h"
#include "spssio/TaskPool.h"
#include "spssio/detail/BlockFile.h"

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
    if (m_streamLimit) {
      // One byte past the limit is enough to tell a block that gives more.
      const std::uint64_t allowed = m_streamLimit + 1 - std::uint64_t(z.total_out);
      if (outLen > allowed) outLen = std::size_t(allowed);
    }
    z.avail_out = uInt(outLen < kPiece ? outLen : kPiece);
    m_inStream = true;
    int rc = ::inflate(&z, Z_NO_FLUSH);
    in = z.next_in;
    out = z.next_out;
    if (m_streamLimit && std::uint64_t(z.total_out) > m_streamLimit) {
      m_limitMessage = "a block inflates to more than " +
                       std::string(m_limitDeclared ? "the " : "") + std::to_string(m_streamLimit) +
                       (m_limitDeclared ? " bytes the trailer declares" : " bytes");
      m_message = m_limitMessage.c_str();
      return Result::Error;
    }
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

ZsavStretch InflateStretch(ZsavInflater& inflater, BlockFile& file, std::int64_t regionEnd,
                           bool cutBeforeTrailer, std::vector<std::uint8_t>& buffer,
                           std::size_t have, std::size_t want) {
  constexpr std::size_t kMaxHeldBlock = std::size_t(64) << 20;
  ZsavStretch st;
  std::size_t outPos = have;
  for (;;) {
    std::uint8_t* const base = buffer.data();
    std::uint8_t* out = base + outPos;
    std::uint8_t* const outEnd = base + buffer.size();
    while (out < outEnd) {
      const std::int64_t left = regionEnd - file.tell();
      std::size_t n = left > 0 ? file.fillSome() : 0;
      if (std::int64_t(n) > left) n = std::size_t(left > 0 ? left : 0);
      if (n == 0) {
        if (file.readFailed()) {
          st.code = SPSS_FILE_RERROR;
          st.message = "read failed at offset " + std::to_string(file.tell());
          return st;
        }
        if (!inflater.atStreamBoundary()) {
          st.code = SPSS_BAD_DATA;
          st.message =
              "ZLIB data: the last block is cut off at offset " + std::to_string(regionEnd);
          out -= std::min<std::uint64_t>(inflater.streamOutput(), std::uint64_t(out - base));
        } else if (cutBeforeTrailer) {
          st.code = SPSS_FILE_TRUNCATED;
          st.message = "ZLIB data: the file ends at offset " + std::to_string(regionEnd) +
                       ", before the trailer";
        }
        st.inputDone = true;
        break;
      }
      const std::uint8_t* in = file.data();
      const std::uint8_t* const inStart = in;
      const std::int64_t at = file.tell();
      const ZsavInflater::Result r = inflater.inflate(in, in + n, out, outEnd);
      file.consume(std::size_t(in - inStart));
      if (r == ZsavInflater::Result::Error) {
        // The blocks before the damaged one are sound and are decoded first;
        // nothing the damaged block gave is used.
        st.code = SPSS_BAD_DATA;
        st.message = std::string("ZLIB data near offset ") + std::to_string(at) + ": " +
                     inflater.lastMessage();
        out -= std::min<std::uint64_t>(inflater.streamOutput(), std::uint64_t(out - base));
        st.inputDone = true;
        break;
      }
    }
    outPos = std::size_t(out - base);
    st.sound = outPos;
    if (!st.inputDone && !inflater.atStreamBoundary())
      st.sound -= std::size_t(std::min<std::uint64_t>(inflater.streamOutput(), outPos));
    if (st.sound >= want || st.inputDone) break;
    if (buffer.size() >= kMaxHeldBlock) {
      st.sound = outPos;
      break;
    }
    buffer.resize(std::min(buffer.size() * 2, kMaxHeldBlock));
  }
  st.end = outPos;
  return st;
}

struct ZsavBlockInflater::Shared {
  std::vector<Block> blocks;
  std::size_t headroom = 0;
  std::size_t depth = 1;
  std::mutex mutex;
  std::size_t next = 0;      // the next block posted to the pool
  std::size_t consumed = 0;  // the next block take() hands out
  std::vector<TaskPool::TaskHandle> tasks;       // by block, while posted
  std::vector<std::uint8_t> ok;                  // by block: it inflated
  std::vector<std::vector<std::uint8_t>> ready;  // by block, while held
  std::vector<std::vector<std::uint8_t>> spare;  // buffers to reuse
  std::vector<std::unique_ptr<BlockFile>> idle;  // files no task is reading through
  BlockFile own;  // the caller's thread's file when blocks are not read ahead

  // Reads and inflates block i through file into out; false on failure.
  bool inflate(BlockFile& file, std::size_t i, std::vector<std::uint8_t>& out) {
#ifdef BRINDLE_HAVE_LIBDEFLATE
    struct Decompressor {
      libdeflate_decompressor* d = libdeflate_alloc_decompressor();
      ~Decompressor() {
        if (d) libdeflate_free_decompressor(d);
      }
    };
    thread_local Decompressor decompressor;
    const Block& b = blocks[i];
    if (!decompressor.d || !file.seek(b.offset) || !file.ensure(b.compressed)) return false;
    if (out.size() < headroom + b.inflated) out.resize(headroom + b.inflated);
    std::size_t produced = 0;
    const libdeflate_result r = libdeflate_zlib_decompress(
        decompressor.d, file.data(), b.compressed, out.data() + headroom, b.inflated, &produced);
    file.consume(b.compressed);
    return r == LIBDEFLATE_SUCCESS && produced == b.inflated;
#else
    (void)file;
    (void)i;
    (void)out;
    return false;
#endif
  }

  // A pool task: block i inflated through a file no other task reads.
  void inflateAhead(std::size_t i) {
    std::vector<std::uint8_t> buffer;
    std::unique_ptr<BlockFile> file;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!spare.empty()) {
        buffer = std::move(spare.back());
        spare.pop_back();
      }
      // At most depth tasks are posted at once, and there are as many files.
      file = std::move(idle.back());
      idle.pop_back();
    }
    bool inflated = false;
    try {
      inflated = file->isOpen() && inflate(*file, i, buffer);
    } catch (const std::bad_alloc&) {
    }
    std::lock_guard<std::mutex> lock(mutex);
    idle.push_back(std::move(file));
    ready[i] = std::move(buffer);
    ok[i] = inflated;
  }

  // Under mutex: keeps depth blocks posted ahead of take().
  void postAhead() {
    for (; next < blocks.size() && next < consumed + depth; ++next)
      tasks[next] = TaskPool::shared().post([this, i = next] { inflateAhead(i); });
  }
};

bool ZsavBlockInflater::available() {
#ifdef BRINDLE_HAVE_LIBDEFLATE
  return true;
#else
  return false;
#endif
}

ZsavBlockInflater::ZsavBlockInflater(const BlockFile& file, std::vector<Block> blocks,
                                     std::size_t first, std::size_t headroom, unsigned threads)
    : m_shared(std::make_unique<Shared>()) {
  Shared& s = *m_shared;
  s.blocks = std::move(blocks);
  s.headroom = headroom;
  s.next = s.consumed = first;
  s.depth = threads + 1;
  s.ready.resize(s.blocks.size());
  if (threads == 0) {
    s.own.openSame(file);
    return;
  }
  s.tasks.resize(s.blocks.size());
  s.ok.assign(s.blocks.size(), 0);
  for (std::size_t t = 0; t < s.depth; ++t) {
    s.idle.push_back(std::make_unique<BlockFile>());
    s.idle.back()->openSame(file);
  }
  std::lock_guard<std::mutex> lock(s.mutex);
  s.postAhead();
}

ZsavBlockInflater::~ZsavBlockInflater() {
  Shared& s = *m_shared;
  std::vector<TaskPool::TaskHandle> posted;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    for (std::size_t i = s.consumed; i < s.next; ++i)
      if (s.tasks[i]) posted.push_back(std::move(s.tasks[i]));
  }
  for (const TaskPool::TaskHandle& task : posted)
    if (!task->withdraw()) task->wait();
}

bool ZsavBlockInflater::take(std::size_t i, std::vector<std::uint8_t>& out) {
  Shared& s = *m_shared;
  if (i >= s.blocks.size()) return false;
  if (s.tasks.empty()) {
    try {
      return s.own.isOpen() && s.inflate(s.own, i, out);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  TaskPool::TaskHandle task;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (i != s.consumed) return false;  // blocks are taken in order
    task = std::move(s.tasks[i]);
  }
  // Runs here when no pool thread has taken it yet. While a pool thread
  // inflates it, this thread inflates the later blocks no thread has taken
  // instead of waiting idle: on a first pass it is the thread that decodes,
  // and without it one core of two would inflate.
  while (!task->runHere() && !task->finished()) {
    std::vector<TaskPool::TaskHandle> later;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      for (std::size_t j = i + 1; j < s.next; ++j)
        if (s.tasks[j]) later.push_back(s.tasks[j]);
    }
    if (std::none_of(later.begin(), later.end(),
                     [](const TaskPool::TaskHandle& t) { return t->runHere(); }))
      break;
  }
  task->wait();
  std::lock_guard<std::mutex> lock(s.mutex);
  const bool ok = s.ok[i];
  if (ok) {
    if (!out.empty()) s.spare.push_back(std::move(out));
    out = std::move(s.ready[i]);
  } else {
    s.spare.push_back(std::move(s.ready[i]));
  }
  s.ready[i] = {};
  s.consumed = i + 1;
  s.postAhead();
  return ok;
}

}  // namespace brindle
