#include "format/FormatValue.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "format/Calendar.h"
#include "spssio/Spssio.h"

namespace brindle {
namespace {

constexpr const char* kError = "ERROR";
constexpr const char* kNoCalendarDate = "ERROR!";

// Indexed by format type code; null where the code has no name.
constexpr const char* kTypeNames[] = {
    nullptr, "A",    "AHEX",     "F",     "DOLLAR", "F",     "IB",    "PIBHEX", "P",     "PIB",
    "PK",    "RB",   "RBHEX",    nullptr, nullptr,  "Z",     "N",     "E",      nullptr, nullptr,
    "DATE",  "TIME", "DATETIME", "ADATE", "JDATE",  "DTIME", "WKDAY", "MONTH",  "MOYR",  "QYR",
    "WKYR",  "PCT",  "DOT",      "CCA",   "CCB",    "CCC",   "CCD",   "CCE",    "EDATE", "SDATE",
};
constexpr int kTypeNameCount = sizeof kTypeNames / sizeof kTypeNames[0];

constexpr std::size_t kPrintFormatTextMax = 12;
constexpr int kMaxDecimals = 18;
// The general number text carries 15 significant digits; the seconds split
// off a time value get no more decimals than that leaves.
constexpr int kSignificantDigits = 15;

void AppendInt(std::string& out, long long v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// At least `digits` digits, zero-padded after the sign ("05").
void AppendPadded(std::string& out, long long v, int digits) {
  char buf[24];
  char* end = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v).ptr;
  if (v < 0) out += '-';
  for (long long n = end - buf; n < digits; ++n) out += '0';
  out.append(buf, end);
}

int ClampDecimals(int dec) { return std::clamp(dec, 0, kMaxDecimals); }

// "%*.*f" gets Wid + 1 as its field width; a width from a damaged file must
// not overflow.
int FieldWidth(int wid) { return wid >= INT_MAX ? INT_MAX : wid + 1; }

std::string DateText(double value, int fmt) {
  int d = 0, m = 0, y = 0;
  if (spssConvertSPSSDate(&d, &m, &y, value) != 0) return kError;
  std::string out;
  out.reserve(16);
  switch (fmt) {
    case kFmtDate:
      AppendInt(out, d), out += '-', AppendPadded(out, m, 2), out += '-', AppendInt(out, y);
      break;
    case kFmtADate:
      AppendInt(out, m), out += '/', AppendPadded(out, d, 2), out += '/', AppendInt(out, y);
      break;
    case kFmtEDate:
      AppendInt(out, d), out += '.', AppendPadded(out, m, 2), out += '.', AppendInt(out, y);
      break;
    case kFmtSDate:
      AppendInt(out, y), out += '.', AppendPadded(out, m, 2), out += '.', AppendPadded(out, d, 2);
      break;
    case kFmtJDate: {
      const int n = DayOfYear(y, m, d);
      if (n == 0) return kNoCalendarDate;
      AppendInt(out, y), AppendPadded(out, n, 3);
      break;
    }
    case kFmtMoYr:
      AppendInt(out, m), out += ' ', AppendInt(out, y);
      break;
    case kFmtQYr:
      AppendInt(out, (m + 2) / 3), out += " Q ", AppendInt(out, y);
      break;
    case kFmtWkYr: {
      const int week = WeekOfYear(y, m, d);
      if (week == 0) return kNoCalendarDate;
      AppendInt(out, week), out += " WK ", AppendInt(out, y);
      break;
    }
  }
  return out;
}

// TIME, DTIME and DATETIME. The value is rounded to the decimals that will be
// shown before it is split, so that 59.996 seconds shown with two decimals
// carries into the minute instead of reading 60.00. The seconds are never
// given more decimals than the 15 significant digits of the whole value hold:
// splitting off the seconds of a large value would otherwise show the binary
// noise of its representation (14:05:30.1 as 30.1000000000022).
std::string TimeText(double value, const PrintFormat& f, bool usePrintFormat,
                     const NumberSeparators& seps) {
  // A negative time or duration reads as its size with a leading "-"; a
  // negative date and time has no rendering.
  if (value < 0 && (f.Fmt == kFmtTime || f.Fmt == kFmtDTime)) {
    std::string size = TimeText(-value, f, usePrintFormat, seps);
    return size == kError ? size : "-" + size;
  }
  const int dec = ClampDecimals(f.Dec);
  const bool showsSeconds = !usePrintFormat || dec > 0;
  int secondDecimals = 0;
  double v = value;
  // Whole seconds, the common case, need no rounding (and no decimal text).
  if (showsSeconds && value != std::nearbyint(value)) {
    const int carried = ClampDecimals(kSignificantDigits - 1 - DecimalExponent(value));
    secondDecimals = usePrintFormat ? std::min(dec, carried) : carried;
    v = RoundHalfAway(value, secondDecimals);
  }
  int days = 0, h = 0, mi = 0;
  double s = 0;
  if (spssConvertSPSSTime(&days, &h, &mi, &s, v) != 0) return kError;
  int d = 0, m = 0, y = 0;
  if (f.Fmt == kFmtDateTime && spssConvertSPSSDate(&d, &m, &y, v) != 0) return kError;
  if (s != std::nearbyint(s)) s = RoundHalfAway(s, secondDecimals);

  std::string out;
  out.reserve(32);
  if (f.Fmt == kFmtTime) {
    AppendInt(out, static_cast<long long>(days) * 24 + h);
  } else if (f.Fmt == kFmtDTime) {
    AppendInt(out, days), out += ' ', AppendInt(out, h);
  } else {
    AppendInt(out, d), out += '-';
    usePrintFormat ? AppendPadded(out, m, 2) : AppendInt(out, m);
    out += '-', AppendInt(out, y), out += ' ', AppendInt(out, h);
  }
  out += ':';
  if (usePrintFormat) {
    AppendPadded(out, mi, 2);
    if (dec > 0) out += ':', out += FixedText(s, 2, dec, seps);
  } else {
    AppendInt(out, mi), out += ':', out += GeneralNumberText(s, seps);
  }
  return out;
}

}  // namespace

std::string FormatTypeName(int code) {
  if (code < 0 || code >= kTypeNameCount || !kTypeNames[code]) return {};
  return kTypeNames[code];
}

std::string PrintFormatText(const PrintFormat& f) {
  std::string out = FormatTypeName(f.Fmt);
  AppendInt(out, f.Wid);
  if (f.Dec > 0) out += '.', AppendInt(out, f.Dec);
  if (out.size() > kPrintFormatTextMax) out.resize(kPrintFormatTextMax);
  return out;
}

bool IsDateFormat(int fmt) {
  switch (fmt) {
    case kFmtDate:
    case kFmtADate:
    case kFmtEDate:
    case kFmtSDate:
    case kFmtJDate:
    case kFmtMoYr:
    case kFmtQYr:
    case kFmtWkYr:
      return true;
    default:
      return false;
  }
}

std::string FormatValue(double value, const PrintFormat& f, bool usePrintFormat,
                        const NumberSeparators& seps) {
  if (IsDateFormat(f.Fmt)) return DateText(value, f.Fmt);
  switch (f.Fmt) {
    case kFmtF:
      return usePrintFormat ? FixedText(value, FieldWidth(f.Wid), f.Dec, seps)
                            : GeneralNumberText(value, seps);
    case kFmtDollar:
      return "$" +
             (usePrintFormat ? GroupedText(value, f.Dec, seps) : GeneralNumberText(value, seps));
    case kFmtPct:
      return (usePrintFormat ? FixedText(value, FieldWidth(f.Wid), f.Dec, seps)
                             : GeneralNumberText(value, seps)) +
             "%";
    case kFmtTime:
    case kFmtDTime:
    case kFmtDateTime:
      return TimeText(value, f, usePrintFormat, seps);
    default:
      return GeneralNumberText(value, seps);
  }
}

void FormatStatistic(double value, const PrintFormat& f, bool usePrintFormat,
                     const NumberSeparators& seps, std::string& target) {
  if (f.Fmt == kFmtF && usePrintFormat)
    target = FixedText(value, FieldWidth(f.Wid), ClampDecimals(f.Dec) + 2, seps);
  else if (f.Fmt != kFmtF && usePrintFormat)
    target = FormatValue(value, f, usePrintFormat, seps);
  else
    target = GeneralNumberText(value, seps);
}

}  // namespace brindle
