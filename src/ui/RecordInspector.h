#pragma once

#include "platform/SharedBytes.h"
#include "xls/records/RecordDirectory.h"
#include "xls/records/RecordFormulas.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QTreeView;
class THexDump;
class TFieldTreeModel;

/// The Fields pane: the fields of the record selected in the record list,
/// as a tree (name, value, meaning, bytes), above it a heading (the
/// record, a CONTINUE record's head, a chart record's blocks) and a status
/// line (no layout, decoding stopped).
///
/// It drives the hex dump beside it: the dump shows the record's bytes (a
/// record whose type reads CONTINUE records with those, headers between),
/// every field as a faint band, the field selected in the tree as a strong
/// one; a click on a byte selects its field. A field that points somewhere
/// is followed by a double-click or Enter, and Back returns.
///
/// Shows what the opened workbook describes of a record. Keeps references
/// to the workbook and the dump: the window owns all three and the pane
/// goes first.
class TRecordInspector : public QWidget {
  Q_OBJECT

public:
  TRecordInspector(TOpenedWorkbook& workbook, THexDump& dump, QWidget* parent = nullptr);
  ~TRecordInspector() override;

  /// Shows record `row` of the list and its bytes in the dump (-1: none,
  /// which empties both).
  /// A link followed to this row selects its target now.
  void ShowRecord(int row);
  int Row() const { return FRow; }
  /// The workbook is about to change (a new load): the pane and the dump
  /// let go of their bytes, the history is forgotten.
  void Reset();

  /// Selects the field holding byte `position` of the record shown.
  void SelectByte(std::size_t position);
  /// Selects string `index` of the SST shown.
  void SelectString(std::size_t index);
  /// Follows the link of the current field. False when it has none or it
  /// leads nowhere (the status line says so).
  bool FollowLink();
  /// Back to where the last link was followed from; false when there is
  /// nothing to go back to.
  bool Back();
  bool CanGoBack() const { return !FHistory.empty(); }
  /// Puts the current field on the clipboard: its name, value, meaning and
  /// bytes, tab-separated, as one line.
  void CopyField() const;
  /// Puts the current field's whole value on the clipboard, however the
  /// column elides it.
  void CopyValue() const;

  /// The dump shows the stream as the file stores it (a decrypted
  /// workbook's encrypted bytes, at the same positions), or with an empty
  /// one the stream as read. Takes effect with the next ShowRecord.
  void SetStoredStream(TSharedBytes stored) { FStored = std::move(stored); }

  /// The workbook's record directory and formulas.
  const TRecordDirectory& Directory();
  TRecordFormulas& Formulas();
  TFieldTreeModel& Model() { return *FModel; }

  /// Raised to move the record list to `row` (a link followed, going back);
  /// the list's change then calls ShowRecord.
  std::function<void(TRecordInspector& sender, int row)> OnGoToRecord;
  /// Raised when the record shown writes a worksheet cell.
  std::function<void(TRecordInspector& sender, const TCellPlace& cell)> OnCellRecord;

  QLabel* lblRecord;
  QLabel* lblStatus;
  QTreeView* tvFields;
  /// The field's context menu: Copy (the line) and Copy Value.
  QAction* actCopyField;
  QAction* actCopyValue;

private:
  struct TPlace {
    int Row = -1;
    std::optional<std::size_t> Byte;
    std::optional<std::size_t> String;
  };

  void ShowFields(const std::vector<TRecordRef>& parts, TRecordDescription& description);
  void ShowBytes(const std::vector<TRecordRef>& parts);
  void ShowHeading(const TRecordRef& head, const TRecordDescription& description);
  void CurrentFieldChanged();
  void DumpByteClicked(int byte);
  void GoTo(const TPlace& place);
  void ApplyPending();
  /// The place the pane shows now: its row and the selected field's first byte.
  TPlace Here() const;

  TOpenedWorkbook& FWorkbook;
  THexDump& FDump;
  TFieldTreeModel* FModel;
  TSharedBytes FStored;
  int FRow = -1;
  std::vector<TPlace> FHistory;
  std::optional<TPlace> FPending;
};
