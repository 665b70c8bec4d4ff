#include "ui/AboutBox.h"

#include "ui/Identity.h"
#include "ui/LinkLabel.h"
#include "ui/UiMessages.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

// Right edge of the notice, and of the links under it.
constexpr int kLinksRight = 156 + 290;

QFrame* Bevel(QWidget* parent, QRect place, QFrame::Shape shape, QFrame::Shadow shadow)
{
  auto* frame = new QFrame(parent);
  frame->setFrameShape(shape);
  frame->setFrameShadow(shadow);
  frame->setGeometry(place);
  return frame;
}

QLabel* LogoLabel(QWidget* parent, QRect place, const QColor& color)
{
  auto* label = new QLabel(parent);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(27);
  font.setBold(true);
  label->setFont(font);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, color);
  label->setPalette(pal);
  label->setGeometry(place);
  return label;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QString::fromLatin1(kAboutCaption));
  setModal(true);
  setFixedSize(472, 300);

  Bevel(this, QRect(0, 0, 471, 241), QFrame::Box, QFrame::Sunken);
  Bevel(this, QRect(4, 4, 463, 243), QFrame::Box, QFrame::Raised);
  imgLogo = new QLabel(this);
  imgLogo->setGeometry(8, 8, 95, 230);
  imgLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The shadow first, so the grey caption is drawn over it.
  lblLogo2 = LogoLabel(this, QRect(161, 13, 116, 32), Qt::white);
  lblLogo1 = LogoLabel(this, QRect(160, 12, 116, 32), Qt::gray);
  lblLogo1->raise();

  lblCopyright = new QLabel(QString::fromLatin1(kVersionText), this);
  lblCopyright->setGeometry(156, 53, 290, 45);
  lblCopyright->setAlignment(Qt::AlignRight | Qt::AlignTop);
  lblCopyright->setWordWrap(true);

  // The two links stand one under the other, right-aligned with the notice:
  // side by side, the address and the e-mail would run into each other.
  lblHomepage = new TLinkLabel(QString::fromLatin1(kHomePageUrl), this);
  lblHomepage->adjustSize();
  lblHomepage->move(kLinksRight - lblHomepage->width(), 100);
  lblHomepage->setToolTip(QString::fromLatin1(kHintHomePageLink));
  lblMail = new TLinkLabel(QString::fromLatin1(kFeedbackMail), this);
  lblMail->adjustSize();
  lblMail->move(kLinksRight - lblMail->width(), 117);
  lblMail->Tag = 1;
  lblMail->setToolTip(QString::fromLatin1(kHintMailLink));
  for (TLinkLabel* link : {lblHomepage, lblMail})
    connect(link, &TLinkLabel::clicked, this, [this, link] { lblHomepageClick(*link); });

  Bevel(this, QRect(285, 137, 153, 2), QFrame::HLine, QFrame::Sunken);
  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setGeometry(392, 263, 75, 25);
  btnOK->setDefault(true);
  btnOK->setAutoDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAbout::Prepare(const QPixmap& logo)
{
  imgLogo->setPixmap(logo);
  lblLogo1->setText(QString::fromLatin1(kProductName));
  lblLogo2->setText(lblLogo1->text());
  // The caption labels size themselves to their text.
  lblLogo1->adjustSize();
  lblLogo2->adjustSize();
  lblCopyright->setText(lblCopyright->text() + QLatin1Char('\n') +
                        QString::fromLatin1(kMakerNotice));
}

void TfrmAbout::keyPressEvent(QKeyEvent* e)
{
  // OK is the cancel button as well: Esc closes with the result OK.
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    btnOK->click();
    return;
  }
  QDialog::keyPressEvent(e);
}

void TfrmAbout::lblHomepageClick(const TLinkLabel& sender)
{
  UrlOpener()(LinkTarget(sender.text().toStdString(), sender.Tag));
}
