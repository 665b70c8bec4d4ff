// Loads of encrypted workbooks made by the test writer: every scheme opens
// with its password by every way of reading and gives what the plain
// workbook gives; without it the records are listed as stored and the load
// fails; passwords are asked for, refused and cancelled.
#include "XlsTestSupport.h"
#include "support/EncryptingWriter.h"
#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using enum TExcelVersion;

/// How a test loads: from memory, from a file kept whole (read by a thread
/// while decoded), or from a file by windows of the given size.
struct TWay {
  const char* Name;
  bool FromFile;
  bool Whole;
  std::size_t WindowBytes;
};

const TWay kWays[] = {
    {"memory", false, true, 0},
    {"file whole", true, true, 0},
    {"file by 1-byte windows", true, false, 1},
    {"file by 4 KiB windows", true, false, 4096},
    {"file by 1 MiB windows", true, false, std::size_t{1} << 20},
};

/// What a load gave: records (with the bytes raised), cells, error, and
/// what the reader says of the encryption.
struct TResult {
  std::vector<TListedRecord> Records;
  std::vector<std::string> Cells;
  std::string Error;
  TWorkbookEncryption Encryption;
  std::vector<std::uint8_t> Stream;  // StreamBuffer()
  std::vector<std::uint8_t> Stored;  // StoredStreamBuffer()
  int Asked = 0;
};

std::vector<std::string> CellTexts(const TMSExcel& reader)
{
  std::vector<std::string> cells;
  for (int s = 0; s < reader.Sheets().Count(); ++s) {
    const TSpreadSheet& sheet = reader.Sheets().Items(s);
    cells.push_back("sheet " + sheet.Caption);
    sheet.Cells.ForEachRow([&](int r, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int c, const TZymCell& cell) {
        std::ostringstream text;
        PrintTo(cell.Value, &text);
        cells.push_back(std::to_string(r) + "," + std::to_string(c) + " " + text.str());
      });
    });
  }
  return cells;
}

/// Loads `file` the given way; `passwords` are what OnPassword answers in
/// turn (then it cancels).
TResult Load(const std::vector<std::uint8_t>& file, const TWay& way, std::vector<std::string> passwords = {})
{
  TMSExcel reader;
  TResult result;
  reader.KeepStreamBuffer = way.Whole;
  if (way.WindowBytes != 0)
    reader.StreamWindowBytes = way.WindowBytes;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header, std::span<const std::uint8_t> data) {
    result.Records.push_back(TListedRecord{header.Code, header.Length, reader.RecordOffset(),
                                           std::vector<std::uint8_t>(data.begin(), data.end())});
  };
  reader.OnPassword = [&](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    EXPECT_EQ(request.Refused, result.Asked);
    if (static_cast<std::size_t>(result.Asked) >= passwords.size()) {
      cancel = true;
      return;
    }
    password.Assign(passwords[static_cast<std::size_t>(result.Asked++)]);
  };
  try {
    if (way.FromFile) {
      const TTempFile temp(file, "bifflens-encrypted");
      reader.LoadFromFile(temp.Path());
    } else {
      reader.LoadFromMemory(file);
    }
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  result.Cells = CellTexts(reader);
  result.Encryption = reader.Encryption();
  result.Stream.assign(reader.StreamBuffer().begin(), reader.StreamBuffer().end());
  result.Stored.assign(reader.StoredStreamBuffer().begin(), reader.StoredStreamBuffer().end());
  return result;
}

TEncryptSpec Spec(TTestScheme scheme, std::string password)
{
  TEncryptSpec spec;
  spec.Scheme = scheme;
  spec.Password = std::move(password);
  return spec;
}

/// A BIFF8 workbook of two sheets whose stream runs over many 1,024-byte
/// blocks and 64 KiB pieces: a shared-string table continued across
/// records, labels, numbers, text formula results.
std::vector<std::uint8_t> BusyStream(TExcelVersion version = evExcel8, int rows = 2500)
{
  TBiffBuilder b;
  b.Bof(version, TBofType::btGlobals).CodePage(1252);
  if (IsBiff8(version)) {
    TSstBuilder sst;
    for (int k = 0; k < 600; ++k) {
      if (k % 50 == 49)
        sst.Continue();
      sst.String("shared text " + std::to_string(k), k % 3 == 0);
    }
    b.Sst(sst);
  }
  b.BoundSheet("First", 1).BoundSheet("Second", 2).Eof();
  for (int sheet = 0; sheet < 2; ++sheet) {
    b.Bof(version);
    for (int r = 0; r < rows; ++r) {
      const auto row = static_cast<std::uint16_t>(r);
      if (IsBiff8(version))
        b.LabelSst(row, 0, 0, static_cast<std::uint32_t>((r * 7 + sheet) % 600));
      b.Number(row, 1, 0, r * 0.5 + sheet);
      b.FormulaSpecial(row, 2, 0, 0).String("result " + std::to_string(r));
      b.Label(row, 3, 0, "label " + std::to_string(r % 11));
    }
    b.Eof();
  }
  return b.Build();
}

std::vector<std::uint8_t> Book(const std::vector<std::uint8_t>& stream, TExcelVersion version = evExcel8)
{
  return InCompoundFile(stream, IsBiff8(version) ? "Workbook" : "Book");
}

}  // namespace

TEST(EncryptedWorkbook, EverySchemeOpensWithItsPasswordByEveryWayOfReading)
{
  const struct {
    const char* Name;
    TTestScheme Scheme;
    TExcelVersion Version;
    std::uint32_t KeyBits;
  } schemes[] = {
      {"BIFF5 XOR", TTestScheme::tsXorBiff5, evExcel5, 0},
      {"BIFF8 XOR", TTestScheme::tsXor, evExcel8, 0},
      {"RC4", TTestScheme::tsRc4, evExcel8, 0},
      {"CryptoAPI 40-bit", TTestScheme::tsCryptoApi, evExcel8, 40},
      {"CryptoAPI 128-bit", TTestScheme::tsCryptoApi, evExcel8, 128},
  };
  for (const auto& s : schemes) {
    SCOPED_TRACE(s.Name);
    const auto plainStream = BusyStream(s.Version, 1200);
    TEncryptSpec spec = Spec(s.Scheme, "s3cret");
    if (s.KeyBits != 0)
      spec.KeyBits = s.KeyBits;
    const auto file = Book(EncryptStream(plainStream, spec), s.Version);
    // What decrypting must give: the plain stream with FILEPASS put in.
    const auto expectedRecords = SplitRecords(WithFilePass(plainStream, spec));
    const TResult plain = Load(Book(plainStream, s.Version), kWays[0]);
    ASSERT_EQ(plain.Error, "");
    for (const TWay& way : kWays) {
      SCOPED_TRACE(way.Name);
      const TResult opened = Load(file, way, {"s3cret"});
      EXPECT_EQ(opened.Error, "");
      EXPECT_EQ(opened.Cells, plain.Cells);
      EXPECT_EQ(opened.Records, expectedRecords);
      EXPECT_TRUE(opened.Encryption.Present);
      EXPECT_TRUE(opened.Encryption.Opened);
      EXPECT_EQ(opened.Asked, 1);
      EXPECT_EQ(opened.Encryption.FilePassRecord, 2u);
      if (way.Whole) {
        // The stream kept is the decrypted one; the stored one beside it.
        EXPECT_EQ(opened.Stream, WithFilePass(plainStream, spec));
        EXPECT_EQ(opened.Stored, EncryptStream(plainStream, spec));
      }
    }
  }
}

TEST(EncryptedWorkbook, BareStreamsAndFilePassAfterWriteProtectionOpenToo)
{
  // A bare BIFF5 stream (no compound file) with XOR obfuscation.
  const auto bare = BareStream(evExcel5, [](TBiffBuilder& b) { b.Number(0, 0, 0, 1.5).Label(1, 0, 0, "abc"); });
  const TResult bareOpened = Load(EncryptStream(bare, Spec(TTestScheme::tsXorBiff5, "abc")), kWays[0], {"abc"});
  EXPECT_EQ(bareOpened.Error, "");
  EXPECT_EQ(bareOpened.Cells, Load(bare, kWays[0]).Cells);

  // BOF, WRITEPROT, then FILEPASS, as Excel writes a workbook protected both ways.
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).Record(0x0086, {}).BoundSheet("S", 1).Eof();
  b.Bof(evExcel8).Number(2, 3, 0, 42).Eof();
  TEncryptSpec spec = Spec(TTestScheme::tsRc4, "x");
  spec.FilePassAfter = 2;
  for (const TWay& way : kWays) {
    SCOPED_TRACE(way.Name);
    const TResult opened = Load(Book(EncryptStream(b.Build(), spec)), way, {"x"});
    EXPECT_EQ(opened.Error, "");
    EXPECT_EQ(opened.Encryption.FilePassRecord, 3u);
    EXPECT_EQ(opened.Cells, (std::vector<std::string>{"sheet S", "2,3 double 42"}));
  }
}

TEST(EncryptedWorkbook, ExcelsDefaultPasswordOpensWithoutAsking)
{
  const auto plainStream = BusyStream(evExcel8, 50);
  for (const TTestScheme scheme : {TTestScheme::tsXor, TTestScheme::tsRc4, TTestScheme::tsCryptoApi}) {
    const TResult opened = Load(Book(EncryptStream(plainStream, Spec(scheme, "VelvetSweatshop"))), kWays[0]);
    EXPECT_EQ(opened.Error, "");
    EXPECT_EQ(opened.Asked, 0);
    EXPECT_TRUE(opened.Encryption.Opened);
  }
}

TEST(EncryptedWorkbook, AWrongPasswordIsAskedAgainUntilTheRightOne)
{
  const auto file = Book(EncryptStream(BusyStream(evExcel8, 20), Spec(TTestScheme::tsCryptoApi, "right")));
  const TResult opened = Load(file, kWays[0], {"wrong", "Right", "right"});
  EXPECT_EQ(opened.Error, "");
  EXPECT_EQ(opened.Asked, 3);
  EXPECT_TRUE(opened.Encryption.Opened);
  EXPECT_EQ(opened.Encryption.Scheme, TEncryptionScheme::esCryptoApi);
  EXPECT_EQ(opened.Encryption.Description,
            "RC4 CryptoAPI, 128-bit key, Microsoft Enhanced Cryptographic Provider v1.0");
}

TEST(EncryptedWorkbook, WithoutThePasswordEveryRecordIsListedAsStoredAndTheLoadFails)
{
  const auto plainStream = BusyStream(evExcel8, 300);
  const auto stored = EncryptStream(plainStream, Spec(TTestScheme::tsRc4, "right"));
  const auto file = Book(stored);
  for (const TWay& way : kWays) {
    for (const std::vector<std::string>& answers :
         {std::vector<std::string>{}, std::vector<std::string>{"wrong", "also wrong"}}) {
      SCOPED_TRACE(std::string(way.Name) + " after " + std::to_string(answers.size()) + " answers");
      const TResult locked = Load(file, way, answers);
      EXPECT_EQ(locked.Error, kMsgPasswordProtected);
      EXPECT_EQ(locked.Asked, static_cast<int>(answers.size()));
      EXPECT_EQ(locked.Records, SplitRecords(stored));
      EXPECT_EQ(locked.Cells, std::vector<std::string>{});
      EXPECT_TRUE(locked.Encryption.Present);
      EXPECT_FALSE(locked.Encryption.Opened);
      if (way.Whole) {
        EXPECT_EQ(locked.Stream, stored);
        EXPECT_EQ(locked.Stored, stored);
      }
    }
  }
}

TEST(EncryptedWorkbook, AnUnknownSchemeIsLockedWithoutAskingForAPassword)
{
  const auto stream = OneSheetStream(evExcel8, [](TBiffBuilder& b) { b.Record(kRecFilePass, TBytes().U16(1).U16(9).U16(9)); },
                                     [](TBiffBuilder& b) { b.Number(0, 0, 0, 1); });
  const TResult locked = Load(InCompoundFile(stream), kWays[0], {"anything"});
  EXPECT_EQ(locked.Error, kMsgPasswordProtected);
  EXPECT_EQ(locked.Asked, 0);
  EXPECT_EQ(locked.Encryption.Scheme, TEncryptionScheme::esUnknown);
  EXPECT_EQ(locked.Encryption.Description, "unknown scheme: unknown RC4 version 9.9");
  EXPECT_EQ(locked.Records.size(), SplitRecords(stream).size());
}

TEST(EncryptedWorkbook, TheReaderTellsWhichRecordsAreEncryptedAndDescribesThemSo)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).Record(kRecInterfaceHdr, TBytes().U16(1200)).BoundSheet("S", 1).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 7).Eof();
  const auto file = Book(EncryptStream(b.Build(), Spec(TTestScheme::tsRc4, "pw")));
  for (const bool opened : {false, true}) {
    SCOPED_TRACE(opened);
    TMSExcel reader;
    std::vector<TRecordRef> records;
    std::vector<std::vector<TRecordField>> described;
    reader.OnPassword = [&](TMSExcel&, const TPasswordRequest&, TSecret& password, bool& cancel) {
      cancel = !opened;
      password.Assign("pw");
    };
    reader.OnStreamRecord = [&](const TStreamRecord& record) {
      records.push_back(record);
      const TRecordRef& ref = record;
      described.push_back(reader.DescribeRecord(TLogicalRecord{std::span(&ref, 1)}));
    };
    try {
      reader.LoadFromMemory(file);
    } catch (const EBiffLensError&) {
    }
    // BOF, FILEPASS, INTERFACEHDR, BOUNDSHEET, EOF, BOF, NUMBER, EOF
    ASSERT_EQ(records.size(), 8u);
    const std::vector<bool> encrypted{false, false, false, true, true, false, true, true};
    for (std::size_t i = 0; i < records.size(); ++i)
      EXPECT_EQ(reader.IsEncryptedRecord(records[i].Number, records[i].Header.Code), encrypted[i]) << i;
    const std::vector<TRecordField>& number = described[6];
    ASSERT_FALSE(number.empty());
    if (opened) {
      EXPECT_EQ(number.back().Name, "value");
      EXPECT_EQ(number.back().Value, TFieldValue(7.0));
    } else {
      ASSERT_EQ(number.size(), 1u);
      EXPECT_EQ(number[0].Name, "encrypted_data");
      EXPECT_EQ(number[0].Text, kFieldEncrypted);
      // A BOUNDSHEET's position is plain all the same.
      ASSERT_EQ(described[3].size(), 2u);
      EXPECT_EQ(described[3][0].Name, "position");
      EXPECT_EQ(described[3][0].Value, TFieldValue(std::int64_t(records[5].Offset)));
    }
    EXPECT_FALSE(described[1].empty());  // FILEPASS itself is described
  }
}

TEST(EncryptedWorkbook, ALaterLoadOfAPlainWorkbookForgetsTheEncryption)
{
  TMSExcel reader;
  const auto encrypted = Book(EncryptStream(BusyStream(evExcel8, 5), Spec(TTestScheme::tsRc4, "VelvetSweatshop")));
  reader.LoadFromMemory(encrypted);
  EXPECT_TRUE(reader.Encryption().Opened);
  reader.LoadFromMemory(Book(BusyStream(evExcel8, 5)));
  EXPECT_FALSE(reader.Encryption().Present);
  EXPECT_EQ(reader.StoredStreamBuffer().data(), reader.StreamBuffer().data());
}

TEST(EncryptedWorkbook, AFilePassBeyondTheFirstRecordsOfAStreamKeptWholeLeavesItLocked)
{
  // The decrypted block is chosen before the first record is listed; a
  // FILEPASS the search does not reach (after 256 records) cannot be opened
  // then, and reads as a locked workbook. Read by window, it opens. (Enough
  // records that the stream is no small one, which is always read whole.)
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals);
  for (int i = 0; i < 800; ++i)
    b.Record(kRecCodePage, TBytes().U16(1252));
  b.BoundSheet("S", 1).Eof().Bof(evExcel8).Number(0, 0, 0, 3).Eof();
  TEncryptSpec spec = Spec(TTestScheme::tsRc4, "VelvetSweatshop");
  spec.FilePassAfter = 801;
  const auto file = Book(EncryptStream(b.Build(), spec));
  const TResult whole = Load(file, kWays[0]);
  EXPECT_EQ(whole.Error, kMsgPasswordProtected);
  EXPECT_EQ(whole.Records.size(), SplitRecords(EncryptStream(b.Build(), spec)).size());
  const TResult byWindow = Load(file, kWays[3]);
  EXPECT_EQ(byWindow.Error, "");
  EXPECT_EQ(byWindow.Cells, (std::vector<std::string>{"sheet S", "0,0 double 3"}));
}

TEST(EncryptedWorkbook, AFilePassThatCannotBeReadLocksTheWorkbookByEveryWayOfReading)
{
  const std::vector<std::uint8_t> tooLong(kRecordLimitBiff8 + 1, 0x11);
  const struct {
    const char* Name;
    std::vector<std::uint8_t> Stream;
    TExcelVersion Version;
    const char* Description;
  } cases[] = {
      {"longer than a record may be",
       OneSheetStream(evExcel8, [&](TBiffBuilder& b) { b.Record(kRecFilePass, tooLong); },
                      [](TBiffBuilder& b) { b.Number(0, 0, 0, 1); }),
       evExcel8, "unknown scheme: FILEPASS record longer than a record may be"},
      {"cut short by the stream's end",
       TBiffBuilder().Bof(evExcel8, TBofType::btGlobals).RecordWithLength(kRecFilePass, 54, TBytes().U16(1).U16(1)).Build(),
       evExcel8, "unknown scheme: FILEPASS record cut short by the stream's end"},
      {"empty, in a bare BIFF5 stream",
       BareStream(evExcel5, [](TBiffBuilder& b) { b.Record(kRecFilePass, {}).Number(0, 0, 0, 1); }), evExcel5,
       "unknown scheme: empty FILEPASS record"},
      {"a huge CryptoAPI header size",
       OneSheetStream(evExcel8,
                      [](TBiffBuilder& b) {
                        b.Record(kRecFilePass, TBytes().U16(1).U16(4).U16(2).U32(0x0C).U32(0xFFFFFFF0).Zeros(40));
                      },
                      [](TBiffBuilder& b) { b.Number(0, 0, 0, 1); }),
       evExcel8, "unknown scheme: encryption header size 4294967280 does not fit the record"},
  };
  for (const auto& c : cases) {
    for (const bool bare : {false, true}) {
      if (bare != (c.Version < evExcel8))
        continue;
      const auto file = bare ? c.Stream : Book(c.Stream, c.Version);
      for (const TWay& way : kWays) {
        if (bare && way.FromFile && !way.Whole)
          continue;  // a bare stream is read whole anyway
        SCOPED_TRACE(std::string(c.Name) + ", " + way.Name);
        const TResult locked = Load(file, way, {"anything"});
        EXPECT_EQ(locked.Error, kMsgPasswordProtected);
        EXPECT_EQ(locked.Asked, 0);
        EXPECT_TRUE(locked.Encryption.Present);
        EXPECT_FALSE(locked.Encryption.Opened);
        EXPECT_EQ(locked.Encryption.Description, c.Description);
        EXPECT_EQ(locked.Records.size(), SplitRecords(c.Stream).size());
        EXPECT_EQ(locked.Cells, std::vector<std::string>{});
      }
    }
  }
}
