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
  switch (version) {
  case TExcelVersion::evExcel2: return QStringLiteral("BIFF2");
  case TExcelVersion::evExcel3: return QStringLiteral("BIFF3");
  case TExcelVersion::evExcel4: return QStringLiteral("BIFF4");
  case TExcelVersion::evExcel5:
  case TExcelVersion::evExcel7: return QStringLiteral("BIFF5/7");
  case TExcelVersion::evExcel8:
  case TExcelVersion::evExcel9: return QStringLiteral("BIFF8");
  case TExcelVersion::evUnknown: break;
  }
  return QString::fromLatin1(kStatusVersionUnknown);
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
