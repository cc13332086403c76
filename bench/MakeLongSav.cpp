// Writes the benchmark data files with the test writer's streaming API:
//
//   make_long_sav [--uncompressed | --zsav] [--cases N] OUTPUT
//       the long file: id, q1..q30, x1..x10, s1..s5, t1..t4, w
//       (2,000,000 cases by default; bytecode-compressed by default)
//   make_long_sav --wide [--vars N] [--cases N] [--uncompressed | --zsav] OUTPUT
//       a wide file of N numeric variables v1..vN (2,001 and 20,000 cases by
//       default), for dictionary-load measurements
//
// The data come from a fixed seed, so every run writes the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "spssio/testing/SavWriter.h"

using namespace brindle::testing;

namespace {

// SplitMix64: small, fast and the same on every platform, unlike the
// standard library's distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  double normal(double mean, double sd) {
    // Box-Muller; the second value of each pair is dropped for simplicity.
    const double u1 = 1.0 - uniform();
    const double u2 = uniform();
    return mean + sd * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
  }

 private:
  std::uint64_t m_state;
};

struct Options {
  bool wide = false;
  Compression compression = Compression::Bytecode;
  long long cases = -1;
  long long vars = 2001;
  std::string output;
};

[[noreturn]] void usage() {
  std::fprintf(
      stderr,
      "usage: make_long_sav [--wide] [--vars N] [--cases N] [--uncompressed | --zsav] OUTPUT\n");
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto number = [&]() {
      if (i + 1 >= argc) usage();
      char* end = nullptr;
      const long long v = std::strtoll(argv[++i], &end, 10);
      if (*end != '\0' || v < 0) usage();
      return v;
    };
    if (a == "--wide")
      o.wide = true;
    else if (a == "--uncompressed")
      o.compression = Compression::None;
    else if (a == "--zsav")
      o.compression = Compression::Zsav;
    else if (a == "--cases")
      o.cases = number();
    else if (a == "--vars")
      o.vars = number();
    else if (!a.empty() && a[0] == '-')
      usage();
    else if (o.output.empty())
      o.output = a;
    else
      usage();
  }
  if (o.output.empty() || (o.wide && o.vars < 1)) usage();
  if (o.cases < 0) o.cases = o.wide ? 20000 : 2000000;
  return o;
}

SavFile baseFile(Compression compression) {
  SavFile f;
  f.compression = compression;
  f.product = "@(#) SPSS DATA FILE Brindle benchmark data";
  f.creationDate = "01 Jan 24";
  f.creationTime = "12:00:00";
  return f;
}

// prefix followed by n; built by appending, which also keeps GCC 12's
// -Wrestrict false positive on string concatenation quiet.
std::string indexed(const char* prefix, long long n) {
  std::string s = prefix;
  s += std::to_string(n);
  return s;
}

Variable numeric(const std::string& name, int width, int decimals) {
  Variable v = Variable::numeric(name);
  v.print = Format{5, width, decimals};
  return v;
}

void writeLong(const Options& o) {
  SavFile f = baseFile(o.compression);
  f.fileLabel = "Benchmark data: long file";
  f.variables.push_back(numeric("id", 10, 0));
  for (int i = 1; i <= 30; ++i) {
    Variable q = numeric(indexed("q", i), 2, 0);
    q.label = indexed("Question ", i);
    q.numericLabels = {{1, "Low"}, {7, "High"}, {99, "Missing"}};
    q.measure = 2;
    f.variables.push_back(q);
  }
  for (int i = 1; i <= 10; ++i) f.variables.push_back(numeric(indexed("x", i), 8, 3));
  for (int i = 1; i <= 5; ++i) f.variables.push_back(Variable::string(indexed("s", i), 5));
  for (int i = 1; i <= 4; ++i) f.variables.push_back(Variable::string(indexed("t", i), 25));
  f.variables.push_back(numeric("w", 8, 2));

  static const double kAnswers[] = {1, 2, 3, 4, 5, 6, 7, 99};
  static const char* const kWords[] = {"red", "green", "blue", "white", "black"};
  static const char* const kPhrases[] = {"strongly agree", "neither agree/disagree",
                                         "strongly disagree"};
  Random rng(20240314);
  SavStreamWriter writer(f, o.output);
  // One case reused throughout: assigning a string into a string slot keeps
  // its storage, so the loop does not allocate.
  Case row(f.variables.size());
  for (std::size_t k = 41; k < 50; ++k) row[k] = std::string();
  for (long long n = 1; n <= o.cases; ++n) {
    std::size_t k = 0;
    row[k++] = static_cast<double>(n);
    for (int i = 0; i < 30; ++i) row[k++] = kAnswers[rng.below(8)];
    for (int i = 0; i < 10; ++i) row[k++] = std::round(rng.normal(50, 10) * 1000) / 1000;
    for (int i = 0; i < 5; ++i) std::get<std::string>(row[k++]).assign(kWords[rng.below(5)]);
    for (int i = 0; i < 4; ++i) std::get<std::string>(row[k++]).assign(kPhrases[rng.below(3)]);
    row[k++] = 0.2 + 2.8 * rng.uniform();
    writer.appendCase(row);
  }
  const SavLayout layout = writer.finish();
  std::printf("%s: %lld cases, 51 variables, %llu bytes\n", o.output.c_str(), o.cases,
              static_cast<unsigned long long>(layout.fileSize));
}

void writeWide(const Options& o) {
  SavFile f = baseFile(o.compression);
  f.fileLabel = "Benchmark data: wide file";
  for (long long i = 1; i <= o.vars; ++i) {
    Variable v = numeric(indexed("v", i), 8, 2);
    if (i % 10 == 1) v.label = indexed("Variable number ", i);
    f.variables.push_back(v);
  }
  Random rng(20240315);
  SavStreamWriter writer(f, o.output);
  Case row(f.variables.size());
  for (long long n = 0; n < o.cases; ++n) {
    for (Value& v : row)
      v = static_cast<double>(1 + rng.below(5)) + (rng.below(4) == 0 ? 0.5 : 0.0);
    writer.appendCase(row);
  }
  const SavLayout layout = writer.finish();
  std::printf("%s: %lld cases, %lld variables, %llu bytes\n", o.output.c_str(), o.cases, o.vars,
              static_cast<unsigned long long>(layout.fileSize));
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  try {
    if (o.wide)
      writeWide(o);
    else
      writeLong(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_long_sav: %s\n", e.what());
    return 1;
  }
  return 0;
}
