// The record list model: texts of a row, numbering, where row bytes come
// from, and the model's behaviour under QAbstractItemModelTester.

#include "ui/RecordListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace {


// A stream of back-to-back records (code, declared length, bytes present).
struct TFakeRecord {
  std::uint16_t Code;
  std::uint16_t Length;
  std::size_t Present;
};

struct TFakeStream {
  std::shared_ptr<const std::vector<std::uint8_t>> Owner;
  TSharedBytes Bytes;
  std::vector<std::size_t> Offsets;
};

TFakeStream MakeStream(const std::vector<TFakeRecord>& records)
{
  auto bytes = std::make_shared<std::vector<std::uint8_t>>();
  TFakeStream result;
  std::uint8_t fill = 0x10;
  for (const TFakeRecord& r : records) {
    result.Offsets.push_back(bytes->size());
    bytes->push_back(static_cast<std::uint8_t>(r.Code & 0xFF));
    bytes->push_back(static_cast<std::uint8_t>(r.Code >> 8));
    bytes->push_back(static_cast<std::uint8_t>(r.Length & 0xFF));
    bytes->push_back(static_cast<std::uint8_t>(r.Length >> 8));
    for (std::size_t i = 0; i < r.Present; ++i)
      bytes->push_back(fill++);
  }
  result.Owner = bytes;
  result.Bytes = TSharedBytes(result.Owner);
  return result;
}

void Load(TRecordListModel& model, const TFakeStream& stream,
          const std::vector<TFakeRecord>& records)
{
  const TRecordListModel::TLoadGuard guard(model);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t at = stream.Offsets[i];
    const std::span<const std::uint8_t> data(stream.Bytes.data() + at + 4, records[i].Present);
    model.Append({records[i].Code, records[i].Length}, data, at, stream.Bytes);
  }
}

QString Cell(const TRecordListModel& model, int row, int column, int role = Qt::DisplayRole)
{
  return model.data(model.index(row, column), role).toString();
}

}  // namespace

class TstRecordList : public QObject {
  Q_OBJECT

private slots:
  void codesAreFourUppercaseHexDigits()
  {
    QCOMPARE(RecordCodeText(10), std::string("0x000A"));
    QCOMPARE(RecordCodeText(252), std::string("0x00FC"));
    QCOMPARE(RecordCodeText(0x0809), std::string("0x0809"));
    QCOMPARE(RecordCodeText(0xFFFF), std::string("0xFFFF"));
    QCOMPARE(RecordCodeText(0), std::string("0x0000"));
  }

  void offsetsAreEightUppercaseHexDigits()
  {
    QCOMPARE(RecordOffsetText(0), std::string("0x00000000"));
    QCOMPARE(RecordOffsetText(0xABCDEF), std::string("0x00ABCDEF"));
    QCOMPARE(RecordOffsetText(0xFFFFFFFFu), std::string("0xFFFFFFFF"));
    QCOMPARE(RecordOffsetText(0x123456789ull), std::string("0x123456789"));
  }

  void rowsShowNumberCodeLengthNameAndOffset()
  {
    const std::vector<TFakeRecord> records = {
        {0x0809, 16, 16}, {0x0009, 4, 4}, {0x0000, 0, 0}, {0x0223, 2, 2}, {0xFFFF, 3, 3}};
    const TFakeStream stream = MakeStream(records);
    TRecordListModel model;
    Load(model, stream, records);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.columnCount(), 5);
    const QStringList headers = {"#", "Code", "Length", "Name", "Offset"};
    for (int c = 0; c < 5; ++c)
      QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);

    QCOMPARE(Cell(model, 0, TRecordListModel::rcNumber), QStringLiteral("1"));
    QCOMPARE(Cell(model, 0, TRecordListModel::rcCode), QStringLiteral("0x0809"));
    QCOMPARE(Cell(model, 0, TRecordListModel::rcLength), QStringLiteral("16"));
    QCOMPARE(Cell(model, 0, TRecordListModel::rcName), QStringLiteral("Unknown"));
    QCOMPARE(Cell(model, 0, TRecordListModel::rcOffset), QStringLiteral("0x00000000"));
    QCOMPARE(Cell(model, 1, TRecordListModel::rcName), QStringLiteral("BOF"));
    QCOMPARE(Cell(model, 1, TRecordListModel::rcOffset), QStringLiteral("0x00000014"));
    QCOMPARE(Cell(model, 2, TRecordListModel::rcName), QStringLiteral("EMPTY_RECORD"));
    QCOMPARE(Cell(model, 2, TRecordListModel::rcLength), QStringLiteral("0"));
    QCOMPARE(Cell(model, 3, TRecordListModel::rcName), QStringLiteral("EXTERNNAME"));
    QCOMPARE(Cell(model, 4, TRecordListModel::rcNumber), QStringLiteral("5"));
    QCOMPARE(Cell(model, 4, TRecordListModel::rcCode), QStringLiteral("0xFFFF"));

    const auto align = [&](int column) {
      return model.data(model.index(0, column), Qt::TextAlignmentRole).toInt();
    };
    QCOMPARE(align(TRecordListModel::rcCode), int(Qt::AlignCenter));
    QVERIFY(align(TRecordListModel::rcLength) & Qt::AlignRight);
    QVERIFY(align(TRecordListModel::rcOffset) & Qt::AlignRight);
    QVERIFY(align(TRecordListModel::rcName) & Qt::AlignLeft);
    QVERIFY(!model.data(model.index(5, 0)).isValid());
  }

  void rowBytesAreSlicesOfTheSharedStream()
  {
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}, {0x0203, 14, 14}, {0x000A, 0, 0}};
    const TFakeStream stream = MakeStream(records);
    TRecordListModel model;
    Load(model, stream, records);
    const std::span<const std::uint8_t> second = model.RowBytes(1);
    QCOMPARE(second.size(), std::size_t{14});
    // No copy: the very bytes of the stream, just after the header.
    QCOMPARE(second.data(), stream.Bytes.data() + stream.Offsets[1] + 4);
    QVERIFY(!model.Row(1).InArena);
    QVERIFY(model.RowBytes(2).empty());
    QVERIFY(model.RowBytes(-1).empty());
    QVERIFY(model.RowBytes(3).empty());
  }

  void rowBytesOutlastTheReadersStream()
  {
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}, {0x0203, 14, 14}};
    TFakeStream stream = MakeStream(records);
    TRecordListModel model;
    Load(model, stream, records);
    const std::uint8_t first = stream.Bytes[stream.Offsets[1] + 4];
    // The reader drops its buffer (a new load); the rows keep theirs.
    const std::weak_ptr<const std::vector<std::uint8_t>> watch = stream.Owner;
    stream.Owner.reset();
    stream.Bytes = {};
    QVERIFY(!watch.expired());
    QCOMPARE(model.RowBytes(1)[0], first);
    model.Clear();
    QVERIFY(watch.expired());
    QCOMPARE(model.rowCount(), 0);
  }

  void recordCutShortShowsItsLengthButOnlyBytesThatExist()
  {
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}, {0x00FC, 60000, 5}};
    const TFakeStream stream = MakeStream(records);
    TRecordListModel model;
    Load(model, stream, records);
    QCOMPARE(Cell(model, 1, TRecordListModel::rcLength), QStringLiteral("60000"));
    QCOMPARE(model.RowBytes(1).size(), std::size_t{5});
  }

  void bytesFromOutsideTheStreamAreCopiedAndStayPut()
  {
    TRecordListModel model;
    std::vector<std::uint8_t> scratch(40);
    std::iota(scratch.begin(), scratch.end(), std::uint8_t{1});
    {
      const TRecordListModel::TLoadGuard guard(model);
      model.Append({0x0009, 40}, scratch, 0, TSharedBytes{});
    }
    const std::span<const std::uint8_t> held = model.RowBytes(0);
    QVERIFY(model.Row(0).InArena);
    QVERIFY(held.data() != scratch.data());
    // Many more rows: the first row's bytes do not move.
    for (int i = 0; i < 100000; ++i)
      model.Append({0x0203, 40}, scratch, 44, TSharedBytes{});
    QCOMPARE(model.RowBytes(0).data(), held.data());
    scratch.assign(scratch.size(), 0);
    QCOMPARE(model.RowBytes(0)[39], std::uint8_t{40});
    QCOMPARE(model.RowBytes(100000)[0], std::uint8_t{1});
  }

  void bytesOfASecondStreamAreCopiedNotSliced()
  {
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}};
    const TFakeStream one = MakeStream(records);
    const TFakeStream two = MakeStream(records);
    TRecordListModel model;
    Load(model, one, records);
    model.Append({0x0809, 16}, std::span(two.Bytes.data() + 4, 16), 0, two.Bytes);
    QVERIFY(!model.Row(0).InArena);
    QVERIFY(model.Row(1).InArena);
    QVERIFY(model.RowBytes(1).data() != two.Bytes.data() + 4);
  }

  void streamBytesAwayFromTheirHeaderAreCopiedAndArenaRowsMixWithStreamRows()
  {
    // A row's stream bytes are found from its header's offset, so bytes of
    // the stream that do not follow their header are copied, not sliced.
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}, {0x0203, 14, 14}};
    const TFakeStream stream = MakeStream(records);
    TRecordListModel model;
    Load(model, stream, records);
    const auto elsewhere = stream.Bytes.Span().subspan(stream.Offsets[1] + 4, 14);
    model.Append({0x0203, 14}, elsewhere, stream.Offsets[0], stream.Bytes);
    model.Append({0x0203, 14}, stream.Bytes.Span().subspan(stream.Offsets[1] + 4, 14),
                 stream.Offsets[1], stream.Bytes);
    model.Append({0x0203, 3}, elsewhere.first(3), 0x7000, stream.Bytes);
    QVERIFY(model.Row(2).InArena);
    QVERIFY(!model.Row(3).InArena);
    QVERIFY(model.Row(4).InArena);
    QVERIFY(model.RowBytes(2).data() != elsewhere.data());
    QVERIFY(std::equal(elsewhere.begin(), elsewhere.end(), model.RowBytes(2).begin()));
    QCOMPARE(model.RowBytes(3).data(), elsewhere.data());
    QCOMPARE(model.RowBytes(4).size(), std::size_t{3});
    QCOMPARE(model.RowBytes(4)[2], elsewhere[2]);
    QCOMPARE(Cell(model, 4, TRecordListModel::rcOffset), QStringLiteral("0x00007000"));
    // Fewer bytes than the stream has after the header are copied too: a
    // stream row's size is what the stream holds for it.
    model.Append({0x0203, 14}, elsewhere.first(10), stream.Offsets[1], stream.Bytes);
    QVERIFY(model.Row(5).InArena);
    QCOMPARE(model.Row(5).DataSize, std::uint16_t{10});
    QCOMPARE(model.Row(5).Offset, std::uint64_t{stream.Offsets[1]});
    QCOMPARE(model.RowBytes(5).size(), std::size_t{10});
    QCOMPARE(model.Row(3).DataSize, std::uint16_t{14});
  }

  void aHeaderTheStreamDoesNotHoldIsKeptWithItsRowInABulkLoad()
  {
    // A row's code and length are read back from the stream, so a header
    // that differs from the stream's bytes there is kept apart, as given.
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}, {0x0203, 14, 14}};
    const TFakeStream stream = MakeStream(records);
    TRecordListModel model;
    {
      const TRecordListModel::TLoadGuard guard(model);
      const auto at = stream.Offsets[1];
      model.Append({0x0809, 16}, stream.Bytes.Span().subspan(4, 16), 0, stream.Bytes);
      model.Append({0x0203, 14}, stream.Bytes.Span().subspan(at + 4, 14), at, stream.Bytes);
      model.Append({0x1234, 14}, stream.Bytes.Span().subspan(at + 4, 14), at, stream.Bytes);
      model.Append({0x0203, 13}, stream.Bytes.Span().subspan(at + 4, 13), at, stream.Bytes);
    }
    QVERIFY(!model.Row(1).InArena);
    QVERIFY(model.Row(2).InArena);
    QCOMPARE(Cell(model, 2, TRecordListModel::rcCode), QStringLiteral("0x1234"));
    QCOMPARE(model.RowBytes(2).size(), std::size_t{14});
    QVERIFY(model.Row(3).InArena);
    QCOMPARE(Cell(model, 3, TRecordListModel::rcLength), QStringLiteral("13"));
    QCOMPARE(Cell(model, 3, TRecordListModel::rcOffset), Cell(model, 1, TRecordListModel::rcOffset));
  }

  void bulkLoadIsOneResetAndStartsNumberingAgain()
  {
    TRecordListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    std::vector<TFakeRecord> records(500, TFakeRecord{0x0203, 14, 14});
    const TFakeStream stream = MakeStream(records);
    Load(model, stream, records);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(model.rowCount(), 500);
    // Appending outside a load inserts one row, seen by the views.
    model.Append({0x000A, 0}, {}, 7000, stream.Bytes);
    QCOMPARE(inserts.count(), 1);
    QCOMPARE(Cell(model, 500, TRecordListModel::rcNumber), QStringLiteral("501"));
    const std::vector<TFakeRecord> fewer = {{0x0009, 4, 4}, {0x000A, 0, 0}};
    Load(model, MakeStream(fewer), fewer);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(Cell(model, 0, TRecordListModel::rcNumber), QStringLiteral("1"));
    QCOMPARE(Cell(model, 1, TRecordListModel::rcName), QStringLiteral("EOF"));
  }

  void aThrowDuringLoadStillEndsTheReset()
  {
    TRecordListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}, {0x002F, 6, 6}};
    const TFakeStream stream = MakeStream(records);
    try {
      const TRecordListModel::TLoadGuard guard(model);
      model.Append({0x0809, 16}, std::span(stream.Bytes.data() + 4, 16), 0, stream.Bytes);
      throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(resets.count(), 1);
    QCOMPARE(model.rowCount(), 1);
    // Usable afterwards: one more row is a plain insert.
    model.Append({0x002F, 6}, std::span(stream.Bytes.data() + 24, 6), 20, stream.Bytes);
    QCOMPARE(model.rowCount(), 2);
  }
};

QTEST_MAIN(TstRecordList)
#include "tst_RecordList.moc"
