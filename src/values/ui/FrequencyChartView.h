// The chart of the values pane: the SVG picture of the frequency table on
// screen (codebook/FrequencyChart draws it, Qt SVG shows it), scaled to the
// pane's width, in a scroll area of its own when it is taller than its room.
#pragma once

#include <QScrollArea>
#include <QSvgRenderer>
#include <QWidget>

#include <string>

namespace brindle {

class FrequencyChartView : public QScrollArea {
 public:
  explicit FrequencyChartView(QWidget* parent = nullptr);
  // Shows the picture; empty text shows nothing.
  void SetSvg(const std::string& svg);
  // The text last set, for tests.
  const std::string& Svg() const { return m_svg; }

 private:
  class Picture : public QWidget {
   public:
    explicit Picture(FrequencyChartView& view) : m_view(view) {}
    QSize sizeHint() const override;
    int heightForWidth(int width) const override;
    bool hasHeightForWidth() const override { return true; }

   protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

   private:
    FrequencyChartView& m_view;
  };
  std::string m_svg;
  QSvgRenderer m_renderer;
  Picture* m_picture = nullptr;
};

}  // namespace brindle
