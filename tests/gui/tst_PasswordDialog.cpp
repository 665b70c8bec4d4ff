// The password dialog of an encrypted workbook: what it shows, masked input,
// OK and Cancel, and the note after a refused password.

#include "ui/PasswordDialog.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "xls/crypto/Secret.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TstPasswordDialog : public QObject {
  Q_OBJECT

private slots:
  void itNamesTheSchemeAndMasksWhatIsTyped()
  {
    TfrmPassword dialog(QStringLiteral("RC4 with MD5"), false);
    QCOMPARE(dialog.lblScheme->text(), PasswordPromptText(QStringLiteral("RC4 with MD5")));
    QCOMPARE(dialog.edPassword->echoMode(), QLineEdit::Password);
    QVERIFY(dialog.lblWrong->isHidden());
    TfrmPassword again(QStringLiteral("RC4 with MD5"), true);
    QVERIFY(!again.lblWrong->isHidden());
    QCOMPARE(again.lblWrong->text(), QString::fromLatin1(kPasswordWrong));
  }

  void okGivesTheTypedPasswordAndEmptiesTheBox()
  {
    TSecret password;
    TfrmPassword::ShownHook() = [](TfrmPassword& dialog) {
      QTest::keyClicks(dialog.edPassword, QStringLiteral("Pa\u00DF wort"));
      QTest::keyClick(dialog.edPassword, Qt::Key_Return);  // the default button
    };
    const bool accepted = TfrmPassword::Ask(nullptr, QStringLiteral("RC4"), false, password);
    TfrmPassword::ShownHook() = nullptr;
    QVERIFY(accepted);
    QCOMPARE(QString::fromStdString(std::string(password.View())), QStringLiteral("Pa\u00DF wort"));
  }

  void cancelGivesNothing()
  {
    TSecret password;
    password.Assign("left over");
    TfrmPassword::ShownHook() = [](TfrmPassword& dialog) {
      QTest::keyClicks(dialog.edPassword, QStringLiteral("typed"));
      dialog.btnButtons->button(QDialogButtonBox::Cancel)->click();
    };
    const bool accepted = TfrmPassword::Ask(nullptr, QStringLiteral("RC4"), true, password);
    TfrmPassword::ShownHook() = nullptr;
    QVERIFY(!accepted);
    QCOMPARE(password.View(), std::string_view("left over"));
  }

  void takingThePasswordLeavesTheBoxEmpty()
  {
    TfrmPassword dialog(QStringLiteral("RC4"), false);
    QTest::keyClicks(dialog.edPassword, QStringLiteral("abc"));
    TSecret password;
    dialog.TakePassword(password);
    QCOMPARE(password.View(), std::string_view("abc"));
    QVERIFY(dialog.edPassword->text().isEmpty());
  }
};

QTEST_MAIN(TstPasswordDialog)
#include "tst_PasswordDialog.moc"
