// The reader behind an open handle, for the typed classes of the reader
// itself (CaseSource) and its tests; nothing outside src/spssio/ uses it.
#pragma once

namespace brindle {
class SavReader;
namespace detail {
// nullptr for a handle that is not open.
SavReader* ReaderOfHandle(int handle);
}  // namespace detail
}  // namespace brindle
