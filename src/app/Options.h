// Where the viewer keeps its options and the main window's placement: the
// user's settings of organisation and application "Brindle" (the registry
// key Software\Brindle\Brindle on Windows, ~/.config/Brindle/Brindle.conf on
// Linux). The values are integers, booleans 0 and 1.
#pragma once

#include <QSettings>

#include <memory>

namespace brindle {

// The main window's design bounds, used where no placement is stored.
inline constexpr int kDesignLeft = 204;
inline constexpr int kDesignTop = 109;
inline constexpr int kDesignWidth = 766;
inline constexpr int kDesignHeight = 486;

// The store, named explicitly: the application name changes with the open
// file's name (it is the title of plain messages).
std::unique_ptr<QSettings> OpenOptionsStore();

}  // namespace brindle
