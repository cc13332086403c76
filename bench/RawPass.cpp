// Reads every case of a file through the I/O module, fetching one numeric
// value per case, and prints the time and the throughput in MB/s of file.
// Usage: bench-raw-pass FILE VAR [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "spssio/Spssio.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FILE VAR [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const double megabytes = static_cast<double>(std::filesystem::file_size(argv[1])) / 1e6;
  std::vector<double> seconds;
  long long cases = 0;
  double sum = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    int handle = -1;
    if (int rc = spssOpenRead(argv[1], &handle); rc != SPSS_OK) {
      std::fprintf(stderr, "cannot open %s: %s\n", argv[1], spssCodeText(rc));
      return 1;
    }
    double var = 0;
    if (spssGetVarHandle(handle, argv[2], &var) != SPSS_OK) {
      std::fprintf(stderr, "no variable %s\n", argv[2]);
      return 2;
    }
    cases = 0;
    sum = 0;
    spssSeekNextCase(handle, 0);
    int rc;
    while ((rc = spssReadCaseRecord(handle)) == SPSS_OK) {
      double v = 0;
      spssGetValueNumeric(handle, var, &v);
      sum += v;
      ++cases;
    }
    spssCloseRead(handle);
    if (rc != SPSS_FILE_END) {
      std::fprintf(stderr, "read failed after %lld cases: %s\n", cases, spssCodeText(rc));
      return 1;
    }
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = seconds[seconds.size() / 2];
  std::printf(
      "raw pass %s: %lld cases, %.1f MB, median %.3f s over %d runs, %.0f MB/s (checksum %.6g)\n",
      argv[1], cases, megabytes, median, runs, megabytes / median, sum);
  return 0;
}
