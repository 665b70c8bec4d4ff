#include "ui/UiTexts.h"

#include "export/CsvExport.h"
#include "ui/RecordListModel.h"
#include "ui/UiMessages.h"

#include <QFileInfo>

#include <algorithm>

namespace {

QString Counted(std::uint64_t count, const char* one, const char* many)
{
  return QString::number(count) + QLatin1Char(' ') + QString::fromLatin1(count == 1 ? one : many);
}

}  // namespace

QString CountText(std::uint64_t count, const char* one, const char* many)
{
  return Counted(count, one, many);
}

QString GroupedNumberText(std::uint64_t n)
{
  // Fixed commas, whatever the locale: the note's form is the same for all.
  const QString digits = QString::number(n);
  QString text;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0)
      text += QLatin1Char(',');
    text += digits[i];
  }
  return text;
}

QString PreviewRowsText(int shown, int total)
{
  if (shown <= 0 || total <= 0)
    return QStringLiteral("No rows");
  const QString of = QStringLiteral(" of ") + GroupedNumberText(static_cast<std::uint64_t>(total)) +
                     QStringLiteral(" shown");
  if (shown == 1)
    return QStringLiteral("Row 1") + of;
  return QStringLiteral("Rows 1\u2013") + GroupedNumberText(static_cast<std::uint64_t>(shown)) + of;
}

QString FilteredText(int shown, int total)
{
  return QString::number(shown) + QStringLiteral(" of ") +
         Counted(static_cast<std::uint64_t>(std::max(total, 0)), "record", "records") + QStringLiteral(" shown");
}

QString ProblemsCountText(std::uint64_t errors, std::uint64_t warnings, std::uint64_t notes)
{
  return Counted(errors, "error", "errors") + QStringLiteral(", ") + Counted(warnings, "warning", "warnings") +
         QStringLiteral(", ") + Counted(notes, "note", "notes");
}

QString MacrosSummaryText(std::uint64_t modules, std::uint64_t sheets, std::uint64_t formulas,
                          std::uint64_t triggers, std::uint64_t hidden, std::uint64_t links,
                          std::uint64_t objects)
{
  return Counted(modules, "VBA module", "VBA modules") + QStringLiteral(", ") +
         Counted(sheets, "macro sheet", "macro sheets") + QStringLiteral(" (") +
         Counted(formulas, "formula", "formulas") + QStringLiteral("), ") +
         Counted(triggers, "trigger", "triggers") + QStringLiteral(", ") +
         Counted(hidden, "hidden part", "hidden parts") + QStringLiteral(", ") + Counted(links, "link", "links") +
         QStringLiteral(", ") + Counted(objects, "object", "objects");
}

QString ContainerSummaryText(int version, int sectorSize, std::uint64_t sectors, std::uint64_t problems)
{
  return QStringLiteral("Version ") + QString::number(version) + QStringLiteral(", ") +
         QString::number(sectorSize) + QStringLiteral("-byte sectors, ") + Counted(sectors, "sector", "sectors") +
         QStringLiteral(", ") + Counted(problems, "problem", "problems");
}

QString LiteralCaption(const QString& text)
{
  QString literal = text;
  return literal.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString RecentFileEntryText(int number, const QString& path)
{
  // The mnemonic is the number's last digit: 1 to 9, then 0 for the tenth.
  QString digits = QString::number(number);
  digits.insert(digits.size() - 1, QLatin1Char('&'));
  return digits + QLatin1Char(' ') + LiteralCaption(path);
}

QString NoSuchFileText(const QString& name)
{
  return QString::fromLatin1(kStatusNoSuchFile) + name;
}

QString NoBofText(std::uint64_t offset)
{
  return QString::fromLatin1(kStatusNoBof) + QString::number(offset);
}

QString StoppedAtText(std::uint64_t records, std::uint64_t lastOffset)
{
  if (records == 0)
    return QString::fromLatin1(kStatusStoppedBeforeFirst);
  return QString::fromLatin1(kStatusStoppedAt) + QString::number(records) + QStringLiteral(" (offset ") +
         QString::fromStdString(RecordOffsetText(lastOffset)) + QStringLiteral(").");
}

QString BiffVersionText(TExcelVersion version)
{
  const char* label = BiffVersionLabel(version);
  return QString::fromLatin1(label ? label : kStatusVersionUnknown);
}

QString RecordCountText(std::uint64_t records)
{
  return Counted(records, "record", "records");
}

QString SheetCountText(int sheets)
{
  return Counted(static_cast<std::uint64_t>(std::max(sheets, 0)), "sheet", "sheets");
}

QString StreamSizeText(std::uint64_t bytes)
{
  return QStringLiteral("stream ") + QString::number(bytes) + QStringLiteral(" bytes");
}

QString LoadTimeText(std::int64_t milliseconds)
{
  return QStringLiteral("loaded in ") + QString::number(milliseconds) + QStringLiteral(" ms");
}

QString CutShortText(int present, int length)
{
  return QString::fromLatin1(kNoteCutShort) + QString::number(present) + QStringLiteral(" of ") +
         QString::number(length) + QStringLiteral(" bytes present");
}

QString ExportedText(const QString& sheet, const QString& fileName, int rows)
{
  return QString::fromLatin1(kStatusExported) + sheet + QStringLiteral(" to ") +
         QFileInfo(fileName).fileName() + QStringLiteral(" (") + Counted(static_cast<std::uint64_t>(rows), "row", "rows") +
         QStringLiteral(").");
}

QString ExportFileSuggestion(const QString& workbook, const QString& sheet)
{
  return QFileInfo(workbook).completeBaseName() + QLatin1Char('-') +
         QString::fromStdString(SafeFileName(sheet.toStdString())) + QStringLiteral(".csv");
}

QString PasswordPromptText(const QString& scheme)
{
  return QString::fromLatin1(kPasswordPrompt).arg(scheme);
}

QString EncryptionStatusText(const QString& scheme, bool decrypted)
{
  return QString::fromLatin1(kStatusEncrypted)
      .arg(scheme, QString::fromLatin1(decrypted ? kStatusDecrypted : kStatusNotDecrypted));
}
