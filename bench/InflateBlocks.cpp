// Reads and inflates every block of a ZSAV file's case data and does nothing
// else: the floor under any pass over such a file. Each thread reads its
// blocks through a descriptor of its own and inflates them whole with
// libdeflate, as the reader does; the blocks are found from the trailer at
// the end of the file.
// Usage: bench-inflate FILE.zsav [RUNS]
// Prints the median time on one thread and on every core.
#include <libdeflate.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Block {
  std::int64_t offset;
  std::uint32_t compressed, inflated;
};

template <typename T>
T Get(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The trailer is the file's last 24 + 24 × n bytes, its header giving n at
// byte 20 and zero at byte 8; the block entries follow (little-endian files).
std::vector<Block> ReadTrailer(int fd) {
  const off_t size = lseek(fd, 0, SEEK_END);
  const off_t tail = std::min<off_t>(size, 24 << 20);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(tail));
  if (pread(fd, bytes.data(), bytes.size(), size - tail) != tail) return {};
  for (std::size_t n = 1; 24 + 24 * n <= bytes.size(); ++n) {
    const std::uint8_t* t = bytes.data() + bytes.size() - 24 - 24 * n;
    if (Get<std::int64_t>(t + 8) != 0 || Get<std::int32_t>(t + 20) != static_cast<std::int32_t>(n))
      continue;
    std::vector<Block> blocks;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t* e = t + 24 + 24 * i;
      blocks.push_back({Get<std::int64_t>(e + 8), Get<std::uint32_t>(e + 20),
                        Get<std::uint32_t>(e + 16)});
    }
    return blocks;
  }
  return {};
}

double InflateAll(const char* path, const std::vector<Block>& blocks, unsigned threads) {
  const auto start = std::chrono::steady_clock::now();
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    const int fd = open(path, O_RDONLY);
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::vector<std::uint8_t> in, out;
    for (std::size_t i; (i = next++) < blocks.size();) {
      const Block& b = blocks[i];
      in.resize(b.compressed);
      out.resize(b.inflated);
      std::size_t got = 0;
      if (pread(fd, in.data(), in.size(), b.offset) != static_cast<ssize_t>(in.size()) ||
          libdeflate_zlib_decompress(d, in.data(), in.size(), out.data(), out.size(), &got) !=
              LIBDEFLATE_SUCCESS ||
          got != b.inflated)
        failed = true;
    }
    libdeflate_free_decompressor(d);
    close(fd);
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (auto& t : pool) t.join();
  if (failed) {
    std::fprintf(stderr, "a block did not inflate\n");
    std::exit(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE.zsav [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const int fd = open(argv[1], O_RDONLY);
  const std::vector<Block> blocks = fd < 0 ? std::vector<Block>{} : ReadTrailer(fd);
  if (fd >= 0) close(fd);
  if (blocks.empty()) {
    std::fprintf(stderr, "%s: no ZSAV trailer found\n", argv[1]);
    return 1;
  }
  double in = 0, out = 0;
  for (const Block& b : blocks) in += b.compressed, out += b.inflated;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned threads : {1u, cores}) {
    std::vector<double> seconds;
    for (int r = 0; r < runs; ++r) seconds.push_back(InflateAll(argv[1], blocks, threads));
    std::sort(seconds.begin(), seconds.end());
    std::printf("inflate %zu blocks (%.0f MB to %.0f MB) on %u thread%s: median %.3f s\n",
                blocks.size(), in / 1e6, out / 1e6, threads, threads == 1 ? "" : "s",
                seconds[seconds.size() / 2]);
    if (cores == 1) break;
  }
  return 0;
}
