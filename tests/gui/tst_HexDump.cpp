// The hex dump control: layout arithmetic, line texts, keys, mouse, scroll
// bar and resizing, offscreen.

#include "hexdump/HexDump.h"
#include "hexdump/HexFormat.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
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

  void aFramedMarkerLeavesTheLineUnfilled()
  {
    // The framed marker: the line's hex pairs on the base colour, a frame
    // round them that is fainter while the dump has no focus; no other
    // line framed.
    THexDump dump;
    Prepare(dump, 16 * 20);
    dump.SetRelativeAddress(true);
    dump.SetLineMarkerFramed(true);
    QTest::keyClick(&dump, Qt::Key_Down);
    const int rh = dump.RowHeight();
    const int x = 1 + 10 * dump.CellWidth() + 2 * dump.CellWidth() + dump.CellWidth() / 2;
    const int left = 10 * dump.CellWidth();
    const QColor base = dump.palette().color(QPalette::Base);
    const auto frameAt = [&](const QImage& image, int line) {
      return image.pixelColor(left, line * rh + rh / 2);
    };
    dump.activateWindow();
    dump.setFocus();
    QTRY_VERIFY(dump.hasFocus());
    const QImage focused = dump.viewport()->grab().toImage();
    QCOMPARE(focused.pixelColor(x, rh + rh / 2), base);
    QVERIFY(frameAt(focused, 1) != base);
    QCOMPARE(frameAt(focused, 2), base);
    dump.clearFocus();
    QApplication::processEvents();
    const QImage unfocused = dump.viewport()->grab().toImage();
    QVERIFY(frameAt(unfocused, 1) != base);
    // Fainter: nearer the base colour than the focused frame.
    const auto distance = [&base](const QColor& c) {
      return std::abs(c.red() - base.red()) + std::abs(c.green() - base.green()) + std::abs(c.blue() - base.blue());
    };
    QVERIFY(distance(frameAt(unfocused, 1)) < distance(frameAt(focused, 1)));
  }
  // --- Selecting and copying ---------------------------------------------

  void copiedTextsTakeTheBytesInEachForm()
  {
    const std::vector<std::uint8_t> bof = {0x09, 0x08, 0x10, 0x00, 0x41, 0x1F, 0x80, 0xFF};
    QCOMPARE(HexCopyText(bof), std::string("09 08 10 00 41 1F 80 FF"));
    QCOMPARE(CharCopyText(bof), std::u16string(u"....A.\u20AC\u00FF"));
    QCOMPARE(CArrayText(std::vector<std::uint8_t>{0x09, 0x08, 0x10}),
             std::string("const unsigned char bytes[3] = {\n    0x09, 0x08, 0x10\n};\n"));
    // Lines break after 16 pairs of hex and 12 entries of the array, and
    // nowhere else.
    const std::vector<std::uint8_t> ramp = Ramp(17);
    QCOMPARE(HexCopyText(ramp), std::string("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n10"));
    const std::vector<std::uint8_t> twelve = Ramp(12);
    QCOMPARE(CArrayText(twelve),
             std::string("const unsigned char bytes[12] = {\n"
                         "    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B\n};\n"));
    QCOMPARE(CArrayText(ramp).substr(CArrayText(ramp).find("0x0B")),
             std::string("0x0B,\n    0x0C, 0x0D, 0x0E, 0x0F, 0x10\n};\n"));
    QCOMPARE(HexCopyText({}), std::string());
    QCOMPARE(CharCopyText(Ramp(40)).size(), std::size_t{40});
  }

  void hitTestingFindsTheByteUnderThePointer()
  {
    // 10-pixel cells, 12-pixel rows, 16 bytes a line, address shown: the hex
    // column starts at 101, the character column at 580.
    const TDumpGeometry g{12, 10, 16, 2, 100, true, true};
    struct TCase {
      int X, Y, Byte;
    } const cases[] = {
        {101, 0, 32},      // first pair of the top row (line 2)
        {131, 0, 33},      // second pair starts three cells on
        {130, 0, 32},      // the gap after a pair is its own byte's
        {50, 13, 48},      // the address column: the line's first byte
        {580, 0, 32},      // first character
        {580 + 9 * 3, 0, 35},
        {579, 0, 47},      // the end of the hex column: the last pair
        {5000, 0, 47},     // past the characters: the line's last byte
        {101, 12 * 40, 96},  // under the last line: that line's column
        {5000, 12 * 40, 99}, // ... and never past the last byte
        {101, -5, 16},     // above the top row: the line above it
    };
    for (const TCase& c : cases) {
      QCOMPARE(ByteAtPoint(c.X, c.Y, g), c.Byte);
    }
    TDumpGeometry none = g;
    none.DataLength = 0;
    QCOMPARE(ByteAtPoint(101, 0, none), -1);
    TDumpGeometry noCharacters = g;
    noCharacters.ShowCharacters = false;
    QCOMPARE(ByteAtPoint(580, 0, noCharacters), 47);
  }

  void dragSelectsTheBytesBetweenPressAndRelease()
  {
    THexDump dump;
    Prepare(dump, 40);
    const int cell = dump.CellWidth();
    const int rh = dump.RowHeight();
    const auto pairAt = [&](int k, int line) { return QPoint(1 + 10 * cell + 3 * k * cell + cell, line * rh + rh / 2); };
    QTest::mousePress(dump.viewport(), Qt::LeftButton, {}, pairAt(2, 0));
    QCOMPARE(dump.SelectionLength(), 0);  // a press alone selects nothing
    QTest::mouseMove(dump.viewport(), pairAt(3, 1));
    QTest::mouseRelease(dump.viewport(), Qt::LeftButton, {}, pairAt(3, 1));
    QCOMPARE(dump.SelectionStart(), 2);
    QCOMPARE(dump.SelectionLength(), 18);
    QCOMPARE(dump.MarkedLine(), 1);
    QApplication::clipboard()->clear();
    QTest::keyClick(&dump, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11\n12 13"));
    // Dragging backwards selects from the pointer to the press.
    QTest::mousePress(dump.viewport(), Qt::LeftButton, {}, pairAt(5, 1));
    QTest::mouseMove(dump.viewport(), pairAt(1, 0));
    QTest::mouseRelease(dump.viewport(), Qt::LeftButton, {}, pairAt(1, 0));
    QCOMPARE(dump.SelectionStart(), 1);
    QCOMPARE(dump.SelectionLength(), 21);
    // A click drops the selection; a copy then takes every byte.
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, {}, pairAt(0, 0));
    QCOMPARE(dump.SelectionLength(), 0);
    QCOMPARE(dump.CopyBytes().size(), std::size_t{40});
  }

  void shiftWithTheKeysSelectsFromTheCursor()
  {
    THexDump dump;
    Prepare(dump, 100);
    QTest::keyClick(&dump, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(dump.SelectionStart(), 0);
    QCOMPARE(dump.SelectionLength(), 2);
    QTest::keyClick(&dump, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(dump.SelectionLength(), 18);
    QCOMPARE(dump.MarkedLine(), 1);
    QTest::keyClick(&dump, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(dump.SelectionLength(), 100);
    QCOMPARE(dump.MarkedLine(), dump.TotalLines() - 1);
    QTest::keyClick(&dump, Qt::Key_Right, Qt::ShiftModifier);  // stops at the last byte
    QCOMPARE(dump.SelectionLength(), 100);
    QTest::keyClick(&dump, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(dump.SelectionStart(), 0);
    QCOMPARE(dump.SelectionLength(), 1);
    // A key without Shift moves the marker and drops the selection; Shift
    // then starts again from the marked line.
    QTest::keyClick(&dump, Qt::Key_Down);
    QTest::keyClick(&dump, Qt::Key_Down);
    QCOMPARE(dump.SelectionLength(), 0);
    QTest::keyClick(&dump, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(dump.SelectionStart(), 31);
    QCOMPARE(dump.SelectionLength(), 2);
    QTest::keyClick(&dump, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(dump.SelectionLength(), 100);
    // New data starts with nothing selected.
    dump.SetData(FBytes);
    QCOMPARE(dump.SelectionLength(), 0);
  }

  void theContextMenuCopiesAsTextAndAsACArray()
  {
    THexDump dump;
    FBytes = {0x42, 0x4F, 0x46, 0x0A, 0x00};
    dump.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dump));
    dump.SetData(FBytes);
    const auto chooseFromMenu = [&](const QString& entry) {
      QTimer::singleShot(0, &dump, [&dump, entry] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
          return;
        for (QAction* action : menu->actions())
          if (action->text() == entry)
            action->trigger();
        menu->close();
      });
      QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dump.viewport()->mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(dump.viewport(), &event);
    };
    QApplication::clipboard()->clear();
    chooseFromMenu(QStringLiteral("Copy as &Text"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("BOF.."));
    chooseFromMenu(QStringLiteral("Copy as C &Array"));
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("const unsigned char bytes[5] = {\n    0x42, 0x4F, 0x46, 0x0A, 0x00\n};\n"));
    chooseFromMenu(QStringLiteral("&Copy"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("42 4F 46 0A 00"));
  }

  void paintingShowsTheSelectedBytes()
  {
    THexDump dump;
    Prepare(dump, 64);
    const QImage before = dump.viewport()->grab().toImage();
    dump.SelectBytes(18, 19);
    QCOMPARE(dump.MarkedLine(), 2);  // the line of the selection's moving end
    const QImage after = dump.viewport()->grab().toImage();
    const int rh = dump.RowHeight();
    const int cell = dump.CellWidth();
    // On line 1: after the first selected pair, and after the pair before it.
    const QPoint inside(1 + 10 * cell + 3 * 2 * cell + 2 * cell + cell / 2, rh + rh / 2);
    const QPoint outside(1 + 10 * cell + 3 * 0 * cell + 2 * cell + cell / 2, rh + rh / 2);
    QVERIFY(after.pixelColor(inside) != before.pixelColor(inside));
    QCOMPARE(after.pixelColor(outside), before.pixelColor(outside));
  }

  // --- Bands ----------------------------------------------------------------

  void bandsAreFoundByTheirEnds()
  {
    using HexFormat::THexBand;
    const std::vector<THexBand> bands{{0, 2, 0}, {2, 4, 1}, {10, 1, 0}};
    // The first band that ends after a byte: the one holding it, or the
    // next one after a gap; none past the last.
    QCOMPARE(HexFormat::FirstBandEndingAfter(bands, 0), std::size_t{0});
    QCOMPARE(HexFormat::FirstBandEndingAfter(bands, 1), std::size_t{0});
    QCOMPARE(HexFormat::FirstBandEndingAfter(bands, 2), std::size_t{1});
    QCOMPARE(HexFormat::FirstBandEndingAfter(bands, 5), std::size_t{1});
    QCOMPARE(HexFormat::FirstBandEndingAfter(bands, 6), std::size_t{2});
    QCOMPARE(HexFormat::FirstBandEndingAfter(bands, 10), std::size_t{2});
    QCOMPARE(HexFormat::FirstBandEndingAfter(bands, 11), std::size_t{3});
    QCOMPARE(HexFormat::FirstBandEndingAfter({}, 0), std::size_t{0});
  }

  void bandsTintTheirBytesAndTheActiveBandStandsOut()
  {
    THexDump dump;
    Prepare(dump, 64);
    dump.SetShowLineMarker(false);
    const int rh = dump.RowHeight();
    const int cell = dump.CellWidth();
    // Between pairs 5 and 6, and 6 and 7 of line 1 (bytes 21 to 23).
    const QPoint gap5(1 + 10 * cell + 3 * 5 * cell + 2 * cell + cell / 2, rh + rh / 2);
    const QPoint gap6(1 + 10 * cell + 3 * 6 * cell + 2 * cell + cell / 2, rh + rh / 2);
    const QImage plain = dump.viewport()->grab().toImage();
    dump.SetBands({{20, 4, 0}});
    const QImage banded = dump.viewport()->grab().toImage();
    QVERIFY(banded.pixelColor(gap5) != plain.pixelColor(gap5));
    QVERIFY(banded.pixelColor(gap6) != plain.pixelColor(gap6));
    dump.SetActiveBand(22, 2);
    QCOMPARE(dump.ActiveBandFirst(), 22);
    QCOMPARE(dump.ActiveBandCount(), 2);
    const QImage active = dump.viewport()->grab().toImage();
    QCOMPARE(active.pixelColor(gap5), banded.pixelColor(gap5));
    QVERIFY(active.pixelColor(gap6) != banded.pixelColor(gap6));
    // New data drops both.
    dump.SetData(FBytes);
    QVERIFY(dump.Bands().empty());
    QCOMPARE(dump.ActiveBandCount(), 0);
    QCOMPARE(dump.viewport()->grab().toImage().pixelColor(gap6), plain.pixelColor(gap6));
  }

  void aClickOnAByteReportsIt()
  {
    THexDump dump;
    Prepare(dump, 64);
    std::vector<int> clicked;
    dump.OnByteClick = [&](THexDump& sender, int byte) {
      QCOMPARE(&sender, &dump);
      clicked.push_back(byte);
    };
    const int rh = dump.RowHeight();
    const int cell = dump.CellWidth();
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, {}, QPoint(1 + 10 * cell + 3 * 3 * cell + 2, 2 * rh + 2));
    // Shift extends the selection instead.
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(1 + 10 * cell + 2, rh + 2));
    QCOMPARE(clicked, (std::vector<int>{35}));
    dump.RevealByte(63);
    QCOMPARE(dump.MarkedLine(), 3);
  }

  // --- The note after the data -------------------------------------------

  void aNoteFollowsTheLastLineAndNewDataDropsIt()
  {
    THexDump dump;
    Prepare(dump, 16 * 20, 9);
    dump.SetNote(QStringLiteral("record cut short"));
    QCOMPARE(dump.Note(), QStringLiteral("record cut short"));
    // The scroll range reaches the note's line; End brings it into view.
    QCOMPARE(dump.verticalScrollBar()->maximum(), 20);
    QTest::keyClick(&dump, Qt::Key_End);
    QCOMPARE(dump.MarkedLine(), 19);
    QVERIFY(dump.FirstVisibleLine() + dump.PageLines() - 2 >= 20);
    // It is drawn: the note's row is not blank.
    const QImage image = dump.viewport()->grab().toImage();
    const int row = (20 - dump.FirstVisibleLine()) * dump.RowHeight();
    bool inked = false;
    for (int x = 0; x < image.width() && !inked; ++x)
      for (int y = row; y < row + dump.RowHeight() && !inked; ++y)
        inked = image.pixelColor(x, y) != dump.palette().color(QPalette::Base);
    QVERIFY(inked);
    // Clicks below the data still mark the last line of data.
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, {}, QPoint(20, row + 2));
    QCOMPARE(dump.MarkedLine(), 19);
    dump.SetData(FBytes);
    QCOMPARE(dump.Note(), QString());
    QCOMPARE(dump.verticalScrollBar()->maximum(), 19);
  }
};

QTEST_MAIN(TstHexDump)
#include "tst_HexDump.moc"
