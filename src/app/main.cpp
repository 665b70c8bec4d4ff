// Start-up of the viewer, in this order: the modules' start-up, the
// application object with its title, the main window; then the event loop
// until the main window closes.

#include "ui/CommandLine.h"
#include "ui/Identity.h"
#include "ui/MainWindow.h"
#include "ui/UiMessages.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kProductName));

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
  return QApplication::exec();
}
