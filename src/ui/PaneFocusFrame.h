#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

/// A frame in the highlight colour round the pane that has the keyboard
/// focus, so the user sees where the keys go. The panes are named once;
/// the frame follows the application's focus to whichever of them holds
/// it (or a widget inside it) and hides when none does.
///
/// The frame is a child of the framed pane, over its own children and
/// clear of the mouse: it changes neither the pane's layout nor its
/// metrics (a style sheet border would, and with it the dump's bytes a line).
class TPaneFocusFrame : public QWidget {
  Q_OBJECT

public:
  explicit TPaneFocusFrame(QWidget* parent = nullptr);

  /// The panes that get a frame when they hold the focus.
  void SetPanes(std::vector<QWidget*> panes);
  /// The pane framed now, or nullptr.
  QWidget* Framed() const { return FFramed; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void FocusChanged(QWidget* now);
  void Frame(QWidget* pane);

  std::vector<QPointer<QWidget>> FPanes;
  QPointer<QWidget> FFramed;
};
