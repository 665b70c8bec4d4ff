// bifflens-bench-viewer FILE [sst]: one timed open of FILE in the viewer,
// offscreen, until the record list and the first sheet's preview are filled
// and painted. Prints the seconds and the number of record rows. With "sst",
// the time is that of selecting the workbook's SST record after the open
// instead: its fields described, the strings list opened and painted with
// the dump beside it. With "navigate", after the open: the seconds of a
// filter to LABELSST, of a search for bytes no record holds (the whole
// stream), of a search that wraps round, of a go-to by offset and of the
// navigation pane's outline, types and structure check on its worker, one
// line each. With "formula", that of selecting the first FORMULA
// record (its tokens listed, the workbook's formulas read first), and on
// stderr that of selecting the last one then (the listing alone).
#include "expr/ZymParser.h"
#include "hexdump/HexDump.h"
#include "ui/FieldTreeModel.h"
#include "ui/MainWindow.h"
#include "ui/NavigatorPane.h"
#include "ui/RecordNavigator.h"
#include "ui/RecordInspector.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTreeView>

#include <chrono>
#include <cstdint>
#include <string>
#include <cstdio>

int main(int argc, char** argv)
{
  if (argc != 2 && argc != 3) {
    std::fputs("Usage: bifflens-bench-viewer FILE.xls [sst|formula]\n", stderr);
    return 2;
  }
  const bool selectSst = argc == 3 && std::string(argv[2]) == "sst";
  const bool navigate = argc == 3 && std::string(argv[2]) == "navigate";
  const bool selectFormula = argc == 3 && std::string(argv[2]) == "formula";
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
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (navigate) {
    window.pcXLS->setCurrentIndex(1);
    const auto timed = [](const char* what, const auto& step) {
      const auto begin = std::chrono::steady_clock::now();
      step();
      QApplication::processEvents();
      std::printf("%-28s %.6f\n", what,
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    };
    TRecordNavigator& nav = *window.Navigator;
    const auto pane = std::chrono::steady_clock::now();
    QApplication::processEvents();
    timed("filter LABELSST", [&] { nav.SetFilterText(QStringLiteral("LABELSST")); });
    timed("filter clear", [&] { nav.SetFilterText(QString()); });
    nav.SelectRecord(0);
    nav.cbFindMode->setCurrentIndex(TRecordNavigator::fmHex);
    nav.edFind->setText(QStringLiteral("FE ED FA CE 12 34 56 78"));
    timed("find absent (whole stream)", [&] { nav.FindNext(true); });
    timed("find back absent", [&] { nav.FindNext(false); });
    nav.cbFindMode->setCurrentIndex(TRecordNavigator::fmText);
    nav.edFind->setText(QStringLiteral("Sheet"));
    nav.SelectRecord(window.Records().Count() - 1);
    timed("find wrapping round", [&] { nav.FindNext(true); });
    timed("go to offset", [&] { nav.GoTo(QStringLiteral("@0x100000")); });
    while (!window.Pane->Ready())
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("%-28s %.6f\n", "pane ready (worker)",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - pane).count());
    return failed ? 1 : 0;
  }
  if (selectSst) {
    int sst = 0;
    while (sst < window.Records().Count() && window.Records().Row(sst).Code != 0x00FC)
      ++sst;
    if (sst == window.Records().Count()) {
      // No SST before BIFF8: nothing to time.
      std::printf("%.6f %d\n", 0.0, window.Records().rowCount());
      return 0;
    }
    window.pcXLS->setCurrentIndex(1);
    QApplication::processEvents();
    const auto selected = std::chrono::steady_clock::now();
    window.lvRecords->selectRow(sst);
    TFieldTreeModel& model = window.Fields->Model();
    for (int row = 0; row < model.rowCount(); ++row)
      if (model.Field(model.index(row, 0))->Lazy)
        window.Fields->tvFields->expand(model.index(row, 0));
    QApplication::processEvents();
    window.Fields->tvFields->repaint();
    window.Dump->repaint();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - selected).count();
  }
  if (selectFormula) {
    constexpr std::uint16_t kFormula = 0x0006;
    int first = -1;
    int last = -1;
    for (int row = 0; row < window.Records().Count(); ++row)
      if (window.Records().Row(row).Code == kFormula) {
        if (first < 0)
          first = row;
        last = row;
      }
    if (first < 0) {
      std::printf("%.6f %d\n", 0.0, window.Records().rowCount());
      return 0;
    }
    window.pcXLS->setCurrentIndex(1);
    QApplication::processEvents();
    const auto timed = [&](int row) {
      const auto selected = std::chrono::steady_clock::now();
      window.lvRecords->selectRow(row);
      QApplication::processEvents();
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - selected).count();
    };
    seconds = timed(first);
    const double later = timed(last);
    // The pane's own part: describing the record with its tokens listed.
    const auto described = std::chrono::steady_clock::now();
    constexpr int kRepeats = 1000;
    for (int i = 0; i < kRepeats; ++i)
      window.Fields->ShowRecord(i % 2 == 0 ? first : last);
    const double each = std::chrono::duration<double>(std::chrono::steady_clock::now() - described).count() / kRepeats;
    std::fprintf(stderr, "later FORMULA: %.6f s; ShowRecord of a FORMULA: %.6f ms\n", later, each * 1000);
  }
  std::printf("%.6f %d\n", seconds, window.Records().rowCount());
  return failed ? 1 : 0;
}
