#include "controls/HintWindow.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QToolTip>

namespace brindle {

namespace {
constexpr int kMargin = 3;  // between the border and the text
}

HintWindow::HintWindow(QWidget* owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setMargin(kMargin - 1);
  QPalette pal = QToolTip::palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
  pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
  setPalette(pal);
  setAutoFillBackground(true);
  setFont(QToolTip::font());
  hide();
}

void HintWindow::ShowAt(const QString& text, QPoint globalTopLeft) {
  QScreen* screen = QGuiApplication::screenAt(globalTopLeft);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const int wrapWidth = screen != nullptr ? std::max(1, screen->geometry().width() / 2) : 400;
  const QRect need = QFontMetrics(font()).boundingRect(
      QRect(0, 0, wrapWidth, 100000), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
  m_text = text;
  m_pos = globalTopLeft;
  setText(text);
  setGeometry(QRect(globalTopLeft, need.size() + QSize(2 * kMargin + 2, 2 * kMargin)));
  if (!isVisible()) show();
}

void HintWindow::ShowForCell(const QString& cellText, int columnWidth, const QFontMetrics& metrics,
                             QPoint globalPointer) {
  qsizetype n = cellText.size();
  while (n > 0 && cellText.at(n - 1).unicode() <= 0x20) --n;
  const QString text = cellText.left(n);
  if (!text.isEmpty() && columnWidth < metrics.horizontalAdvance(text) + 2)
    ShowAt(text, globalPointer + QPoint(0, 16));
  else
    HideHint();
}

void HintWindow::HideHint() {
  if (isVisible()) hide();
}

}  // namespace brindle
