#pragma once

#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>
#include <functional>

class QAction;
class QComboBox;
class QLineEdit;
class TRecordFilterModel;
class TRecordListModel;
class TRecordListView;

/// The strip above the record list: a filter box (record names or codes;
/// only matching rows stay, with their own numbers), a find box with its
/// mode (hexadecimal bytes, 8-bit text or UTF-16LE text, searched in the
/// records' data) and a go-to box (a record number or a stream offset).
/// Its actions (Find, Find Next F3, Find Previous Shift+F3, Go To Ctrl+G,
/// Filter) belong in the window's menu.
///
/// Every answer comes from one pass over the stream the list keeps; what it
/// found or missed is raised as a status text. Keeps references to the
/// list, the filter model and the view: the window owns all four.
/// The bytes the find box's `text` stands for in mode `mode`
/// (TRecordNavigator::TFindMode): hexadecimal byte pairs, 8-bit (Latin-1)
/// text or UTF-16LE text. Nothing for a hexadecimal text that is not.
std::optional<std::vector<std::uint8_t>> FindPatternBytes(int mode, const QString& text);

class TRecordNavigator : public QWidget {
  Q_OBJECT

public:
  enum TFindMode { fmHex, fmText, fmUtf16 };

  TRecordNavigator(TRecordListModel& records, TRecordFilterModel& shown, TRecordListView& view,
                   QWidget* parent = nullptr);

  /// Filters the list by `text` (ParseRecordFilter); an empty text shows
  /// every record. False, with the status saying why, for a word that
  /// names no record type.
  bool ApplyFilter(const QString& text);
  /// Puts `text` in the filter box and applies it.
  void SetFilterText(const QString& text);
  /// Searches for the find box's text from the current record on (back
  /// from it); selects the next record holding it. False when none does.
  bool FindNext(bool forward = true);
  /// Goes to what the go-to box names; a record the filter hides is shown
  /// by clearing the filter. False when it names nothing.
  bool GoTo(const QString& text);
  /// Selects record `record` (index in the list), clearing the filter when
  /// it hides it, and scrolls it into view. Every jump (a link, Back, Go
  /// To, Find, the outline, the problems) comes through here.
  void SelectRecord(int record);
  /// A new workbook: the filter, find and go-to boxes start empty (the
  /// filter itself went with the old records).
  void Clear();
  /// The record the list's current row shows, or -1.
  int CurrentRecord() const;

  /// The last status text raised.
  const QString& Status() const { return FStatus; }

  /// A status text for the user: what a filter, search or go-to did.
  std::function<void(TRecordNavigator& sender, const QString& text)> OnStatus;
  /// Raised before an action's work: the window shows the record list.
  std::function<void(TRecordNavigator& sender)> OnReveal;
  /// A search selected `record`; its match starts at `byte` of its data.
  std::function<void(TRecordNavigator& sender, int record, std::size_t byte)> OnFound;

  QLineEdit* edFilter;
  QLineEdit* edFind;
  QComboBox* cbFindMode;
  QLineEdit* edGoTo;
  QAction* actFind;
  QAction* actFindNext;
  QAction* actFindPrevious;
  QAction* actGoTo;
  QAction* actFilter;

private:
  void Say(const QString& text);

  TRecordListModel& FRecords;
  TRecordFilterModel& FShown;
  TRecordListView& FView;
  QString FStatus;
};
