// The hex dump control: layout arithmetic, line texts, keys, mouse, scroll
// bar and resizing, offscreen.

#include "hexdump/HexDump.h"
#include "hexdump/HexFormat.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <array>
#include <numeric>
#include <vector>

using namespace HexFormat;

namespace {

QString Text(const char16_t* p, int n)
{
  return QString(reinterpret_cast<const QChar*>(p), n);
}

std::vector<std::uint8_t> Ramp(int n)
{
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

// Sizes the control so that its client area is `cells` cells wide and holds
// `wholeRows` whole rows plus a few pixels of a partial one.
void SizeClient(THexDump& dump, int cells, int wholeRows, int extraPixels = 0)
{
  const int frameW = dump.width() - dump.viewport()->width();
  const int frameH = dump.height() - dump.viewport()->height();
  dump.resize(cells * dump.CellWidth() + extraPixels + frameW,
              wholeRows * dump.RowHeight() + 3 + frameH);
  QCOMPARE(dump.viewport()->width(), cells * dump.CellWidth() + extraPixels);
}

}  // namespace

class TstHexDump : public QObject {
  Q_OBJECT

private:
  std::vector<std::uint8_t> FBytes;

  // A shown control with a fixed-pitch font, `wholeRows` rows high, 74 cells wide.
  void Prepare(THexDump& dump, int dataLength, int wholeRows = 9)
  {
    dump.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    dump.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dump));
    SizeClient(dump, 74, wholeRows);
    FBytes = Ramp(dataLength);
    dump.SetData(FBytes);
  }

private slots:
  // --- Layout arithmetic -------------------------------------------------

  void bytesPerLineFollowTheClientWidth()
  {
    const int cw = 8;
    // Both columns: 10 address cells + 4 cells a byte.
    QCOMPARE(LineBytesForWidth(74 * cw, cw, true, true), 16);
    QCOMPARE(LineBytesForWidth(74 * cw - 1, cw, true, true), 15);
    QCOMPARE(LineBytesForWidth(200 * cw, cw, true, true), 16);
    QCOMPARE(LineBytesForWidth(42 * cw + cw - 1, cw, true, true), 8);
    // Without the character column a byte takes 3 cells.
    QCOMPARE(LineBytesForWidth(58 * cw, cw, true, false), 16);
    QCOMPARE(LineBytesForWidth(57 * cw, cw, true, false), 15);
    // Without the address column.
    QCOMPARE(LineBytesForWidth(64 * cw, cw, false, true), 16);
    QCOMPARE(LineBytesForWidth(63 * cw, cw, false, true), 15);
    // Never fewer than one.
    QCOMPARE(LineBytesForWidth(14 * cw, cw, true, true), 1);
    QCOMPARE(LineBytesForWidth(3 * cw, cw, true, true), 1);
    QCOMPARE(LineBytesForWidth(0, cw, true, true), 1);
  }

  void linesCountAPartialLastLine()
  {
    QCOMPARE(TotalLinesFor(33, 16), 3);
    QCOMPARE(TotalLinesFor(32, 16), 2);
    QCOMPARE(TotalLinesFor(0, 16), 0);
    QCOMPARE(LineByteCount(0, 33, 16), 16);
    QCOMPARE(LineByteCount(2, 33, 16), 1);
    QCOMPARE(LineByteCount(1, 32, 16), 16);
    QCOMPARE(LineByteCount(3, 33, 16), 0);
    QCOMPARE(PageLinesForHeight(100, 17), 6);
    QCOMPARE(PageLinesForHeight(0, 17), 1);
  }

  void clampingKeepsLinesInsideTheData()
  {
    QCOMPARE(ClampLine(5, 3), 2);
    QCOMPARE(ClampLine(-4, 3), 0);
    QCOMPARE(ClampLine(7, 0), 0);
    QCOMPARE(LineAtY(0, 17, 4), 4);
    QCOMPARE(LineAtY(16, 17, 4), 4);
    QCOMPARE(LineAtY(17, 17, 4), 5);
  }

  void keysPageByAWholePageAndTheScrollBarByOneRowLess()
  {
    QCOMPARE(KeyTargetLine(TDumpKey::dkPageDown, 3, 10, 100), 13);
    QCOMPARE(KeyTargetLine(TDumpKey::dkPageUp, 3, 10, 100), -7);
    QCOMPARE(KeyTargetLine(TDumpKey::dkEnd, 3, 10, 100), 99);
    QCOMPARE(KeyTargetLine(TDumpKey::dkHome, 3, 10, 100), 0);
    QCOMPARE(KeyTargetLine(TDumpKey::dkUp, 3, 10, 100), 2);
    QCOMPARE(KeyTargetLine(TDumpKey::dkDown, 3, 10, 100), 4);
    QCOMPARE(ScrollTargetLine(TScrollCode::scPageDown, 3, 10, 100, 0), std::optional<int>(12));
    QCOMPARE(ScrollTargetLine(TScrollCode::scPageUp, 30, 10, 100, 0), std::optional<int>(21));
    QCOMPARE(ScrollTargetLine(TScrollCode::scLineDown, 3, 10, 100, 0), std::optional<int>(4));
    QCOMPARE(ScrollTargetLine(TScrollCode::scLineUp, 3, 10, 100, 0), std::optional<int>(2));
    QCOMPARE(ScrollTargetLine(TScrollCode::scThumb, 3, 10, 100, 42), std::optional<int>(42));
    QCOMPARE(ScrollTargetLine(TScrollCode::scTop, 3, 10, 100, 0), std::optional<int>(0));
    QCOMPARE(ScrollTargetLine(TScrollCode::scBottom, 3, 10, 100, 0), std::optional<int>(99));
    QVERIFY(!ScrollTargetLine(TScrollCode::scEnd, 3, 10, 100, 0).has_value());
  }

  // --- Line texts --------------------------------------------------------

  void hexTextSeparatesPairsByTabsWithNoTabAtTheEnd()
  {
    std::array<char16_t, kHexTextSize> text{};
    InitHexText(text);
    const std::vector<std::uint8_t> full = Ramp(16);
    QCOMPARE(FormatHex(full, text), 47);
    QCOMPARE(Text(text.data(), 11), QStringLiteral("00\t01\t02\t03"));
    QCOMPARE(Text(text.data() + 42, 5), QStringLiteral("0E\t0F"));
    // The last partial line of 33 bytes: one pair, drawn without a TAB; the
    // separators the full line left stay untouched.
    const std::uint8_t last[] = {0xAB};
    QCOMPARE(FormatHex(last, text), 2);
    QCOMPARE(Text(text.data(), 2), QStringLiteral("AB"));
    for (int i = 2; i < kHexTextSize; i += 3)
      QCOMPARE(text[static_cast<std::size_t>(i)], kTab);
    QCOMPARE(FormatHex({}, text), 0);
  }

  void characterColumnShowsControlBytesAsDots()
  {
    std::array<char16_t, kMaxLineBytes> out{};
    const std::uint8_t bytes[] = {0x00, 0x1F, 0x20, 0x41, 0x7F, 0x80, 0xE9, 0xFF};
    QCOMPARE(FormatChars(bytes, out), 8);
    QCOMPARE(Text(out.data(), 8), QString::fromUtf16(u".. A" u"\x7F" u"\u20AC\u00E9\u00FF"));
  }

  void relativeAddressesStepByTheBytesPerLine()
  {
    std::array<char16_t, kAddressCells> out{};
    FormatAddress(0, out);
    QCOMPARE(Text(out.data(), kAddressCells), QStringLiteral("00000000: "));
    FormatAddress(2 * 16, out);
    QCOMPARE(Text(out.data(), kAddressCells), QStringLiteral("00000020: "));
    FormatAddress(1 * 8, out);
    QCOMPARE(Text(out.data(), kAddressCells), QStringLiteral("00000008: "));
    FormatAddress(0xDEADBEEFu, out);
    QCOMPARE(Text(out.data(), kAddressCells), QStringLiteral("DEADBEEF: "));
  }

  // --- The control -------------------------------------------------------

  void startsWithTheDocumentedDefaults()
  {
    THexDump dump;
    QVERIFY(!dump.HasData());
    QCOMPARE(dump.Border(), TBorderStyle::bsSingle);
    QVERIFY(dump.ShowAddress());
    QVERIFY(dump.ShowCharacters());
    QVERIFY(dump.ShowLineMarker());
    QVERIFY(!dump.RelativeAddress());
    QCOMPARE(dump.AnsiCharColor(), dump.palette().color(QPalette::Highlight));
    QCOMPARE(dump.HexDataColor(), dump.palette().color(QPalette::WindowText));
    QCOMPARE(dump.size(), QSize(300, 200));
    QCOMPARE(dump.focusPolicy(), Qt::StrongFocus);
  }

  void metricsComeFromTheFont()
  {
    THexDump dump;
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    dump.setFont(font);
    const QFontMetrics fm(font);
    QCOMPARE(dump.RowHeight(), fm.height() + 2);
    QCOMPARE(dump.CellWidth(), fm.horizontalAdvance(QLatin1Char('D')) + 1);
    QFont bigger = font;
    bigger.setPointSize(font.pointSize() * 2);
    dump.setFont(bigger);
    QCOMPARE(dump.RowHeight(), QFontMetrics(bigger).height() + 2);
  }

  void layoutFollowsTheWidthAndTheColumnsShown()
  {
    THexDump dump;
    Prepare(dump, 100);
    QCOMPARE(dump.LineBytes(), 16);
    QCOMPARE(dump.TotalLines(), 7);
    QCOMPARE(dump.PageLines(), 10);
    SizeClient(dump, 73, 9, dump.CellWidth() - 1);
    QCOMPARE(dump.LineBytes(), 15);
    QCOMPARE(dump.TotalLines(), 7);
    SizeClient(dump, 42, 9);
    QCOMPARE(dump.LineBytes(), 8);
    QCOMPARE(dump.TotalLines(), 13);
    // Hiding the character column gives its cells to the hex column.
    dump.SetShowCharacters(false);
    QCOMPARE(dump.LineBytes(), 10);
    SizeClient(dump, 58, 9);
    QCOMPARE(dump.LineBytes(), 16);
    dump.SetShowCharacters(true);
    QCOMPARE(dump.LineBytes(), 12);
    dump.SetShowAddress(false);
    QCOMPARE(dump.LineBytes(), 14);  // the address cells go to the bytes
    SizeClient(dump, 2, 9);
    QCOMPARE(dump.LineBytes(), 1);
    QCOMPARE(dump.TotalLines(), 100);
    QCOMPARE(dump.verticalScrollBar()->maximum(), 99);
  }

  void aBorderlessControlGivesTheFrameToTheClient()
  {
    THexDump dump;
    Prepare(dump, 100);
    const int framed = dump.viewport()->width();
    dump.SetBorder(TBorderStyle::bsNone);
    QCOMPARE(dump.frameWidth(), 0);
    QVERIFY(dump.viewport()->width() > framed);
    dump.SetBorder(TBorderStyle::bsSingle);
    QVERIFY(dump.frameWidth() > 0);
    QCOMPARE(dump.viewport()->width(), framed);
  }

  void newDataIsMarkedAndShownFromTheFirstLine()
  {
    THexDump dump;
    Prepare(dump, 16 * 100);
    QTest::keyClick(&dump, Qt::Key_End);
    QCOMPARE(dump.MarkedLine(), 99);
    const std::vector<std::uint8_t> other = Ramp(40);
    dump.SetData(other);
    QCOMPARE(dump.MarkedLine(), 0);
    QCOMPARE(dump.FirstVisibleLine(), 0);
    QCOMPARE(dump.TotalLines(), 3);
    QCOMPARE(dump.verticalScrollBar()->maximum(), 2);
    QCOMPARE(dump.verticalScrollBar()->value(), 0);
  }

  void noDataEmptiesEverythingAndIgnoresInput()
  {
    THexDump dump;
    Prepare(dump, 16 * 100);
    QTest::keyClick(&dump, Qt::Key_End);
    dump.SetDataStart(nullptr);
    QVERIFY(!dump.HasData());
    QCOMPARE(dump.DataLength(), 0);
    QCOMPARE(dump.TotalLines(), 0);
    QCOMPARE(dump.MarkedLine(), 0);
    QCOMPARE(dump.FirstVisibleLine(), 0);
    QCOMPARE(dump.verticalScrollBar()->maximum(), 0);
    for (const Qt::Key key : {Qt::Key_End, Qt::Key_Down, Qt::Key_PageDown})
      QTest::keyClick(&dump, key);
    dump.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, {}, QPoint(10, 3 * dump.RowHeight()));
    QCOMPARE(dump.MarkedLine(), 0);
    QCOMPARE(dump.FirstVisibleLine(), 0);
    // A zero length with a start set shows nothing either.
    dump.SetData(std::span<const std::uint8_t>(FBytes.data(), 0));
    QVERIFY(!dump.HasData());
  }

  void pageKeysMoveTheMarkerByAPage()
  {
    THexDump dump;
    Prepare(dump, 16 * 100);
    QCOMPARE(dump.PageLines(), 10);
    QTest::keyClick(&dump, Qt::Key_PageDown);
    QCOMPARE(dump.MarkedLine(), 10);
    // Line 10 is past the 9 whole rows: it becomes the last whole row.
    QCOMPARE(dump.FirstVisibleLine(), 2);
    QTest::keyClick(&dump, Qt::Key_PageDown);
    QCOMPARE(dump.MarkedLine(), 20);
    QTest::keyClick(&dump, Qt::Key_PageUp);
    QCOMPARE(dump.MarkedLine(), 10);
    QTest::keyClick(&dump, Qt::Key_PageUp);
    QTest::keyClick(&dump, Qt::Key_PageUp);
    QCOMPARE(dump.MarkedLine(), 0);
    QCOMPARE(dump.FirstVisibleLine(), 0);
  }

  void scrollBarPagesMoveTheViewByOneRowLessAndLeaveTheMarker()
  {
    THexDump dump;
    Prepare(dump, 16 * 100);
    QScrollBar* bar = dump.verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(dump.FirstVisibleLine(), 9);
    QCOMPARE(dump.MarkedLine(), 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(dump.FirstVisibleLine(), 10);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(dump.FirstVisibleLine(), 1);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(dump.FirstVisibleLine(), 0);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(dump.FirstVisibleLine(), 99);
    bar->setSliderPosition(42);
    QCOMPARE(dump.FirstVisibleLine(), 42);
    QCOMPARE(bar->value(), 42);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(dump.FirstVisibleLine(), 0);
    QCOMPARE(dump.MarkedLine(), 0);
  }

  void homeEndAndArrowsStopAtTheEdges()
  {
    THexDump dump;
    Prepare(dump, 16 * 100);
    QTest::keyClick(&dump, Qt::Key_Up);
    QCOMPARE(dump.MarkedLine(), 0);
    QTest::keyClick(&dump, Qt::Key_End);
    QCOMPARE(dump.MarkedLine(), 99);
    // The last line is the last wholly visible row (9 whole rows).
    QCOMPARE(dump.FirstVisibleLine(), 99 - 10 + 2);
    QTest::keyClick(&dump, Qt::Key_Down);
    QCOMPARE(dump.MarkedLine(), 99);
    QTest::keyClick(&dump, Qt::Key_Up);
    QCOMPARE(dump.MarkedLine(), 98);
    QCOMPARE(dump.FirstVisibleLine(), 91);
    QTest::keyClick(&dump, Qt::Key_Home);
    QCOMPARE(dump.MarkedLine(), 0);
    QCOMPARE(dump.FirstVisibleLine(), 0);
    QTest::keyClick(&dump, Qt::Key_Right);
    QTest::keyClick(&dump, Qt::Key_Left);
    QCOMPARE(dump.MarkedLine(), 0);
    // Down through the last whole row scrolls one row at a time.
    for (int i = 0; i < 9; ++i)
      QTest::keyClick(&dump, Qt::Key_Down);
    QCOMPARE(dump.MarkedLine(), 9);
    QCOMPARE(dump.FirstVisibleLine(), 1);
  }

  void arrowKeysStayWithTheControlInsideAWindow()
  {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* dump = new THexDump(&window);
    layout->addWidget(edit);
    layout->addWidget(dump);
    // A window-wide shortcut on Down must not take the key from the control.
    auto* action = new QAction(&window);
    action->setShortcut(Qt::Key_Down);
    action->setShortcutContext(Qt::WindowShortcut);
    window.addAction(action);
    QSignalSpy fired(action, &QAction::triggered);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::vector<std::uint8_t> bytes = Ramp(16 * 50);
    dump->SetData(bytes);
    dump->setFocus();
    QTest::keyClick(dump, Qt::Key_Down);
    QTest::keyClick(dump, Qt::Key_Down);
    QCOMPARE(dump->MarkedLine(), 2);
    QCOMPARE(fired.count(), 0);
    QTest::keyClick(dump, Qt::Key_Right);
    QVERIFY(dump->hasFocus());
  }

  void clicksMarkTheLineUnderThePointerAndClampBelowTheLast()
  {
    THexDump dump;
    Prepare(dump, 33);
    QCOMPARE(dump.TotalLines(), 3);
    const int rh = dump.RowHeight();
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, {}, QPoint(20, rh + rh / 2));
    QCOMPARE(dump.MarkedLine(), 1);
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, {}, QPoint(20, 7 * rh + 1));
    QCOMPARE(dump.MarkedLine(), 2);
    // Other buttons only take the focus.
    QTest::mouseClick(dump.viewport(), Qt::RightButton, {}, QPoint(20, 1));
    QCOMPARE(dump.MarkedLine(), 2);
    QVERIFY(dump.hasFocus());
  }

  void clicksCountFromTheFirstVisibleLine()
  {
    THexDump dump;
    Prepare(dump, 16 * 100);
    dump.verticalScrollBar()->setSliderPosition(20);
    QCOMPARE(dump.FirstVisibleLine(), 20);
    const int rh = dump.RowHeight();
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, {}, QPoint(20, 3 * rh + 2));
    QCOMPARE(dump.MarkedLine(), 23);
    QCOMPARE(dump.FirstVisibleLine(), 20);
  }

  void resizeThatChangesTheBytesPerLinePullsTheMarkedLineBack()
  {
    THexDump dump;
    Prepare(dump, 64);
    SizeClient(dump, 14, 9);
    QCOMPARE(dump.LineBytes(), 1);
    QCOMPARE(dump.TotalLines(), 64);
    QTest::keyClick(&dump, Qt::Key_End);
    QCOMPARE(dump.MarkedLine(), 63);
    QCOMPARE(dump.FirstVisibleLine(), 55);
    SizeClient(dump, 74, 9);
    QCOMPARE(dump.LineBytes(), 16);
    QCOMPARE(dump.TotalLines(), 4);
    QCOMPARE(dump.MarkedLine(), 3);
    QCOMPARE(dump.FirstVisibleLine(), 3);
    QCOMPARE(dump.verticalScrollBar()->maximum(), 3);
    QCOMPARE(dump.verticalScrollBar()->value(), 3);
  }

  void paintingHighlightsOnlyTheMarkedLine()
  {
    THexDump dump;
    Prepare(dump, 16 * 20);
    dump.SetRelativeAddress(true);
    QTest::keyClick(&dump, Qt::Key_Down);
    QTest::keyClick(&dump, Qt::Key_Down);
    const QImage image = dump.viewport()->grab().toImage();
    const int rh = dump.RowHeight();
    // Between the first two pairs of the hex column, clear of text and of
    // the focus rectangle.
    const int x = 1 + 10 * dump.CellWidth() + 2 * dump.CellWidth() + dump.CellWidth() / 2;
    const QColor highlight = dump.palette().color(QPalette::Highlight);
    QCOMPARE(image.pixelColor(x, 2 * rh + rh / 2), highlight);
    QVERIFY(image.pixelColor(x, 1 * rh + rh / 2) != highlight);
    dump.SetShowLineMarker(false);
    const QImage plain = dump.viewport()->grab().toImage();
    QVERIFY(plain.pixelColor(x, 2 * rh + rh / 2) != highlight);
  }
};

QTEST_MAIN(TstHexDump)
#include "tst_HexDump.moc"
