// The dictionary's further parts as texts: measurement level, role and
// alignment names, attribute lines, set member lists, the variable details
// box and the part of the properties report about attributes and sets. The
// command line and the viewer both show these texts; they are built here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "format/NumberText.h"
#include "spssio/DictionaryParts.h"

namespace brindle {

class SystemFile;
struct Variable;

// A text on one line of a report or a tab-separated row: a tab, carriage
// return or line feed would split it, so they are written as \t, \r and \n,
// and a backslash as \\. AppendOneLine adds the result to out.
void AppendOneLine(std::string_view text, std::string& out);
std::string OneLine(std::string_view text);

// "nominal", "ordinal", "scale"; empty when the file records none (0) or
// anything else.
std::string MeasureName(int measure);
// "input", "target", "both", "none", "partition", "split"; empty for -1
// (not recorded) or anything else.
std::string RoleName(int role);
// "left", "right", "center"; empty for -1 or anything else.
std::string AlignmentName(int alignment);

// One attribute value as lists show it: Name for an attribute of one value,
// Name[1], Name[2], ... for the elements of an array.
struct AttributeLine {
  std::string name;
  std::string value;  // as stored: quotes and line breaks kept
};
std::vector<AttributeLine> AttributeLines(const std::vector<Attribute>& attributes);

// Whether an attribute's name is the writing program's own ("$@Role").
bool IsProgramAttribute(const std::string& name);

// Whether needle occurs, ignoring ASCII case, in an attribute value of the
// variable (attribute names are not searched). An empty needle matches
// nothing.
bool AttributeValuesContain(const Variable& variable, std::string_view needle);

// The members' names separated by single blanks.
std::string MemberNames(const SystemFile& file, const std::vector<int>& members);

// The details of variable index as "Caption\tvalue" lines: name, label,
// type and width, formats, missing values, measure, role, display width,
// alignment; then its attributes (the program's own apart) and the sets it
// belongs to. seps render numeric missing values.
std::string VariableDetailsText(const SystemFile& file, std::size_t index,
                                const NumberSeparators& seps);

// The properties report's part about the whole dictionary: the extra product
// information, the data file's attributes, the multiple-response sets (name,
// then kind, counted value, members and label in words) and the variable
// sets, each after an empty line under its heading. Empty when the file has
// none of them.
std::string DictionaryReportText(const SystemFile& file);

}  // namespace brindle
