#include "ui/FieldTreeModel.h"

#include "ui/UiMessages.h"
#include "xls/decode/Layout.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <exception>
#include <functional>

struct TFieldTreeModel::TNode {
  const TRecordField* Field = nullptr;  // nullptr: the root
  TNode* Parent = nullptr;
  int Row = 0;
  std::unique_ptr<TRecordField> Item;  // a lazy list's item, made for this node
  std::vector<std::unique_ptr<TNode>> Kids;
  bool Sized = false;
};

namespace {

constexpr const char* kHeaders[TFieldTreeModel::fcColumnCount] = {"Field", "Value", "Meaning", "Bytes"};
// Red of a field the record ends in: the dump's note colour.
constexpr QRgb kMissingColor = 0xC0392B;

bool HasBitFields(const TRecordField& field)
{
  return !field.Fields.empty() && field.Fields.front().BitCount > 0;
}

// Longer tooltips go as rich text, which the tooltip wraps to the screen,
// instead of one line running off it.
constexpr qsizetype kPlainToolTipChars = 120;

QString WrappedToolTip(const QString& text)
{
  if (text.size() <= kPlainToolTipChars)
    return text;
  return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace

QString FieldValueText(const TRecordField& field)
{
  if (const auto* n = std::get_if<std::int64_t>(&field.Value)) {
    QString text = QString::number(*n);
    if (HasBitFields(field) && *n >= 0)
      text += QStringLiteral(" (0x%1)").arg(static_cast<qulonglong>(*n), static_cast<int>(2 * field.Size), 16, QLatin1Char('0')).toUpper().replace(QStringLiteral("0X"), QStringLiteral("0x"));
    return text;
  }
  if (const auto* d = std::get_if<double>(&field.Value))
    return QString::number(*d, 'g', 17);
  if (const auto* b = std::get_if<bool>(&field.Value))
    return *b ? QStringLiteral("yes") : QStringLiteral("no");
  return QString::fromStdString(std::get<std::string>(field.Value));
}

TFieldTreeModel::TFieldTreeModel(QObject* parent) : QAbstractItemModel(parent), FRoot(std::make_unique<TNode>()) {}

TFieldTreeModel::~TFieldTreeModel() = default;

void TFieldTreeModel::SetFields(std::vector<TRecordField> fields, std::vector<std::size_t> partStarts,
                                std::size_t recordEnd, std::uint64_t firstRecordNumber)
{
  beginResetModel();
  FRoot = std::make_unique<TNode>();
  FFields = std::move(fields);
  FPartStarts = std::move(partStarts);
  FRecordEnd = recordEnd;
  FFirstNumber = firstRecordNumber;
  endResetModel();
}

void TFieldTreeModel::Clear()
{
  SetFields({}, {}, 0, 0);
}

TFieldTreeModel::TNode* TFieldTreeModel::NodeOf(const QModelIndex& index) const
{
  // An index holds its parent's node: a child's own node is made only when
  // something of it is asked for, so a view laying out 200,000 strings
  // makes none of them.
  if (!index.isValid())
    return FRoot.get();
  return Child(*static_cast<TNode*>(index.internalPointer()), index.row());
}

int TFieldTreeModel::ChildCount(const TNode& node) const
{
  if (!node.Field)
    return static_cast<int>(FFields.size());
  if (node.Field->Lazy)
    return static_cast<int>(std::min<std::size_t>(node.Field->Lazy->Count(), INT32_MAX));
  return static_cast<int>(node.Field->Fields.size());
}

std::vector<std::unique_ptr<TFieldTreeModel::TNode>>& TFieldTreeModel::Children(TNode& node) const
{
  if (!node.Sized) {
    node.Kids.resize(static_cast<std::size_t>(ChildCount(node)));
    node.Sized = true;
  }
  return node.Kids;
}

TFieldTreeModel::TNode* TFieldTreeModel::Child(TNode& node, int row) const
{
  auto& kids = Children(node);
  if (row < 0 || static_cast<std::size_t>(row) >= kids.size())
    return nullptr;
  auto& slot = kids[static_cast<std::size_t>(row)];
  if (slot)
    return slot.get();
  slot = std::make_unique<TNode>();
  slot->Parent = &node;
  slot->Row = row;
  const auto at = static_cast<std::size_t>(row);
  if (!node.Field) {
    slot->Field = &FFields[at];
  } else if (node.Field->Lazy) {
    // The item is described now, the first time a view asks for it; a
    // failure shows as the item.
    try {
      slot->Item = std::make_unique<TRecordField>(node.Field->Lazy->Item(at));
    } catch (const std::exception& e) {
      slot->Item = std::make_unique<TRecordField>();
      slot->Item->Name = kFieldErrorName;
      slot->Item->Value = std::string();
      slot->Item->Missing = true;
      slot->Item->Text = e.what();
      slot->Item->Part = node.Field->Part;
      slot->Item->Offset = node.Field->Offset;
    }
    slot->Field = slot->Item.get();
  } else {
    slot->Field = &node.Field->Fields[at];
  }
  return slot.get();
}

const TRecordField* TFieldTreeModel::Field(const QModelIndex& index) const
{
  if (!index.isValid())
    return nullptr;
  const TNode* node = NodeOf(index);
  return node ? node->Field : nullptr;
}

TFieldExtent TFieldTreeModel::ExtentOf(const TRecordField& field) const
{
  return FieldExtent(field, FPartStarts, FRecordEnd);
}

TFieldExtent TFieldTreeModel::Extent(const QModelIndex& index) const
{
  const TRecordField* field = Field(index);
  return field ? ExtentOf(*field) : TFieldExtent{};
}

QModelIndex TFieldTreeModel::IndexAtByte(std::size_t position)
{
  TNode* node = FRoot.get();
  QModelIndex found;
  for (;;) {
    if (node->Field && (HasBitFields(*node->Field) || node->Field->BitCount > 0))
      return found;  // a flags word, not its bits
    if (node->Field && node->Field->Lazy) {
      // The part and offset of the byte; a header byte is no item's.
      std::size_t part = 0;
      while (part + 1 < FPartStarts.size() && FPartStarts[part + 1] <= position)
        ++part;
      const std::size_t offset = position - (FPartStarts.empty() ? 0 : FPartStarts[part]);
      std::optional<std::size_t> item;
      try {
        item = node->Field->Lazy->ItemAt(static_cast<int>(part), offset);
      } catch (const std::exception&) {
        item.reset();  // the list cannot be walked that far: the list itself
      }
      if (!item || *item > static_cast<std::size_t>(INT32_MAX))
        return found;
      TNode* child = Child(*node, static_cast<int>(*item));
      if (!child)
        return found;
      found = createIndex(child->Row, 0, node);
      node = child;
      continue;
    }
    TNode* next = nullptr;
    const int count = ChildCount(*node);
    for (int row = 0; row < count && !next; ++row) {
      TNode* child = Child(*node, row);
      const TFieldExtent extent = ExtentOf(*child->Field);
      if (child->Field->Size > 0 || child->Field->Lazy || !child->Field->Fields.empty())
        if (extent.First <= position && position < extent.End)
          next = child;
    }
    if (!next)
      return found;
    found = createIndex(next->Row, 0, node);
    node = next;
  }
}

QModelIndex TFieldTreeModel::LazyItem(std::size_t item)
{
  for (int row = 0; row < ChildCount(*FRoot); ++row) {
    TNode* list = Child(*FRoot, row);
    if (!list->Field->Lazy)
      continue;
    if (item >= list->Field->Lazy->Count() || item > static_cast<std::size_t>(INT32_MAX))
      return {};
    return createIndex(static_cast<int>(item), 0, list);
  }
  return {};
}

std::vector<TFieldTreeModel::TBand> TFieldTreeModel::Bands() const
{
  std::vector<TBand> bands;
  std::function<void(const TRecordField&)> walk = [&](const TRecordField& field) {
    if (field.Fields.empty() || HasBitFields(field) || field.Lazy) {
      const TFieldExtent extent = ExtentOf(field);
      if (extent.End > extent.First)
        bands.push_back({extent, field.Missing});
      return;
    }
    for (const TRecordField& inner : field.Fields)
      walk(inner);
  };
  for (const TRecordField& field : FFields)
    walk(field);
  std::stable_sort(bands.begin(), bands.end(), [](const TBand& a, const TBand& b) { return a.Extent.First < b.Extent.First; });
  return bands;
}

QModelIndex TFieldTreeModel::index(int row, int column, const QModelIndex& parent) const
{
  if (row < 0 || column < 0 || column >= fcColumnCount || (parent.isValid() && parent.column() != 0))
    return {};
  TNode* node = NodeOf(parent);
  if (!node || row >= ChildCount(*node))
    return {};
  return createIndex(row, column, node);
}

QModelIndex TFieldTreeModel::parent(const QModelIndex& child) const
{
  if (!child.isValid())
    return {};
  TNode* parent = static_cast<TNode*>(child.internalPointer());
  if (parent == FRoot.get())
    return {};
  return createIndex(parent->Row, 0, parent->Parent);
}

int TFieldTreeModel::rowCount(const QModelIndex& parent) const
{
  if (parent.isValid() && parent.column() != 0)
    return 0;
  const TNode* node = NodeOf(parent);
  return node ? ChildCount(*node) : 0;
}

int TFieldTreeModel::columnCount(const QModelIndex&) const
{
  return fcColumnCount;
}

bool TFieldTreeModel::hasChildren(const QModelIndex& parent) const
{
  // An item of a lazy list not described yet is taken for a group (the
  // strings of an SST are), so that asking does not describe it.
  if (parent.isValid() && parent.column() == 0) {
    TNode* list = static_cast<TNode*>(parent.internalPointer());
    if (list->Field && list->Field->Lazy) {
      const auto& kids = Children(*list);
      const auto row = static_cast<std::size_t>(parent.row());
      if (row < kids.size() && !kids[row])
        return true;
    }
  }
  return rowCount(parent) > 0;
}

QString TFieldTreeModel::BytesText(const TRecordField& field) const
{
  QString text;
  if (field.Part != 0)
    text = QStringLiteral("#%1: ").arg(FFirstNumber + static_cast<std::uint64_t>(field.Part));
  if (field.BitCount > 0)
    return text + QString::fromStdString(BitsText(field.BitFirst, field.BitCount)) +
           QStringLiteral(" of %1").arg(field.Offset - field.BitFirst / 8);
  if (field.Lazy)
    return text + QStringLiteral("%1-").arg(field.Offset);
  if (field.Size == 0)
    return text + QString::number(field.Offset);
  if (field.Size == 1)
    return text + QString::number(field.Offset);
  return text + QStringLiteral("%1-%2").arg(field.Offset).arg(field.Offset + field.Size - 1);
}

QVariant TFieldTreeModel::data(const QModelIndex& index, int role) const
{
  const TRecordField* field = Field(index);
  if (!field)
    return {};
  const bool link = field->Link.Kind != TFieldLinkKind::lkNone;
  switch (role) {
  case Qt::DisplayRole:
    switch (index.column()) {
    case fcName: return QString::fromStdString(field->Name);
    case fcValue: return FieldValueText(*field);
    case fcMeaning: return QString::fromStdString(field->Text);
    case fcBytes: return BytesText(*field);
    default: return {};
    }
  case Qt::ForegroundRole:
    if (field->Missing)
      return QBrush(QColor(kMissingColor));
    if (link && index.column() == fcValue)
      return QGuiApplication::palette().brush(QPalette::Link);
    return {};
  case Qt::FontRole:
    if (link && index.column() == fcValue) {
      QFont font;
      font.setUnderline(true);
      return font;
    }
    return {};
  case Qt::ToolTipRole: {
    // The whole value or meaning, however narrow its column; on the other
    // columns the meaning, as it was before there were two.
    QString text = index.column() == fcValue ? FieldValueText(*field) : QString::fromStdString(field->Text);
    if (link)
      return text.isEmpty() ? QString::fromLatin1(kHintFollowLink)
                            : WrappedToolTip(text + QLatin1Char('\n') + QString::fromLatin1(kHintFollowLink));
    if (text.isEmpty())
      return {};
    return WrappedToolTip(text);
  }
  case kLinkRole: return static_cast<int>(field->Link.Kind);
  default: return {};
  }
}

QVariant TFieldTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= fcColumnCount)
    return {};
  return QString::fromLatin1(kHeaders[section]);
}
