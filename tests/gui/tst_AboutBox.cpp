// The About box: its texts, its links, and how it closes.

#include "ui/AboutBox.h"
#include "ui/Identity.h"
#include "ui/LinkLabel.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

namespace {

// Replaces the link opener for the life of the object.
class TOpenedLinks {
public:
  TOpenedLinks() : FSaved(UrlOpener())
  {
    UrlOpener() = [this](const std::string& target) { Targets.push_back(target); };
  }
  ~TOpenedLinks() { UrlOpener() = FSaved; }
  TOpenedLinks(const TOpenedLinks&) = delete;
  TOpenedLinks& operator=(const TOpenedLinks&) = delete;

  std::vector<std::string> Targets;

private:
  TUrlOpener FSaved;
};

}  // namespace

class TstAboutBox : public QObject {
  Q_OBJECT

private:
  QTemporaryDir FSettings;

private slots:
  // The main window reads its settings: the tests', never the user's.
  void initTestCase()
  {
    QVERIFY(FSettings.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FSettings.path());
  }

  void theMailLinkIsTagOneAndGetsMailto()
  {
    QCOMPARE(LinkTarget("a@b.example", 1), std::string("mailto:a@b.example"));
    QCOMPARE(LinkTarget("https://x.example", 0), std::string("https://x.example"));
    QCOMPARE(LinkTarget("https://x.example", 2), std::string("https://x.example"));
  }

  void showsTheNameVersionAndNoticeOncePerShowing()
  {
    const QPixmap logo(QString::fromLatin1(kLogoResource));
    for (int showing = 0; showing < 2; ++showing) {
      TfrmAbout about;
      about.Prepare(logo);
      QCOMPARE(about.windowTitle(), QStringLiteral("About..."));
      QCOMPARE(about.lblLogo1->text(), QString::fromLatin1(kProductName));
      QCOMPARE(about.lblLogo2->text(), about.lblLogo1->text());
      // The white layer lies one pixel right of and below the grey one.
      QCOMPARE(about.lblLogo2->pos() - about.lblLogo1->pos(), QPoint(1, 1));
      QCOMPARE(about.lblCopyright->text(),
               QString::fromLatin1(kVersionText) + '\n' + QString::fromLatin1(kMakerNotice));
      QCOMPARE(about.lblHomepage->text(), QString::fromLatin1(kHomePageUrl));
      QCOMPARE(about.lblMail->text(), QString::fromLatin1(kFeedbackMail));
      QCOMPARE(about.lblMail->Tag, 1);
      QCOMPARE(about.lblHomepage->Tag, 0);
      QVERIFY(!about.imgLogo->pixmap().isNull());
      QCOMPARE(about.size(), QSize(472, 300));
    }
  }

  void linksOpenTheHomePageAndTheMailProgram()
  {
    TOpenedLinks opened;
    TfrmAbout about;
    about.Prepare(QPixmap());
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.lblHomepage, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(about.lblMail, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(opened.Targets,
             (std::vector<std::string>{kHomePageUrl, std::string("mailto:") + kFeedbackMail}));
    // The dialog stays open.
    QVERIFY(about.isVisible());
  }

  void okIsTheDefaultAndEscPressesItToo()
  {
    TfrmAbout about;
    about.Prepare(QPixmap());
    QVERIFY(about.btnOK->isDefault());
    QCOMPARE(about.btnOK->text(), QStringLiteral("&OK"));
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::keyClick(&about, Qt::Key_Return);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }

  void theAboutButtonShowsAModalBoxWithTheWindowsLogo()
  {
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    bool seen = false;
    // The box is modal: look at it from inside its own event loop, then close it.
    QTimer::singleShot(0, &form, [&] {
      auto* about = form.findChild<TfrmAbout*>();
      if (about == nullptr)
        return;
      seen = about->isModal() &&
             about->imgLogo->pixmap().toImage() == form.imgLogo->pixmap().toImage() &&
             about->lblCopyright->text().count(QString::fromLatin1(kMakerNotice)) == 1;
      about->btnOK->click();
    });
    form.btnAbout->trigger();
    QVERIFY(seen);
    // Made for each showing and gone after it.
    QVERIFY(form.findChild<TfrmAbout*>() == nullptr);
  }
};

QTEST_MAIN(TstAboutBox)
#include "tst_AboutBox.moc"
