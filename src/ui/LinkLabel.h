#pragma once

#include <QLabel>

#include <functional>
#include <string>

/// Target of a link label: "mailto:" and the caption for the e-mail link
/// (tag 1), otherwise the caption itself.
std::string LinkTarget(const std::string& caption, int tag);

/// Hands a link target to the desktop (browser, mail program). Replaceable,
/// so tests can see what would be opened without opening anything.
using TUrlOpener = std::function<void(const std::string& target)>;
/// The opener in use; by default QDesktopServices::openUrl, result ignored.
TUrlOpener& UrlOpener();

/// A label that reads as a link (blue, underlined, hand cursor) and emits
/// clicked() on a left click.
class TLinkLabel : public QLabel {
  Q_OBJECT

public:
  explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);

  int Tag = 0;

signals:
  void clicked();

protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
};
