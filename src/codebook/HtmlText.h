// Text made safe for HTML and SVG: the five characters with a meaning in
// markup (&, <, >, ", ') written as character references, so that a name or
// label from a data file can stand in element content and in quoted
// attribute values alike.
#pragma once

#include <string>
#include <string_view>

namespace brindle {

void AppendEscaped(std::string_view text, std::string& out);
std::string Escaped(std::string_view text);

// A number for an SVG attribute: fixed with at most two decimals, "."
// always, trailing zeros cut ("12", "3.5").
std::string SvgNumber(double x);

}  // namespace brindle
