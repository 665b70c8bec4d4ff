#include "ui/PaneFocusFrame.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPen>

namespace {

constexpr int kFrameWidth = 2;

}  // namespace

TPaneFocusFrame::TPaneFocusFrame(QWidget* parent) : QWidget(parent)
{
  setObjectName(QStringLiteral("PaneFocusFrame"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  hide();
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FocusChanged(now); });
}

void TPaneFocusFrame::SetPanes(std::vector<QWidget*> panes)
{
  FPanes.assign(panes.begin(), panes.end());
  FocusChanged(QApplication::focusWidget());
}

void TPaneFocusFrame::FocusChanged(QWidget* now)
{
  // A focus that leaves the window (a menu, a dialog) keeps the frame where
  // the keys will come back to.
  if (now == nullptr || now->window() != window())
    return;
  for (const QPointer<QWidget>& pane : FPanes)
    if (pane && (pane == now || pane->isAncestorOf(now))) {
      Frame(pane);
      return;
    }
  Frame(nullptr);
}

void TPaneFocusFrame::Frame(QWidget* pane)
{
  if (FFramed)
    FFramed->removeEventFilter(this);
  FFramed = pane;
  if (pane == nullptr) {
    hide();
    return;
  }
  setParent(pane);
  setGeometry(pane->rect());
  pane->installEventFilter(this);
  raise();
  show();
}

bool TPaneFocusFrame::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == FFramed && event->type() == QEvent::Resize) {
    setGeometry(FFramed->rect());
    raise();
  }
  // A child the pane adds later (a scroll bar shown) would cover the frame.
  if (watched == FFramed && event->type() == QEvent::ChildAdded)
    raise();
  return QWidget::eventFilter(watched, event);
}

void TPaneFocusFrame::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kFrameWidth);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const int half = kFrameWidth / 2;
  painter.drawRect(rect().adjusted(half, half, -half, -half));
}
