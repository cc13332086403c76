// One variable of the open data file, as the variables table holds it.
#pragma once

#include <cstdint>
#include <string>

namespace brindle {

// Field numbers: RecId is field 0, PrintFmt field 12, Role 14; the order is also the
// order of the grid's field lookups by name.
enum VarField : int {
  kRecId = 0,
  kVarName,
  kVarType,
  kVarLabel,
  kMissingFormat,
  kNMiss1,
  kNMiss2,
  kNMiss3,
  kMissingValues,
  kFmt,
  kDec,
  kWid,
  kPrintFmt,
  kMeasure,
  kRole,
  kVarFieldCount
};

struct VarRecord {
  std::int32_t RecId = 0;          // 1-based position in the dictionary
  std::string VarName;             // whole name, UTF-8
  std::int32_t VarType = 0;        // 0 numeric, n > 0 string of width n
  std::string VarLabel;            // whole label, UTF-8; empty when none
  std::int32_t missingFormat = 0;  // 0, 1..3, -2, -3; 14 for every string variable
  double nMiss1 = 0;
  double nMiss2 = 0;
  double nMiss3 = 0;
  std::string MissingValues;  // display text, at most 30 characters
  std::int32_t Fmt = 0;       // print format type code
  std::int32_t Dec = 0;
  std::int32_t Wid = 0;
  std::string PrintFmt;  // display text, at most 12 characters
  std::int32_t Measure = 0;  // 1 nominal, 2 ordinal, 3 scale; 0 when the file does not say
  std::int32_t Role = -1;    // 0 input .. 5 split; -1 when the file does not say
};

}  // namespace brindle
