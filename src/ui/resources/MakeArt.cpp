// Draws the viewer's pictures: the 95 x 206 logo and the three 16 x 16 tool
// icons. Not part of the build; run once when the pictures change:
//   QT_QPA_PLATFORM=offscreen ./make_art <folder>
// and commit the PNGs it writes.

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

QImage Canvas(int w, int h)
{
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QImage Logo()
{
  QImage image = Canvas(95, 206);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, 206);
  sky.setColorAt(0, QColor(0x0B, 0x2E, 0x55));
  sky.setColorAt(1, QColor(0x1F, 0x6F, 0xA8));
  p.fillRect(image.rect(), sky);

  // A sheet of cells.
  const QRectF sheet(12, 18, 62, 78);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 70));
  p.drawRect(sheet.translated(3, 3));
  p.setBrush(Qt::white);
  p.drawRect(sheet);
  p.setBrush(QColor(0x2E, 0x8B, 0x57));
  p.drawRect(QRectF(sheet.left(), sheet.top(), sheet.width(), 11));
  p.setPen(QPen(QColor(0xB8, 0xC4, 0xD0), 1));
  for (int i = 1; i < 4; ++i)
    p.drawLine(QPointF(sheet.left() + i * sheet.width() / 4, sheet.top() + 11),
               QPointF(sheet.left() + i * sheet.width() / 4, sheet.bottom()));
  for (double y = sheet.top() + 11 + 9.5; y < sheet.bottom(); y += 9.5)
    p.drawLine(QPointF(sheet.left(), y), QPointF(sheet.right(), y));

  // The lens over it, showing bytes.
  const QPointF centre(52, 70);
  const double radius = 24;
  QRadialGradient glass(centre - QPointF(8, 8), radius * 1.6);
  glass.setColorAt(0, QColor(255, 255, 255, 235));
  glass.setColorAt(1, QColor(0xCF, 0xE8, 0xFA, 235));
  p.setBrush(glass);
  p.setPen(Qt::NoPen);
  p.drawEllipse(centre, radius, radius);
  QFont mono(QStringLiteral("DejaVu Sans Mono"));
  mono.setPixelSize(11);
  mono.setBold(true);
  p.setFont(mono);
  p.setPen(QColor(0x0B, 0x2E, 0x55));
  p.drawText(QRectF(centre.x() - radius, centre.y() - 15, 2 * radius, 12), Qt::AlignCenter,
             QStringLiteral("09 08"));
  p.drawText(QRectF(centre.x() - radius, centre.y() - 3, 2 * radius, 12), Qt::AlignCenter,
             QStringLiteral("10 00"));
  p.setPen(QColor(0xC0, 0x39, 0x2B));
  p.drawText(QRectF(centre.x() - radius, centre.y() + 9, 2 * radius, 12), Qt::AlignCenter,
             QStringLiteral("BOF"));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0xE8, 0xB9, 0x3A), 5));
  p.drawEllipse(centre, radius, radius);
  p.setPen(QPen(QColor(0xE8, 0xB9, 0x3A), 8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre + QPointF(18, 18), centre + QPointF(30, 30));

  // The name.
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(27);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0, 0, 0, 90));
  p.drawText(QRectF(1, 121, 95, 34), Qt::AlignCenter, QStringLiteral("BIFF"));
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 120, 95, 34), Qt::AlignCenter, QStringLiteral("BIFF"));
  QFont sub(QStringLiteral("DejaVu Serif"));
  sub.setPixelSize(24);
  sub.setItalic(true);
  p.setFont(sub);
  p.setPen(QColor(0xE8, 0xB9, 0x3A));
  p.drawText(QRectF(0, 151, 95, 30), Qt::AlignCenter, QStringLiteral("Lens"));
  p.setPen(QPen(QColor(255, 255, 255, 110), 1));
  p.drawLine(QPointF(18, 187.5), QPointF(77, 187.5));
  QFont small(QStringLiteral("DejaVu Sans"));
  small.setPixelSize(9);
  p.setFont(small);
  p.setPen(QColor(255, 255, 255, 200));
  p.drawText(QRectF(0, 190, 95, 12), Qt::AlignCenter, QStringLiteral(".xls viewer"));
  return image;
}

QImage OpenIcon()
{
  QImage image = Canvas(16, 16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x9A, 0x6B, 0x0C), 1));
  p.setBrush(QColor(0xF2, 0xC1, 0x4E));
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6.5, 3.5);
  back.lineTo(7.5, 5.0);
  back.lineTo(13.5, 5.0);
  back.lineTo(13.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.drawPath(back);
  p.setBrush(QColor(0xFB, 0xDA, 0x7A));
  QPainterPath front;
  front.moveTo(1.5, 13.5);
  front.lineTo(4.0, 7.5);
  front.lineTo(15.0, 7.5);
  front.lineTo(13.5, 13.5);
  front.closeSubpath();
  p.drawPath(front);
  return image;
}

QImage AboutIcon()
{
  QImage image = Canvas(16, 16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x1A, 0x4F, 0x8B), 1));
  p.setBrush(QColor(0x35, 0x86, 0xD8));
  p.drawEllipse(QRectF(1, 1, 14, 14));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(7, 3.5, 2.2, 2.2));
  p.drawRect(QRectF(7, 6.8, 2.2, 6));
  return image;
}

QImage CloseIcon()
{
  QImage image = Canvas(16, 16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x8E, 0x1B, 0x12), 1));
  p.setBrush(QColor(0xD9, 0x3D, 0x2F));
  p.drawEllipse(QRectF(1, 1, 14, 14));
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
  p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
  return image;
}

}  // namespace

int main(int argc, char** argv)
{
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_art FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
  const bool ok = Logo().save(folder + QStringLiteral("logo.png")) &&
                  OpenIcon().save(folder + QStringLiteral("open.png")) &&
                  AboutIcon().save(folder + QStringLiteral("about.png")) &&
                  CloseIcon().save(folder + QStringLiteral("close.png"));
  return ok ? 0 : 1;
}
