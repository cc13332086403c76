// The hourglass for the length of a scope: long operations (opening,
// counting, sorting, filtering, copying) hold one of these.
#pragma once

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace brindle {

class WaitCursor {
 public:
  // Shows the wait cursor; does nothing when no GUI application exists.
  WaitCursor() {
    m_set = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (m_set) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  // Restores the cursor shown before, also when the scope is left by an exception.
  ~WaitCursor() {
    if (m_set && QCoreApplication::instance() != nullptr) QGuiApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool m_set = false;
};

}  // namespace brindle
