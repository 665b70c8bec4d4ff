// The record list model: texts of a row, numbering, where row bytes come
// from, and the model's behaviour under QAbstractItemModelTester.

#include "ui/RecordListModel.h"

#include "platform/Errors.h"

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

/// Record `index` of the stream as the reader hands it over.
TStreamRecord Listed(const TFakeStream& stream, const std::vector<TFakeRecord>& records,
                     std::size_t index)
{
  TStreamRecord record;
  record.Number = index + 1;
  record.Offset = stream.Offsets[index];
  record.Header = {records[index].Code, records[index].Length};
  record.Data = std::span(stream.Bytes.data() + record.Offset + 4, records[index].Present);
  record.Stream = &stream.Bytes;
  return record;
}

void Load(TRecordListModel& model, const TFakeStream& stream,
          const std::vector<TFakeRecord>& records)
{
  const TRecordListModel::TLoadGuard guard(model);
  for (std::size_t i = 0; i < records.size(); ++i)
    model.Append(Listed(stream, records, i));
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
    QCOMPARE(model.columnCount(), 6);
    const QStringList headers = {"#", "Code", "Length", "Name", "Type", "Offset"};
    for (int c = 0; c < 6; ++c)
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
    // The type as the catalogue names it, whatever the Name column says;
    // empty for a code no layout describes.
    QCOMPARE(Cell(model, 0, TRecordListModel::rcType), QStringLiteral("BOF"));
    QCOMPARE(Cell(model, 1, TRecordListModel::rcType), QStringLiteral("BOF"));
    QCOMPARE(Cell(model, 3, TRecordListModel::rcType), QStringLiteral("EXTERNNAME"));
    QCOMPARE(Cell(model, 4, TRecordListModel::rcType), QString());

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

  void recordsFromAnotherStreamAreRefused()
  {
    // Rows are offsets into the one stream a load keeps: a record of
    // another stream, or of none (a windowed load), cannot be listed.
    const std::vector<TFakeRecord> records = {{0x0809, 16, 16}, {0x0203, 14, 14}};
    const TFakeStream one = MakeStream(records);
    const TFakeStream two = MakeStream(records);
    TRecordListModel model;
    const TRecordListModel::TLoadGuard guard(model);
    model.Append(Listed(one, records, 0));
    QVERIFY_THROWS_EXCEPTION(EBiffLensError, model.Append(Listed(two, records, 1)));
    TStreamRecord windowed = Listed(one, records, 1);
    windowed.Stream = nullptr;
    QVERIFY_THROWS_EXCEPTION(EBiffLensError, model.Append(windowed));
    QCOMPARE(model.Count(), 1);
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
    model.Append(Listed(stream, records, 499));
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
      model.Append(Listed(stream, records, 0));
      throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(resets.count(), 1);
    QCOMPARE(model.rowCount(), 1);
    // Usable afterwards: one more row is a plain insert.
    model.Append(Listed(stream, records, 1));
    QCOMPARE(model.rowCount(), 2);
  }
};

QTEST_MAIN(TstRecordList)
#include "tst_RecordList.moc"
