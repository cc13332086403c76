#include "values/ui/FrequencyChartView.h"

#include <QPainter>
#include <QResizeEvent>

namespace brindle {

FrequencyChartView::FrequencyChartView(QWidget* parent) : QScrollArea(parent) {
  setObjectName(QStringLiteral("frequencyChart"));
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_picture = new Picture(*this);
  setWidget(m_picture);
  setMinimumHeight(190);
}

void FrequencyChartView::SetSvg(const std::string& svg) {
  m_svg = svg;
  m_renderer.load(QByteArray::fromStdString(svg));
  m_picture->setMinimumHeight(m_picture->heightForWidth(viewport()->width()));
  m_picture->updateGeometry();
  m_picture->update();
}

QSize FrequencyChartView::Picture::sizeHint() const {
  return m_view.m_renderer.isValid() ? m_view.m_renderer.defaultSize() : QSize(0, 0);
}

int FrequencyChartView::Picture::heightForWidth(int width) const {
  const QSize size = m_view.m_renderer.defaultSize();
  if (!m_view.m_renderer.isValid() || size.width() <= 0) return 0;
  // Never wider than drawn: a narrow chart keeps its size.
  const int w = std::min(width, size.width());
  return size.height() * w / size.width();
}

void FrequencyChartView::Picture::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int height = heightForWidth(event->size().width());
  if (minimumHeight() != height) setMinimumHeight(height);
}

void FrequencyChartView::Picture::paintEvent(QPaintEvent*) {
  if (!m_view.m_renderer.isValid()) return;
  const QSize size = m_view.m_renderer.defaultSize();
  if (size.width() <= 0) return;
  const int w = std::min(width(), size.width());
  QPainter painter(this);
  m_view.m_renderer.render(&painter, QRectF(0, 0, w, heightForWidth(w)));
}

}  // namespace brindle
