#include "ui/RecordNavigator.h"

#include "xls/workbook/Navigation.h"
#include "ui/RecordFilterModel.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>

#include <optional>
#include <vector>

namespace {

QString Text(const char* text)
{
  return QString::fromLatin1(text);
}

QString Offset(std::uint64_t offset)
{
  return QStringLiteral("0x") + QString::number(offset, 16).toUpper();
}

}  // namespace

std::optional<std::vector<std::uint8_t>> FindPatternBytes(int mode, const QString& text)
{
  std::vector<std::uint8_t> pattern;
  switch (mode) {
  case TRecordNavigator::fmHex:
    return ParseHexBytes(text.toStdString());
  case TRecordNavigator::fmText: {
    // 8-bit text: Latin-1 bytes, as the workbook's single-byte strings of
    // the Western code page store them.
    const QByteArray latin1 = text.toLatin1();
    pattern.assign(latin1.begin(), latin1.end());
    break;
  }
  default:
    for (const char16_t unit : text.toStdU16String()) {
      pattern.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      pattern.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    break;
  }
  return pattern;
}

TRecordNavigator::TRecordNavigator(TRecordListModel& records, TRecordFilterModel& shown, TRecordListView& view,
                                   QWidget* parent)
    : QWidget(parent), FRecords(records), FShown(shown), FView(view)
{
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 2);
  layout->setSpacing(3);
  const auto box = [this, layout](const char* hint, int stretch) {
    auto* edit = new QLineEdit(this);
    edit->setPlaceholderText(Text(hint));
    edit->setToolTip(Text(hint));
    edit->setClearButtonEnabled(true);
    layout->addWidget(edit, stretch);
    return edit;
  };
  edFilter = box(kHintFilter, 3);
  edFind = box(kHintFind, 3);
  cbFindMode = new QComboBox(this);
  cbFindMode->addItems({Text(kFindModeHex), Text(kFindModeText), Text(kFindModeUtf16)});
  layout->addWidget(cbFindMode);
  edGoTo = box(kHintGoTo, 2);
  // Room for a record number of millions or an offset of eight digits,
  // beside the clear button the box shows while it has text.
  const QFontMetrics metrics = edGoTo->fontMetrics();
  edGoTo->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0x00000000")) + 2 * metrics.height() + 16);

  // Enter applies the filter and hands the keys to the list it filtered.
  connect(edFilter, &QLineEdit::returnPressed, this, [this] {
    if (ApplyFilter(edFilter->text()))
      FView.setFocus(Qt::OtherFocusReason);
  });
  // The clear button shows every record again at once.
  connect(edFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.isEmpty() && FShown.Filtered())
      ApplyFilter(text);
  });
  connect(edFind, &QLineEdit::returnPressed, this, [this] { FindNext(true); });
  connect(edGoTo, &QLineEdit::returnPressed, this, [this] { GoTo(edGoTo->text()); });

  const auto action = [this](const char* text, const QKeySequence& keys) {
    auto* a = new QAction(Text(text), this);
    a->setShortcut(keys);
    return a;
  };
  const auto focus = [this](QLineEdit* edit) {
    if (OnReveal)
      OnReveal(*this);
    edit->setFocus(Qt::ShortcutFocusReason);
    edit->selectAll();
  };
  actFind = action(kMenuFind, QKeySequence::Find);
  connect(actFind, &QAction::triggered, this, [this, focus] { focus(edFind); });
  actFindNext = action(kMenuFindNext, QKeySequence(Qt::Key_F3));
  connect(actFindNext, &QAction::triggered, this, [this] { FindNext(true); });
  actFindPrevious = action(kMenuFindPrevious, QKeySequence(Qt::SHIFT | Qt::Key_F3));
  connect(actFindPrevious, &QAction::triggered, this, [this] { FindNext(false); });
  actGoTo = action(kMenuGoTo, QKeySequence(Qt::CTRL | Qt::Key_G));
  connect(actGoTo, &QAction::triggered, this, [this, focus] { focus(edGoTo); });
  actFilter = action(kMenuFilter, QKeySequence(Qt::CTRL | Qt::Key_L));
  connect(actFilter, &QAction::triggered, this, [this, focus] { focus(edFilter); });
}

void TRecordNavigator::Say(const QString& text)
{
  FStatus = text;
  if (OnStatus)
    OnStatus(*this, text);
}

int TRecordNavigator::CurrentRecord() const
{
  const QModelIndex current = FView.currentIndex();
  return current.isValid() ? FShown.RecordOfRow(current.row()) : -1;
}

void TRecordNavigator::SetFilterText(const QString& text)
{
  {
    const QSignalBlocker quiet(edFilter);
    edFilter->setText(text);
  }
  ApplyFilter(text);
}

bool TRecordNavigator::ApplyFilter(const QString& text)
{
  const TRecordFilterText filter = ParseRecordFilter(text.toStdString());
  if (!filter.BadWord.empty()) {
    Say(Text(kStatusNoSuchType).arg(QString::fromStdString(filter.BadWord)));
    return false;
  }
  const int current = CurrentRecord();
  if (filter.Codes.empty()) {
    FShown.ClearFilter();
    Say(QString());
  } else {
    FShown.SetFilter(FilterRecords(FRecords.Stream().Span(), FRecords.Offsets(), filter.Codes));
    Say(FilteredText(FShown.rowCount(), FRecords.Count()));
  }
  // The record shown before stays current where the filter keeps it.
  if (const int row = FShown.RowOfRecord(current); row >= 0)
    FView.selectRow(row);
  return true;
}

bool TRecordNavigator::FindNext(bool forward)
{
  if (OnReveal)
    OnReveal(*this);
  const QString text = edFind->text();
  if (text.isEmpty()) {
    edFind->setFocus(Qt::ShortcutFocusReason);
    return false;
  }
  const auto bytes = FindPatternBytes(cbFindMode->currentIndex(), text);
  if (!bytes) {
    Say(Text(kStatusBadHex).arg(text));
    return false;
  }
  const std::vector<std::uint8_t>& pattern = *bytes;
  const int current = CurrentRecord();
  const std::optional<std::size_t> from =
      current >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(current)) : std::nullopt;
  const auto hit = FindInRecords(FRecords.Stream().Span(), FRecords.Offsets(), pattern, from, forward,
                                 FShown.Filtered() ? &FShown.Rows() : nullptr);
  if (!hit) {
    Say(Text(kStatusNotFound).arg(text));
    return false;
  }
  const int record = static_cast<int>(hit->Record);
  SelectRecord(record);
  const char* said = !hit->Wrapped ? kStatusFound : forward ? kStatusFoundWrappedForward : kStatusFoundWrappedBack;
  Say(Text(said).arg(text).arg(record + 1));
  if (OnFound)
    OnFound(*this, record, hit->Byte);
  return true;
}

bool TRecordNavigator::GoTo(const QString& text)
{
  if (OnReveal)
    OnReveal(*this);
  const auto target = ParseGoTo(text.toStdString());
  if (!target) {
    Say(Text(kStatusBadGoTo).arg(text));
    return false;
  }
  int record = -1;
  if (target->IsOffset) {
    const auto holding = RecordHolding(FRecords.Stream().Span(), FRecords.Offsets(), target->Value);
    if (!holding) {
      Say(Text(kStatusNoRecordAtOffset).arg(Offset(target->Value)));
      return false;
    }
    record = static_cast<int>(*holding);
  } else {
    if (target->Value == 0 || target->Value > static_cast<std::uint64_t>(FRecords.Count())) {
      Say(Text(kStatusNoRecordNumber).arg(QString::number(target->Value)).arg(FRecords.Count()));
      return false;
    }
    record = static_cast<int>(target->Value - 1);
  }
  Say(QString());
  SelectRecord(record);
  FView.setFocus(Qt::OtherFocusReason);
  return true;
}

void TRecordNavigator::Clear()
{
  for (QLineEdit* edit : {edFilter, edFind, edGoTo}) {
    const QSignalBlocker quiet(edit);
    edit->clear();
  }
  FStatus.clear();
}

void TRecordNavigator::SelectRecord(int record)
{
  if (record < 0 || record >= FRecords.Count())
    return;
  if (FShown.RowOfRecord(record) < 0) {
    {
      const QSignalBlocker quiet(edFilter);
      edFilter->clear();
    }
    FShown.ClearFilter();
    Say(Text(kStatusFilterCleared).arg(record + 1));
  }
  FView.selectRow(FShown.RowOfRecord(record));
}
