#pragma once

#include <QByteArray>
#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>

/// What the viewer remembers between runs: the window's geometry, the
/// records page's splitter and column widths, the recent files. Kept in an
/// INI file of the user's configuration folder (on Linux
/// ~/.config/Tarvex/bifflens.ini); QSettings::setPath moves it, as tests do.
/// Later panes and the View menu add their keys here.
class TViewerSettings {
public:
  static constexpr int kMaxRecentFiles = 10;

  TViewerSettings();

  QByteArray WindowGeometry() const;
  void SetWindowGeometry(const QByteArray& geometry);
  QByteArray RecordsSplitter() const;
  void SetRecordsSplitter(const QByteArray& state);
  /// The splitter between the records page's list and dump and its Fields
  /// pane.
  QByteArray FieldsSplitter() const;
  void SetFieldsSplitter(const QByteArray& state);
  /// The splitter between the Fields pane and the navigation pane below it.
  QByteArray PaneSplitter() const;
  void SetPaneSplitter(const QByteArray& state);
  /// One width per record list column, in column order; empty when none
  /// was saved.
  QList<int> RecordColumnWidths() const;
  void SetRecordColumnWidths(const QList<int>& widths);

  /// The folder the last CSV export went to; empty before the first.
  QString ExportFolder() const;
  void SetExportFolder(const QString& folder);

  /// Most recent first, at most kMaxRecentFiles.
  QStringList RecentFiles() const;
  void SetRecentFiles(const QStringList& files);
  /// `files` with `path` first, its older entry dropped, cut to
  /// kMaxRecentFiles. Paths are compared as given.
  static QStringList WithRecentFile(QStringList files, const QString& path);

private:
  mutable QSettings FSettings;
};
