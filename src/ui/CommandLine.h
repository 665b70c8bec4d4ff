#pragma once

#include <QString>
#include <QStringList>

/// What the viewer's command line asks for: nothing, or one workbook to open
/// at start as if typed into the file-name box and "Open" pressed.
struct TCommandLine {
  bool Valid = true;
  QString FileName;  // empty: open nothing
};

/// Reads the arguments left after Qt took its own (the program name first).
/// One optional file name; anything more is not valid.
TCommandLine ParseCommandLine(const QStringList& arguments);
