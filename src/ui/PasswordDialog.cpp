#include "ui/PasswordDialog.h"

#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "xls/crypto/Secret.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string_view>

namespace {

/// Empties the box and overwrites the text it held, as far as Qt lets us
/// reach it: once the box has let go, this copy is the text's only holder,
/// so writing to it touches the text's own buffer.
void WipeLineEdit(QLineEdit& edit)
{
  QString text = edit.text();
  edit.clear();
  if (!text.isEmpty())
    WipeBytes(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
}

}  // namespace

TfrmPassword::TfrmPassword(const QString& scheme, bool retry, QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("frmPassword"));
  setWindowTitle(QString::fromLatin1(kPasswordCaption));
  auto* layout = new QVBoxLayout(this);
  lblScheme = new QLabel(PasswordPromptText(scheme), this);
  lblScheme->setTextFormat(Qt::PlainText);
  layout->addWidget(lblScheme);
  edPassword = new QLineEdit(this);
  edPassword->setEchoMode(QLineEdit::Password);
  // No input method sees or remembers what is typed.
  edPassword->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhNoPredictiveText | Qt::ImhSensitiveData);
  layout->addWidget(edPassword);
  lblWrong = new QLabel(QString::fromLatin1(kPasswordWrong), this);
  lblWrong->setTextFormat(Qt::PlainText);
  lblWrong->setWordWrap(true);
  lblWrong->setVisible(retry);
  layout->addWidget(lblWrong);
  btnButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(btnButtons);
  connect(btnButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(btnButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  edPassword->setFocus();
}

TfrmPassword::~TfrmPassword()
{
  WipeLineEdit(*edPassword);
}

void TfrmPassword::TakePassword(TSecret& password)
{
  QByteArray utf8 = edPassword->text().toUtf8();
  password.Assign(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  WipeBytes(utf8.data(), static_cast<std::size_t>(utf8.size()));
  WipeLineEdit(*edPassword);
}

bool TfrmPassword::Ask(QWidget* parent, const QString& scheme, bool retry, TSecret& password)
{
  TfrmPassword dialog(scheme, retry, parent);
  if (dialog.exec() != QDialog::Accepted)
    return false;
  dialog.TakePassword(password);
  return true;
}

std::function<void(TfrmPassword&)>& TfrmPassword::ShownHook()
{
  static std::function<void(TfrmPassword&)> hook;
  return hook;
}

void TfrmPassword::showEvent(QShowEvent* e)
{
  QDialog::showEvent(e);
  if (ShownHook())
    QMetaObject::invokeMethod(this, [this] {
      if (ShownHook())
        ShownHook()(*this);
    }, Qt::QueuedConnection);
}
