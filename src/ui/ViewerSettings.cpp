#include "ui/ViewerSettings.h"

#include "ui/Identity.h"

namespace {

constexpr char kKeyWindowGeometry[] = "window/geometry";
constexpr char kKeyRecordsSplitter[] = "records/splitter";
constexpr char kKeyFieldsSplitter[] = "records/fieldsSplitter";
constexpr char kKeyRecordColumns[] = "records/columnWidths";
constexpr char kKeyPaneSplitter[] = "records/paneSplitter";
constexpr char kKeyRecentFiles[] = "recentFiles";
constexpr char kKeyExportFolder[] = "export/folder";

QString Key(const char* key)
{
  return QString::fromLatin1(key);
}

}  // namespace

TViewerSettings::TViewerSettings()
    : FSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
                QString::fromLatin1(kSettingsApplication))
{
}

QByteArray TViewerSettings::WindowGeometry() const
{
  return FSettings.value(Key(kKeyWindowGeometry)).toByteArray();
}

void TViewerSettings::SetWindowGeometry(const QByteArray& geometry)
{
  FSettings.setValue(Key(kKeyWindowGeometry), geometry);
}

QByteArray TViewerSettings::RecordsSplitter() const
{
  return FSettings.value(Key(kKeyRecordsSplitter)).toByteArray();
}

void TViewerSettings::SetRecordsSplitter(const QByteArray& state)
{
  FSettings.setValue(Key(kKeyRecordsSplitter), state);
}

QByteArray TViewerSettings::PaneSplitter() const
{
  return FSettings.value(Key(kKeyPaneSplitter)).toByteArray();
}

void TViewerSettings::SetPaneSplitter(const QByteArray& state)
{
  FSettings.setValue(Key(kKeyPaneSplitter), state);
}

QByteArray TViewerSettings::FieldsSplitter() const
{
  return FSettings.value(Key(kKeyFieldsSplitter)).toByteArray();
}

void TViewerSettings::SetFieldsSplitter(const QByteArray& state)
{
  FSettings.setValue(Key(kKeyFieldsSplitter), state);
}

QList<int> TViewerSettings::RecordColumnWidths() const
{
  QList<int> widths;
  for (const QVariant& width : FSettings.value(Key(kKeyRecordColumns)).toList()) {
    bool ok = false;
    const int value = width.toInt(&ok);
    if (!ok || value <= 0)
      return {};  // a damaged entry restores nothing
    widths.push_back(value);
  }
  return widths;
}

void TViewerSettings::SetRecordColumnWidths(const QList<int>& widths)
{
  QVariantList list;
  for (const int width : widths)
    list.push_back(width);
  FSettings.setValue(Key(kKeyRecordColumns), list);
}

QStringList TViewerSettings::RecentFiles() const
{
  QStringList files = FSettings.value(Key(kKeyRecentFiles)).toStringList();
  files.removeAll(QString());
  if (files.size() > kMaxRecentFiles)
    files.resize(kMaxRecentFiles);
  return files;
}

void TViewerSettings::SetRecentFiles(const QStringList& files)
{
  FSettings.setValue(Key(kKeyRecentFiles), files);
}

QStringList TViewerSettings::WithRecentFile(QStringList files, const QString& path)
{
  files.removeAll(path);
  files.prepend(path);
  if (files.size() > kMaxRecentFiles)
    files.resize(kMaxRecentFiles);
  return files;
}

QString TViewerSettings::ExportFolder() const
{
  return FSettings.value(Key(kKeyExportFolder)).toString();
}

void TViewerSettings::SetExportFolder(const QString& folder)
{
  FSettings.setValue(Key(kKeyExportFolder), folder);
}
