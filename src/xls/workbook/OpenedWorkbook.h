#pragma once

// A workbook as every view and command reads it: the records of one load
// and what is made of them on first use (the record directory, the
// formulas, a record's description, the structure check, the outline).
// The viewer's panes and the command-line tool read this one object, so
// what they show cannot drift apart.
//
//   TMSExcel reader;
//   TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
//   reader.LoadFromFile(path);            // the workbook lists the records
//   const TRecordDescription d = workbook.Describe(56);   // record 57

#include "platform/CompoundMap.h"
#include "xls/MSExcel.h"
#include "xls/decode/FieldList.h"
#include "xls/formula/FormulaBook.h"
#include "xls/lint/StructureLint.h"
#include "xls/records/RecordDirectory.h"
#include "xls/records/RecordFormulas.h"
#include "xls/workbook/ListedRecords.h"
#include "xls/workbook/Navigation.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// One record as the Fields pane and `bifflens-cli fields` show it.
struct TRecordDescription {
  /// The fields (a formula's text and tokens included; a record without a
  /// layout as one raw field).
  std::vector<TRecordField> Fields;
  bool Decoded = false;  // a layout described it
  /// What stopped the description (the fields read before it stay); empty
  /// when nothing did.
  std::string Error;
  /// "#57 SST (SST), 8224 bytes + 2 CONTINUE records".
  std::string Heading;
  /// For a CONTINUE record: what it carries on ("part 2 of record 57 (SST)").
  std::string Continuation;
  /// For a chart's record: the chart blocks it lies in, outermost first.
  std::vector<std::uint16_t> ChartBlocks;
};

/// What the structure check found, and where it stopped if it did.
struct TStructureCheck {
  std::vector<TLintFinding> Findings;
  std::string Stopped;
  bool Cancelled = false;
  std::vector<TSubstream> Substreams;  // as the check walked them
};

class TOpenedWorkbook {
public:
  /// What a load keeps.
  enum class TKeep : std::uint8_t {
    kpRecords,   // the records (the stream kept whole): every view
    kpFormulas,  // the formulas alone, gathered as the records go by
    kpNothing,   // the model alone
  };

  /// Watches `reader`'s loads from now on: sets its OnStreamRecord (the
  /// handler set before is called after the workbook's own) and restores
  /// it at the end. Keeps the reference: the reader outlives the workbook.
  TOpenedWorkbook(TMSExcel& reader, TKeep keep);
  ~TOpenedWorkbook();
  TOpenedWorkbook(const TOpenedWorkbook&) = delete;
  TOpenedWorkbook& operator=(const TOpenedWorkbook&) = delete;

  /// Forgets the last load's records and all that was made of them: call
  /// before the next load.
  void Reset();

  TMSExcel& Reader() { return FReader; }
  const TMSExcel& Reader() const { return FReader; }

  /// The records of the load (empty unless kpRecords).
  TListedRecords& Records() { return FRecords; }
  const TListedRecords& Records() const { return FRecords; }
  std::size_t RecordCount() const { return FRecords.Count(); }

  /// The records' directory, made on first use after a load.
  const TRecordDirectory& Directory();
  /// The formulas of the listed records, read on first use after a load.
  TRecordFormulas& RecordFormulas();
  /// The workbook's formulas: kpRecords from the records on first use,
  /// kpFormulas as gathered during the load (empty for kpNothing).
  TFormulaBook& Formulas();

  /// Record `index` (numbered index + 1) described.
  TRecordDescription Describe(std::size_t index);

  // Read from the records alone, and safe to call from another thread
  // while the workbook is not reset or loaded into.

  /// The structure check of the records, encrypted data counted as such.
  /// `container` is the compound file's map, when the workbook has one;
  /// `cancel`, when set, ends the check early (Cancelled).
  TStructureCheck Check(const TCompoundMap* container, const std::atomic<bool>* cancel = nullptr) const;
  /// The stream's parts (BuildOutline).
  std::vector<TOutlineNode> Outline() const;
  /// Each record type's tally (CountRecordTypes).
  std::vector<TRecordTypeCount> RecordTypes() const;

private:
  TMSExcel& FReader;
  TKeep FKeep;
  TOnStreamRecord FPrevious;
  TListedRecords FRecords;
  std::unique_ptr<TRecordDirectory> FDirectory;
  std::unique_ptr<TRecordFormulas> FRecordFormulas;  // reads FDirectory: goes first
  std::unique_ptr<TFormulaBook> FGathered;            // kpFormulas, kpNothing
};

/// "#57 SST (SST), 8224 bytes + 2 CONTINUE records": a record's number,
/// list name, type in the catalogue (none without a layout), data bytes and
/// the CONTINUE records that go with it.
std::string RecordHeadingText(std::uint64_t number, const char* listName, const char* type,
                              std::size_t bytes, std::size_t continues);
