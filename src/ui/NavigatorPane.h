#pragma once

#include "platform/CompoundMap.h"
#include "ui/PaneWorker.h"
#include "platform/SharedBytes.h"
#include "xls/workbook/Navigation.h"
#include "xls/workbook/NavigationWork.h"
#include "xls/lint/StructureLint.h"

#include "xls/workbook/OpenedWorkbook.h"

#include <QWidget>

class QTimer;

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QLabel;
class QSplitter;
class QTabWidget;
class QTreeWidget;

/// A strip with a band per sector of a compound file, coloured by what the
/// sector holds (FAT, DIFAT, directory, mini FAT, mini stream, a stream,
/// free, unreachable); a stream's sectors with slack are drawn darker.
class TSectorStrip : public QWidget {
  Q_OBJECT

public:
  explicit TSectorStrip(QWidget* parent = nullptr);
  /// Shows `sectors` (copied); empty: nothing. Drops the marks.
  void SetSectors(const std::vector<TCompoundSector>& sectors);
  /// Frames the sectors [first, last] of each range (the selected record's).
  void SetMarked(std::vector<std::pair<std::size_t, std::size_t>> ranges);
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  /// Neighbouring sectors of one use, drawn as one band.
  struct TBand {
    std::size_t First = 0;
    std::size_t Count = 0;
    TSectorUse Use = TSectorUse::suFree;
    bool Slack = false;
  };
  std::vector<TBand> FBands;
  std::vector<std::pair<std::size_t, std::size_t>> FMarked;
  std::size_t FSectors = 0;
};

/// What the pane reads of a loaded workbook.
struct TNavigatorInput {
  /// The workbook: its outline, types and structure check. Not owned: it
  /// stays unchanged until the pane's next Reset(), which the owner calls
  /// before the next load.
  const TOpenedWorkbook* Workbook = nullptr;
  std::string FileName;  // the file, for its container
  bool Compound = false;
};

/// The pane beside the record list: above, the stream's outline (its
/// substreams and chart blocks, with record counts) and the record types
/// (count and bytes of each); below, the structure check's problems and,
/// for a compound file, its container (directory entries, sector map, and
/// where the selected record's bytes lie in the file).
///
/// Nothing is worked out while loading: the first time the pane is shown
/// after a load, one worker thread reads the outline, the types, the
/// container map and the structure check from the stream (shared) and the
/// offsets (kept, see TNavigatorInput), each shown when it is done. Reset
/// stops the worker and waits for it.
class TNavigatorPane : public QWidget {
  Q_OBJECT

public:
  explicit TNavigatorPane(QWidget* parent = nullptr);
  ~TNavigatorPane() override;

  /// Drops what was shown and stops the worker: call before the list's
  /// rows change.
  void Reset();
  /// A load finished: `input` is read when the pane is next shown.
  void SetWorkbook(TNavigatorInput input);
  /// The selected record's place in the file (Container tab): `record`
  /// (index), its header's stream offset and its bytes with the header.
  void ShowRecordPlace(int record, std::uint64_t offset, std::uint64_t bytes);
  /// Shows the Container tab with the entry at `path` ("_VBA_PROJECT_CUR/VBA/Module1",
  /// "MBD0049DB15") selected, once the container is read.
  void SelectEntry(const std::string& path);

  /// True once every part of the last load is shown.
  bool Ready() const { return FReady; }
  const std::vector<TOutlineNode>& Outline() const { return FOutline; }
  const std::vector<TLintFinding>& Findings() const { return FFindings; }
  const std::optional<TCompoundMap>& Container() const { return FMap; }

  /// A row of the outline or the problems was selected: show record
  /// `record` (index in the list).
  std::function<void(TNavigatorPane& sender, int record)> OnSelectRecord;
  /// A record type was clicked: filter the list to `code`.
  std::function<void(TNavigatorPane& sender, std::uint16_t code)> OnFilterType;

  QSplitter* Splitter;
  QTabWidget* pcTop;
  QTabWidget* pcBottom;
  QTreeWidget* tvOutline;
  QTreeWidget* tvTypes;
  QLabel* lblProblems;
  QTreeWidget* tvProblems;
  QLabel* lblContainer;
  QTreeWidget* tvEntries;
  TSectorStrip* Strip;
  QTreeWidget* tvSectors;
  QLabel* lblRecordPlace;

protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Start();
  void Deliver(const std::shared_ptr<TNavigationStage>& result);
  void ShowOutline();
  void ShowTypes(const std::vector<TRecordTypeCount>& types);
  void ShowProblems(const std::string& stopped);
  void ShowContainer();

  std::optional<TNavigatorInput> FPending;
  QTimer* FStartTimer;
  TPaneWorker FWorker;
  bool FReady = false;
  bool FSplit = false;  // the user moved the splitter's border
  std::vector<TOutlineNode> FOutline;
  std::vector<TLintFinding> FFindings;
  std::optional<TCompoundMap> FMap;
  std::uint32_t FWorkbookEntry = 0xFFFFFFFF;  // the workbook stream's entry in FMap
  int FPlaceRecord = -1;
  std::uint64_t FPlaceOffset = 0;
  std::uint64_t FPlaceBytes = 0;
};
