// What a dictionary holds beyond its variables' names, labels and formats:
// custom attributes (of the file and of each variable), multiple-response
// sets and variable sets. Texts are UTF-8; variables are named by their
// index in the dictionary.
#pragma once

#include <string>
#include <vector>

namespace brindle {

// One custom attribute. A file does not tell a single value from an array of
// one element: one value is shown as Name, several as Name[1], Name[2], ...
// Names that start with "$@" are the writing program's own ($@Role).
struct Attribute {
  std::string name;
  std::vector<std::string> values;  // at least one; quotes and line breaks kept
};

// Which variables of a multiple-response set count, and how its categories
// are labelled.
enum class SetKind {
  Categories,     // each member holds a category code
  Dichotomies,    // categories labelled by the members' variable labels
  CountedValues,  // dichotomies labelled by the counted value's value labels
};

struct MultipleResponseSet {
  std::string name;  // as stored, normally with its leading "$"
  // As the file gives it; for a counted-values set whose label comes from the
  // variables, the first member's variable label.
  std::string label;
  bool labelFromVariable = false;  // a counted-values set labelled by its first variable
  SetKind kind = SetKind::Categories;
  std::string countedValue;  // dichotomies: as stored, trailing blanks cut; else empty
  std::vector<int> members;  // variable indexes in the stored order
  bool isDichotomy() const { return kind != SetKind::Categories; }
};

// A variable set of the SPSS data editor: a named list of variables.
struct VariableSet {
  std::string name;
  std::vector<int> members;
};

// "categories" or "dichotomies", as the command line and reports write it.
inline const char* SetKindName(SetKind kind) {
  return kind == SetKind::Categories ? "categories" : "dichotomies";
}

}  // namespace brindle
