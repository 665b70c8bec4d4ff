#pragma once

#include <QDialog>

#include <functional>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class TSecret;

/// Asks for the password of an encrypted workbook: names its encryption
/// scheme, takes the password masked, and says so when the one given before
/// did not open it. OK with the password typed, Cancel to give up.
class TfrmPassword : public QDialog {
  Q_OBJECT

public:
  /// `scheme` as the reader describes it; `retry` when a password was
  /// refused before.
  TfrmPassword(const QString& scheme, bool retry, QWidget* parent = nullptr);
  ~TfrmPassword() override;

  /// Moves the typed password into `password` and empties the box.
  void TakePassword(TSecret& password);

  /// Asks modally: true with the password in `password` after OK, false
  /// after Cancel (or closing the dialog).
  static bool Ask(QWidget* parent, const QString& scheme, bool retry, TSecret& password);
  /// For tests: called with every dialog Ask shows, from its event loop, so
  /// the test can type into it and close it.
  static std::function<void(TfrmPassword&)>& ShownHook();

  QLabel* lblScheme;
  QLabel* lblWrong;
  QLineEdit* edPassword;
  QDialogButtonBox* btnButtons;

protected:
  void showEvent(QShowEvent* e) override;
};
