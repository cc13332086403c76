// A variable's user-missing values as its dictionary declares them.
#pragma once

#include <string>

namespace brindle {

struct MissingValues {
  int format = 0;                 // 0 none, 1..3 discrete, -2 range, -3 range plus one discrete
  double numbers[3] = {0, 0, 0};  // numeric variables; a range is numbers[0]..numbers[1]
  // String variables: UTF-8, blank padding kept (at most 8 stored bytes
  // each; a wider value is missing when it equals one padded with blanks).
  std::string strings[3];
};

}  // namespace brindle
