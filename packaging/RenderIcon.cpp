// Renders the program's SVG icon as PNGs for the hicolor icon theme:
//   brindle-render-icon ICON.svg OUTDIR SIZE...
// writes OUTDIR/SIZExSIZE/apps/brindle.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() < 4) {
    std::fputs("usage: brindle-render-icon ICON.svg OUTDIR SIZE...\n", stderr);
    return 2;
  }
  QSvgRenderer svg(args.at(1));
  if (!svg.isValid()) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
    return 1;
  }
  for (int i = 3; i < args.size(); ++i) {
    const int size = args.at(i).toInt();
    if (size <= 0) return 2;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args.at(2)).arg(size);
    if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/brindle.png"))) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(dir));
      return 1;
    }
  }
  return 0;
}
