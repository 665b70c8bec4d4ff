#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TLinkLabel;

/// The About box: logo, shadowed product name, version and notice, the home
/// page and feedback links, and OK (default, and pressed by Esc too). Made
/// anew for each showing.
class TfrmAbout : public QDialog {
  Q_OBJECT

public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  /// Fills the box: the logo, the product name into both caption layers, and
  /// the version line followed by the notice.
  void Prepare(const QPixmap& logo);

  QLabel* imgLogo;
  QLabel* lblLogo1;
  QLabel* lblLogo2;
  QLabel* lblCopyright;
  TLinkLabel* lblHomepage;
  TLinkLabel* lblMail;
  QPushButton* btnOK;

protected:
  void keyPressEvent(QKeyEvent* e) override;

private:
  void lblHomepageClick(const TLinkLabel& sender);
};
