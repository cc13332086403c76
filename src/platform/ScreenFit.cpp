#include "platform/ScreenFit.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace brindle {

namespace {

// What a window manager's frame typically adds: borders and a title bar.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

}  // namespace

void FitToScreen(QWidget& window) {
  const QWidget* anchor = window.parentWidget() ? window.parentWidget()->window() : &window;
  const QScreen* screen = anchor->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect room = screen->availableGeometry();
  const QSize most(std::max(1, room.width() - kFrameWidth),
                   std::max(1, room.height() - kFrameHeight));
  const QSize size = window.size();
  if (size.width() > most.width() || size.height() > most.height())
    window.resize(std::min(size.width(), most.width()), std::min(size.height(), most.height()));
  // A window placed by the program (not left to the window manager) comes
  // back onto the screen where it would stand partly off it.
  if (window.testAttribute(Qt::WA_Moved)) {
    QRect bounds = window.geometry();
    if (!room.contains(bounds)) {
      bounds.moveLeft(std::clamp(bounds.left(), room.left(),
                                 std::max(room.left(), room.right() + 1 - bounds.width())));
      bounds.moveTop(std::clamp(bounds.top(), room.top(),
                                std::max(room.top(), room.bottom() + 1 - bounds.height())));
      window.move(bounds.topLeft());
    }
  }
}

}  // namespace brindle
