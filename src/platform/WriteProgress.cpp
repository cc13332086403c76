#include "platform/WriteProgress.h"

#include <QCoreApplication>

#include <algorithm>
#include <utility>

namespace brindle {

WriteProgress::WriteProgress(QWidget* parent, const QString& title, const QString& text,
                             std::function<bool()> stopRequested)
    : m_dialog(text, QStringLiteral("Cancel"), 0, 100, parent),
      m_stopRequested(std::move(stopRequested)) {
  m_dialog.setWindowTitle(title);
  m_dialog.setWindowModality(Qt::WindowModal);
  m_dialog.setMinimumDuration(400);
  m_dialog.setAutoReset(false);
  m_dialog.setValue(0);
}

bool WriteProgress::step(std::int64_t done, std::int64_t total) {
  if (total > 0)
    m_dialog.setValue(static_cast<int>(std::min<std::int64_t>(100, done * 100 / total)));
  QCoreApplication::processEvents();
  return !m_dialog.wasCanceled() && !(m_stopRequested && m_stopRequested());
}

}  // namespace brindle
