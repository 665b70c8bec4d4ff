#pragma once

#include "ui/PaneWorker.h"
#include "xls/workbook/Macros.h"

#include <QPlainTextEdit>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TOpenedWorkbook;

/// A read-only view of source code with its line numbers in a margin.
class TCodeView : public QPlainTextEdit {
  Q_OBJECT

public:
  explicit TCodeView(QWidget* parent = nullptr);
  /// The margin's width for the document's line count.
  int NumberWidth() const;
  /// Paints the numbers of the visible lines into the margin.
  void PaintNumbers(QPaintEvent* event);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void UpdateMargin();
  QWidget* FMargin;
};

/// What the tab reads of a loaded workbook.
struct TMacrosInput {
  /// Not owned: it stays unchanged until the pane's next Reset(), which
  /// the owner calls before the next load.
  const TOpenedWorkbook* Workbook = nullptr;
  std::string FileName;  // the file, for its container
  bool Compound = false;
};

/// The Macros tab: the VBA modules (a list, and the selected module's
/// source in a read-only code view with line numbers, Ctrl+F to find in it)
/// over the findings: each macro sheet with its formulas, the triggers, the
/// hidden sheets and names, the links and the embedded objects. A finding's
/// row leads to its record or to its stream in the container.
///
/// Nothing is read at load: the first time the tab is shown after a load,
/// one worker thread reads the findings (FindMacros), and they are shown
/// when it is done. Reset stops the worker and waits for it.
class TMacrosPane : public QWidget {
  Q_OBJECT

public:
  explicit TMacrosPane(QWidget* parent = nullptr);
  ~TMacrosPane() override;

  /// Drops what was shown and stops the worker: call before the next load.
  void Reset();
  /// A load finished: `input` is read when the tab is next shown.
  void SetWorkbook(TMacrosInput input);
  /// True once the last load's findings are shown.
  bool Ready() const { return FReady; }
  const TMacroReport& Report() const { return FReport; }
  /// Shows module `index` of the VBA project in the code view.
  void ShowModule(int index);
  /// Finds `text` in the code view after the cursor (wrapping round at the
  /// end); false when the module does not hold it.
  bool FindNext(const QString& text);

  /// A finding's row was chosen: show record `record` (index in the list).
  std::function<void(TMacrosPane& sender, int record)> OnSelectRecord;
  /// The same for a stream or storage of the container ("_VBA_PROJECT_CUR/VBA/Module1").
  std::function<void(TMacrosPane& sender, const std::string& stream)> OnSelectStream;
  /// The findings of a load are shown.
  std::function<void(TMacrosPane& sender)> OnReady;

  QLabel* lblSummary;
  QSplitter* Splitter;
  QSplitter* SplitterCode;
  QTreeWidget* tvModules;
  QLineEdit* edFind;
  QLabel* lblFind;
  TCodeView* Code;
  QTreeWidget* tvFindings;
  /// Find (Ctrl+F) and find again (F3) in the code view; enabled by the
  /// owner while the tab is shown.
  QAction* actFind;
  QAction* actFindNext;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void Start();
  void Deliver(const std::shared_ptr<TMacroReport>& report);
  void ShowReport();
  void Leads(QTreeWidgetItem* item);

  std::optional<TMacrosInput> FPending;
  TPaneWorker FWorker;
  bool FReady = false;
  TMacroReport FReport;
};
