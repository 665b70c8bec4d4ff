// Start-up of the viewer, in this order: the modules' start-up, the
// application object with its title, the main window; then the event loop
// until the main window closes.

#include "expr/ZymParser.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "ui/CommandLine.h"
#include "ui/CompareWindow.h"
#include "ui/Identity.h"
#include "ui/MainWindow.h"
#include "ui/UiMessages.h"

#include <QApplication>
#include <QTimer>

#include <clocale>
#include <cstdio>

int main(int argc, char** argv)
{
  // The expression registry ("SQR", "SQRT", "PI") lives from here to the end,
  // past every window.
  const TExpressionModule expressions;
  // Dates and numbers in the preview read the way the user's locale writes them.
  SetSystemLocale(LocaleFromEnvironment());

  QApplication app(argc, argv);
  // Qt adopts the environment's C locale; the reader and the value texts do
  // their own locale handling and rely on C number formatting.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QString::fromLatin1(kProductName));
  // Ties the window to the installed desktop entry (its name and icon).
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kIconName));

  const TCommandLine commandLine = ParseCommandLine(QApplication::arguments());
  if (!commandLine.Valid) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  TfrmMain form;
  form.show();
  if (!commandLine.FileName.isEmpty()) {
    // Once the window is up, so that an error box has its window behind it.
    QTimer::singleShot(0, &form, [&form, name = commandLine.FileName] { form.OpenFile(name); });
  }
  if (!commandLine.CompareA.isEmpty()) {
    QTimer::singleShot(0, &form, [&form, a = commandLine.CompareA, b = commandLine.CompareB] {
      ShowCompareWindow(&form, a, b);
    });
  }
  return QApplication::exec();
}
