#include "format/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace brindle {
namespace {

constexpr int kMaxDecimals = 18;
constexpr int kMaxPadding = 256;
constexpr int kGeneralDigits = 15;

// |x| as decimal digits d[0] d[1] ... d[n-1] with d[0] in the 10^exp place;
// n == 0 stands for zero. Never more than 17 digits (the shortest text that
// reads back as the same double), no trailing zeros.
struct Digits {
  char d[24] = {};
  int n = 0;
  int exp = 0;
  bool negative = false;
};

Digits ToDigits(double x) {
  Digits g;
  g.negative = std::signbit(x);
  if (x == 0) return g;
  char buf[40];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific);
  const char* p = buf;
  for (; p < res.ptr && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') g.d[g.n++] = *p;
  while (g.n > 0 && g.d[g.n - 1] == '0') --g.n;
  if (p < res.ptr) ++p;               // 'e'
  if (p < res.ptr && *p == '+') ++p;  // from_chars takes no plus sign
  std::from_chars(p, res.ptr, g.exp);
  return g;
}

// Keeps the first `keep` digits, rounding the rest half away from zero; the
// digits are the decimal text the user sees, so a trailing 5 always rounds up.
// keep == 0 rounds at the place above d[0]; keep < 0 gives zero.
void RoundDigits(Digits& g, int keep) {
  if (keep >= g.n) return;
  if (keep < 0) {
    g.n = 0;
    return;
  }
  const bool up = g.d[keep] >= '5';
  g.n = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && g.d[i] == '9') --i;
    if (i < 0) {
      g.d[0] = '1';
      g.n = 1;
      ++g.exp;
    } else {
      ++g.d[i];
      g.n = i + 1;
    }
  }
  while (g.n > 0 && g.d[g.n - 1] == '0') --g.n;
}

void RoundToDecimals(Digits& g, int decimals) {
  if (g.n > 0) RoundDigits(g, g.exp + decimals + 1);
}

int IntegerDigits(const Digits& g) { return g.n == 0 ? 1 : std::max(g.exp + 1, 1); }

char DigitAt(const Digits& g, int place) {
  const int i = g.exp - place;
  return (i >= 0 && i < g.n) ? g.d[i] : '0';
}

// Appends g (already rounded) with `decimals` decimals; thousands == nullptr
// writes no grouping.
void AppendFixed(std::string& out, const Digits& g, int decimals, const NumberSeparators& seps,
                 const std::string* thousands) {
  if (g.negative && g.n > 0) out += '-';
  const int intDigits = IntegerDigits(g);
  for (int place = intDigits - 1; place >= 0; --place) {
    out += DigitAt(g, place);
    if (thousands && place > 0 && place % 3 == 0) out += *thousands;
  }
  if (decimals > 0) {
    out += seps.decimal;
    for (int place = -1; place >= -decimals; --place) out += DigitAt(g, place);
  }
}

void AppendInt(std::string& out, int v) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

int ClampDecimals(int decimals) { return std::clamp(decimals, 0, kMaxDecimals); }

// Characters, not bytes: UTF-8 continuation bytes do not start a character.
int CharacterCount(const std::string& s) {
  int count = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

std::string PadLeft(std::string text, int width) {
  const int missing = std::clamp(width, 0, kMaxPadding) - CharacterCount(text);
  if (missing > 0) text.insert(0, static_cast<std::size_t>(missing), ' ');
  return text;
}

}  // namespace

std::string GeneralNumberText(double x, const NumberSeparators& seps) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  Digits g = ToDigits(x);
  RoundDigits(g, kGeneralDigits);
  if (g.n == 0) return "0";

  std::string out;
  out.reserve(24);
  if (g.exp >= -4 && g.exp < 15) {
    AppendFixed(out, g, std::max(0, g.n - 1 - g.exp), seps, nullptr);
    return out;
  }
  if (g.negative) out += '-';
  out += g.d[0];
  if (g.n > 1) {
    out += seps.decimal;
    out.append(g.d + 1, g.d + g.n);
  }
  out += 'E';
  AppendInt(out, g.exp);
  return out;
}

std::string FixedText(double x, int width, int decimals, const NumberSeparators& seps) {
  if (!std::isfinite(x)) return PadLeft(GeneralNumberText(x, seps), width);
  decimals = ClampDecimals(decimals);
  Digits g = ToDigits(x);
  RoundToDecimals(g, decimals);
  std::string out;
  out.reserve(static_cast<std::size_t>(std::clamp(width, 24, kMaxPadding)));
  AppendFixed(out, g, decimals, seps, nullptr);
  return PadLeft(std::move(out), width);
}

std::string GroupedText(double x, int decimals, const NumberSeparators& seps) {
  if (!std::isfinite(x)) return GeneralNumberText(x, seps);
  decimals = ClampDecimals(decimals);
  Digits g = ToDigits(x);
  RoundToDecimals(g, decimals);
  if (IntegerDigits(g) > kGeneralDigits) return GeneralNumberText(x, seps);
  std::string out;
  out.reserve(32);
  AppendFixed(out, g, decimals, seps, &seps.thousands);
  return out;
}

double RoundHalfAway(double x, int decimals) {
  if (!std::isfinite(x)) return x;
  Digits g = ToDigits(x);
  RoundToDecimals(g, ClampDecimals(decimals));
  if (g.n == 0) return 0.0;
  // Read back "d.ddde<exp>"; from_chars gives the nearest double.
  char buf[48];
  char* p = buf;
  if (g.negative) *p++ = '-';
  *p++ = g.d[0];
  if (g.n > 1) {
    *p++ = '.';
    for (int i = 1; i < g.n; ++i) *p++ = g.d[i];
  }
  *p++ = 'e';
  p = std::to_chars(p, buf + sizeof buf, g.exp).ptr;
  double result = x;
  std::from_chars(buf, p, result);
  return result;
}

int DecimalExponent(double x) {
  if (!std::isfinite(x) || x == 0) return 0;
  return ToDigits(x).exp;
}

}  // namespace brindle
