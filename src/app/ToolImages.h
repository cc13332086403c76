// The tool-bar images and the program icon, drawn as SVG and built into the
// program's resources.
#pragma once

#include <QIcon>

namespace brindle {

// Number of tool-bar images; indices 0 .. kToolImageCount - 1.
inline constexpr int kToolImageCount = 14;

// Tool-bar image by index: 0 open, 1 close, 2 copy, 3 open in SPSS, 4 file
// properties, 5 document, 6 to 9 find first, previous, next, last,
// 10 frequencies, 11 value labels, 12 filter, 13 weight. A null icon for an
// index outside the set.
QIcon ToolImage(int index);

// The program's own icon.
QIcon ProgramIcon();

}  // namespace brindle
