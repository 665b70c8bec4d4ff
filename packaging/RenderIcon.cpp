// Renders the scalable application icon into a square PNG at build time:
//   render_icon ICON.svg SIZE OUT.png
// so the hicolor theme's bitmap sizes come from the one drawing.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
  QGuiApplication app(argc, argv);
  if (argc != 4) {
    std::fputs("usage: render_icon ICON.svg SIZE OUT.png\n", stderr);
    return 2;
  }
  const int size = std::atoi(argv[2]);
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid() || size <= 0) {
    std::fprintf(stderr, "render_icon: cannot render %s at %s\n", argv[1], argv[2]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
  }
  return image.save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
