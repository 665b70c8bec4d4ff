// bifflens-bench-viewer FILE: one timed open of FILE in the viewer, offscreen,
// until the record list and the first sheet's preview are filled and painted.
// Prints the seconds, the number of record rows and the grid's size.
#include "expr/ZymParser.h"
#include "ui/MainWindow.h"
#include "ui/RecordListModel.h"

#include <QApplication>
#include <QTableView>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fputs("Usage: bifflens-bench-viewer FILE.xls\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TExpressionModule expressions;
  QApplication app(argc, argv);
  TfrmMain window;
  bool failed = false;
  window.ErrorPresenter = [&](QWidget*, const QString&, const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    failed = true;
  };
  window.show();
  QApplication::processEvents();
  const auto start = std::chrono::steady_clock::now();
  window.OpenFile(QString::fromLocal8Bit(argv[1]));
  // Let the views lay out and paint what the load filled.
  window.pcXLS->setCurrentIndex(1);
  QApplication::processEvents();
  window.pcXLS->setCurrentIndex(0);
  QApplication::processEvents();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.6f %d\n", seconds, window.Records().rowCount());
  return failed ? 1 : 0;
}
