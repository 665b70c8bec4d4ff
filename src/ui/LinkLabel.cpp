#include "ui/LinkLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

namespace {

constexpr int kMailTag = 1;

}  // namespace

std::string LinkTarget(const std::string& caption, int tag)
{
  return tag == kMailTag ? "mailto:" + caption : caption;
}

TUrlOpener& UrlOpener()
{
  // Function-local, so nothing runs before main; replaced only by tests.
  static TUrlOpener opener = [](const std::string& target) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(target)));
  };
  return opener;
}

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, Qt::blue);
  setPalette(pal);
  setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* e)
{
  QLabel::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
    emit clicked();
}
