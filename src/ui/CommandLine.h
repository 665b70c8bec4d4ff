#pragma once

#include <QString>
#include <QStringList>

/// What the viewer's command line asks for: nothing, one workbook to open
/// at start as if typed into the file-name box and "Open" pressed, or two
/// workbooks to compare in the compare window.
struct TCommandLine {
  bool Valid = true;
  QString FileName;  // empty: open nothing
  /// `--compare A B`: both set.
  QString CompareA;
  QString CompareB;
};

/// Reads the arguments left after Qt took its own (the program name first).
/// One optional file name, or "--compare" and two file names; anything
/// more is not valid.
TCommandLine ParseCommandLine(const QStringList& arguments);
