#pragma once

#include "xls/decode/FieldList.h"

#include <QAbstractItemModel>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

/// The fields of one record as a tree: columns "Field", "Value", "Meaning"
/// and "Bytes". Nodes are made when a view asks for them; the items of a
/// lazy list (an SST's strings) are described only then, so a table of
/// 200,000 strings costs what the view shows.
///
/// Byte positions are those of the record laid out as the dump shows it:
/// each part's data after the parts before it and their 4-byte headers.
class TFieldTreeModel : public QAbstractItemModel {
  Q_OBJECT

public:
  enum TColumn { fcName, fcValue, fcMeaning, fcBytes, fcColumnCount };
  /// Data role of a link's target kind (an int of TFieldLinkKind).
  static constexpr int kLinkRole = Qt::UserRole + 1;

  explicit TFieldTreeModel(QObject* parent = nullptr);
  ~TFieldTreeModel() override;

  /// Shows `fields` of a record whose parts start at `partStarts` and
  /// whose laid-out data ends at `recordEnd`; `firstRecordNumber` numbers
  /// the parts for the "Bytes" column. The fields' lazy lists keep what
  /// they point to alive as their own contract says.
  void SetFields(std::vector<TRecordField> fields, std::vector<std::size_t> partStarts,
                 std::size_t recordEnd, std::uint64_t firstRecordNumber);
  void Clear();

  /// The field of `index` (nullptr for an invalid index).
  const TRecordField* Field(const QModelIndex& index) const;
  /// The bytes `index`'s field covers, in the laid-out record.
  TFieldExtent Extent(const QModelIndex& index) const;
  /// The deepest field holding byte `position`: a flags word rather than
  /// its bits, an item of a lazy list when the list can find it.
  QModelIndex IndexAtByte(std::size_t position);
  /// Item `item` of the first lazy list of the record.
  QModelIndex LazyItem(std::size_t item);
  /// One field's bytes as a band of the dump.
  struct TBand {
    TFieldExtent Extent;
    bool Missing = false;
  };
  /// Every field shown as a band: leaves (a flags word counts as one), a
  /// lazy list as a whole, in order of position; fields of no bytes left out.
  std::vector<TBand> Bands() const;
  const std::vector<std::size_t>& PartStarts() const { return FPartStarts; }
  /// The record's top-level fields.
  const std::vector<TRecordField>& Fields() const { return FFields; }

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
  struct TNode;

  TNode* NodeOf(const QModelIndex& index) const;
  /// The child nodes' slots of `node`, sized on first use.
  std::vector<std::unique_ptr<TNode>>& Children(TNode& node) const;
  TNode* Child(TNode& node, int row) const;
  int ChildCount(const TNode& node) const;
  TFieldExtent ExtentOf(const TRecordField& field) const;
  QString BytesText(const TRecordField& field) const;

  std::vector<TRecordField> FFields;
  std::vector<std::size_t> FPartStarts;
  std::size_t FRecordEnd = 0;
  std::uint64_t FFirstNumber = 0;
  std::unique_ptr<TNode> FRoot;
};

/// The text of a field's value as the tree shows it: numbers in decimal
/// (a flags word in hexadecimal too), booleans as "yes" or "no", texts as
/// they are.
QString FieldValueText(const TRecordField& field);
